#pragma once

// Bounds on a variant's length: the one type the engine, the window and the
// command-line tool pass them in.

#include <cstdint>

namespace razmnozhator {

// Inclusive bounds on a variant's length in characters.
struct LengthRange
{
    std::uint64_t min = 0;
    std::uint64_t max = UINT64_MAX;

    bool contains(std::uint64_t length) const noexcept { return length >= min && length <= max; }
    // False when every length is within the bounds.
    bool bounds() const noexcept { return min > 0 || max < UINT64_MAX; }

    friend bool operator==(const LengthRange &, const LengthRange &) = default;
};

} // namespace razmnozhator
