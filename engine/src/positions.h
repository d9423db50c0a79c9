#pragma once

// Random access to the variants: for a position in the expansion order, the
// choice of every group on the variant's path, found by mixed-radix
// arithmetic on per-node counts instead of enumerating.
//
// In a sequence the leftmost group changes slowest, so a residual of the
// sequence is a number whose digits, most significant first, are its groups'
// variant indexes and whose radixes are their counts. An alternatives group's
// pieces follow one another, so a choice is found by binary search over their
// running counts. A pairs group lists its ordered pairs (r, f) with r slowest,
// and within one pair r's variant, then the separator's, then f's: running
// counts over r find the first item, the items other than r the second, and
// what is left splits over the three.
//
// Counts are machine words wherever a node's count fits one; big numbers only
// above. A sequence whose count needs big numbers is cut into blocks of
// groups whose product fits a word, and its residual is split into the
// blocks' residuals by a remainder tree: divided by the product of the right
// half of the blocks, then each half the same way. That costs a few big
// divisions of balanced size instead of one division per group, so a position
// among 2^1000000 variants splits in well under a second.

#include "choices.h"
#include "program.h"

#include <gmpxx.h>

#include <array>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <memory>
#include <unordered_map>
#include <vector>

namespace razmnozhator::detail {

class PositionIndex
{
public:
    // Throws LimitError, before it takes the memory, when the counts would
    // not fit their budget.
    explicit PositionIndex(const Program &program);

    const Program &program;
    // Nodes are numbered sequences first, then groups.
    std::uint32_t groupNode(std::uint32_t group) const { return std::uint32_t(program.sequences.size()) + group; }
    bool isBig(std::uint32_t node) const { return count[node] == bigCount; }
    mpz_class countOf(std::uint32_t node) const;

    static constexpr std::uint64_t bigCount = UINT64_MAX;
    // Per node: its count, or bigCount when it is kept in `big`.
    std::vector<std::uint64_t> count;
    std::unordered_map<std::uint32_t, mpz_class> big;

    // Per group whose count is below 2^32: 2^64 / count rounded up, for
    // dividing by the count; else 0.
    std::vector<std::uint64_t> reciprocal;
    // Per Program::groupRefs entry of a sequence whose count fits a word: the
    // product of the counts of the groups after it there, which divides the
    // sequence's residual into the group's variant index and what is left.
    std::vector<std::uint64_t> countAfter;
    // Per Program::groupRefs entry: where the spans of its choices start in
    // Program::pieceLiterals when the group is plain-text alternatives, the
    // most common group, else noLiterals.
    std::vector<std::uint32_t> plainChoices;
    // Per sequence: whether its count fits a word and all its groups are of
    // plain-text pieces, so that it is written in one loop.
    std::vector<std::uint8_t> flat;
    // Groups whose count fits a word: per Program::choicePieces entry the
    // count of the earlier choices of its group; per Program::pieces entry of
    // a pairs group's items the count of the earlier items, and the
    // separator's count times the sum over earlier items r of c_r * (C - c_r),
    // where the blocks of first items start.
    std::vector<std::uint64_t> choicePrefix;
    std::vector<std::uint64_t> itemPrefix;
    std::vector<std::uint64_t> pairPrefix;
    // The same for groups whose count needs big numbers, from the group's
    // first entry on.
    struct BigGroup
    {
        std::vector<mpz_class> choicePrefix;
        std::vector<mpz_class> itemPrefix;
        std::vector<mpz_class> pairPrefix;
    };
    std::unordered_map<std::uint32_t, BigGroup> bigGroups;

    // Sequences whose count needs big numbers: where each block of groups
    // ends, and the product tree of the blocks' counts (node 1 spans every
    // block, node i's halves are 2i and 2i + 1).
    struct BigSequence
    {
        std::vector<std::uint32_t> blockEnd;
        // Per block: its count when it fits a word, else 0.
        std::vector<std::uint64_t> blockCount;
        std::vector<mpz_class> product;
        bool hasBigGroups = false;
        // Every group's count is a power of two, as a run of two-way choices
        // gives: the residual's bits are the digits, read without dividing.
        bool powerOfTwo = false;
    };
    std::unordered_map<std::uint32_t, BigSequence> bigSequences;
};

// Built once per program, on first use.
const PositionIndex &positionIndex(const Program &program);

// Gives the odometer the choices of the variant at a position. Keeps its
// storage between positions.
class PositionDecoder final : public ChoiceSource
{
public:
    // Throws LimitError like PositionIndex.
    explicit PositionDecoder(const Program &program);
    ~PositionDecoder();

    // The next walk from the template's start writes the variant at `position`
    // (below the count).
    void start(const mpz_class &position);

    // Writes the variant at `position` (below the count) into `out`, which
    // holds the longest variant and `slack` bytes more, straight from the
    // counts: a look-up that lists nothing after it needs no frames. Returns
    // its length in bytes; with `characters`, adds its length in characters
    // there.
    std::size_t write(const mpz_class &position, char *out, std::uint64_t *characters);
    static constexpr std::size_t slack = poolSlack;

    static constexpr bool readsLiterals = false;
    void literal(std::uint32_t) override { }
    // Groups of plain-text pieces need no look-up: their variant index makes
    // the choice. Most groups of long templates are such, so this part is
    // open to inlining.
    GroupChoice open(std::uint32_t group, std::uint32_t frame, const GroupPlace &at) override
    {
        const Group &compiled = index_.program.groups[group];
        if (compiled.pieceLiteralsBegin == noLiterals)
            return openGroup(group, frame, at);
        const std::uint64_t variant = sequenceDigits(at)[at.element];
        if (compiled.kind == GroupKind::Alternatives)
            return GroupChoice { variant, 0, 1 };
        return plainPair(variant, compiled.pieceCount - 1);
    }
    // The variant index of every group of the sequence at `at`, which is the
    // choice of each of its plain-text alternatives groups.
    const std::uint64_t *sequenceDigits(const GroupPlace &at) const
    {
        return (at.owner == noFrame ? root_ : slots_[at.owner][at.slot]).word.data();
    }

private:
    // The variant index of every group of a sequence, for one residual.
    struct Digits
    {
        std::vector<std::uint64_t> word;
        std::vector<mpz_class> big; // for groups whose count needs big numbers
    };

    void splitWord(std::uint32_t sequence, std::uint64_t residual, Digits &digits) const;
    void split(std::uint32_t sequence, const mpz_class &residual, Digits &digits);
    static constexpr std::size_t shortResidual = 16;
    void splitBits(std::uint32_t sequence, const mpz_class &residual, Digits &digits) const;
    void splitShort(const PositionIndex::BigSequence &tree, std::uint32_t sequence, std::uint32_t low,
        std::uint32_t high, const mpz_class &residual, Digits &digits);
    void splitTree(const PositionIndex::BigSequence &tree, std::uint32_t sequence, std::size_t node, std::uint32_t low,
        std::uint32_t high, const mpz_class &residual, Digits &digits, std::size_t depth);
    void splitBlock(
        std::uint32_t sequence, std::uint32_t begin, std::uint32_t end, std::uint64_t residual, Digits &digits) const;
    GroupChoice openGroup(std::uint32_t group, std::uint32_t frame, const GroupPlace &at);
    GroupChoice openWord(std::uint32_t group, std::uint64_t variant, std::uint32_t frame);
    GroupChoice openBig(std::uint32_t group, const mpz_class &variant, std::uint32_t frame);
    std::uint32_t slotSequence(std::uint32_t group, const GroupChoice &choice, int slot) const;

    // One sequence being written: its next element, and what is left of its
    // residual, in a word or split into `digits` (an entry of digitStack_).
    struct Step
    {
        std::uint32_t sequence;
        std::uint32_t element;
        std::uint64_t residual;
        std::uint32_t digits;
    };
    static constexpr std::uint32_t wordResidual = UINT32_MAX;
    // Writes one variant from the counts; see positions.cpp.
    template <bool Characters> class Writer;
    void pushBigGroup(std::uint32_t group, const mpz_class &variant);
    void pushSequence(std::uint32_t sequence, const mpz_class &residual);

    const PositionIndex &index_;
    std::vector<Step> steps_;
    // Digits of the big sequences being written; a deque, so that an entry
    // read stays where it is while later ones are added.
    std::deque<Digits> digitStack_;
    std::size_t digitsUsed_ = 0;
    std::array<mpz_class, 3> bigSlots_;
    Digits root_;
    std::vector<std::array<Digits, 3>> slots_;
    // Per level of the remainder tree: quotient and remainder.
    std::vector<std::array<mpz_class, 2>> scratch_;
};

} // namespace razmnozhator::detail
