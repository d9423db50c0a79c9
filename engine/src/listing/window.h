#pragma once

// Length bounds as the range decoder reads them: the one place they become
// a window of engine lengths.

#include "access/rangeindex.h"
#include "figures/lengthweights.h"

#include "razmnozhator/lengthbounds.h"

#include <algorithm>
#include <cstdint>

namespace razmnozhator::detail {

// The highest of the windows that bounds by the rule keep (see ruleWindow()),
// its ends held low enough that sums of lengths in a window never overflow.
inline Window windowOf(const Program &program, LengthRange range)
{
    const auto bound = [](std::uint64_t length) {
        return static_cast<std::int64_t>(std::min<std::uint64_t>(length, INT64_MAX / 2));
    };
    const RuleWindow window = ruleWindow(program, range);
    return { bound(window.low), bound(window.high) };
}

} // namespace razmnozhator::detail
