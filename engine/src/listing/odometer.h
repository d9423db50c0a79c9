#pragma once

// The enumerator's state: an odometer over a Program whose digits come and go.
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
// The odometer itself is odometer.cpp; listing many lines at once through
// the block of the template's last groups is tailblock.cpp, and passing
// over choices outside the lengths asked for is lengthpruning.h.

#include "razmnozhator/engine.h"

#include "access/positions.h"
#include "access/rangedecoder.h"
#include "listing/lengthpruning.h"
#include "listing/tailblock.h"
#include "program/choices.h"
#include "program/program.h"

#include <gmpxx.h>

#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace razmnozhator {

namespace detail {

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
        static_cast<GroupChoice &>(frame)
            = source.open(frame.group, index, GroupPlace { at.sequence, at.element, at.owner, at.slot });
    }
};

template <class Choices> constexpr bool writesTextOnly()
{
    if constexpr (requires { Choices::textOnly; })
        return Choices::textOnly;
    return false;
}

} // namespace detail

struct Enumerator::State
{
    using Frame = detail::Frame;
    using Cursor = detail::Cursor;

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
    // too long are passed over, and so is everything after a frame that has
    // no choice left that could fit.
    std::unique_ptr<const detail::LengthPruning> bounds;
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
    std::unique_ptr<detail::TailBlock> tailBlock;

    std::uint32_t sequenceOfSlot(const Frame &frame, int slot) const
    {
        return detail::slotSequence(*program, program->groups[frame.group], frame, slot);
    }

    // odometer.cpp
    void writeFirst();
    bool advance();
    void restart();
    template <class Choices> [[gnu::always_inline]] Cursor open(const Cursor &at, Choices &choices);
    template <class Choices> void write(Cursor cursor, Choices &choices, std::uint32_t stop = detail::noFrame);
    template <class Source>
    [[gnu::always_inline]] void writePlainGroup(std::uint32_t group, const Cursor &at, Source &source);
    template <bool Within> bool advanceLastLiteralFrame();
    template <bool Within, class Kind> bool advanceLiteralFrame(Frame &frame);
    [[gnu::noinline]] void openWithin(std::uint32_t frame, const Cursor &at, bool atFirstChoice);
    bool fits(const Frame &frame) const;
    bool stepWithin(Frame &frame) const;
    template <class Kind, bool Within> bool stepWithin(Frame &frame) const;
    void settleExits(std::size_t end, std::size_t gap, std::uint64_t gapCharacters);
    std::size_t gapOf(const Frame &frame) const;
    std::uint64_t gapCharactersOf(const Frame &frame) const;
    std::uint64_t literalFrameCharacters(const Frame &frame) const;
    void replaceText(std::size_t at, std::size_t oldLength, const detail::Span *spans, int count);
    void noteFramesOutside(std::uint32_t advanced);
    template <bool TextOnly, class Source> void writeDecoded(Source &source);
    // The variant at the range decoder's rank, its text alone: the frames
    // are left to makeFrames().
    void writeRangeText();
    void makeFrames();

    // lengthpruning.cpp
    void passOverOutside(LengthRange range);
    void countLengths() { countCharacters = !program->literalCharacters.empty(); }

    // tailblock.cpp
    WrittenLines writeLines(char *out, std::size_t capacity, char terminator, std::uint64_t maxLines);
    std::uint64_t tailBlockLine() const;
    void moveInTailBlock(std::uint64_t line);
    void writeTailBlock(char *out, std::size_t capacity, std::uint64_t maxLines, WrittenLines &written);
};

} // namespace razmnozhator
