#pragma once

// The counts that random access reads: for a position in the expansion
// order, the choice of every group on the variant's path is found by
// mixed-radix arithmetic on per-node counts instead of enumerating.
//
// In a sequence the leftmost group changes slowest, so a residual of the
// sequence is a number whose digits, most significant first, are its groups'
// variant indexes and whose radixes are their counts (mixedradix.h). A
// group's choice is found from running counts over its choices
// (choicearithmetic.h).
//
// Counts are machine words wherever a node's count fits one; big numbers only
// above. A sequence whose count needs big numbers is cut into blocks: runs of
// groups whose product stays below 2^32, where a division by a group's count
// is two multiplications by its reciprocal, and each group of a larger count
// on its own. The product tree of the blocks' counts lets the decoder split a
// big residual into the blocks' residuals with a few big divisions of
// balanced size instead of one division per group (positions.h).

#include "program/choicearithmetic.h"
#include "program/mixedradix.h"
#include "program/nodes.h"
#include "program/program.h"

#include <gmpxx.h>

#include <cstddef>
#include <cstdint>
#include <type_traits>
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
    std::uint32_t groupNode(std::uint32_t group) const { return std::uint32_t(groupNodeIndex(program, group)); }
    bool isBig(std::uint32_t node) const { return count[node] == bigCount; }
    mpz_class countOf(std::uint32_t node) const;

    static constexpr std::uint64_t bigCount = UINT64_MAX;
    // Blocks of groups of a long sequence stay below it.
    static constexpr std::uint64_t blockLimit = std::uint64_t(1) << 32;
    // Per node: its count, or bigCount when it is kept in `big`.
    std::vector<std::uint64_t> count;
    std::unordered_map<std::uint32_t, mpz_class> big;

    // Per group: its count's reciprocal (Radix in mixedradix.h), for
    // splitting a residual.
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
    // The running counts over each group's choices that decoding reads
    // (Kind::prefixes()): for groups whose count fits a word, where the
    // kind places them in `prefix`; else in `bigPrefix`.
    std::vector<std::uint64_t> prefix;
    std::unordered_map<std::uint32_t, std::vector<mpz_class>> bigPrefix;

    // A group's choice for its variant index, with the residuals of the
    // choice's slots: in machine words for groups whose count fits one, else
    // in big numbers.
    template <class Kind, class Number>
    [[gnu::always_inline]] GroupChoice decode(std::uint32_t group, const Number &variant, Number *slots) const
    {
        const Group &compiled = program.groups[group];
        if constexpr (std::is_same_v<Number, mpz_class>)
            return Kind::decode(
                program, compiled, bigPrefix.at(group).data(), [this](std::uint32_t node) { return countOf(node); },
                variant, slots);
        else
            return Kind::decode(
                program, compiled, prefix.data() + Kind::prefixBegin(program, compiled),
                [this](std::uint32_t node) { return count[node]; }, variant, slots);
    }

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

} // namespace razmnozhator::detail
