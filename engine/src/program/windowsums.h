#pragma once

// Running totals summed over the windows of a length rule that refuses some
// variants (RuleLengths): W(x) = T(x) + T(x - step) + ... over `repeats`
// terms, one window apart, so that W(high) - W(low - 1) counts within all
// the windows at once. Each is made from the one a step before, W(x) =
// W(x - step) + T(x) - T(x - repeats step): two operations whatever the
// number of windows.

#include <cstdint>

namespace razmnozhator::detail {

// W(x) for x from `first` to `last`, into `sums`: sums.clear(x) makes W(x)
// zero, sums.copy(x, y) makes it W(y), and sums.add(x, t) and
// sums.subtract(x, t) add T(t) to it and take it off. The first step of
// them are summed term by term.
template <class Sums>
void sumOverWindows(Sums &sums, std::int64_t first, std::int64_t last, std::int64_t step, std::int64_t repeats)
{
    for (std::int64_t x = first; x <= last; ++x) {
        if (x - first < step) {
            sums.clear(x);
            for (std::int64_t j = 0; j < repeats; ++j)
                sums.add(x, x - j * step);
            continue;
        }
        sums.copy(x, x - step);
        sums.add(x, x);
        sums.subtract(x, x - repeats * step);
    }
}

} // namespace razmnozhator::detail
