#pragma once

// Listing within lengths: what the odometer (odometer.h) needs to pass over
// the choices whose variants are all too short or all too long, by the
// shortest and longest lengths of every node, and everything after a frame
// that has no choice left that could fit.

#include "razmnozhator/lengthbounds.h"

#include "listing/frame.h"
#include "program/choicearithmetic.h"
#include "program/program.h"

#include <cstdint>
#include <span>
#include <vector>

namespace razmnozhator::detail {

struct LengthPruning
{
    // lengths: the hull of the engine lengths kept (engineHull()).
    LengthPruning(const Program &program, LengthRange lengths);

    // What follows a newly opened frame: the rest of its sequence, the slots
    // of its owner still to come, and what follows the owner.
    void noteRest(const Program &program, std::span<const Frame> frames, Frame &frame, const Cursor &at) const
    {
        const NodeLengths::Bounds &rest = after[program.sequences[at.sequence].groupBegin + at.element];
        frame.restShortest = rest.shortest;
        frame.restLongest = rest.longest;
        if (at.owner == noFrame)
            return;
        const Frame &owner = frames[at.owner];
        frame.restShortest += owner.restShortest;
        frame.restLongest += owner.restLongest;
        forEachSlotFrom(program, program.groups[owner.group], owner, at.slot + 1, [&](std::uint32_t sequence) {
            frame.restShortest += nodes.sequences[sequence].shortest;
            frame.restLongest += nodes.sequences[sequence].longest;
        });
    }

    // Whether a variant with every frame up to this one as it stands could
    // lie within the lengths, by shortest and longest lengths alone; `start`
    // is where the frame's output begins, in the unit lengths are counted in.
    bool fits(const Program &program, const Frame &frame, std::uint64_t start) const
    {
        std::uint64_t shortest = start + frame.restShortest;
        std::uint64_t longest = start + frame.restLongest;
        forEachSlotFrom(program, program.groups[frame.group], frame, 0, [&](std::uint32_t sequence) {
            shortest += nodes.sequences[sequence].shortest;
            longest += nodes.sequences[sequence].longest;
        });
        return within(shortest, longest);
    }

    // Whether lengths from shortest to longest meet a kept one: one in the
    // range, and under a rule's windows, one in a window.
    bool within(std::uint64_t shortest, std::uint64_t longest) const
    {
        if (shortest > range.max || longest < range.min)
            return false;
        if (repeats <= 1)
            return true;
        // The lowest window that ends at shortest or after it.
        const std::uint64_t k
            = shortest <= range.min + width ? 0 : (shortest - range.min - width + period - 1) / period;
        return k < repeats && range.min + k * period <= longest;
    }

    // The hull of the kept lengths inside the engine.
    LengthRange range;
    // Under a rule's windows (see RuleLengths): `repeats` windows `period`
    // apart, each `width` + 1 long, the lowest starting at range.min.
    std::uint64_t period = 0;
    std::uint64_t repeats = 1;
    std::uint64_t width = 0;
    NodeLengths nodes;
    // Per group reference: the shortest and longest of what follows the
    // group in its sequence.
    std::vector<NodeLengths::Bounds> after;
};

} // namespace razmnozhator::detail
