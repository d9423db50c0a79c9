#include "listing/lengthpruning.h"

#include "listing/odometer.h"

#include <memory>

namespace razmnozhator {

detail::LengthPruning::LengthPruning(const Program &program, LengthRange lengths)
    : range(lengths)
    , nodes(nodeLengths(program))
{
    const RuleLengths &rule = program.ruleLengths;
    const std::uint64_t top = rule.period * (rule.repeats - 1);
    if (rule.weighted && rule.repeats > 1 && range.min + top <= range.max) {
        period = rule.period;
        repeats = rule.repeats;
        width = range.max - top - range.min;
    }
    after.resize(program.groupRefs.size());
    for (const Sequence &sequence : program.sequences) {
        suffixFigures(
            sequence.groupCount, NodeLengths::Bounds { 0, 0 },
            [&](std::size_t element) {
                const NodeLengths::Bounds &group = nodes.groups[program.groupRefs[sequence.groupBegin + element]];
                const std::uint64_t literal = program.characters(sequence.literalBegin + element + 1);
                return NodeLengths::Bounds { group.shortest + literal, group.longest + literal };
            },
            [](NodeLengths::Bounds rest, NodeLengths::Bounds part) {
                return NodeLengths::Bounds { rest.shortest + part.shortest, rest.longest + part.longest };
            },
            [&](std::size_t element, NodeLengths::Bounds rest) {
                const std::uint64_t literal = program.characters(sequence.literalBegin + element + 1);
                after[sequence.groupBegin + element] = { rest.shortest + literal, rest.longest + literal };
            });
    }
}

void Enumerator::State::passOverOutside(LengthRange range)
{
    bounds = std::make_unique<const detail::LengthPruning>(*program, range);
    countLengths();
}

} // namespace razmnozhator
