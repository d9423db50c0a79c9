#pragma once

// What the odometer asks of random access: the choice of every group it
// opens while it writes one variant from the start.
//
// The odometer writes a variant in output order and opens a frame for every
// group it meets; a choice source says, for each of them, which choice the
// wanted variant makes there. The decoders of positions (positions.h) and of
// ranks within a length range (rangedecoder.h) are such sources; each lives
// beside the index it reads.

#include "program/choicearithmetic.h"

#include <cstdint>
#include <limits>

namespace razmnozhator::detail {

inline constexpr std::uint32_t noFrame = std::numeric_limits<std::uint32_t>::max();

// Where the odometer meets a group: group `element` of `sequence`, which is
// slot `slot` of frame `owner` (noFrame for the template's own sequence;
// pairs slots: 0 first item, 1 separator, 2 second item).
struct GroupPlace
{
    std::uint32_t sequence;
    std::uint32_t element;
    std::uint32_t owner;
    std::uint8_t slot;
};

class ChoiceSource
{
public:
    // A literal written, in output order.
    virtual void literal(std::uint32_t literal) = 0;
    // The group opened as frame `frame`; frames are numbered in the order
    // they open.
    virtual GroupChoice open(std::uint32_t group, std::uint32_t frame, const GroupPlace &at) = 0;

protected:
    ~ChoiceSource() = default;
};

} // namespace razmnozhator::detail
