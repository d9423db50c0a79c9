#include "figures/polysemiring.h"

#include "figures/indexbudget.h"
#include "figures/saturating.h"
#include "razmnozhator/engine.h"

namespace razmnozhator::detail {

namespace {

// The template's own spectrum is the last and biggest product: at four
// million words it alone takes seconds.
constexpr double rootWordsCap = double(1 << 22);

} // namespace

Poly repacked(const Poly &poly, std::size_t from, std::size_t to)
{
    if (from == to)
        return poly;
    Poly result = poly;
    const std::size_t slots = poly.stored(from);
    result.limbs.assign(slots * to, 0);
    const std::size_t kept = std::min(from, to);
    for (std::size_t slot = 0; slot < slots; ++slot)
        std::copy_n(
            poly.limbs.begin() + std::ptrdiff_t(slot * from), kept, result.limbs.begin() + std::ptrdiff_t(slot * to));
    return result;
}

std::size_t sumBits(const Poly &poly, std::size_t width)
{
    std::vector<mp_limb_t> total(width, 0);
    for (std::size_t at = 0; at < poly.limbs.size(); at += width)
        mpn_add_n(total.data(), total.data(), poly.limbs.data() + at, static_cast<mp_size_t>(width));
    const std::size_t words = multiword::trimmedSize(total.data(), total.size());
    return words == 0 ? 1 : (words - 1) * GMP_NUMB_BITS + std::size_t(std::bit_width(total[words - 1]));
}

std::size_t spectraWidth(const Program &program)
{
    return (mpz_sizeinbase(exactCount(program).get_mpz_t(), 2) + 2 + GMP_NUMB_BITS - 1) / GMP_NUMB_BITS;
}

double rootWords(const Program &program, std::uint64_t cut, std::size_t width)
{
    const Figures &figures = program.figures;
    const std::uint64_t longest = std::min(figures.longest, cut);
    return longest < figures.shortest ? 0 : double(longest - figures.shortest + 1) * double(width);
}

void checkSpectraBudget(std::uint64_t cut, std::size_t width, double slots, double largestWords)
{
    // Cut spectra take at least a word a slot; how many more is measured as
    // they are made.
    checkIndexBudget(LimitError::Task::LengthCounts, slots * double(cut == noCut ? width : 1) * sizeof(mp_limb_t));
    if (!(largestWords <= rootWordsCap))
        throw LimitError(LimitError::Task::LengthCounts, LimitError::Resource::Work, wholeAmount(largestWords),
            wholeAmount(rootWordsCap));
}

} // namespace razmnozhator::detail
