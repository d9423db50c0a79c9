#pragma once

// Lengths by a rule inside the engine: how literals are weighed, and which
// engine lengths bounds by the rule keep (see RuleLengths in program.h).

#include "program/program.h"

#include "razmnozhator/lengthbounds.h"

#include <cstdint>

namespace razmnozhator::detail {

// The engine lengths that bounds by the rule keep: `repeats` windows
// [low - j * period, high - j * period], j = 0, 1, ...; none when empty.
struct RuleWindow
{
    bool empty = false;
    std::uint64_t low = 0;
    std::uint64_t high = 0;
};
RuleWindow ruleWindow(const Program &program, LengthRange range);

// Whether bounds by the rule keep a variant of this engine length.
inline bool keepsLength(const RuleLengths &rule, LengthRange range, std::uint64_t length)
{
    if (!rule.weighted)
        return range.contains(length);
    const std::uint64_t limited = (length - rule.base) / rule.period;
    return limited < rule.repeats && range.contains(length - limited * rule.period);
}

// The engine lengths from the lowest to the highest that bounds by the rule
// keep: what may pass over a part whose lengths all lie outside.
LengthRange engineHull(const Program &program, LengthRange range);

} // namespace razmnozhator::detail
