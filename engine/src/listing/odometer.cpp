// The odometer of odometer.h: opening frames as the walk meets groups,
// advancing the last one that has a choice left, and rewriting only the
// tail of the variant after it.

#include "listing/odometer.h"

#include "program/choicearithmetic.h"
#include "program/varianttext.h"

#include <algorithm>
#include <cstring>
#include <type_traits>

namespace razmnozhator {

using detail::FirstChoices;
using detail::noFrame;

// Opens a frame for the group at the cursor, at the choice that `choices`
// gives, and returns where its output begins.
template <class Choices>
[[gnu::always_inline]] inline detail::Cursor Enumerator::State::open(const Cursor &at, Choices &choices)
{
    const detail::Program &p = *program;
    const std::uint32_t group = p.groupRefs[p.sequences[at.sequence].groupBegin + at.element];
    const detail::Group &compiled = p.groups[group];
    const detail::Span *pieceLiterals = compiled.pieceLiteralsBegin == detail::noLiterals
        ? nullptr
        : p.pieceLiterals.data() + compiled.pieceLiteralsBegin;
    frames.push_back(Frame { {}, compiled.choices, length, group, at.owner, at.sequence, at.element, at.slot,
        pieceLiterals, 0, 0, characters });
    const auto frame = static_cast<std::uint32_t>(frames.size() - 1);
    choices.open(frames.back(), frame, at);
    if (!detail::writesTextOnly<Choices>() && bounds) [[unlikely]]
        openWithin(frame, at, std::is_same_v<Choices, FirstChoices>);
    return Cursor { sequenceOfSlot(frames.back(), 0), 0, frame, 0 };
}

// Within lengths, a frame opened at its first choice takes its first one
// that could fit instead.
[[gnu::noinline]] void Enumerator::State::openWithin(std::uint32_t frame, const Cursor &at, bool atFirstChoice)
{
    bounds->noteRest(*program, frames, frames[frame], at);
    if (atFirstChoice && !fits(frames[frame]) && !stepWithin(frames[frame]) && deadEnd == noDeadEnd)
        deadEnd = frame;
}

// Whether a variant with every frame up to this one as it stands could lie
// within the lengths, by shortest and longest lengths alone.
inline bool Enumerator::State::fits(const Frame &frame) const
{
    return bounds->fits(*program, frame, countCharacters ? frame.characterStart : frame.outputStart);
}

// Moves the frame to its next choice, or within lengths to its next one
// that could fit; false when there is none.
template <class Kind, bool Within> [[gnu::always_inline]] inline bool Enumerator::State::stepWithin(Frame &frame) const
{
    const detail::Group &group = program->groups[frame.group];
    do {
        if (frame.choice + 1 == frame.choices)
            return false;
        Kind::next(group, frame);
    } while (Within && bounds && !fits(frame));
    return true;
}

[[gnu::always_inline]] inline bool Enumerator::State::stepWithin(Frame &frame) const
{
    return detail::visitKind(
        program->groups[frame.group], [&](auto kind) { return stepWithin<decltype(kind), true>(frame); });
}

// The frames left since the last frame opened learn their gaps: the text
// from their end to `end`, plus the gap of the frame the walk stopped in.
inline void Enumerator::State::settleExits(std::size_t end, std::size_t gap, std::uint64_t gapCharacters)
{
    for (const Exit &exit : exits) {
        Frame &frame = frames[exit.frame];
        frame.gap = end - exit.end + gap;
        frame.gapCharacters = characters - exit.characters + gapCharacters;
    }
    exits.clear();
}

// Writes from the cursor on, opening a frame for every group met at the
// choice that `choices` gives, until the walk leaves frame `stop` (or,
// with noFrame, reaches the end of the variant).
template <class Choices> inline void Enumerator::State::write(Cursor cursor, Choices &choices, std::uint32_t stop)
{
    const detail::Program &p = *program;
    char *const out = buffer.get();
    const char *const pool = p.pool.data();
    for (;;) {
        const detail::Sequence &sequence = p.sequences[cursor.sequence];
        const std::uint32_t literalIndex = sequence.literalBegin + cursor.element;
        detail::appendSpan(out, length, pool, p.literals[literalIndex]);
        if (countCharacters)
            characters += p.characters(literalIndex);
        choices.literal(literalIndex);
        if (cursor.element < sequence.groupCount) {
            if constexpr (detail::writesTextOnly<Choices>()) {
                const std::uint32_t group = p.groupRefs[sequence.groupBegin + cursor.element];
                if (p.groups[group].pieceLiteralsBegin != detail::noLiterals) {
                    writePlainGroup(group, cursor, choices.source);
                    ++cursor.element;
                    continue;
                }
            }
            settleExits(length, 0, 0);
            cursor = open(cursor, choices);
            continue;
        }
        if (cursor.owner == noFrame)
            break;
        const Frame &owner = frames[cursor.owner];
        if (cursor.slot + 1 < detail::slotCount(p.groups[owner.group])) {
            const auto slot = static_cast<std::uint8_t>(cursor.slot + 1);
            cursor = Cursor { sequenceOfSlot(owner, slot), 0, cursor.owner, slot };
            continue;
        }
        if (cursor.owner == stop)
            break;
        if (!detail::writesTextOnly<Choices>() && owner.parent != noFrame)
            exits.push_back(Exit { cursor.owner, length, characters });
        cursor = Cursor { owner.sequence, owner.element + 1, owner.parent, owner.slot };
    }
    if (stop == noFrame)
        settleExits(length, 0, 0);
    else
        settleExits(length, gapOf(frames[stop]), gapCharactersOf(frames[stop]));
}

// Writes the choice that the source makes for a group whose pieces are
// plain text, without a frame: the number passed for it is the one the
// next frame takes, and no group lies within it to ask for its own.
template <class Source>
[[gnu::always_inline]] inline void Enumerator::State::writePlainGroup(
    std::uint32_t group, const Cursor &at, Source &source)
{
    const detail::Program &p = *program;
    const detail::GroupChoice choice = source.open(group, static_cast<std::uint32_t>(frames.size()),
        detail::GroupPlace { at.sequence, at.element, at.owner, at.slot });
    const detail::Group &compiled = p.groups[group];
    if (!Source::readsLiterals && !countCharacters) {
        detail::appendChoiceSpans(p.pieceLiterals.data() + compiled.pieceLiteralsBegin, compiled.kind, choice,
            p.pool.data(), buffer.get(), length);
        return;
    }
    detail::forEachSlotFrom(p, compiled, choice, 0, [&](std::uint32_t sequence) {
        const std::uint32_t literalIndex = p.sequences[sequence].literalBegin;
        detail::appendSpan(buffer.get(), length, p.pool.data(), p.literals[literalIndex]);
        if (countCharacters)
            characters += p.characters(literalIndex);
        source.literal(literalIndex);
    });
}

// A frame in the template's own sequence is followed by one literal and
// then the next group there, if any: its gap needs no bookkeeping.
inline std::size_t Enumerator::State::gapOf(const Frame &frame) const
{
    if (frame.parent != noFrame)
        return frame.gap;
    return program->literals[program->sequences[frame.sequence].literalBegin + frame.element + 1].length;
}
inline std::uint64_t Enumerator::State::gapCharactersOf(const Frame &frame) const
{
    if (frame.parent != noFrame)
        return frame.gapCharacters;
    return program->characters(program->sequences[frame.sequence].literalBegin + frame.element + 1);
}

// Characters of a frame whose pieces are plain text.
inline std::uint64_t Enumerator::State::literalFrameCharacters(const Frame &frame) const
{
    const detail::Program &p = *program;
    std::uint64_t total = 0;
    detail::forEachSlotFrom(p, p.groups[frame.group], frame, 0,
        [&](std::uint32_t sequence) { total += p.characters(p.sequences[sequence].literalBegin); });
    return total;
}

// The last frame's output and everything after it is plain text, since any
// group there would have a frame of its own. When its pieces are plain text
// as well, the next variant changes only in place and no walk is needed.
// This is the path taken for most variants of most templates.
template <bool Within> [[gnu::always_inline]] inline bool Enumerator::State::advanceLastLiteralFrame()
{
    Frame &frame = frames.back();
    if (!frame.pieceLiterals)
        return false;
    return detail::visitKind(
        program->groups[frame.group], [&](auto kind) { return advanceLiteralFrame<Within, decltype(kind)>(frame); });
}

// The slots before the first one whose piece changes keep their text where
// it stands: within one first item of a pair, only the second item is
// written again.
template <bool Within, class Kind>
[[gnu::always_inline]] inline bool Enumerator::State::advanceLiteralFrame(Frame &frame)
{
    const std::uint64_t oldCharacters = Within && countCharacters ? literalFrameCharacters(frame) : 0;
    const detail::Span *pieces = frame.pieceLiterals;
    std::uint64_t oldPieces[Kind::slots];
    for (int slot = 0; slot < Kind::slots; ++slot)
        oldPieces[slot] = Kind::slotPiece(frame, slot);
    if (!stepWithin<Kind, Within>(frame))
        return false;
    int from = 0;
    std::size_t at = frame.outputStart;
    while (from + 1 < Kind::slots && Kind::slotPiece(frame, from) == oldPieces[from])
        at += pieces[oldPieces[from++]].length;
    std::size_t oldLength = 0;
    detail::Span now[Kind::slots];
    for (int slot = from; slot < Kind::slots; ++slot) {
        oldLength += pieces[oldPieces[slot]].length;
        now[slot - from] = pieces[Kind::slotPiece(frame, slot)];
    }
    replaceText(at, oldLength, now, Kind::slots - from);
    if (Within && countCharacters)
        characters += literalFrameCharacters(frame) - oldCharacters;
    return true;
}

// Replaces oldLength bytes of the variant at `at` by the spans' text,
// moving whatever follows.
inline void Enumerator::State::replaceText(std::size_t at, std::size_t oldLength, const detail::Span *spans, int count)
{
    std::size_t newLength = 0;
    for (int i = 0; i < count; ++i)
        newLength += spans[i].length;
    char *const out = buffer.get();
    const std::size_t tailStart = at + oldLength;
    const std::size_t tailLength = length - tailStart;
    if (newLength != oldLength && tailLength != 0)
        std::memmove(out + at + newLength, out + tailStart, tailLength);
    const char *const pool = program->pool.data();
    char *write = out + at;
    for (int i = 0; i < count; ++i) {
        detail::copyText(write, pool + spans[i].offset, spans[i].length);
        write += spans[i].length;
    }
    length = at + newLength + tailLength;
}

// Every frame after `advanced` is at its last choice and starts again at
// its first. Those outside it hang from the frames that enclose it; they
// are noted, with the gaps around them, to be reopened where they stand.
// All of these frames are dropped anyway, so looking at them costs nothing
// extra over the whole enumeration.
inline void Enumerator::State::noteFramesOutside(std::uint32_t advanced)
{
    reopened.clear();
    gapText.clear();
    const char *const out = buffer.get();
    const Frame *before = &frames[advanced];
    const auto keepGap = [&](std::size_t end) {
        const std::size_t gap = gapOf(*before);
        gapText.append(out + end - gap, gap);
    };
    for (std::size_t index = advanced + 1; index < frames.size(); ++index) {
        const Frame &frame = frames[index];
        if (frame.parent != noFrame && frame.parent >= advanced)
            continue;
        keepGap(frame.outputStart);
        reopened.push_back(Reopened {
            Cursor { frame.sequence, frame.element, frame.parent, frame.slot }, gapOf(frame), gapCharactersOf(frame) });
        before = &frame;
    }
    keepGap(length);
}

inline bool Enumerator::State::advance()
{
    if (framesPending)
        makeFrames();
    if (deadEnd == noDeadEnd && !frames.empty()
        && (bounds ? advanceLastLiteralFrame<true>() : advanceLastLiteralFrame<false>()))
        return true;
    // A frame left at its last choice, or one that got no choice that
    // fits, and every frame after it, start again.
    std::size_t index = std::min(frames.size(), deadEnd);
    deadEnd = noDeadEnd;
    while (index > 0 && !stepWithin(frames[index - 1]))
        --index;
    if (index == 0)
        return false;
    const auto advanced = static_cast<std::uint32_t>(index - 1);
    FirstChoices first;
    if (frames[advanced].parent == noFrame) {
        // No group encloses the frame: writing on to the end climbs none.
        frames.resize(index);
        length = frames[advanced].outputStart;
        characters = frames[advanced].characterStart;
        write(Cursor { sequenceOfSlot(frames[advanced], 0), 0, advanced, 0 }, first);
        return true;
    }
    noteFramesOutside(advanced);
    frames.resize(index);
    const Frame &frame = frames[advanced];
    length = frame.outputStart;
    characters = frame.characterStart;
    write(Cursor { sequenceOfSlot(frame, 0), 0, advanced, 0 }, first, advanced);
    std::size_t gapBegin = 0;
    std::size_t gap = gapOf(frames[advanced]);
    std::uint64_t gapCharacters = gapCharactersOf(frames[advanced]);
    for (const Reopened &frameOutside : reopened) {
        std::memcpy(buffer.get() + length, gapText.data() + gapBegin, gap);
        length += gap;
        characters += gapCharacters;
        gapBegin += gap;
        const Cursor inside = open(frameOutside.at, first);
        frames.back().gap = gap = frameOutside.gap;
        frames.back().gapCharacters = gapCharacters = frameOutside.gapCharacters;
        write(inside, first, inside.owner);
    }
    std::memcpy(buffer.get() + length, gapText.data() + gapBegin, gap);
    length += gap;
    characters += gapCharacters;
    return true;
}

// Forgets the variant, also one that a failed seek left half written.
void Enumerator::State::restart()
{
    frames.clear();
    exits.clear();
    length = 0;
    characters = 0;
    deadEnd = noDeadEnd;
    framesPending = false;
}

void Enumerator::State::writeFirst()
{
    FirstChoices first;
    restart();
    write(Cursor { program->root, 0, noFrame, 0 }, first);
}

// Writes the variant that the decoder's choices make, from the start;
// with TextOnly, leaves the frames to makeFrames().
template <bool TextOnly, class Source> void Enumerator::State::writeDecoded(Source &source)
{
    restart();
    detail::DecodedChoices<Source, TextOnly> choices { source };
    write(Cursor { program->root, 0, noFrame, 0 }, choices);
    framesPending = TextOnly;
}

void Enumerator::State::writeRangeText()
{
    writeDecoded<true>(*ranges);
}

// The variant that the last seek wrote, again, with every frame.
void Enumerator::State::makeFrames()
{
    if (seekWithinRange) {
        ranges->start(seekRank, seekWindow);
        writeDecoded<false>(*ranges);
    } else {
        positions->start(seekRank);
        writeDecoded<false>(*positions);
    }
}

WrittenLines Enumerator::State::writeLines(char *out, std::size_t capacity, char terminator, std::uint64_t maxLines)
{
    if (!tailBlockMade || (tailBlock && tailBlock->terminator != terminator)) {
        tailBlockMade = true;
        tailBlock = detail::makeTailBlock(*program, terminator);
    }
    // Within lengths the odometer passes over choices, and characters
    // are counted: the block knows neither.
    const bool blocks = tailBlock && !bounds && !countCharacters;
    WrittenLines written;
    while (written.lines < maxLines && !finished) {
        if (!primed) {
            if (blocks && started && !framesPending) {
                const std::uint64_t before = written.lines;
                writeTailBlock(out, capacity, maxLines, written);
                if (written.lines != before)
                    continue;
                if (tailBlockLine() + 1 < tailBlock->lines)
                    break; // the next line of the block does not fit
            }
            if (!started) {
                writeFirst();
            } else if (!advance()) {
                // current() stays the last line written until next() says the end.
                finished = true;
                break;
            }
            primed = true;
        }
        started = true;
        if (length >= capacity - written.bytes) {
            // Left for next() to reveal, as after a seek.
            started = false;
            break;
        }
        char *const to = out + written.bytes;
        std::memcpy(to, buffer.get(), length);
        to[length] = terminator;
        written.bytes += length + 1;
        ++written.lines;
        primed = false;
    }
    return written;
}

bool Enumerator::next()
{
    State &state = *state_;
    if (state.finished) {
        state.length = 0;
        state.characters = 0;
        return false;
    }
    if (!state.started) {
        state.started = true;
        if (!state.primed)
            state.writeFirst();
        state.primed = false;
        return true;
    }
    if (state.advance())
        return true;
    state.finished = true;
    state.length = 0;
    state.characters = 0;
    return false;
}

WrittenLines Enumerator::writeLines(char *out, std::size_t capacity, char terminator, std::uint64_t maxLines)
{
    return state_->writeLines(out, capacity, terminator, maxLines);
}

} // namespace razmnozhator
