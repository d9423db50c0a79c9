// Lengths counted by a rule: a line's length, and the weights that make the
// engine's length figures count by the rule (see RuleLengths in program.h).

#include "razmnozhator/lengthrule.h"

#include "figures/lengthweights.h"
#include "figures/walk.h"
#include "program/nodes.h"

#include "razmnozhator/engine.h"

#include <algorithm>
#include <vector>

namespace razmnozhator {

std::optional<std::uint64_t> LengthRule::lengthOf(std::string_view line) const noexcept
{
    std::uint64_t uncountedBytes = 0;
    std::uint64_t limitedBytes = 0;
    for (const char c : line) {
        uncountedBytes += uncounted[static_cast<unsigned char>(c)];
        limitedBytes += limited[static_cast<unsigned char>(c)];
    }
    if (limits() && limitedBytes > mostLimited)
        return std::nullopt;
    return line.size() - uncountedBytes;
}

namespace detail {

namespace {

constexpr unsigned limitedShift = 32;
constexpr std::uint64_t countedMask = (std::uint64_t(1) << limitedShift) - 1;
// Past this many limited bytes a limit is no limit the engine can weigh.
constexpr std::uint32_t mostLimitWeighed = 4095;

std::uint64_t countedOf(std::uint64_t weight)
{
    return weight & countedMask;
}
std::uint64_t limitedOf(std::uint64_t weight)
{
    return weight >> limitedShift;
}

// The shortest and longest counted lengths and the fewest and most limited
// bytes of a node's variants, each on its own.
struct Extremes
{
    struct Value
    {
        std::uint64_t shortest = 0;
        std::uint64_t longest = 0;
        std::uint64_t fewest = 0;
        std::uint64_t most = 0;
    };
    static Value text(std::uint64_t weight, std::uint64_t)
    {
        return { countedOf(weight), countedOf(weight), limitedOf(weight), limitedOf(weight) };
    }
    static Value add(const Value &a, const Value &b)
    {
        return { std::min(a.shortest, b.shortest), std::max(a.longest, b.longest), std::min(a.fewest, b.fewest),
            std::max(a.most, b.most) };
    }
    static Value mul(const Value &a, const Value &b)
    {
        return { a.shortest + b.shortest, a.longest + b.longest, a.fewest + b.fewest, a.most + b.most };
    }
};

// The shortest and longest counted length of a node's variants for each
// number of limited bytes up to the limit: (min, +) and (max, +) on
// vectors, products cut at the limit.
struct ByLimited
{
    static constexpr std::uint64_t none = UINT64_MAX;
    struct Value
    {
        std::vector<std::uint64_t> shortest; // none where no variant has that many
        std::vector<std::uint64_t> longest;
    };
    std::size_t size = 16;

    Value text(std::uint64_t weight, std::uint64_t) const
    {
        Value value { std::vector<std::uint64_t>(size, none), std::vector<std::uint64_t>(size, 0) };
        if (limitedOf(weight) < size)
            value.shortest[limitedOf(weight)] = value.longest[limitedOf(weight)] = countedOf(weight);
        return value;
    }
    static Value add(const Value &a, const Value &b)
    {
        Value sum = a;
        for (std::size_t k = 0; k < sum.shortest.size(); ++k) {
            sum.shortest[k] = std::min(a.shortest[k], b.shortest[k]);
            sum.longest[k] = std::max(a.longest[k], b.longest[k]);
        }
        return sum;
    }
    Value mul(const Value &a, const Value &b) const
    {
        Value product { std::vector<std::uint64_t>(size, none), std::vector<std::uint64_t>(size, 0) };
        for (std::size_t i = 0; i < size; ++i) {
            if (a.shortest[i] == none)
                continue;
            for (std::size_t j = 0; i + j < size; ++j) {
                if (b.shortest[j] == none)
                    continue;
                product.shortest[i + j] = std::min(product.shortest[i + j], a.shortest[i] + b.shortest[j]);
                product.longest[i + j] = std::max(product.longest[i + j], a.longest[i] + b.longest[j]);
            }
        }
        return product;
    }
};

} // namespace

std::uint64_t literalWeight(const LengthRule &rule, std::string_view text) noexcept
{
    if (rule.plain())
        return text.size();
    std::uint64_t uncounted = 0;
    std::uint64_t limited = 0;
    for (const char c : text) {
        uncounted += rule.uncounted[static_cast<unsigned char>(c)];
        limited += rule.limited[static_cast<unsigned char>(c)];
    }
    if (!rule.limits())
        limited = 0;
    return (text.size() - uncounted) | (limited << limitedShift);
}

void weighLiterals(Program &program)
{
    if (program.lengthRule.plain())
        return;
    const auto ignore = [](std::uint32_t, const auto &) {};
    std::vector<RuleLengths::Runs> runs(program.sequences.size() + program.groups.size());
    const Extremes::Value extremes
        = walkPostorder(program, Extremes {}, [&](std::uint32_t node, const Extremes::Value &value) {
              const std::size_t at = nodeIndex(program, node);
              runs[at]
                  = { value.longest - value.shortest + 1, value.most - value.fewest + 1, value.shortest, value.fewest };
          });
    const std::uint64_t limit = program.lengthRule.mostLimited;
    RuleLengths &rule = program.ruleLengths;
    if (extremes.most <= limit) {
        // The limit refuses nothing: lengths are the rule's own, and with
        // every byte counted, the plain ones.
        for (std::uint64_t &characters : program.literalCharacters)
            characters = countedOf(characters);
        if (program.lengthRule.uncounted.none() && !program.literalMap)
            program.literalCharacters = {};
        rule.base = rule.shortest = extremes.shortest;
        rule.longest = extremes.longest;
        return;
    }
    if (limit > mostLimitWeighed)
        throw LimitError(LimitError::Task::LengthCounts, LimitError::Resource::Memory,
            (limit + 1) * sizeof(std::uint64_t), (mostLimitWeighed + 1) * sizeof(std::uint64_t));
    rule.weighted = true;
    rule.nodeRuns = std::move(runs);
    rule.base = extremes.shortest;
    rule.period = extremes.longest - extremes.shortest + 1;
    rule.repeats = std::uint32_t(limit + 1);
    rule.keepsNone = extremes.fewest > limit;
    const LengthRule &measure = program.lengthRule;
    if (measure.uncounted == measure.limited)
        rule.bytesDropPerLimited = rule.period - 1;
    else if (measure.uncounted.none())
        rule.bytesDropPerLimited = rule.period;
    if (!rule.keepsNone) {
        const ByLimited::Value lengths = walkPostorder(program, ByLimited { limit + 1 }, ignore);
        rule.shortest = ByLimited::none;
        for (std::size_t k = 0; k <= limit; ++k) {
            if (lengths.shortest[k] == ByLimited::none)
                continue;
            rule.shortest = std::min(rule.shortest, lengths.shortest[k]);
            rule.longest = std::max(rule.longest, lengths.longest[k]);
        }
    }
    // A literal's limited bytes past the limit refuse every variant that
    // holds it, so they count as one past it: the engine's lengths stay small.
    rule.literalLimited.reserve(program.literalCharacters.size());
    for (std::uint64_t &characters : program.literalCharacters) {
        const std::uint64_t limited = std::min(limitedOf(characters), limit + 1);
        rule.literalLimited.push_back(std::uint32_t(limited));
        characters = countedOf(characters) + rule.period * limited;
    }
}

RuleWindow ruleWindow(const Program &program, LengthRange range)
{
    const RuleLengths &rule = program.ruleLengths;
    if (!rule.weighted)
        return { range.min > range.max, range.min, range.max };
    const std::uint64_t low = std::max(range.min, rule.base);
    const std::uint64_t high = std::min(range.max, rule.base + rule.period - 1);
    if (rule.keepsNone || low > high)
        return { true, 0, 0 };
    const std::uint64_t top = rule.period * (rule.repeats - 1);
    return { false, low + top, high + top };
}

LengthRange engineHull(const Program &program, LengthRange range)
{
    const RuleLengths &rule = program.ruleLengths;
    if (!rule.weighted)
        return range;
    const RuleWindow window = ruleWindow(program, range);
    if (window.empty)
        return { 1, 0 };
    return { window.low - rule.period * (rule.repeats - 1), window.high };
}

} // namespace detail

} // namespace razmnozhator
