#include "access/rootlengths.h"

#include "program/mixedradix.h"

#include <algorithm>

namespace razmnozhator::detail {

namespace {

// Groups of the template's own sequence with more variants are not noted.
constexpr std::uint64_t mostVariants = 1 << 12;
// Bytes written to note the lengths: a few milliseconds.
constexpr double mostBytes = 1 << 24;

} // namespace

RootLengths::RootLengths(const Program &program)
    : program_(program)
    , positions_(program)
{
}

std::unique_ptr<RootLengths> RootLengths::make(const Program &program, const LengthOf &lengthOf)
{
    const NodeLengths nodes = nodeLengths(program);
    return make(program, lengthOf,
        { [&program](std::uint32_t literal) { return program.characters(literal); },
            [&nodes](std::uint32_t group) { return nodes.groups[group].shortest; } });
}

std::unique_ptr<RootLengths> RootLengths::make(const Program &program, const LengthOf &lengthOf, const Measure &measure)
{
    const Sequence &root = program.sequences[program.root];
    const PositionIndex &index = positionIndex(program);
    const auto countOf
        = [&](std::uint32_t i) { return index.count[index.groupNode(program.groupRefs[root.groupBegin + i])]; };
    double variants = 0;
    for (std::uint32_t i = 0; i < root.groupCount; ++i) {
        if (countOf(i) > mostVariants)
            return nullptr;
        variants += double(countOf(i));
    }
    if (!(variants * double(program.figures.longestBytes + 1) <= mostBytes))
        return nullptr;

    std::unique_ptr<RootLengths> made(new RootLengths(program));
    for (std::uint32_t i = 0; i <= root.groupCount; ++i)
        made->literals_ += measure.literal(root.literalBegin + i);
    const std::uint64_t first = lengthOf(0);
    // The variant that takes choice v of group i and the first of every
    // other group is at v times the number of variants of the groups after
    // i; its length less that of the first variant is how much longer
    // choice v is than choice 0, and the shortest choice is as long as the
    // group's shortest variant.
    std::vector<std::vector<std::int64_t>> longer(root.groupCount);
    mpz_class after = 1;
    for (std::uint32_t i = root.groupCount; i-- > 0;) {
        for (std::uint64_t v = 0; v < countOf(i); ++v)
            longer[i].push_back(std::int64_t(lengthOf(after * static_cast<unsigned long>(v)) - first));
        after *= static_cast<unsigned long>(countOf(i));
    }
    for (std::uint32_t i = 0; i < root.groupCount; ++i) {
        made->begin_.push_back(made->lengths_.size());
        const std::int64_t least = *std::min_element(longer[i].begin(), longer[i].end());
        const std::uint64_t shortest = measure.least(program.groupRefs[root.groupBegin + i]);
        for (const std::int64_t length : longer[i])
            made->lengths_.push_back(shortest + std::uint64_t(length - least));
    }
    made->begin_.push_back(made->lengths_.size());
    return made;
}

std::uint64_t RootLengths::lengthAt(const mpz_class &position)
{
    positions_.start(position);
    return lengthOf(positions_.sequenceDigits(GroupPlace { program_.root, 0, noFrame, 0 }));
}

std::uint64_t RootLengths::lengthOf(const std::uint64_t *digits) const
{
    std::uint64_t length = literals_;
    for (std::size_t i = 0; i < groups(); ++i)
        length += lengths(i)[digits[i]];
    return length;
}

void RootLengths::position(const std::uint64_t *digits, mpz_class &out) const
{
    joinMixedRadix(
        groups(), [&](std::size_t i) { return count(i); }, [&](std::size_t i) { return digits[i]; }, out);
}

} // namespace razmnozhator::detail
