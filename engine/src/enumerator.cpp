// Enumerates a Program like an odometer whose digits come and go.
//
// The groups taking part in the current variant form a list of frames in the
// order their output begins, which is also the order of their significance:
// a group's own choice comes before everything inside it, and the leftmost
// group changes slowest. The next variant advances the last frame that has a
// choice left and starts every frame after it again at its first choice; the
// bytes before the advanced frame are kept. Every frame has at least two
// choices, so on average only a short tail is rewritten per variant.
//
// The frames after the advanced one that lie outside it stand where they
// stood, with the same text between them: each frame remembers that text (its
// gap), so a rewrite reopens them in place and never climbs back through the
// groups that enclose the advanced frame. A variant thus costs the same however
// deeply its groups nest.
//
// Listing many variants at once goes faster still where the template's own
// sequence ends in groups of plain text whose variants together are few (the
// last digits of a number, the last words of a phrase): every prefix before
// them is followed by the same lines in the same order, so those lines are
// made once and copied after each prefix, and the odometer turns once per
// prefix instead of once per variant.

#include "razmnozhator/engine.h"

#include "choices.h"
#include "lengthrange.h"
#include "lengthweights.h"
#include "positions.h"
#include "program.h"

#include <algorithm>
#include <cstring>
#include <limits>
#include <optional>
#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

namespace razmnozhator {

using detail::GroupKind;

namespace {

using detail::noFrame;

// Most literals are a few bytes long: copied inline, with overlapping moves
// of fixed size, rather than through a call.
[[gnu::always_inline]] inline void copyText(char *to, const char *from, std::size_t length)
{
    if (length > 16) {
        std::memcpy(to, from, length);
    } else if (length >= 8) {
        std::memcpy(to, from, 8);
        std::memcpy(to + length - 8, from + length - 8, 8);
    } else if (length >= 4) {
        std::memcpy(to, from, 4);
        std::memcpy(to + length - 4, from + length - 4, 4);
    } else if (length >= 2) {
        std::memcpy(to, from, 2);
        std::memcpy(to + length - 2, from + length - 2, 2);
    } else if (length == 1) {
        *to = *from;
    }
}

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

struct Frame
{
    std::uint64_t choice;
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
    // Pairs only: the two items of the current ordered pair.
    std::uint32_t first;
    std::uint32_t second;
    // The pieces' text when every piece is plain text, else null.
    const detail::Span *pieceLiterals;
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

// Opens every frame at its first choice: the first variant.
struct FirstChoices
{
    void literal(std::uint32_t) { }
    void open(Frame &, std::uint32_t, const Cursor &) { }
};

// Opens every frame at the choice that a decoder gives. A seek within lengths
// writes the text alone (TextOnly): groups whose pieces are plain text get no
// frame, since only listing on from the variant needs them, and they are
// made then. A seek by position writes the text with PositionDecoder::write().
template <class Source, bool TextOnly> struct DecodedChoices
{
    static constexpr bool textOnly = TextOnly;
    Source &source;

    void literal(std::uint32_t literal) { source.literal(literal); }

    void open(Frame &frame, std::uint32_t index, const Cursor &at)
    {
        const detail::GroupChoice choice
            = source.open(frame.group, index, detail::GroupPlace { at.sequence, at.element, at.owner, at.slot });
        frame.choice = choice.choice;
        frame.first = choice.first;
        frame.second = choice.second;
    }
};

template <class Choices> constexpr bool writesTextOnly()
{
    if constexpr (requires { Choices::textOnly; })
        return Choices::textOnly;
    return false;
}

} // namespace

struct Enumerator::State
{
    std::shared_ptr<const detail::Program> program;
    std::vector<Frame> frames;
    std::unique_ptr<char[]> buffer;
    std::size_t length = 0;
    // Characters of the current variant in the text as written; counted only
    // within lengths, when a literal map makes them differ from the bytes.
    bool countCharacters = false;
    std::uint64_t characters = 0;
    bool started = false;
    // The variant the next call reveals is already written: after a seek, or
    // after writeLines() found no room for it. Only while not started.
    bool primed = false;
    std::optional<std::pair<LengthRange, mpz_class>> keptInRange;
    // Random access, kept between seeks.
    std::unique_ptr<detail::PositionDecoder> positions;
    std::unique_ptr<detail::RangeDecoder> ranges;
    bool finished = false;
    // The last seek, for makeFrames().
    bool framesPending = false;
    bool seekWithinRange = false;
    mpz_class seekRank;
    detail::Window seekWindow {};

    // Listing within lengths: choices whose variants are all too short or all
    // too long, by their shortest and longest lengths, are passed over, and so
    // is everything after a frame that has no choice left that could fit.
    struct Bounds
    {
        LengthRange range;
        detail::NodeLengths nodes;
        // Per group reference: the shortest and longest of what follows the
        // group in its sequence.
        std::vector<detail::NodeLengths::Bounds> after;
    };
    std::unique_ptr<const Bounds> bounds;
    static constexpr std::size_t noDeadEnd = SIZE_MAX;
    // The first frame that the last write opened without a choice that fits:
    // the variant written is out of range, and so is every other one until
    // a frame before it changes.
    std::size_t deadEnd = noDeadEnd;

    // A frame whose group the walk has left but whose gap is not known until
    // the next frame opens: where its output ended.
    struct Exit
    {
        std::uint32_t frame;
        std::size_t end;
        std::uint64_t characters;
    };
    std::vector<Exit> exits;
    // A frame outside the advanced one, reopened where it stood.
    struct Reopened
    {
        Cursor at;
        std::size_t gap;
        std::uint64_t gapCharacters;
    };
    std::vector<Reopened> reopened;
    // The gaps before, between and after the reopened frames, one after another.
    std::string gapText;
    // Listing many at once: the block of the last groups, made on first use;
    // none when the template does not end in groups of plain text.
    bool tailBlockMade = false;
    std::unique_ptr<TailBlock> tailBlock;

    std::uint32_t sequenceOfSlot(const Frame &frame, std::uint8_t slot) const
    {
        const detail::Group &group = program->groups[frame.group];
        if (group.kind == GroupKind::Alternatives)
            return program->choicePieces[group.choiceBegin + frame.choice];
        const std::uint32_t *pieces = program->pieces.data() + group.pieceBegin;
        switch (slot) {
        case 0:
            return pieces[1 + frame.first];
        case 1:
            return pieces[0];
        default:
            return pieces[1 + frame.second];
        }
    }

    // Opens a frame for the group at the cursor, at the choice that `choices`
    // gives, and returns where its output begins.
    template <class Choices> [[gnu::always_inline]] Cursor open(const Cursor &at, Choices &choices)
    {
        const detail::Program &p = *program;
        const std::uint32_t group = p.groupRefs[p.sequences[at.sequence].groupBegin + at.element];
        const detail::Group &compiled = p.groups[group];
        const detail::Span *pieceLiterals = compiled.pieceLiteralsBegin == detail::noLiterals
            ? nullptr
            : p.pieceLiterals.data() + compiled.pieceLiteralsBegin;
        frames.push_back(Frame { 0, compiled.choices, length, group, at.owner, at.sequence, at.element, at.slot, 0, 1,
            pieceLiterals, 0, 0, characters });
        const auto frame = static_cast<std::uint32_t>(frames.size() - 1);
        choices.open(frames.back(), frame, at);
        if (!writesTextOnly<Choices>() && bounds) [[unlikely]]
            openWithin(frame, at, std::is_same_v<Choices, FirstChoices>);
        return Cursor { sequenceOfSlot(frames.back(), 0), 0, frame, 0 };
    }

    // Within lengths, a frame opened at its first choice takes its first one
    // that could fit instead.
    [[gnu::noinline]] void openWithin(std::uint32_t frame, const Cursor &at, bool atFirstChoice)
    {
        noteRest(frames[frame], at);
        if (atFirstChoice && !fits(frames[frame]) && !stepWithin(frames[frame]) && deadEnd == noDeadEnd)
            deadEnd = frame;
    }

    void passOverOutside(LengthRange range)
    {
        const detail::Program &p = *program;
        auto made = std::make_unique<Bounds>(Bounds { range, detail::nodeLengths(p), {} });
        made->after.resize(p.groupRefs.size());
        for (const detail::Sequence &sequence : p.sequences) {
            detail::NodeLengths::Bounds rest { 0, 0 };
            for (std::uint32_t element = sequence.groupCount; element-- > 0;) {
                const std::uint64_t literal = p.characters(sequence.literalBegin + element + 1);
                rest.shortest += literal;
                rest.longest += literal;
                made->after[sequence.groupBegin + element] = rest;
                const detail::NodeLengths::Bounds &group
                    = made->nodes.groups[p.groupRefs[sequence.groupBegin + element]];
                rest.shortest += group.shortest;
                rest.longest += group.longest;
            }
        }
        bounds = std::move(made);
        countLengths();
    }

    // currentLength() counts characters from here on where a literal map
    // makes them differ from bytes.
    void countLengths() { countCharacters = !program->literalCharacters.empty(); }

    // What follows a newly opened frame: the rest of its sequence, the slots
    // of its owner still to come, and what follows the owner.
    void noteRest(Frame &frame, const Cursor &at) const
    {
        const detail::NodeLengths::Bounds &after
            = bounds->after[program->sequences[at.sequence].groupBegin + at.element];
        frame.restShortest = after.shortest;
        frame.restLongest = after.longest;
        if (at.owner == noFrame)
            return;
        const Frame &owner = frames[at.owner];
        frame.restShortest += owner.restShortest;
        frame.restLongest += owner.restLongest;
        if (program->groups[owner.group].kind != GroupKind::Pairs)
            return;
        for (auto slot = static_cast<std::uint8_t>(at.slot + 1); slot <= 2; ++slot) {
            const detail::NodeLengths::Bounds &piece = bounds->nodes.sequences[sequenceOfSlot(owner, slot)];
            frame.restShortest += piece.shortest;
            frame.restLongest += piece.longest;
        }
    }

    // Whether a variant with every frame up to this one as it stands could lie
    // within the lengths, by shortest and longest lengths alone.
    bool fits(const Frame &frame) const
    {
        const detail::NodeLengths &nodes = bounds->nodes;
        std::uint64_t shortest = (countCharacters ? frame.characterStart : frame.outputStart) + frame.restShortest;
        std::uint64_t longest = (countCharacters ? frame.characterStart : frame.outputStart) + frame.restLongest;
        const std::uint8_t slots = program->groups[frame.group].kind == GroupKind::Pairs ? 3 : 1;
        for (std::uint8_t slot = 0; slot < slots; ++slot) {
            const detail::NodeLengths::Bounds &piece = nodes.sequences[sequenceOfSlot(frame, slot)];
            shortest += piece.shortest;
            longest += piece.longest;
        }
        return shortest <= bounds->range.max && longest >= bounds->range.min;
    }

    // Moves the frame to its next choice, or within lengths to its next one
    // that could fit; false when there is none.
    bool stepWithin(Frame &frame) const
    {
        do {
            if (frame.choice + 1 == frame.choices)
                return false;
            stepChoice(frame);
        } while (bounds && !fits(frame));
        return true;
    }

    // The frames left since the last frame opened learn their gaps: the text
    // from their end to `end`, plus the gap of the frame the walk stopped in.
    void settleExits(std::size_t end, std::size_t gap, std::uint64_t gapCharacters)
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
    template <class Choices> void write(Cursor cursor, Choices &choices, std::uint32_t stop = noFrame)
    {
        const detail::Program &p = *program;
        char *const out = buffer.get();
        const char *const pool = p.pool.data();
        for (;;) {
            const detail::Sequence &sequence = p.sequences[cursor.sequence];
            const std::uint32_t literalIndex = sequence.literalBegin + cursor.element;
            const detail::Span literal = p.literals[literalIndex];
            copyText(out + length, pool + literal.offset, literal.length);
            length += literal.length;
            if (countCharacters)
                characters += p.characters(literalIndex);
            choices.literal(literalIndex);
            if (cursor.element < sequence.groupCount) {
                if constexpr (writesTextOnly<Choices>()) {
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
            if (cursor.slot < 2 && p.groups[owner.group].kind == GroupKind::Pairs) {
                const auto slot = static_cast<std::uint8_t>(cursor.slot + 1);
                cursor = Cursor { sequenceOfSlot(owner, slot), 0, cursor.owner, slot };
                continue;
            }
            if (cursor.owner == stop)
                break;
            if (!writesTextOnly<Choices>() && owner.parent != noFrame)
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
    [[gnu::always_inline]] void writePlainGroup(std::uint32_t group, const Cursor &at, Source &source)
    {
        const detail::Program &p = *program;
        const detail::GroupChoice choice = source.open(group, static_cast<std::uint32_t>(frames.size()),
            detail::GroupPlace { at.sequence, at.element, at.owner, at.slot });
        const detail::Group &compiled = p.groups[group];
        if (!Source::readsLiterals && !countCharacters) {
            // The pieces' spans lie together, one look-up away.
            const detail::Span *spans = p.pieceLiterals.data() + compiled.pieceLiteralsBegin;
            if (compiled.kind == GroupKind::Alternatives) {
                const detail::Span literal = spans[choice.choice];
                copyText(buffer.get() + length, p.pool.data() + literal.offset, literal.length);
                length += literal.length;
                return;
            }
            const detail::Span slots[3] = { spans[1 + choice.first], spans[0], spans[1 + choice.second] };
            for (const detail::Span literal : slots) {
                copyText(buffer.get() + length, p.pool.data() + literal.offset, literal.length);
                length += literal.length;
            }
            return;
        }
        const auto piece = [&](std::uint32_t sequence) {
            const std::uint32_t literalIndex = p.sequences[sequence].literalBegin;
            const detail::Span literal = p.literals[literalIndex];
            copyText(buffer.get() + length, p.pool.data() + literal.offset, literal.length);
            length += literal.length;
            if (countCharacters)
                characters += p.characters(literalIndex);
            source.literal(literalIndex);
        };
        if (compiled.kind == GroupKind::Alternatives) {
            piece(p.choicePieces[compiled.choiceBegin + choice.choice]);
            return;
        }
        const std::uint32_t *pieces = p.pieces.data() + compiled.pieceBegin;
        piece(pieces[1 + choice.first]);
        piece(pieces[0]);
        piece(pieces[1 + choice.second]);
    }

    // A frame in the template's own sequence is followed by one literal and
    // then the next group there, if any: its gap needs no bookkeeping.
    std::size_t gapOf(const Frame &frame) const
    {
        if (frame.parent != noFrame)
            return frame.gap;
        return program->literals[program->sequences[frame.sequence].literalBegin + frame.element + 1].length;
    }
    std::uint64_t gapCharactersOf(const Frame &frame) const
    {
        if (frame.parent != noFrame)
            return frame.gapCharacters;
        return program->characters(program->sequences[frame.sequence].literalBegin + frame.element + 1);
    }

    // Moves the frame to its next choice; for pairs, to the next ordered pair
    // of two different items, the first item changing slowest.
    void stepChoice(Frame &frame) const
    {
        ++frame.choice;
        const detail::Group &group = program->groups[frame.group];
        if (group.kind != GroupKind::Pairs)
            return;
        const std::uint32_t items = group.pieceCount - 1;
        if (++frame.second == frame.first)
            ++frame.second;
        if (frame.second == items) {
            ++frame.first;
            frame.second = frame.first == 0 ? 1 : 0;
        }
    }

    // Characters of a frame whose pieces are plain text.
    std::uint64_t literalFrameCharacters(const Frame &frame) const
    {
        const detail::Program &p = *program;
        const auto of
            = [&](std::uint8_t slot) { return p.characters(p.sequences[sequenceOfSlot(frame, slot)].literalBegin); };
        if (p.groups[frame.group].kind == GroupKind::Alternatives)
            return of(0);
        return of(0) + of(1) + of(2);
    }

    // The last frame's output and everything after it is plain text, since any
    // group there would have a frame of its own. When its pieces are plain text
    // as well, the next variant changes only in place and no walk is needed.
    // This is the path taken for most variants of most templates.
    template <bool Within> bool advanceLastLiteralFrame()
    {
        Frame &frame = frames.back();
        if (!frame.pieceLiterals)
            return false;
        const auto step = [this](Frame &stepped) {
            if constexpr (Within)
                return stepWithin(stepped);
            if (stepped.choice + 1 == stepped.choices)
                return false;
            stepChoice(stepped);
            return true;
        };
        const std::uint64_t oldCharacters = Within && countCharacters ? literalFrameCharacters(frame) : 0;
        const detail::Span *pieces = frame.pieceLiterals;
        if (program->groups[frame.group].kind == GroupKind::Alternatives) {
            const std::size_t oldLength = pieces[frame.choice].length;
            if (!step(frame))
                return false;
            replaceText(frame.outputStart, oldLength, &pieces[frame.choice], 1);
        } else {
            // Within one first item only the second item changes, and the
            // first item and the separator before it stay where they are.
            const std::uint32_t oldFirst = frame.first;
            const std::size_t oldFirstLength = pieces[1 + frame.first].length + pieces[0].length;
            const std::size_t oldSecondLength = pieces[1 + frame.second].length;
            if (!step(frame))
                return false;
            if (frame.first == oldFirst) {
                replaceText(frame.outputStart + oldFirstLength, oldSecondLength, &pieces[1 + frame.second], 1);
            } else {
                const detail::Span slots[3] = { pieces[1 + frame.first], pieces[0], pieces[1 + frame.second] };
                replaceText(frame.outputStart, oldFirstLength + oldSecondLength, slots, 3);
            }
        }
        if (Within && countCharacters)
            characters += literalFrameCharacters(frame) - oldCharacters;
        return true;
    }

    // Replaces oldLength bytes of the variant at `at` by the spans' text,
    // moving whatever follows.
    void replaceText(std::size_t at, std::size_t oldLength, const detail::Span *spans, int count)
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
            copyText(write, pool + spans[i].offset, spans[i].length);
            write += spans[i].length;
        }
        length = at + newLength + tailLength;
    }

    // Every frame after `advanced` is at its last choice and starts again at
    // its first. Those outside it hang from the frames that enclose it; they
    // are noted, with the gaps around them, to be reopened where they stand.
    // All of these frames are dropped anyway, so looking at them costs nothing
    // extra over the whole enumeration.
    void noteFramesOutside(std::uint32_t advanced)
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
            reopened.push_back(Reopened { Cursor { frame.sequence, frame.element, frame.parent, frame.slot },
                gapOf(frame), gapCharactersOf(frame) });
            before = &frame;
        }
        keepGap(length);
    }

    bool advance()
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

    // The text of choice `choice` of a group whose pieces are plain text.
    template <class Append> void choiceText(const detail::Group &group, std::uint64_t choice, Append append) const
    {
        const detail::Span *pieces = program->pieceLiterals.data() + group.pieceLiteralsBegin;
        if (group.kind == GroupKind::Alternatives) {
            append(pieces[choice]);
            return;
        }
        const detail::GroupChoice pair = detail::plainPair(choice, group.pieceCount - 1);
        append(pieces[1 + pair.first]);
        append(pieces[0]);
        append(pieces[1 + pair.second]);
    }

    std::uint64_t choiceLength(const detail::Group &group, std::uint64_t choice) const
    {
        std::uint64_t total = 0;
        choiceText(group, choice, [&](detail::Span piece) { total += piece.length; });
        return total;
    }

    // Takes the template's last groups into the block, from the last one
    // back, for as long as they hold plain text and the block stays small.
    void makeTailBlock(char terminator)
    {
        tailBlockMade = true;
        tailBlock.reset();
        const detail::Program &p = *program;
        const detail::Sequence &root = p.sequences[p.root];
        std::uint64_t lines = 1;
        std::uint64_t bytes = 0; // terminators left out
        std::uint32_t element = root.groupCount;
        while (element > 0) {
            const detail::Group &group = p.groups[p.groupRefs[root.groupBegin + element - 1]];
            if (group.pieceLiteralsBegin == detail::noLiterals || group.choices > tailBlockLines / lines)
                break;
            std::uint64_t choiceBytes = 0;
            for (std::uint64_t choice = 0; choice < group.choices; ++choice)
                choiceBytes += choiceLength(group, choice);
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
            return;
        auto block = std::make_unique<TailBlock>();
        block->element = element;
        block->groups = root.groupCount - element;
        block->lines = lines;
        block->terminator = terminator;
        block->text.reserve(bytes + lines);
        block->ends.reserve(lines + 1);
        block->ends.push_back(0);
        // An odometer of its own over the groups, the last one fastest.
        std::vector<std::uint64_t> digits(block->groups, 0);
        const auto append = [&](detail::Span piece) { block->text.append(p.pool, piece.offset, piece.length); };
        for (std::uint64_t line = 0; line < lines; ++line) {
            for (std::uint32_t g = 0; g < block->groups; ++g) {
                choiceText(p.groups[p.groupRefs[root.groupBegin + element + g]], digits[g], append);
                append(p.literals[root.literalBegin + element + g + 1]);
            }
            block->text += terminator;
            block->ends.push_back(static_cast<std::uint32_t>(block->text.size()));
            for (std::uint32_t g = block->groups; g-- > 0;) {
                if (++digits[g] < p.groups[p.groupRefs[root.groupBegin + element + g]].choices)
                    break;
                digits[g] = 0;
            }
        }
        tailBlock = std::move(block);
    }

    // Where the current variant stands among the lines of the block.
    std::uint64_t tailBlockLine() const
    {
        std::uint64_t line = 0;
        for (std::size_t index = frames.size() - tailBlock->groups; index < frames.size(); ++index)
            line = line * frames[index].choices + frames[index].choice;
        return line;
    }

    // Makes line `line` of the block the current variant, with the frames
    // of the block's groups at its choices, as the odometer would leave them.
    void moveInTailBlock(std::uint64_t line)
    {
        const TailBlock &block = *tailBlock;
        const detail::Program &p = *program;
        const std::size_t firstFrame = frames.size() - block.groups;
        std::size_t at = frames[firstFrame].outputStart;
        const std::uint32_t begin = block.ends[line];
        const std::size_t lineLength = block.ends[line + 1] - begin - 1;
        std::memcpy(buffer.get() + at, block.text.data() + begin, lineLength);
        length = at + lineLength;
        for (std::size_t index = frames.size(); index-- > firstFrame;) {
            Frame &frame = frames[index];
            frame.choice = line % frame.choices;
            line /= frame.choices;
            if (p.groups[frame.group].kind == GroupKind::Pairs) {
                const detail::GroupChoice pair = detail::plainPair(frame.choice, p.groups[frame.group].pieceCount - 1);
                frame.first = pair.first;
                frame.second = pair.second;
            }
        }
        const std::uint32_t literals = p.sequences[p.root].literalBegin + block.element + 1;
        for (std::size_t index = firstFrame; index < frames.size(); ++index) {
            Frame &frame = frames[index];
            frame.outputStart = at;
            at += choiceLength(p.groups[frame.group], frame.choice)
                + p.literals[literals + (index - firstFrame)].length;
        }
    }

    // Writes the lines of the block after the current one, each after the
    // prefix, for as long as they fit and are wanted; the last one written
    // becomes the current variant.
    void writeTailBlock(char *out, std::size_t capacity, std::uint64_t maxLines, WrittenLines &written)
    {
        const TailBlock &block = *tailBlock;
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
            copyText(to, prefixText, prefix);
            to += prefix;
            copyText(to, text + begin, size);
            to += size;
        }
        if (next == line + 1)
            return;
        written.lines += next - line - 1;
        written.bytes = static_cast<std::size_t>(to - out);
        moveInTailBlock(next - 1);
    }

    WrittenLines writeLines(char *out, std::size_t capacity, char terminator, std::uint64_t maxLines)
    {
        if (!tailBlockMade || (tailBlock && tailBlock->terminator != terminator))
            makeTailBlock(terminator);
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
                    FirstChoices first;
                    restart();
                    write(Cursor { program->root, 0, noFrame, 0 }, first);
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

    // Forgets the variant, also one that a failed seek left half written.
    void restart()
    {
        frames.clear();
        exits.clear();
        length = 0;
        characters = 0;
        deadEnd = noDeadEnd;
        framesPending = false;
    }

    // Writes the variant that the decoder's choices make, from the start;
    // with TextOnly, leaves the frames to makeFrames().
    template <bool TextOnly, class Source> void writeDecoded(Source &source)
    {
        restart();
        DecodedChoices<Source, TextOnly> choices { source };
        write(Cursor { program->root, 0, noFrame, 0 }, choices);
        framesPending = TextOnly;
    }

    // The variant that the last seek wrote, again, with every frame.
    void makeFrames()
    {
        if (seekWithinRange) {
            ranges->start(seekRank, seekWindow);
            writeDecoded<false>(*ranges);
        } else {
            positions->start(seekRank);
            writeDecoded<false>(*positions);
        }
    }
};

Enumerator::Enumerator(const CompiledTemplate &compiled)
    : state_(std::make_unique<State>())
{
    state_->program = compiled.program_;
    state_->buffer = std::make_unique<char[]>(state_->program->figures.longestBytes + detail::PositionDecoder::slack);
}

Enumerator::Enumerator(const CompiledTemplate &compiled, const mpz_class &position)
    : Enumerator(compiled)
{
    seek(position);
}

void Enumerator::seek(const mpz_class &position)
{
    State &state = *state_;
    const detail::Program &program = *state.program;
    const bool fits = program.figures.count != UINT64_MAX;
    const int order = fits ? cmp(position, static_cast<unsigned long>(program.figures.count))
                           : cmp(position, CompiledTemplate(state.program).count());
    if (position < 0 || order > 0)
        throw std::out_of_range("position " + position.get_str() + " is past the end of the variants");
    state.started = false;
    state.primed = false;
    state.finished = order == 0;
    if (state.finished)
        return;
    if (!state.positions)
        state.positions = std::make_unique<detail::PositionDecoder>(program);
    // Only listing on from here needs the frames; makeFrames() opens them then.
    state.restart();
    state.length
        = state.positions->write(position, state.buffer.get(), state.countCharacters ? &state.characters : nullptr);
    state.framesPending = true;
    state.seekWithinRange = false;
    state.seekRank = position;
    state.primed = true;
}

void Enumerator::seekInRange(const mpz_class &rank, LengthRange range)
{
    State &state = *state_;
    // Bounds that hold every variant rank the variants as positions do, and
    // a seek by position needs no figures by length.
    if (CompiledTemplate(state.program).keepsEveryLength(range)) {
        seek(rank);
        return;
    }
    // Samples seek within the same range again and again.
    if (!state.keptInRange || state.keptInRange->first.min != range.min || state.keptInRange->first.max != range.max)
        state.keptInRange.emplace(range, CompiledTemplate(state.program).figuresInRange(range).count);
    const mpz_class &kept = state.keptInRange->second;
    if (rank < 0 || rank > kept)
        throw std::out_of_range(
            "rank " + rank.get_str() + " is past the end of the " + kept.get_str() + " variants within the lengths");
    state.started = false;
    state.primed = false;
    state.finished = rank == kept;
    if (state.finished)
        return;
    const auto bound = [](std::uint64_t length) {
        return static_cast<std::int64_t>(std::min<std::uint64_t>(length, INT64_MAX / 2));
    };
    if (!state.ranges)
        state.ranges = std::make_unique<detail::RangeDecoder>(*state.program);
    const detail::RuleWindow window = detail::ruleWindow(*state.program, range);
    state.seekWindow = { bound(window.low), bound(window.high) };
    state.ranges->start(rank, state.seekWindow);
    state.writeDecoded<true>(*state.ranges);
    state.seekWithinRange = true;
    state.seekRank = rank;
    state.primed = true;
}

Enumerator::~Enumerator() = default;
Enumerator::Enumerator(Enumerator &&) noexcept = default;
Enumerator &Enumerator::operator=(Enumerator &&) noexcept = default;

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
        if (!state.primed) {
            FirstChoices first;
            state.restart();
            state.write(Cursor { state.program->root, 0, noFrame, 0 }, first);
        }
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

std::string_view Enumerator::current() const noexcept
{
    return std::string_view(state_->buffer.get(), state_->length);
}

std::uint64_t Enumerator::currentLength() const noexcept
{
    return state_->countCharacters ? state_->characters : state_->length;
}

void Enumerator::countLengths()
{
    state_->countLengths();
}

void Enumerator::passOverLengthsOutside(LengthRange range)
{
    state_->passOverOutside(range);
}

} // namespace razmnozhator
