#include "access/runningtotals.h"

#include "figures/polyarithmetic.h"
#include "program/windowsums.h"

#include <algorithm>

namespace razmnozhator::detail {

namespace {

// Sums over the windows of rows of `unit` slots, from the running totals in
// `plain`: those below the first row count none, and those past the last
// the total of all, `all`.
struct WindowRows
{
    mp_limb_t *out;
    const mp_limb_t *plain;
    std::int64_t rows;
    const mp_limb_t *all;
    std::size_t unit;
    std::size_t width;

    mp_limb_t *row(std::int64_t x) const { return out + std::size_t(x) * unit * width; }
    void clear(std::int64_t x) const { std::fill_n(row(x), unit * width, 0); }
    void copy(std::int64_t x, std::int64_t from) const { std::copy_n(row(from), unit * width, row(x)); }
    template <class Apply> void each(std::int64_t x, std::int64_t t, Apply apply) const
    {
        if (t < 0)
            return;
        for (std::size_t at = 0; at < unit; ++at) {
            const mp_limb_t *term = t < rows ? plain + (std::size_t(t) * unit + at) * width : all;
            mp_limb_t *sum = row(x) + at * width;
            apply(sum, sum, term, static_cast<mp_size_t>(width));
        }
    }
    void add(std::int64_t x, std::int64_t t) const { each(x, t, mpn_add_n); }
    void subtract(std::int64_t x, std::int64_t t) const { each(x, t, mpn_sub_n); }
};

} // namespace

// Under a length rule that refuses some variants, the totals are summed
// over its windows (sumOverWindows()): they grow for (repeats - 1) periods
// past the last length, up to the cut. The sums may pass the slots' width:
// they are only ever subtracted, modulo its power of two, into counts that
// fit. A spectrum held packed is summed slot by slot over its runs (see
// totalAt()): slot a of row r holds the totals of slot a of rows r, r - 1,
// ..., r - repeats + 1, and `repeats` more rows reach where every term does.
Poly runningTotals(const SpectrumIndex &spectra, const Poly &poly, std::uint64_t cut)
{
    const std::size_t width = spectra.width;
    Poly totals = poly;
    for (std::size_t at = width; at < totals.limbs.size(); at += width)
        mpn_add_n(totals.limbs.data() + at, totals.limbs.data() + at, totals.limbs.data() + at - width,
            static_cast<mp_size_t>(width));
    const RuleLengths &rule = spectra.program.ruleLengths;
    if (rule.repeats == 1 || totals.limbs.empty())
        return totals;
    const Poly plain = totals;
    const std::uint64_t unit = totals.packed() ? totals.run : 1;
    const std::uint64_t rows = totals.stored(width) / unit;
    const std::uint64_t step = totals.packed() ? 1 : rule.period;
    std::uint64_t grown = rows + step * (rule.repeats - (totals.packed() ? 0 : 1));
    if (!totals.packed()) {
        grown = std::min<std::uint64_t>(grown, PolyArithmetic { width, cut }.slotsFrom(totals.offset));
        totals.limbs.resize(std::max(rows, grown) * width);
    } else {
        // Lengths past the cut are never asked for.
        if (cut != noCut)
            grown = std::int64_t(cut) < totals.first
                ? 1
                : std::min<std::uint64_t>(grown, std::uint64_t(std::int64_t(cut) - totals.first) / rule.period + 1);
        totals.limbs.assign(grown * unit * width, 0);
    }
    WindowRows sums { totals.limbs.data(), plain.limbs.data(), std::int64_t(rows),
        plain.limbs.data() + plain.limbs.size() - width, unit, width };
    sumOverWindows(sums, 0, std::int64_t(grown) - 1, std::int64_t(step), rule.repeats);
    return totals;
}

namespace {

// The running total up to and including `length`.
void totalUpTo(const SpectrumIndex &spectra, const Poly &totals, std::int64_t length, mpz_t out)
{
    static const mp_limb_t zero = 0;
    const mp_limb_t *total = totalAt(totals, spectra.width, length);
    if (!total) {
        mpz_roinit_n(out, &zero, 0);
        return;
    }
    mpz_roinit_n(out, total, static_cast<mp_size_t>(spectra.width));
}

} // namespace

void countInWindow(const SpectrumIndex &spectra, const Poly &totals, Window window, mpz_class &out)
{
    if (window.high < window.low || window.high < std::int64_t(totals.offset)) {
        out = 0;
        return;
    }
    mpz_t upper, lower;
    totalUpTo(spectra, totals, window.high, upper);
    totalUpTo(spectra, totals, window.low - 1, lower);
    mpz_sub(out.get_mpz_t(), upper, lower);
    // Totals summed over the windows of a length rule wrap at the slots' width.
    if (out < 0)
        out += mpz_class(1) << (spectra.width * GMP_NUMB_BITS);
}

} // namespace razmnozhator::detail
