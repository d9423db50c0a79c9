#pragma once

// Listing many variants at once goes faster where the template's own
// sequence ends in groups of plain text whose variants together are few (the
// last digits of a number, the last words of a phrase): every prefix before
// them is followed by the same lines in the same order, so those lines are
// made once and copied after each prefix, and the odometer (odometer.h)
// turns once per prefix instead of once per variant.

#include "program/program.h"

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace razmnozhator::detail {

// The lines that the template's last groups make after every prefix, each
// with the terminator: the groups' text from the first one's output on.
struct TailBlock
{
    std::uint32_t element = 0; // the first of the groups in the template's own sequence
    std::uint32_t groups = 0;
    std::uint64_t lines = 0;
    char terminator = 0;
    std::string text;
    std::vector<std::uint32_t> ends; // where each line ends in text, after a leading 0
};

// A block stays small enough for the nearest caches; a prefix of the usual
// few dozen bytes is then copied a thousand times or so for each turn of the
// odometer.
constexpr std::uint64_t tailBlockLines = 16384;
constexpr std::uint64_t tailBlockBytes = 64 * 1024;

// The block of the template's last groups, from the last one back, for as
// long as they hold plain text and the block stays small; none when the
// template does not end in such groups.
std::unique_ptr<TailBlock> makeTailBlock(const Program &program, char terminator);

// The length in bytes of choice `choice` of a group whose pieces are plain
// text.
std::uint64_t choiceLength(const Program &program, const Group &group, std::uint64_t choice);

} // namespace razmnozhator::detail
