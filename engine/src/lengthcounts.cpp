#include "lengthcounts.h"

#include "indexbudget.h"
#include "razmnozhator/engine.h"
#include "saturating.h"
#include "walk.h"

#include <algorithm>
#include <bit>
#include <cassert>
#include <string>

namespace razmnozhator::detail {

namespace {

// The template's own spectrum is the last and biggest product: at four
// million words it alone takes seconds.
constexpr double rootWordsCap = double(1 << 22);

std::size_t trimmedSize(const std::vector<mp_limb_t> &limbs)
{
    std::size_t size = limbs.size();
    while (size > 0 && limbs[size - 1] == 0)
        --size;
    return size;
}

bool isUnitMonomial(const Poly &poly)
{
    return trimmedSize(poly.limbs) == 1 && poly.limbs[0] == 1 && poly.limbs.size() >= 1;
}

// A polynomial packed in slots only as wide as its own coefficients need:
// `bits` bounds the sum of its coefficients, so the product of two such
// polynomials never carries from one slot into the next at the sum of their
// bits. Deep in a long sequence the parts count few variants, and multiplying
// them at the width of the whole template's count would make every level of
// the product tree cost as much as the last one.
struct Packed
{
    Poly poly;
    std::size_t bits = 1;
};

std::size_t wordsFor(std::size_t bits)
{
    return (bits + GMP_NUMB_BITS - 1) / GMP_NUMB_BITS;
}

// The same coefficients in slots of `to` words (at least as wide as they need).
Poly repacked(const Poly &poly, std::size_t from, std::size_t to)
{
    if (from == to)
        return poly;
    Poly result;
    result.offset = poly.offset;
    const std::size_t slots = poly.slots(from);
    result.limbs.assign(slots * to, 0);
    const std::size_t kept = std::min(from, to);
    for (std::size_t slot = 0; slot < slots; ++slot)
        std::copy_n(
            poly.limbs.begin() + std::ptrdiff_t(slot * from), kept, result.limbs.begin() + std::ptrdiff_t(slot * to));
    return result;
}

// Spectra as a semiring: products are convolutions, sums add coefficients
// of equal lengths. Plain text is a monomial z^length, and a product with it
// stays a shift, as PolyArithmetic::multiply makes it. No coefficient needs
// more than `capBits`, the bits of the widest figure of the template.
struct Spectra
{
    using Value = Packed;
    std::size_t capBits;

    Value monomial(std::uint64_t length, mp_limb_t coefficient) const
    {
        return { PolyArithmetic { 1 }.monomial(length, coefficient),
            std::max<std::size_t>(1, std::bit_width(coefficient)) };
    }
    Value text(std::uint64_t characters, std::uint64_t) const { return monomial(characters, 1); }
    Value add(const Value &a, const Value &b) const
    {
        const Value *both[] = { &a, &b };
        return sumOf(both);
    }
    Value mul(const Value &a, const Value &b) const
    {
        const std::size_t bits = std::min(a.bits + b.bits, capBits);
        const PolyArithmetic math { wordsFor(bits) };
        Poly aScratch, bScratch;
        return { math.multiply(atWidth(a, math.width, aScratch), atWidth(b, math.width, bScratch)), bits };
    }
    Value sum(std::span<const Value> values) const
    {
        std::vector<const Value *> all;
        all.reserve(values.size());
        for (const Value &value : values)
            all.push_back(&value);
        return sumOf(all);
    }

    Value sumOf(std::span<const Value *const> values) const
    {
        std::size_t widest = 0;
        for (const Value *value : values)
            widest = std::max(widest, value->bits);
        const std::size_t bits = std::min(widest + std::bit_width(values.size() - 1), capBits);
        const PolyArithmetic math { wordsFor(bits) };
        std::vector<Poly> scratch(values.size());
        std::vector<const Poly *> polys;
        polys.reserve(values.size());
        for (std::size_t i = 0; i < values.size(); ++i)
            polys.push_back(&atWidth(*values[i], math.width, scratch[i]));
        return { math.sum(polys), bits };
    }

private:
    // The polynomial of value in slots of `width` words: its own when they
    // are that wide already, else a copy made in scratch.
    static const Poly &atWidth(const Value &value, std::size_t width, Poly &scratch)
    {
        if (wordsFor(value.bits) == width)
            return value.poly;
        scratch = repacked(value.poly, wordsFor(value.bits), width);
        return scratch;
    }
};

} // namespace

Poly PolyArithmetic::monomial(std::uint64_t length, mp_limb_t coefficient) const
{
    Poly poly;
    poly.offset = length;
    poly.limbs.assign(width, 0);
    poly.limbs[0] = coefficient;
    return poly;
}

Poly PolyArithmetic::multiply(const Poly &a, const Poly &b) const
{
    if (isUnitMonomial(a) || isUnitMonomial(b)) {
        Poly result = isUnitMonomial(a) ? b : a;
        result.offset = a.offset + b.offset;
        return result;
    }
    const std::size_t slots = a.slots(width) + b.slots(width) - 1;
    const std::size_t an = trimmedSize(a.limbs);
    const std::size_t bn = trimmedSize(b.limbs);
    Poly result;
    result.offset = a.offset + b.offset;
    if (an == 0 || bn == 0) {
        result.limbs.assign(slots * width, 0);
        return result;
    }
    std::vector<mp_limb_t> product(an + bn);
    if (an >= bn)
        mpn_mul(product.data(), a.limbs.data(), static_cast<mp_size_t>(an), b.limbs.data(), static_cast<mp_size_t>(bn));
    else
        mpn_mul(product.data(), b.limbs.data(), static_cast<mp_size_t>(bn), a.limbs.data(), static_cast<mp_size_t>(an));
    product.resize(slots * width, 0);
    result.limbs = std::move(product);
    return result;
}

namespace {

// Added in place into one polynomial that spans them all.
template <class Polys> Poly sumOf(std::size_t width, const Polys &polys)
{
    std::uint64_t low = UINT64_MAX;
    std::uint64_t high = 0;
    for (const Poly *poly : polys) {
        low = std::min(low, poly->offset);
        high = std::max<std::uint64_t>(high, poly->offset + poly->slots(width));
    }
    Poly total;
    total.offset = low;
    total.limbs.assign((high - low) * width, 0);
    for (const Poly *poly : polys) {
        mp_limb_t *at = total.limbs.data() + (poly->offset - low) * width;
        const mp_size_t size = static_cast<mp_size_t>(poly->limbs.size());
        const mp_limb_t carry = mpn_add_n(at, at, poly->limbs.data(), size);
        const mp_size_t rest = static_cast<mp_size_t>(total.limbs.data() + total.limbs.size() - at) - size;
        if (carry && rest > 0)
            mpn_add_1(at + size, at + size, rest, carry);
    }
    return total;
}

} // namespace

Poly PolyArithmetic::sum(std::span<const Poly> polys) const
{
    std::vector<const Poly *> all;
    for (const Poly &poly : polys)
        all.push_back(&poly);
    return sum(all);
}

Poly PolyArithmetic::sum(std::span<const Poly *const> polys) const
{
    return sumOf(width, polys);
}

Poly PolyArithmetic::add(const Poly &a, const Poly &b) const
{
    const Poly *both[] = { &a, &b };
    return sumOf(width, both);
}

void PolyArithmetic::coefficient(const Poly &poly, std::uint64_t length, mpz_t out) const
{
    static const mp_limb_t zero = 0;
    if (length < poly.offset || length - poly.offset >= poly.slots(width)) {
        mpz_roinit_n(out, &zero, 0);
        return;
    }
    mpz_roinit_n(out, poly.limbs.data() + (length - poly.offset) * width, static_cast<mp_size_t>(width));
}

namespace {

// Count and byte total side by side, as a dual number g + h e over spectra:
// g counts the variants of each length, h sums their bytes.
struct Weighted
{
    Packed g;
    Packed h;
};

struct WeightedSpectra
{
    using Value = Weighted;
    Spectra spectra;

    Value text(std::uint64_t characters, std::uint64_t bytes) const
    {
        return { spectra.monomial(characters, 1), spectra.monomial(characters, bytes) };
    }
    Value add(const Value &a, const Value &b) const { return { spectra.add(a.g, b.g), spectra.add(a.h, b.h) }; }
    Value mul(const Value &a, const Value &b) const
    {
        return { spectra.mul(a.g, b.g), spectra.add(spectra.mul(a.g, b.h), spectra.mul(a.h, b.g)) };
    }
    Value sum(std::span<const Value> values) const
    {
        std::vector<const Packed *> g, h;
        for (const Value &value : values) {
            g.push_back(&value.g);
            h.push_back(&value.h);
        }
        return { spectra.sumOf(g), spectra.sumOf(h) };
    }
};

void addRange(const PolyArithmetic &math, const Poly &poly, std::uint64_t min, std::uint64_t max, mpz_class &total,
    mpz_class *lengthTotal)
{
    total = 0;
    if (lengthTotal)
        *lengthTotal = 0;
    const std::uint64_t first = std::max(min, poly.offset);
    const std::uint64_t last = std::min<std::uint64_t>(max, poly.offset + poly.slots(math.width) - 1);
    for (std::uint64_t length = first; length <= last && first <= last; ++length) {
        mpz_t value;
        math.coefficient(poly, length, value);
        mpz_add(total.get_mpz_t(), total.get_mpz_t(), value);
        if (lengthTotal)
            mpz_addmul_ui(lengthTotal->get_mpz_t(), value, static_cast<unsigned long>(length));
    }
}

} // namespace

void SpectrumIndex::rangeFigures(std::uint64_t min, std::uint64_t max, mpz_class &count, mpz_class &bytes) const
{
    const Poly &whole = sequenceSpectrum[program.root];
    if (!program.literalMap) {
        // Every character is one byte.
        addRange(*this, whole, min, max, count, &bytes);
        return;
    }
    addRange(*this, whole, min, max, count, nullptr);
    // Byte totals per length reach the count times the longest variant's bytes.
    PolyArithmetic wide;
    const std::size_t extra = std::bit_width(program.figures.longestBytes + 1);
    wide.width = (mpz_sizeinbase(exactCount(program).get_mpz_t(), 2) + extra + 2 + GMP_NUMB_BITS - 1) / GMP_NUMB_BITS;
    const Weighted weighted = walkPostorder(
        program, WeightedSpectra { Spectra { wide.width * GMP_NUMB_BITS } }, [](std::uint32_t, const Weighted &) {});
    addRange(wide, repacked(weighted.h.poly, wordsFor(weighted.h.bits), wide.width), min, max, bytes, nullptr);
}

SpectrumIndex::SpectrumIndex(const Program &compiled)
    : program(compiled)
{
    const mpz_class &count = exactCount(program);
    width = (mpz_sizeinbase(count.get_mpz_t(), 2) + 2 + GMP_NUMB_BITS - 1) / GMP_NUMB_BITS;
    checkIndexBudget(
        LimitError::Task::LengthCounts, double(spectrumSlots(program)) * double(width) * sizeof(mp_limb_t));
    // The template's own spectrum is one number of this many words, and the
    // last products that make it take time beyond its memory.
    const double rootWords = double(program.figures.longest - program.figures.shortest + 1) * double(width);
    if (!(rootWords <= rootWordsCap))
        throw LimitError(LimitError::Task::LengthCounts, LimitError::Resource::Work, wholeAmount(rootWords),
            wholeAmount(rootWordsCap));
    sequenceSpectrum.resize(program.sequences.size());
    groupSpectrum.resize(program.groups.size());
    walkPostorder(program, Spectra { width * GMP_NUMB_BITS }, [this](std::uint32_t node, const Packed &value) {
        Poly stored = repacked(value.poly, wordsFor(value.bits), width);
        if (node & groupTag)
            groupSpectrum[node & ~groupTag] = std::move(stored);
        else
            sequenceSpectrum[node] = std::move(stored);
    });
}

const SpectrumIndex &spectrumIndex(const Program &program)
{
    std::lock_guard lock(program.indexMutex);
    if (!program.spectrumIndex)
        program.spectrumIndex = std::make_shared<const SpectrumIndex>(program);
    return *program.spectrumIndex;
}

} // namespace razmnozhator::detail
