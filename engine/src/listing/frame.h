#pragma once

// The odometer's frames (odometer.h): one per group taking part in the
// current variant, in the order their output begins.

#include "program/choicearithmetic.h"
#include "program/choices.h"
#include "program/program.h"

#include <cstddef>
#include <cstdint>

namespace razmnozhator::detail {

// The group's current choice, and for pairs its two items, are the frame's
// GroupChoice, so that the group's kind moves it on.
struct Frame : GroupChoice
{
    std::uint64_t choices;
    std::size_t outputStart;
    std::uint32_t group;
    // Where the group stands: the frame that owns the sequence holding it
    // (noFrame for the template itself), the slot of that owner (pairs: 0 first
    // item, 1 separator, 2 second item), the sequence and the group's index in it.
    std::uint32_t parent;
    std::uint32_t sequence;
    std::uint32_t element;
    std::uint8_t slot;
    // The pieces' text when every piece is plain text, else null.
    const Span *pieceLiterals;
    // The text between the end of the group's output and the start of the
    // next frame's (or the end of the variant): it depends only on the frames
    // that enclose this one.
    std::size_t gap = 0;
    std::uint64_t gapCharacters = 0;
    std::uint64_t characterStart = 0;
    // Listing within lengths only: the shortest and the longest length of
    // what follows the group, its gap and the frames after it.
    std::uint64_t restShortest = 0;
    std::uint64_t restLongest = 0;
};

// A position in the program: literal `element` of `sequence`, inside `slot` of frame `owner`.
struct Cursor
{
    std::uint32_t sequence;
    std::uint32_t element;
    std::uint32_t owner;
    std::uint8_t slot;
};

// The slots of a group's choice.
inline int slotCount(const Group &group)
{
    return visitKind(group, [](auto kind) { return decltype(kind)::slots; });
}

// The sequence of each slot of a choice from slot `from` on, in output order.
template <class Choice, class Visit>
[[gnu::always_inline]] inline void forEachSlotFrom(
    const Program &program, const Group &group, const Choice &choice, int from, Visit visit)
{
    visitKind(group, [&](auto kind) {
        using Kind = decltype(kind);
        for (int slot = from; slot < Kind::slots; ++slot)
            visit(Kind::slotSequence(program.choicePieces.data(), program.pieces.data(), group, choice, slot));
    });
}

} // namespace razmnozhator::detail
