#include "rootlengths.h"

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
    const Sequence &root = program.sequences[program.root];
    const PositionIndex &index = positionIndex(program);
    double variants = 0;
    for (std::uint32_t i = 0; i < root.groupCount; ++i) {
        const std::uint64_t count = index.count[index.groupNode(program.groupRefs[root.groupBegin + i])];
        if (count > mostVariants)
            return nullptr;
        variants += double(count);
    }
    if (!(variants * double(program.figures.longestBytes + 1) <= mostBytes))
        return nullptr;

    std::unique_ptr<RootLengths> made(new RootLengths(program));
    made->first_ = lengthOf(0);
    // The variant that takes choice v of group i and the first of every
    // other group is at v times the number of variants of the groups after i.
    mpz_class after = 1;
    made->begin_.resize(root.groupCount + 1);
    std::vector<std::vector<std::int64_t>> lengths(root.groupCount);
    for (std::uint32_t i = root.groupCount; i-- > 0;) {
        const std::uint64_t count = index.count[index.groupNode(program.groupRefs[root.groupBegin + i])];
        for (std::uint64_t v = 0; v < count; ++v)
            lengths[i].push_back(std::int64_t(lengthOf(after * static_cast<unsigned long>(v)) - made->first_));
        after *= static_cast<unsigned long>(count);
    }
    for (std::uint32_t i = 0; i < root.groupCount; ++i) {
        made->begin_[i] = made->lengths_.size();
        made->lengths_.insert(made->lengths_.end(), lengths[i].begin(), lengths[i].end());
    }
    made->begin_[root.groupCount] = made->lengths_.size();
    return made;
}

std::uint64_t RootLengths::lengthAt(const mpz_class &position)
{
    positions_.start(position);
    const std::uint64_t *digits = positions_.sequenceDigits(GroupPlace { program_.root, 0, noFrame, 0 });
    std::int64_t length = std::int64_t(first_);
    for (std::size_t i = 0; i + 1 < begin_.size(); ++i)
        length += lengths_[begin_[i] + digits[i]];
    return std::uint64_t(length);
}

} // namespace razmnozhator::detail
