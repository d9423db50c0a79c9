#pragma once

// Random access to the variants: the decoder that turns a position into the
// choices of the groups on the variant's path, from the counts of
// positionindex.h, and writes the variant.
//
// A residual of a sequence whose count fits a word is split group by group.
// A bigger one is split by the remainder tree of its blocks, divided by the
// product of the right half of the blocks, then each half the same way,
// down to residuals of shortResidual words or fewer, which are split block
// by block from the right by divisions of a short number by a word: a
// position among 2^1000000 variants splits in well under a second. A
// sequence whose groups' counts are all powers of two reads its digits from
// the residual's bits.

#include "access/positionindex.h"
#include "program/choices.h"
#include "program/program.h"

#include <gmpxx.h>

#include <array>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <vector>

namespace razmnozhator::detail {

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
        return choiceAt(compiled, sequenceDigits(at)[at.element]);
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
    template <class Number> GroupChoice open(std::uint32_t group, const Number &variant, std::uint32_t frame);

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
    std::array<mpz_class, mostSlots> bigSlots_;
    Digits root_;
    std::vector<std::array<Digits, mostSlots>> slots_;
    // Per level of the remainder tree: quotient and remainder.
    std::vector<std::array<mpz_class, 2>> scratch_;
};

} // namespace razmnozhator::detail
