#pragma once

// Counts within a window of lengths, read off running totals of a spectrum:
// the number up to the window's end less the number before its start.

#include "figures/lengthcounts.h"
#include "figures/multiword.h"
#include "figures/polyarithmetic.h"

#include <gmpxx.h>

#include <cstddef>
#include <cstdint>

namespace razmnozhator::detail {

// A window of lengths; lengths before the window has moved may go negative.
struct Window
{
    std::int64_t low;
    std::int64_t high;
};

// The number of variants of a spectrum, given as running totals from its
// shortest length up, whose length lies in the window.
void countInWindow(const SpectrumIndex &spectra, const Poly &totals, Window window, mpz_class &out);
// The same in the first `words` words, of running totals of `width` words
// a slot.
inline void countInWindow(const Poly &totals, std::size_t width, Window window, std::size_t words, mp_limb_t *out)
{
    const mp_limb_t *upper = window.high >= window.low ? totalAt(totals, width, window.high) : nullptr;
    multiword::difference(upper, upper ? totalAt(totals, width, window.low - 1) : nullptr, words, out);
}
// Running totals of a spectrum; under a length rule that refuses some
// variants, summed over its windows (see RuleLengths), so that every count
// within a window counts within all of them. Lengths past `cut` are never
// asked for.
Poly runningTotals(const SpectrumIndex &spectra, const Poly &poly, std::uint64_t cut);

} // namespace razmnozhator::detail
