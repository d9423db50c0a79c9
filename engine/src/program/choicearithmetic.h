#pragma once

// How the choices of a group are numbered, and what each choice puts where:
// each group kind is a type, and visitKind() is where a group's kind is
// turned into it, so that the indexes, the decoders and the odometer are
// written once for every kind.
//
// An alternatives group's choice c is its piece c (of Program::choicePieces
// from the group's choiceBegin on), and fills one slot. A pairs group of n
// items has n (n - 1) choices, the ordered pairs (first, second) of two
// different items, numbered with the first item slowest and the second
// running through the other items in order; a pair fills three slots in
// output order: the first item, the separator, the second item. Its pieces
// are the separator (piece 0) and then the items, and are compiled in the
// order 2, 0, 1, 3, 4, ...: the order in which the expansion meets them.

#include "program/program.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <utility>

namespace razmnozhator::detail {

// The choice a group makes: its index among the group's choices, and for
// pairs the two items of the ordered pair.
struct GroupChoice
{
    std::uint64_t choice = 0;
    std::uint32_t first = 0;
    std::uint32_t second = 1;
};

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

// Which of `count` choices holds the variant of a rank, each choice holding
// weight(c) of them in choice order (a null or zero weight: none), the rank
// left counted from the start of the choice. `rank` keeps the rank:
// rank.within(w) is true when it lies below w, and else takes w off it;
// rank.flip(w) counts it from the other end of w (w - 1 - rank). From the
// last choice back when `fromEnd`, the rank then counted from the end. The
// last choice met takes what is left without being weighed.
template <class Rank, class Weight>
[[gnu::always_inline]] inline std::uint64_t chooseByWeight(
    std::uint64_t count, Rank &rank, Weight weight, bool fromEnd = false)
{
    std::uint64_t choice = fromEnd ? count - 1 : 0;
    for (std::uint64_t step = 0; step + 1 < count; ++step, fromEnd ? --choice : ++choice) {
        const auto fits = weight(choice);
        if (fits && rank.within(fits))
            break;
    }
    if (fromEnd)
        rank.flip(weight(choice));
    return choice;
}

// The same given the number of them all, `total` (none when null): a rank in
// its upper half is counted from the last choice back, which reaches it
// sooner.
template <class Rank, class Weight, class Total>
[[gnu::always_inline]] inline std::uint64_t chooseWithTotal(
    std::uint64_t count, Rank &rank, Weight weight, const Total &total)
{
    const bool fromEnd = total && rank.upperHalf(total);
    if (fromEnd)
        rank.flip(total);
    return chooseByWeight(count, rank, weight, fromEnd);
}

// A group of alternatives: one slot, its choice's sequence.
struct Alternatives
{
    static constexpr GroupKind kind = GroupKind::Alternatives;
    static constexpr int slots = 1;
    // A choice is one piece, at the choice's own index among the pieces.
    static constexpr bool choiceIsPiece = true;

    static constexpr GroupChoice at(const Group &, std::uint64_t index) { return GroupChoice { index }; }
    static constexpr std::uint64_t index(const Group &, const GroupChoice &choice) { return choice.choice; }
    static constexpr GroupChoice first(const Group &) { return GroupChoice {}; }
    // Moves to the next choice; false past the last one.
    static constexpr bool next(const Group &group, GroupChoice &choice) { return ++choice.choice < group.choices; }

    // Which entry of the group's choices fills a slot; Program::pieceLiterals
    // follows the same numbering.
    template <class Choice> static constexpr std::uint64_t slotPiece(const Choice &choice, int)
    {
        return choice.choice;
    }
    template <class Choice>
    [[gnu::always_inline]] static std::uint32_t slotSequence(
        const std::uint32_t *choicePieces, const std::uint32_t *, const Group &group, const Choice &choice, int)
    {
        return choicePieces[group.choiceBegin + choice.choice];
    }
    static std::uint32_t sequence(const Program &program, const Group &group, std::uint64_t choice)
    {
        return program.choicePieces[group.choiceBegin + choice];
    }
    static constexpr std::size_t pieceCompiled(std::size_t started) { return started; }

    // The running counts over the choices that decoding reads: where they
    // start in a table of the whole program, and how many a group has.
    static std::size_t prefixBegin(const Program &, const Group &group) { return group.choiceBegin; }
    static std::size_t prefixSize(const Group &group) { return group.choices; }
    template <class Number, class Count>
    static void prefixes(const Program &program, const Group &group, Count sequenceCount, Number *prefix)
    {
        prefixFigures<Number>(
            group.choices, [&](std::size_t i) { return sequenceCount(program.choicePieces[group.choiceBegin + i]); },
            prefix);
    }
    // The choice that a variant index of the group makes, and the residual
    // of its slot.
    template <class Number, class Count>
    [[gnu::always_inline]] static GroupChoice decode(
        const Program &, const Group &group, const Number *prefix, Count, const Number &variant, Number *residuals)
    {
        const std::uint32_t chosen = prefixDecode(prefix, group.choices, variant);
        residuals[0] = variant - prefix[chosen];
        return GroupChoice { chosen };
    }

    // The choice that holds a rank, each choice weighing weight(choice)
    // (chooseWithTotal()).
    template <class Rank, class Weight, class Total>
    [[gnu::always_inline]] static GroupChoice choose(const Group &group, Rank &rank, Weight weight, const Total &total)
    {
        return GroupChoice { chooseWithTotal(group.choices, rank, weight, total) };
    }
};

// A group of ordered pairs of items joined by a separator.
struct Pairs
{
    static constexpr GroupKind kind = GroupKind::Pairs;
    static constexpr int slots = 3;
    static constexpr bool choiceIsPiece = false;

    // A pairs group's pieces: the separator, then the items.
    static constexpr std::uint32_t separatorPiece = 0;
    static constexpr std::uint32_t itemPiece(std::uint32_t item) { return 1 + item; }
    static constexpr std::uint32_t items(const Group &group) { return group.pieceCount - 1; }
    // The sequences of item `item` and of the separator.
    static std::uint32_t item(const Program &program, const Group &group, std::uint32_t item)
    {
        return program.pieces[group.pieceBegin + itemPiece(item)];
    }
    static std::uint32_t separator(const Program &program, const Group &group)
    {
        return program.pieces[group.pieceBegin + separatorPiece];
    }
    // The ordered pairs of `items` items.
    static constexpr std::uint64_t count(std::uint64_t items) { return items * (items - 1); }

    // The index of the ordered pair (first, second) among them.
    static constexpr std::uint64_t index(std::uint32_t first, std::uint32_t second, std::uint32_t items)
    {
        return first * (items - std::uint64_t { 1 }) + (second < first ? second : second - 1);
    }
    // The ordered pair at `index`.
    static constexpr GroupChoice at(std::uint64_t index, std::uint32_t items)
    {
        const auto first = static_cast<std::uint32_t>(index / (items - 1));
        return GroupChoice { index, first, other(first, index % (items - 1)) };
    }
    static constexpr GroupChoice at(const Group &group, std::uint64_t index) { return at(index, items(group)); }
    static constexpr std::uint64_t index(const Group &group, const GroupChoice &choice)
    {
        return index(choice.first, choice.second, items(group));
    }
    static constexpr GroupChoice first(const Group &) { return GroupChoice {}; }
    // The other items than `first`, in order: the one of that rank.
    static constexpr std::uint32_t other(std::uint32_t first, std::uint64_t rank)
    {
        return static_cast<std::uint32_t>(rank < first ? rank : rank + 1);
    }
    // Moves an ordered pair to the next one; the caller knows there is one.
    static constexpr void next(std::uint32_t &first, std::uint32_t &second, std::uint32_t items)
    {
        second = second + 1 == first ? second + 2 : second + 1;
        if (second == items) {
            ++first;
            second = first == 0 ? 1 : 0;
        }
    }
    static constexpr bool next(const Group &group, GroupChoice &choice)
    {
        if (++choice.choice == group.choices)
            return false;
        next(choice.first, choice.second, items(group));
        return true;
    }

    // Which of the group's pieces fills a slot: the first item, the
    // separator, the second item. Program::pieceLiterals follows the same
    // numbering.
    template <class Choice> static constexpr std::uint64_t slotPiece(const Choice &choice, int slot)
    {
        return slot == 0 ? itemPiece(choice.first) : slot == 1 ? separatorPiece : itemPiece(choice.second);
    }
    template <class Choice>
    [[gnu::always_inline]] static std::uint32_t slotSequence(
        const std::uint32_t *, const std::uint32_t *pieces, const Group &group, const Choice &choice, int slot)
    {
        return pieces[group.pieceBegin + slotPiece(choice, slot)];
    }
    // The piece compiled `started`-th: 2, 0, 1, 3, 4, ...
    static constexpr std::size_t pieceCompiled(std::size_t started)
    {
        constexpr std::size_t firstThree[] = { 2, 0, 1 };
        return started < 3 ? firstThree[started] : started;
    }

    // The running counts over the items, two per piece of the group, after
    // the choices' of alternatives: per item, the count of the items before
    // it, then where the block of the pairs it is the first item of starts.
    // That block holds s c (the sum of the other items' counts) positions,
    // taken as the items before plus the items after it, without the
    // subtraction C - c: within one first item, each second item f takes
    // c_first s c_f positions, in item order with the first item left out,
    // and within one pair the first item's variant changes slowest, then the
    // separator's, then the second item's.
    static std::size_t prefixBegin(const Program &program, const Group &group)
    {
        return program.choicePieces.size() + 2 * std::size_t(group.pieceBegin);
    }
    static std::size_t prefixSize(const Group &group) { return 2 * std::size_t(items(group)); }
    template <class Number, class Count>
    static void prefixes(const Program &program, const Group &group, Count sequenceCount, Number *prefix)
    {
        const std::uint32_t all = items(group);
        const auto count = [&](std::uint32_t i) { return sequenceCount(Pairs::item(program, group, i)); };
        const Number separator = sequenceCount(Pairs::separator(program, group));
        Number *const itemPrefix = prefix;
        Number *const pairPrefix = prefix + all;
        Number after = 0;
        for (std::uint32_t i = all; i-- > 0;) {
            pairPrefix[i] = after; // for now: the items after it
            after = after + count(i);
        }
        Number before = 0;
        Number blocks = 0;
        for (std::uint32_t i = 0; i < all; ++i) {
            const Number item = count(i);
            const Number others = before + pairPrefix[i];
            itemPrefix[i] = before;
            pairPrefix[i] = blocks;
            before = before + item;
            blocks = blocks + separator * item * others;
        }
    }

    // The ordered pair that a variant index makes, and the residuals of its
    // three slots.
    template <class Number, class Count>
    [[gnu::always_inline]] static GroupChoice decode(const Program &program, const Group &group, const Number *prefix,
        Count sequenceCount, const Number &variant, Number *residuals)
    {
        const std::uint32_t all = items(group);
        const auto count = [&](std::uint32_t i) { return sequenceCount(Pairs::item(program, group, i)); };
        const Number *const itemPrefix = prefix;
        const Number *const pairPrefix = prefix + all;
        const std::uint32_t first = prefixDecode(pairPrefix, all, variant);
        const Number inBlock = variant - pairPrefix[first];
        const Number firstCount = count(first);
        const Number unit = firstCount * sequenceCount(Pairs::separator(program, group));
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
            second = first + 1 + prefixDecode(itemPrefix + first + 1, all - first - 1, shifted);
            before = itemPrefix[second] - firstCount;
        }
        const Number inPair = inBlock - unit * before;
        const Number secondCount = count(second);
        const Number tail = sequenceCount(Pairs::separator(program, group)) * secondCount;
        Number rest;
        residuals[0] = divideWithRemainder(inPair, tail, rest);
        residuals[1] = divideWithRemainder(rest, secondCount, residuals[2]);
        return GroupChoice { index(first, second, all), first, second };
    }

    // The pair that holds a rank: its first item the one whose block of
    // pairs, weighing block(first), holds it, then its second item among
    // the others, each pair weighing pair(first, second).
    template <class Rank, class Block, class Pair>
    [[gnu::always_inline]] static GroupChoice choose(const Group &group, Rank &rank, Block block, Pair pair)
    {
        const std::uint32_t all = items(group);
        const auto first = static_cast<std::uint32_t>(chooseByWeight(all, rank, block));
        const std::uint32_t second = other(
            first, chooseByWeight(all - 1, rank, [&](std::uint64_t rest) { return pair(first, other(first, rest)); }));
        return GroupChoice { index(first, second, all), first, second };
    }
};

// Enough slots for a choice of any kind.
inline constexpr int mostSlots = std::max(Alternatives::slots, Pairs::slots);

// The one place a group's kind is asked: calls visit with the kind's type.
template <class Visit> [[gnu::always_inline]] inline decltype(auto) visitKind(GroupKind kind, Visit &&visit)
{
    switch (kind) {
    case GroupKind::Pairs:
        return visit(Pairs {});
    case GroupKind::Alternatives:
        break;
    }
    return visit(Alternatives {});
}

template <class Visit> [[gnu::always_inline]] inline decltype(auto) visitKind(const Group &group, Visit &&visit)
{
    return visitKind(group.kind, std::forward<Visit>(visit));
}

// Every group of kind Kind, with its index.
template <class Kind, class Visit> void forEachGroupOf(const Program &program, Visit visit)
{
    for (std::uint32_t g = 0; g < program.groups.size(); ++g) {
        if (program.groups[g].kind == Kind::kind)
            visit(g, program.groups[g]);
    }
}

// Choice `index` of a group.
inline GroupChoice choiceAt(const Group &group, std::uint64_t index)
{
    return visitKind(group, [&](auto kind) { return decltype(kind)::at(group, index); });
}

// The sequence that fills slot `slot` of a choice, from the program's
// choicePieces and pieces.
template <class Choice>
std::uint32_t slotSequence(const Program &program, const Group &group, const Choice &choice, int slot)
{
    return visitKind(group, [&](auto kind) {
        return decltype(kind)::slotSequence(program.choicePieces.data(), program.pieces.data(), group, choice, slot);
    });
}

// The text of each slot of a choice of a group whose pieces are plain text,
// in output order.
template <class Kind, class Choice, class Append>
[[gnu::always_inline]] inline void forEachSlotSpan(const Span *spans, const Choice &choice, Append append)
{
    for (int slot = 0; slot < Kind::slots; ++slot)
        append(spans[Kind::slotPiece(choice, slot)]);
}

} // namespace razmnozhator::detail
