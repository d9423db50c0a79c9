#include "access/positions.h"

#include <algorithm>
#include <bit>
#include <type_traits>

namespace razmnozhator::detail {

PositionDecoder::PositionDecoder(const Program &program)
    : index_(positionIndex(program))
    , scratch_(64)
{
}

PositionDecoder::~PositionDecoder() = default;

void PositionDecoder::start(const mpz_class &position)
{
    split(index_.program.root, position, root_);
}

void PositionDecoder::splitBlock(
    std::uint32_t sequence, std::uint32_t begin, std::uint32_t end, std::uint64_t residual, Digits &digits) const
{
    const Program &program = index_.program;
    const std::uint32_t *groups = program.groupRefs.data() + program.sequences[sequence].groupBegin + begin;
    splitMixedRadix(
        residual, end - begin,
        [&](std::size_t i) {
            return Radix { index_.count[index_.groupNode(groups[i])], index_.reciprocal[groups[i]] };
        },
        [&](std::size_t i, std::uint64_t digit) { digits.word[begin + i] = digit; });
}

void PositionDecoder::splitWord(std::uint32_t sequence, std::uint64_t residual, Digits &digits) const
{
    const std::uint32_t groups = index_.program.sequences[sequence].groupCount;
    if (groups == 0)
        return;
    digits.word.resize(groups);
    splitBlock(sequence, 0, groups, residual, digits);
}

void PositionDecoder::split(std::uint32_t sequence, const mpz_class &residual, Digits &digits)
{
    if (!index_.isBig(sequence)) {
        splitWord(sequence, static_cast<std::uint64_t>(residual.get_ui()), digits);
        return;
    }
    const PositionIndex::BigSequence &tree = index_.bigSequences.at(sequence);
    const std::uint32_t groups = index_.program.sequences[sequence].groupCount;
    digits.word.resize(groups);
    if (tree.powerOfTwo) {
        splitBits(sequence, residual, digits);
        return;
    }
    if (tree.hasBigGroups)
        digits.big.resize(groups);
    splitTree(tree, sequence, 1, 0, static_cast<std::uint32_t>(tree.blockEnd.size()), residual, digits, 0);
}

// The last group's digit is the residual's lowest bits, and so on up.
void PositionDecoder::splitBits(std::uint32_t sequence, const mpz_class &residual, Digits &digits) const
{
    const Program &program = index_.program;
    const Sequence &compiled = program.sequences[sequence];
    const std::uint32_t *groups = program.groupRefs.data() + compiled.groupBegin;
    const mp_limb_t *limbs = mpz_limbs_read(residual.get_mpz_t());
    const std::size_t size = mpz_size(residual.get_mpz_t());
    const auto limb = [&](std::size_t i) { return i < size ? std::uint64_t(limbs[i]) : 0; };
    std::size_t from = 0;
    for (std::uint32_t i = compiled.groupCount; i-- > 0;) {
        const std::uint64_t radix = index_.count[index_.groupNode(groups[i])];
        const auto bits = static_cast<unsigned>(std::countr_zero(radix));
        const std::size_t word = from / 64;
        const unsigned shift = from % 64;
        std::uint64_t value = limb(word) >> shift;
        if (shift + bits > 64)
            value |= limb(word + 1) << (64 - shift);
        digits.word[i] = value & (radix - 1);
        from += bits;
    }
}

// A residual of a few words, of the blocks from `low` to `high`, is split
// block by block from the right, two blocks' residuals at a time the
// remainder of one division of a short number by a word, which costs less
// than the remainder tree's divisions of big numbers.
void PositionDecoder::splitShort(const PositionIndex::BigSequence &tree, std::uint32_t sequence, std::uint32_t low,
    std::uint32_t high, const mpz_class &residual, Digits &digits)
{
    auto size = static_cast<mp_size_t>(mpz_size(residual.get_mpz_t()));
    mp_limb_t limbs[shortResidual];
    std::copy_n(mpz_limbs_read(residual.get_mpz_t()), size, limbs);
    const auto divideBy = [&](std::uint64_t divisor) {
        const std::uint64_t remainder = size == 0 ? 0 : mpn_divrem_1(limbs, 0, limbs, size, divisor);
        while (size > 0 && limbs[size - 1] == 0)
            --size;
        return remainder;
    };
    const auto begin = [&](std::size_t block) { return block == 0 ? 0 : tree.blockEnd[block - 1]; };
    for (std::size_t block = high; block-- > low;) {
        const std::uint64_t count = tree.blockCount[block];
        std::uint64_t both = 0;
        if (block > low && !__builtin_mul_overflow(count, tree.blockCount[block - 1], &both)) {
            const std::uint64_t remainder = divideBy(both);
            splitBlock(sequence, begin(block), tree.blockEnd[block], remainder % count, digits);
            --block;
            splitBlock(sequence, begin(block), tree.blockEnd[block], remainder / count, digits);
            continue;
        }
        splitBlock(sequence, begin(block), tree.blockEnd[block], divideBy(count), digits);
    }
}

void PositionDecoder::splitTree(const PositionIndex::BigSequence &tree, std::uint32_t sequence, std::size_t node,
    std::uint32_t low, std::uint32_t high, const mpz_class &residual, Digits &digits, std::size_t depth)
{
    if (!tree.hasBigGroups && mpz_size(residual.get_mpz_t()) <= shortResidual) {
        splitShort(tree, sequence, low, high, residual, digits);
        return;
    }
    if (high - low == 1) {
        const std::uint32_t begin = low == 0 ? 0 : tree.blockEnd[low - 1];
        const std::uint32_t end = tree.blockEnd[low];
        const std::uint32_t group = index_.program.groupRefs[index_.program.sequences[sequence].groupBegin + begin];
        if (index_.isBig(index_.groupNode(group)))
            digits.big[begin] = residual;
        else
            splitBlock(sequence, begin, end, residual.get_ui(), digits);
        return;
    }
    const std::uint32_t middle = low + (high - low) / 2;
    std::array<mpz_class, 2> &parts = scratch_[depth];
    mpz_tdiv_qr(
        parts[0].get_mpz_t(), parts[1].get_mpz_t(), residual.get_mpz_t(), tree.product[2 * node + 1].get_mpz_t());
    splitTree(tree, sequence, 2 * node, low, middle, parts[0], digits, depth + 1);
    splitTree(tree, sequence, 2 * node + 1, middle, high, parts[1], digits, depth + 1);
}

GroupChoice PositionDecoder::openGroup(std::uint32_t group, std::uint32_t frame, const GroupPlace &at)
{
    // Plain-text pieces hold no groups, and so need no digits of their own:
    // most frames of long templates.
    if (index_.program.groups[group].pieceLiteralsBegin == noLiterals && slots_.size() <= frame)
        slots_.resize(frame + 1);
    const Digits &digits = at.owner == noFrame ? root_ : slots_[at.owner][at.slot];
    if (index_.isBig(index_.groupNode(group)))
        return open(group, digits.big[at.element], frame);
    return open(group, digits.word[at.element], frame);
}

template <class Number>
GroupChoice PositionDecoder::open(std::uint32_t group, const Number &variant, std::uint32_t frame)
{
    const Program &program = index_.program;
    const Group &compiled = program.groups[group];
    return visitKind(compiled, [&](auto kind) {
        using Kind = decltype(kind);
        Number slots[Kind::slots];
        const GroupChoice choice = index_.decode<Kind>(group, variant, slots);
        for (int slot = 0; slot < Kind::slots; ++slot) {
            const std::uint32_t sequence
                = Kind::slotSequence(program.choicePieces.data(), program.pieces.data(), compiled, choice, slot);
            if constexpr (std::is_same_v<Number, mpz_class>)
                split(sequence, slots[slot], slots_[frame][slot]);
            else
                splitWord(sequence, slots[slot], slots_[frame][slot]);
        }
        return choice;
    });
}

} // namespace razmnozhator::detail
