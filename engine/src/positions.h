#pragma once

// Random access to the variants: for every position in the expansion order,
// the choice of every group on the variant's path, found by mixed-radix
// arithmetic on per-node counts instead of enumerating.
//
// In a sequence the leftmost group changes slowest, so its choice is the
// position divided by the product of the counts of the groups after it. An
// alternatives group's pieces follow one another, so a choice is found by
// binary search over their running counts. A pairs group lists its ordered
// pairs (r, f) with r slowest, and within one pair r's variant, then the
// separator's, then f's: running counts over r find the first item, the items
// other than r the second, and what is left splits over the three.
//
// The tables hold one number per node and per group slot; in 64-bit words
// when the template's count fits, as big integers otherwise, within a budget.

#include "program.h"

#include <array>
#include <cstdint>
#include <optional>
#include <vector>

namespace razmnozhator::detail {

template <class Number> struct PositionTables
{
    std::vector<Number> sequenceCount;
    // Per Program::groupRefs entry: the product of the counts of the groups
    // after it in its sequence.
    std::vector<Number> suffix;
    // Per Program::choicePieces entry: the count of the earlier choices of its group.
    std::vector<Number> choicePrefix;
    // Per Program::pieces entry of a pairs group's items: the count of the
    // earlier items, and the separator's count times the sum over earlier
    // items r of c_r * (C - c_r), where the blocks of first items start.
    std::vector<Number> itemPrefix;
    std::vector<Number> pairPrefix;
};

class PositionIndex
{
public:
    // Throws LimitError when the tables would not fit their budget.
    explicit PositionIndex(const Program &program);

    const Program &program;
    std::optional<PositionTables<std::uint64_t>> small;
    std::optional<PositionTables<mpz_class>> big;
};

// Built once per program, on first use.
const PositionIndex &positionIndex(const Program &program);

// What the enumerator needs to open one group's frame at a given residual.
struct PairChoice
{
    std::uint32_t first;
    std::uint32_t second;
};

// Splits `residual` of the sequence around a group into the group's variant
// index (returned in `variant`), leaving the rest for the groups after it.
template <class Number> struct PositionDecoder
{
    const Program &program;
    const PositionTables<Number> &tables;

    // The choice of an alternatives group for its variant index; the residual
    // becomes the index within the chosen piece.
    std::uint64_t alternativesChoice(const Group &group, Number &residual) const;
    // The pair of a pairs group; the three residuals of its slots (first item,
    // separator, second item).
    PairChoice pairsChoice(const Group &group, const Number &variant, std::array<Number, 3> &slots) const;
};

} // namespace razmnozhator::detail
