#pragma once

// How a variant's length is counted: the one rule the engine, the window and
// the command-line tool measure lines by.

#include <bitset>
#include <cstdint>
#include <optional>
#include <string_view>

namespace razmnozhator {

// By default every character of the text as written counts. A rule can leave
// some bytes uncounted, and never keep a variant that holds more than
// mostLimited of the limited bytes, whatever the bounds. The two sets are
// apart: Direct's narrow characters are both, a platform's "!" only limited.
struct LengthRule
{
    std::bitset<256> uncounted;
    std::bitset<256> limited;
    std::uint32_t mostLimited = UINT32_MAX;

    bool limits() const noexcept { return limited.any() && mostLimited != UINT32_MAX; }
    bool plain() const noexcept { return uncounted.none() && !limits(); }
    // The length of a line of the text as written by this rule, or nullopt
    // when the rule never keeps it (too many limited bytes).
    std::optional<std::uint64_t> lengthOf(std::string_view line) const noexcept;

    friend bool operator==(const LengthRule &, const LengthRule &) = default;
};

} // namespace razmnozhator
