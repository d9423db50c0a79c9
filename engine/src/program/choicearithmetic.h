#pragma once

// How the choices of a group are numbered, and what each choice puts where.
//
// An alternatives group's choice c is its piece c (of Program::choicePieces
// from the group's choiceBegin on), and fills one slot. A pairs group of n
// items has n (n - 1) choices, the ordered pairs (first, second) of two
// different items, numbered with the first item slowest and the second
// running through the other items in order; a pair fills three slots in
// output order: the first item, the separator, the second item. Its pieces
// are the separator (piece 0) and then the items, and are compiled in the
// order 2, 0, 1, 3, 4, ...: the order in which the expansion meets them.
//
// The compiler, the indexes, the decoders and the odometer read these rules
// here, so that how pairs are numbered is said once.

#include "program/program.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>

namespace razmnozhator::detail {

// The choice a group makes: its index among the group's choices, and for
// pairs the two items of the ordered pair.
struct GroupChoice
{
    std::uint64_t choice = 0;
    std::uint32_t first = 0;
    std::uint32_t second = 1;
};

// Slots of a group's choice in output order.
constexpr int slotsOf(GroupKind kind)
{
    return kind == GroupKind::Pairs ? 3 : 1;
}

// The items of a pairs group: its pieces but the separator.
constexpr std::uint32_t itemCount(const Group &group)
{
    return group.pieceCount - 1;
}

// The ordered pairs of `items` items.
constexpr std::uint64_t pairCount(std::uint64_t items)
{
    return items * (items - 1);
}

// The index of the ordered pair (first, second) among them.
constexpr std::uint64_t pairIndex(std::uint32_t first, std::uint32_t second, std::uint32_t items)
{
    return first * (items - std::uint64_t { 1 }) + (second < first ? second : second - 1);
}

// The ordered pair at `index`.
constexpr GroupChoice pairAt(std::uint64_t index, std::uint32_t items)
{
    const std::uint32_t others = items - 1;
    const auto first = static_cast<std::uint32_t>(index / others);
    const auto second = static_cast<std::uint32_t>(index % others);
    return GroupChoice { index, first, second < first ? second : second + 1 };
}

// Choice `index` of a group: for pairs, the ordered pair at that index.
inline GroupChoice choiceAt(const Group &group, std::uint64_t index)
{
    return group.kind == GroupKind::Alternatives ? GroupChoice { index } : pairAt(index, itemCount(group));
}

// The second items of the pairs with first item `first`, in the order of
// their index: the other items in order, from firstSecond(first) on, each
// followed by nextSecond(); past the last one, nextSecond() gives the
// number of items.
constexpr std::uint32_t firstSecond(std::uint32_t first)
{
    return first == 0 ? 1 : 0;
}

constexpr std::uint32_t nextSecond(std::uint32_t second, std::uint32_t first)
{
    return second + 1 == first ? second + 2 : second + 1;
}

// Moves an ordered pair to the next one; the caller knows there is one.
constexpr void nextPair(std::uint32_t &first, std::uint32_t &second, std::uint32_t items)
{
    second = nextSecond(second, first);
    if (second == items) {
        ++first;
        second = firstSecond(first);
    }
}

// A pairs group's pieces: the separator, then the items.
inline constexpr std::uint32_t separatorPiece = 0;
constexpr std::uint32_t itemPiece(std::uint32_t item)
{
    return 1 + item;
}

// Which of the group's pieces fills slot `slot` of a choice: for
// alternatives the entry of its choices, for pairs the entry of its pieces.
// Program::pieceLiterals follows the same numbering.
template <class Choice> constexpr std::uint64_t slotPiece(GroupKind kind, const Choice &choice, int slot)
{
    if (kind == GroupKind::Alternatives)
        return choice.choice;
    return slot == 0 ? itemPiece(choice.first) : slot == 1 ? separatorPiece : itemPiece(choice.second);
}

// The sequence that fills slot `slot` of a choice, from the program's
// choicePieces and pieces.
template <class Choice>
[[gnu::always_inline]] inline std::uint32_t slotSequence(
    const std::uint32_t *choicePieces, const std::uint32_t *pieces, const Group &group, const Choice &choice, int slot)
{
    const std::uint64_t piece = slotPiece(group.kind, choice, slot);
    return group.kind == GroupKind::Alternatives ? choicePieces[group.choiceBegin + piece]
                                                 : pieces[group.pieceBegin + piece];
}

template <class Choice>
std::uint32_t slotSequence(const Program &program, const Group &group, const Choice &choice, int slot)
{
    return slotSequence(program.choicePieces.data(), program.pieces.data(), group, choice, slot);
}

// The sequence of each slot of a choice, in output order.
template <class Choice, class Visit>
[[gnu::always_inline]] inline void forEachSlotSequence(
    const Program &program, const Group &group, const Choice &choice, Visit visit)
{
    for (int slot = 0; slot < slotsOf(group.kind); ++slot)
        visit(slotSequence(program, group, choice, slot));
}

// The text of each slot of a choice of a group whose pieces are plain text,
// in output order.
template <class Choice, class Append>
[[gnu::always_inline]] inline void forEachSlotSpan(
    const Span *spans, GroupKind kind, const Choice &choice, Append append)
{
    append(spans[slotPiece(kind, choice, 0)]);
    if (kind == GroupKind::Pairs) {
        append(spans[slotPiece(kind, choice, 1)]);
        append(spans[slotPiece(kind, choice, 2)]);
    }
}

// The piece compiled `started`-th: alternatives left to right, pairs 2, 0,
// 1, 3, 4, ...
constexpr std::size_t pieceInCompileOrder(GroupKind kind, std::size_t started)
{
    if (kind == GroupKind::Alternatives || started >= 3)
        return started;
    constexpr std::size_t pairsOrder[] = { 2, 0, 1 };
    return pairsOrder[started];
}

// Where a value falls among running counts that start at 0 and increase:
// the index of the last one not above it.
template <class Number> inline std::uint32_t prefixDecode(const Number *prefix, std::size_t size, const Number &value)
{
    return static_cast<std::uint32_t>(std::upper_bound(prefix, prefix + size, value) - prefix - 1);
}

// The running counts of `size` parts, each before its part: the prefix
// figures of a sequence or of a group's choices. Returns the total.
template <class Number, class Part> Number prefixFigures(std::size_t size, Part part, Number *prefix)
{
    Number sum = 0;
    for (std::size_t i = 0; i < size; ++i) {
        prefix[i] = sum;
        sum = sum + part(i);
    }
    return sum;
}

// The figures of what follows each of `size` parts, the part itself left
// out, from the last one back: Add(after, part(i)) gives the figure with one
// more part in front.
template <class Figure, class Part, class Add, class Keep>
Figure suffixFigures(std::size_t size, Figure after, Part part, Add add, Keep keep)
{
    for (std::size_t i = size; i-- > 0;) {
        keep(i, after);
        after = add(after, part(i));
    }
    return after;
}

// The running counts of a pairs group over its items, in both kinds of
// number: per item, the count of the items before it, and where the block
// of the pairs it is the first item of starts. That block holds s c (the
// sum of the other items' counts) positions, taken as the items before plus
// the items after it, without the subtraction C - c: within one first item,
// each second item f takes c_first s c_f positions, in item order with the
// first item left out, and within one pair the first item's variant changes
// slowest, then the separator's, then the second item's.
template <class Number, class Count>
void pairPrefixes(std::uint32_t items, const Number &separator, Count count, Number *itemPrefix, Number *pairPrefix)
{
    Number after = 0;
    for (std::uint32_t i = items; i-- > 0;) {
        pairPrefix[i] = after; // for now: the items after it
        after = after + count(i);
    }
    Number before = 0;
    Number blocks = 0;
    for (std::uint32_t i = 0; i < items; ++i) {
        const Number item = count(i);
        const Number others = before + pairPrefix[i];
        itemPrefix[i] = before;
        pairPrefix[i] = blocks;
        before = before + item;
        blocks = blocks + separator * item * others;
    }
}

template <class Number> Number divideWithRemainder(const Number &a, const Number &b, Number &remainder)
{
    if constexpr (requires { a.get_mpz_t(); }) {
        Number quotient;
        mpz_tdiv_qr(quotient.get_mpz_t(), remainder.get_mpz_t(), a.get_mpz_t(), b.get_mpz_t());
        return quotient;
    } else {
        remainder = a % b;
        return a / b;
    }
}

// The ordered pair that a pairs group's variant index makes, from the
// running counts of pairPrefixes(), and the residuals of its three slots.
template <class Number, class Count>
[[gnu::always_inline]] inline GroupChoice decodePair(std::uint32_t items, const Number *itemPrefix,
    const Number *pairPrefix, Count count, const Number &separator, const Number &variant, Number slots[3])
{
    const std::uint32_t first = prefixDecode(pairPrefix, items, variant);
    const Number inBlock = variant - pairPrefix[first];
    const Number firstCount = count(first);
    const Number unit = firstCount * separator;
    Number unused;
    const Number step = divideWithRemainder(inBlock, unit, unused);
    std::uint32_t second;
    Number before;
    if (step < itemPrefix[first]) {
        second = prefixDecode(itemPrefix, first, step);
        before = itemPrefix[second];
    } else {
        // The first item left out: the items after it start one count lower.
        const Number shifted = step + firstCount;
        second = first + 1 + prefixDecode(itemPrefix + first + 1, items - first - 1, shifted);
        before = itemPrefix[second] - firstCount;
    }
    const Number inPair = inBlock - unit * before;
    const Number secondCount = count(second);
    const Number tail = separator * secondCount;
    Number rest;
    slots[0] = divideWithRemainder(inPair, tail, rest);
    slots[1] = divideWithRemainder(rest, secondCount, slots[2]);
    return GroupChoice { pairIndex(first, second, items), first, second };
}

} // namespace razmnozhator::detail
