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
// mostUncounted of them, whatever the bounds.
struct LengthRule
{
    std::bitset<256> uncounted;
    std::uint32_t mostUncounted = UINT32_MAX;

    bool plain() const noexcept { return uncounted.none(); }
    // The length of a line of the text as written by this rule, or nullopt
    // when the rule never keeps it (too many uncounted bytes).
    std::optional<std::uint64_t> lengthOf(std::string_view line) const noexcept;

    friend bool operator==(const LengthRule &, const LengthRule &) = default;
};

} // namespace razmnozhator
