#pragma once

// Where every group of a template's text ends and where every group's inside
// splits, found in one pass over the text.
//
// An opener's closer is its match among brackets of its own kind, and a bar
// splits a group exactly when the mixed bracket depth before it equals the
// depth just inside the group's opener: both are local properties of the
// text, so they are read from tables made once instead of by scanning each
// group's text again.

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <limits>
#include <string_view>
#include <utility>
#include <vector>

namespace razmnozhator::detail {

inline constexpr std::uint32_t noCloser = std::numeric_limits<std::uint32_t>::max();

// Where every group of the text ends and where every group's inside splits.
class BracketTable
{
public:
    explicit BracketTable(std::string_view text);

    struct Opener
    {
        std::uint32_t position;
        std::uint32_t closer; // noCloser when the group never closes
        std::uint32_t ordinalAfterCloser;
        std::int32_t depthInside; // mixed depth just after the opener
    };

    std::uint32_t openerCount() const { return static_cast<std::uint32_t>(openers_.size()); }
    std::size_t barCount() const { return barPositions_.size(); }
    std::size_t curlyCount() const { return curlyCount_; }
    const Opener &opener(std::uint32_t ordinal) const { return openers_[ordinal]; }

    // Searched among the openers [from, to) only: those inside one group, so
    // that a group without nested ones costs nothing to split.
    std::uint32_t firstOpenerAtOrAfter(std::size_t position, std::uint32_t from, std::uint32_t to) const
    {
        const auto it = std::lower_bound(openers_.begin() + from, openers_.begin() + to, position,
            [](const Opener &o, std::size_t p) { return o.position < p; });
        return static_cast<std::uint32_t>(it - openers_.begin());
    }

    // The bars in [begin, end) that stand at the given mixed depth, in order.
    // Groups are mostly split in text order, so each depth's search starts
    // where the last one at that depth ended and widens from there: a long
    // run of sibling groups then costs a few steps a group, not a search of
    // all the bars at their depth.
    std::pair<const std::uint32_t *, const std::uint32_t *> barsAt(
        std::int32_t depth, std::size_t begin, std::size_t end) const;

private:
    void bucketBarsByDepth(const std::vector<std::pair<std::int32_t, std::uint32_t>> &bars);

    std::vector<Opener> openers_;
    std::vector<std::uint32_t> barPositions_;
    std::vector<std::uint32_t> depthStart_;
    mutable std::vector<std::uint32_t> fingers_; // per depth: where its last search ended
    std::int32_t minDepth_ = 0;
    std::size_t curlyCount_ = 0;
};

} // namespace razmnozhator::detail
