#include "listing/lengthpruning.h"

#include "listing/odometer.h"
#include "program/nodes.h"

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
        windows = true;
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
    if (windows)
        splitRuleLengths(program);
}

void detail::LengthPruning::splitRuleLengths(const Program &program)
{
    const RuleLengths &rule = program.ruleLengths;
    const auto splitOf = [](const RuleLengths::Runs &runs) {
        return Split { runs.shortest, runs.shortest + runs.span - 1, runs.fewest, runs.fewest + runs.rows - 1 };
    };
    const auto literalSplit = [&](std::uint32_t literal) {
        const std::uint64_t limited = rule.literalLimited[literal];
        const std::uint64_t counted = program.characters(literal) - rule.period * limited;
        return Split { counted, counted, limited, limited };
    };
    sequenceSplits.resize(program.sequences.size());
    for (std::size_t i = 0; i < program.sequences.size(); ++i)
        sequenceSplits[i] = splitOf(rule.nodeRuns[i]);
    afterSplits.resize(program.groupRefs.size());
    for (const Sequence &sequence : program.sequences) {
        suffixFigures(
            sequence.groupCount, Split {},
            [&](std::size_t element) {
                Split part
                    = splitOf(rule.nodeRuns[groupNodeIndex(program, program.groupRefs[sequence.groupBegin + element])]);
                part += literalSplit(sequence.literalBegin + std::uint32_t(element) + 1);
                return part;
            },
            [](Split rest, const Split &part) { return rest += part; },
            [&](std::size_t element, Split rest) {
                afterSplits[sequence.groupBegin + element] = rest
                    += literalSplit(sequence.literalBegin + std::uint32_t(element) + 1);
            });
    }
}

void detail::LengthPruning::noteRestSplit(
    const Program &program, std::span<const Frame> frames, const Frame &frame, const Cursor &at) const
{
    seenFrames = frames.data();
    const auto index = std::size_t(&frame - frames.data());
    if (restSplits.size() <= index)
        restSplits.resize(index + 1);
    Split &split = restSplits[index];
    split = afterSplits[program.sequences[at.sequence].groupBegin + at.element];
    if (at.owner == noFrame)
        return;
    split += restSplits[at.owner];
    const Frame &owner = frames[at.owner];
    forEachSlotFrom(program, program.groups[owner.group], owner, at.slot + 1,
        [&](std::uint32_t sequence) { split += sequenceSplits[sequence]; });
}

bool detail::LengthPruning::fitsSplit(const Program &program, const Frame &frame, std::uint64_t start) const
{
    Split split = restSplits[std::size_t(&frame - seenFrames)];
    forEachSlotFrom(program, program.groups[frame.group], frame, 0,
        [&](std::uint32_t sequence) { split += sequenceSplits[sequence]; });
    return withinRuns(start, split);
}

void Enumerator::State::passOverOutside(LengthRange range)
{
    bounds = std::make_unique<const detail::LengthPruning>(*program, range);
    countLengths();
}

} // namespace razmnozhator
