#pragma once

// Listing within lengths: what the odometer (odometer.h) needs to pass over
// the choices whose variants are all too short or all too long, by the
// shortest and longest lengths of every node, and everything after a frame
// that has no choice left that could fit.

#include "razmnozhator/lengthbounds.h"

#include "listing/frame.h"
#include "program/choicearithmetic.h"
#include "program/program.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

namespace razmnozhator::detail {

struct LengthPruning
{
    // lengths: the hull of the engine lengths kept (engineHull()).
    LengthPruning(const Program &program, LengthRange lengths);

    // Under a rule's windows, lengths by the rule and numbers of limited
    // bytes apart: their shortest and longest, their fewest and most. What
    // follows a frame sums them as it sums engine lengths.
    struct Split
    {
        std::uint64_t shortest = 0;
        std::uint64_t longest = 0;
        std::uint64_t fewest = 0;
        std::uint64_t most = 0;

        Split &operator+=(const Split &other)
        {
            shortest += other.shortest;
            longest += other.longest;
            fewest += other.fewest;
            most += other.most;
            return *this;
        }
    };

    // What follows a newly opened frame: the rest of its sequence, the slots
    // of its owner still to come, and what follows the owner.
    void noteRest(const Program &program, std::span<const Frame> frames, Frame &frame, const Cursor &at) const
    {
        const NodeLengths::Bounds &rest = after[program.sequences[at.sequence].groupBegin + at.element];
        frame.restShortest = rest.shortest;
        frame.restLongest = rest.longest;
        if (windows) [[unlikely]]
            noteRestSplit(program, frames, frame, at);
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
        const bool inHull = shortest <= range.max && longest >= range.min;
        if (!windows) [[likely]]
            return inHull;
        return inHull && withinWindow(shortest, longest) && fitsSplit(program, frame, start);
    }

    // Whether lengths from shortest to longest, within the hull, meet a
    // window.
    bool withinWindow(std::uint64_t shortest, std::uint64_t longest) const
    {
        // The lowest window that ends at shortest or after it.
        const std::uint64_t k
            = shortest <= range.min + width ? 0 : (shortest - range.min - width + period - 1) / period;
        return k < repeats && range.min + k * period <= longest;
    }

    // The same for lengths by the rule and limited bytes apart.
    void noteRestSplit(
        const Program &program, std::span<const Frame> frames, const Frame &frame, const Cursor &at) const;
    bool fitsSplit(const Program &program, const Frame &frame, std::uint64_t start) const;

    // Whether what follows `start` could end in a window: its engine
    // lengths lie in runs from start + shortest + k period to start +
    // longest + k period, one for each number k of its limited bytes, and
    // between them none do. Run k meets window j when t = j - k lies between
    // the two bounds below.
    bool withinRuns(std::uint64_t start, const Split &rest) const
    {
        const auto p = std::int64_t(period);
        const std::int64_t u = std::int64_t(start + rest.shortest) - std::int64_t(range.min);
        const std::int64_t spread = std::int64_t(rest.longest - rest.shortest);
        const std::int64_t lowest = ceilDivide(u - std::int64_t(width), p);
        const std::int64_t highest = floorDivide(u + spread, p);
        return std::max(lowest, -std::int64_t(rest.most))
            <= std::min(highest, std::int64_t(repeats) - 1 - std::int64_t(rest.fewest));
    }

    void splitRuleLengths(const Program &program);

    static std::int64_t floorDivide(std::int64_t a, std::int64_t b) { return a / b - (a % b < 0); }
    static std::int64_t ceilDivide(std::int64_t a, std::int64_t b) { return -floorDivide(-a, b); }

    // The hull of the kept lengths inside the engine.
    LengthRange range;
    // Whether there are several windows (below).
    bool windows = false;
    // Under a rule's windows (see RuleLengths): `repeats` windows `period`
    // apart, each `width` + 1 long, the lowest starting at range.min.
    std::uint64_t period = 0;
    std::uint64_t repeats = 1;
    std::uint64_t width = 0;
    NodeLengths nodes;
    // Per group reference: the shortest and longest of what follows the
    // group in its sequence.
    std::vector<NodeLengths::Bounds> after;
    // Under a rule's windows: the same apart, per sequence and per group
    // reference, and per open frame what follows it.
    std::vector<Split> sequenceSplits;
    std::vector<Split> afterSplits;
    mutable std::vector<Split> restSplits;
    // The odometer's frames as noteRest() last saw them: a frame's place
    // there is its place in restSplits.
    mutable const Frame *seenFrames = nullptr;
};

} // namespace razmnozhator::detail
