#include "listing/tailblock.h"

#include "listing/odometer.h"
#include "program/choicearithmetic.h"
#include "program/mixedradix.h"
#include "program/varianttext.h"

#include <algorithm>
#include <cstring>

namespace razmnozhator {

namespace detail {

namespace {

// The text of choice `choice` of a group whose pieces are plain text.
template <class Append> void choiceText(const Program &program, const Group &group, std::uint64_t choice, Append append)
{
    visitKind(group, [&](auto kind) {
        using Kind = decltype(kind);
        forEachSlotSpan<Kind>(program.pieceLiterals.data() + group.pieceLiteralsBegin, Kind::at(group, choice), append);
    });
}

} // namespace

std::uint64_t choiceLength(const Program &program, const Group &group, std::uint64_t choice)
{
    std::uint64_t total = 0;
    choiceText(program, group, choice, [&](Span piece) { total += piece.length; });
    return total;
}

std::unique_ptr<TailBlock> makeTailBlock(const Program &p, char terminator)
{
    const Sequence &root = p.sequences[p.root];
    std::uint64_t lines = 1;
    std::uint64_t bytes = 0; // terminators left out
    std::uint32_t element = root.groupCount;
    while (element > 0) {
        const Group &group = p.groups[p.groupRefs[root.groupBegin + element - 1]];
        if (group.pieceLiteralsBegin == noLiterals || group.choices > tailBlockLines / lines)
            break;
        std::uint64_t choiceBytes = 0;
        for (std::uint64_t choice = 0; choice < group.choices; ++choice)
            choiceBytes += choiceLength(p, group, choice);
        const std::uint64_t moreLines = lines * group.choices;
        const std::uint64_t moreBytes = choiceBytes * lines + bytes * group.choices
            + std::uint64_t { p.literals[root.literalBegin + element].length } * moreLines;
        if (moreBytes + moreLines > tailBlockBytes)
            break;
        lines = moreLines;
        bytes = moreBytes;
        --element;
    }
    if (element == root.groupCount)
        return nullptr;
    auto block = std::make_unique<TailBlock>();
    block->element = element;
    block->groups = root.groupCount - element;
    block->lines = lines;
    block->terminator = terminator;
    block->text.reserve(bytes + lines);
    block->ends.reserve(lines + 1);
    block->ends.push_back(0);
    // Line l holds the choices whose digits make l, the last group's the lowest.
    std::vector<Radix> radixes;
    for (std::uint32_t g = 0; g < block->groups; ++g)
        radixes.push_back(radixOf(p.groups[p.groupRefs[root.groupBegin + element + g]].choices));
    std::vector<std::uint64_t> digits(block->groups, 0);
    const auto append = [&](Span piece) { block->text.append(p.pool, piece.offset, piece.length); };
    for (std::uint64_t line = 0; line < lines; ++line) {
        splitMixedRadix(
            line, block->groups, [&](std::size_t g) { return radixes[g]; },
            [&](std::size_t g, std::uint64_t digit) { digits[g] = digit; });
        for (std::uint32_t g = 0; g < block->groups; ++g) {
            choiceText(p, p.groups[p.groupRefs[root.groupBegin + element + g]], digits[g], append);
            append(p.literals[root.literalBegin + element + g + 1]);
        }
        block->text += terminator;
        block->ends.push_back(static_cast<std::uint32_t>(block->text.size()));
    }
    return block;
}

} // namespace detail

// Where the current variant stands among the lines of the block.
std::uint64_t Enumerator::State::tailBlockLine() const
{
    std::uint64_t line = 0;
    for (std::size_t index = frames.size() - tailBlock->groups; index < frames.size(); ++index)
        line = line * frames[index].choices + frames[index].choice;
    return line;
}

// Makes line `line` of the block the current variant, with the frames
// of the block's groups at its choices, as the odometer would leave them.
void Enumerator::State::moveInTailBlock(std::uint64_t line)
{
    const detail::TailBlock &block = *tailBlock;
    const detail::Program &p = *program;
    const std::size_t firstFrame = frames.size() - block.groups;
    std::size_t at = frames[firstFrame].outputStart;
    const std::uint32_t begin = block.ends[line];
    const std::size_t lineLength = block.ends[line + 1] - begin - 1;
    std::memcpy(buffer.get() + at, block.text.data() + begin, lineLength);
    length = at + lineLength;
    detail::splitMixedRadix(
        line, block.groups, [&](std::size_t g) { return detail::radixOf(frames[firstFrame + g].choices); },
        [&](std::size_t g, std::uint64_t digit) {
            Frame &frame = frames[firstFrame + g];
            static_cast<detail::GroupChoice &>(frame) = detail::choiceAt(p.groups[frame.group], digit);
        });
    const std::uint32_t literals = p.sequences[p.root].literalBegin + block.element + 1;
    for (std::size_t index = firstFrame; index < frames.size(); ++index) {
        Frame &frame = frames[index];
        frame.outputStart = at;
        at += detail::choiceLength(p, p.groups[frame.group], frame.choice)
            + p.literals[literals + (index - firstFrame)].length;
    }
}

// Writes the lines of the block after the current one, each after the
// prefix, for as long as they fit and are wanted; the last one written
// becomes the current variant.
void Enumerator::State::writeTailBlock(char *out, std::size_t capacity, std::uint64_t maxLines, WrittenLines &written)
{
    const detail::TailBlock &block = *tailBlock;
    const std::uint64_t line = tailBlockLine();
    const std::uint64_t last = line + std::min(block.lines - 1 - line, maxLines - written.lines);
    const std::size_t prefix = frames[frames.size() - block.groups].outputStart;
    const char *const prefixText = buffer.get();
    const char *const text = block.text.data();
    const std::uint32_t *const ends = block.ends.data();
    char *to = out + written.bytes;
    const char *const end = out + capacity;
    std::uint64_t next = line + 1;
    for (; next <= last; ++next) {
        const std::uint32_t begin = ends[next];
        const std::size_t size = ends[next + 1] - begin;
        if (prefix + size > static_cast<std::size_t>(end - to))
            break;
        detail::copyText(to, prefixText, prefix);
        to += prefix;
        detail::copyText(to, text + begin, size);
        to += size;
    }
    if (next == line + 1)
        return;
    written.lines += next - line - 1;
    written.bytes = static_cast<std::size_t>(to - out);
    moveInTailBlock(next - 1);
}

} // namespace razmnozhator
