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

#include "razmnozhator/engine.h"

#include "lengthrange.h"
#include "positions.h"
#include "program.h"

#include <cstring>
#include <deque>
#include <limits>
#include <optional>
#include <stdexcept>
#include <type_traits>
#include <utility>

namespace razmnozhator {

using detail::GroupKind;

namespace {

constexpr std::uint32_t noFrame = std::numeric_limits<std::uint32_t>::max();

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

// Opens every frame at the choice that the variant at a position makes,
// splitting the position over the groups as they are met. Each frame keeps
// the residual of the sequence in each of its slots.
template <class Number> struct PositionChoices
{
    const detail::Program &program;
    const detail::PositionTables<Number> &tables;
    Number &rootResidual;
    // Kept by the enumerator between seeks, so that big numbers keep their storage.
    std::vector<std::array<Number, 3>> &slots;
    Number &variant;

    void literal(std::uint32_t) { }

    void open(Frame &frame, std::uint32_t index, const Cursor &at)
    {
        if (slots.size() <= index)
            slots.resize(index + 1);
        Number &residual = at.owner == noFrame ? rootResidual : slots[at.owner][at.slot];
        const Number &after = tables.suffix[program.sequences[at.sequence].groupBegin + at.element];
        if constexpr (std::is_same_v<Number, mpz_class>) {
            mpz_tdiv_qr(variant.get_mpz_t(), residual.get_mpz_t(), residual.get_mpz_t(), after.get_mpz_t());
        } else {
            variant = residual / after;
            residual %= after;
        }
        const detail::PositionDecoder<Number> decoder { program, tables };
        const detail::Group &group = program.groups[frame.group];
        if (group.kind == GroupKind::Alternatives && group.pieceLiteralsBegin != detail::noLiterals) {
            // Plain-text choices have one variant each: the variant is the choice.
            if constexpr (std::is_same_v<Number, mpz_class>)
                frame.choice = variant.get_ui();
            else
                frame.choice = variant;
            return;
        }
        if (group.kind == GroupKind::Alternatives) {
            frame.choice = decoder.alternativesChoice(group, variant);
            std::swap(slots[index][0], variant);
            return;
        }
        const detail::PairChoice pair = decoder.pairsChoice(group, variant, slots[index]);
        const std::uint64_t items = group.pieceCount - 1;
        frame.first = pair.first;
        frame.second = pair.second;
        frame.choice = pair.first * (items - 1) + (pair.second < pair.first ? pair.second : pair.second - 1);
    }
};

// Opens every frame at the choice that the rank-th variant within a length
// window makes. Each frame keeps, for each of its slots, the spectrum of
// everything that follows that slot's sequence in the variant.
struct RangeChoices
{
    const detail::Program &program;
    const detail::SpectrumIndex &spectra;
    const detail::RangeIndex &index;
    mpz_class rank;
    detail::Window window;
    // Per frame and slot, the spectrum of what follows the slot's sequence:
    // the index's own for the template's sequence, else made here.
    std::vector<std::array<const detail::Poly *, 3>> slotRest;
    std::deque<detail::Poly> made;
    mpz_class weight = 0;
    std::vector<mp_limb_t> scratch = {};

    void literal(std::uint32_t literal)
    {
        const auto characters = static_cast<std::int64_t>(program.characters(literal));
        window.low -= characters;
        window.high -= characters;
    }

    // Moves past the choices whose variants that fit number no more than the
    // rank; true when the rank falls within this one.
    bool takes(const detail::Poly &content, const detail::Poly &totals)
    {
        detail::weightInWindow(spectra, content, totals, window, weight);
        if (rank < weight)
            return true;
        rank -= weight;
        return false;
    }

    std::uint64_t choice(const detail::Group &group, const detail::Poly &totals)
    {
        std::uint64_t choice = 0;
        while (choice + 1 < group.choices
            && !takes(spectra.sequenceSpectrum[program.choicePieces[group.choiceBegin + choice]], totals))
            ++choice;
        return choice;
    }

    // The same for choices that are plain text, which is most of them, on
    // machine words: each choice's weight is the difference of two running
    // totals of what follows.
    // groupTotals, when known, are the running totals of the group followed
    // by what follows it: the rank's place among all of them tells from which
    // end of the choices it is reached sooner.
    std::uint64_t plainTextChoice(
        const detail::Group &group, const detail::Poly &totals, const detail::Poly *groupTotals)
    {
        const std::size_t width = spectra.width;
        const auto words = static_cast<mp_size_t>(width);
        if (scratch.size() != 4 * width)
            scratch.resize(4 * width);
        mp_limb_t *left = scratch.data();
        mp_limb_t *next = left + width;
        mp_limb_t *difference = next + width;
        mp_limb_t *all = difference + width;
        const std::size_t used = mpz_size(rank.get_mpz_t());
        std::copy_n(mpz_limbs_read(rank.get_mpz_t()), used, left);
        std::fill(left + used, left + width, 0);
        const auto totalUpTo = [&](const detail::Poly &poly, std::int64_t length) -> const mp_limb_t * {
            if (length < std::int64_t(poly.offset))
                return nullptr;
            const std::uint64_t slot
                = std::min<std::uint64_t>(std::uint64_t(length) - poly.offset, poly.slots(width) - 1);
            return poly.limbs.data() + slot * width;
        };
        // How many of `poly`'s remainders fit the window moved by `length`, or null for none.
        const auto fitting = [&](const detail::Poly &poly, std::int64_t length, mp_limb_t *out) -> const mp_limb_t * {
            const mp_limb_t *upper = window.high >= window.low ? totalUpTo(poly, window.high - length) : nullptr;
            if (!upper)
                return nullptr;
            const mp_limb_t *lower = totalUpTo(poly, window.low - 1 - length);
            if (!lower)
                return upper;
            mpn_sub_n(out, upper, lower, words);
            return out;
        };
        const auto lengthOf = [&](std::uint64_t choice) {
            const detail::Sequence &piece = program.sequences[program.choicePieces[group.choiceBegin + choice]];
            return std::int64_t(program.characters(piece.literalBegin));
        };

        bool fromEnd = false;
        if (groupTotals) {
            // From the end when rank >= total / 2; counting from there, the
            // rank becomes total - 1 - rank.
            if (const mp_limb_t *total = fitting(*groupTotals, 0, all)) {
                mpn_rshift(next, total, words, 1);
                if (mpn_cmp(left, next, words) >= 0) {
                    fromEnd = true;
                    mpn_sub_n(next, total, left, words);
                    mpn_sub_1(left, next, words, 1);
                }
            }
        }
        std::uint64_t choice = fromEnd ? group.choices - 1 : 0;
        for (std::uint64_t step = 0; step + 1 < group.choices; ++step, fromEnd ? --choice : ++choice) {
            const mp_limb_t *fits = fitting(totals, lengthOf(choice), difference);
            if (!fits)
                continue;
            if (mpn_sub_n(next, left, fits, words) != 0) {
                if (fromEnd) {
                    // Within the choice, counted from its start: fits - 1 - left.
                    mpn_sub_n(next, fits, left, words);
                    mpn_sub_1(left, next, words, 1);
                }
                break;
            }
            std::swap(left, next);
        }
        if (fromEnd && choice == 0) {
            // The first choice holds the rest: left counts from its end.
            const mp_limb_t *fits = fitting(totals, lengthOf(0), difference);
            mpn_sub_n(next, fits, left, words);
            mpn_sub_1(left, next, words, 1);
        }
        std::copy_n(left, width, mpz_limbs_write(rank.get_mpz_t(), words));
        mpz_limbs_finish(rank.get_mpz_t(), words);
        return choice;
    }

    const detail::Poly *keep(detail::Poly poly)
    {
        made.push_back(std::move(poly));
        return &made.back();
    }

    void open(Frame &frame, std::uint32_t frameIndex, const Cursor &at)
    {
        const std::uint32_t reference = program.sequences[at.sequence].groupBegin + at.element;
        const detail::Poly *rest;
        const detail::Poly *totals;
        if (at.owner == noFrame) {
            rest = &index.suffix[reference];
            totals = &index.rootSuffixTotals[at.element];
        } else {
            rest = keep(spectra.multiply(index.suffix[reference], *slotRest[at.owner][at.slot]));
            totals = keep(detail::runningTotals(spectra, *rest));
        }
        if (slotRest.size() <= frameIndex)
            slotRest.resize(frameIndex + 1);
        const detail::Group &group = program.groups[frame.group];
        if (group.kind == GroupKind::Alternatives) {
            const detail::Poly *groupTotals = at.owner == noFrame ? &index.rootGroupTotals[at.element] : nullptr;
            frame.choice = group.pieceLiteralsBegin != detail::noLiterals ? plainTextChoice(group, *totals, groupTotals)
                                                                          : choice(group, *totals);
            slotRest[frameIndex][0] = rest;
            return;
        }
        const std::uint32_t *pieces = program.pieces.data() + group.pieceBegin;
        const std::uint32_t items = group.pieceCount - 1;
        const auto item
            = [&](std::uint32_t i) -> const detail::Poly & { return spectra.sequenceSpectrum[pieces[1 + i]]; };
        const detail::Poly &separator = spectra.sequenceSpectrum[pieces[0]];
        const detail::Poly &sum = index.itemSum[frame.group];
        std::uint32_t first = 0;
        while (first + 1 < items
            && !takes(spectra.multiply(spectra.multiply(item(first), separator), spectra.subtract(sum, item(first))),
                *totals))
            ++first;
        const detail::Poly lead = spectra.multiply(item(first), separator);
        std::uint32_t second = first == 0 ? 1 : 0;
        for (;;) {
            std::uint32_t next = second + 1 == first ? second + 2 : second + 1;
            if (next >= items || takes(spectra.multiply(lead, item(second)), *totals))
                break;
            second = next;
        }
        frame.first = first;
        frame.second = second;
        frame.choice = first * (items - 1ull) + (second < first ? second : second - 1);
        const detail::Poly *afterSeparator = keep(spectra.multiply(item(second), *rest));
        slotRest[frameIndex] = { keep(spectra.multiply(separator, *afterSeparator)), afterSeparator, rest };
    }
};

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
    bool primed = false; // the variant the next call reveals is already written
    std::optional<std::pair<LengthRange, mpz_class>> keptInRange;
    // Random access, kept between seeks.
    const detail::PositionIndex *positions = nullptr;
    const detail::RangeIndex *ranges = nullptr;
    std::vector<std::array<std::uint64_t, 3>> smallSlots;
    std::vector<std::array<mpz_class, 3>> bigSlots;
    std::uint64_t smallVariant = 0;
    mpz_class bigVariant;
    bool finished = false;

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
        if (bounds) [[unlikely]]
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
        countCharacters = !p.literalCharacters.empty();
    }

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
            std::memcpy(out + length, pool + literal.offset, literal.length);
            length += literal.length;
            if (countCharacters)
                characters += p.characters(literalIndex);
            choices.literal(literalIndex);
            if (cursor.element < sequence.groupCount) {
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
            if (owner.parent != noFrame)
                exits.push_back(Exit { cursor.owner, length, characters });
            cursor = Cursor { owner.sequence, owner.element + 1, owner.parent, owner.slot };
        }
        if (stop == noFrame)
            settleExits(length, 0, 0);
        else
            settleExits(length, gapOf(frames[stop]), gapCharactersOf(frames[stop]));
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
            std::memcpy(write, pool + spans[i].offset, spans[i].length);
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
    void restart()
    {
        frames.clear();
        exits.clear();
        length = 0;
        characters = 0;
        deadEnd = noDeadEnd;
    }

    template <class Number>
    void writeAt(const detail::PositionTables<Number> &tables, Number position,
        std::vector<std::array<Number, 3>> &slots, Number &variant)
    {
        restart();
        PositionChoices<Number> choices { *program, tables, position, slots, variant };
        write(Cursor { program->root, 0, noFrame, 0 }, choices);
    }

    void writeInRange(const mpz_class &rank, detail::Window window)
    {
        restart();
        if (!ranges)
            ranges = &detail::rangeIndex(*program);
        const detail::RangeIndex &index = *ranges;
        RangeChoices choices { *program, index.spectra, index, rank, window, {}, {} };
        write(Cursor { program->root, 0, noFrame, 0 }, choices);
    }
};

Enumerator::Enumerator(const CompiledTemplate &compiled)
    : state_(std::make_unique<State>())
{
    state_->program = compiled.program_;
    state_->buffer = std::make_unique<char[]>(state_->program->figures.longestBytes + 1);
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
        state.positions = &detail::positionIndex(program);
    const detail::PositionIndex &index = *state.positions;
    if (index.small)
        state.writeAt<std::uint64_t>(*index.small, position.get_ui(), state.smallSlots, state.smallVariant);
    else
        state.writeAt<mpz_class>(*index.big, position, state.bigSlots, state.bigVariant);
    state.primed = true;
}

void Enumerator::seekInRange(const mpz_class &rank, LengthRange range)
{
    State &state = *state_;
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
    state.writeInRange(rank, { bound(range.min), bound(range.max) });
    state.primed = true;
}

Enumerator::~Enumerator() = default;
Enumerator::Enumerator(Enumerator &&) noexcept = default;
Enumerator &Enumerator::operator=(Enumerator &&) noexcept = default;

bool Enumerator::next()
{
    State &state = *state_;
    if (state.finished)
        return false;
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

std::string_view Enumerator::current() const noexcept
{
    return std::string_view(state_->buffer.get(), state_->length);
}

std::uint64_t Enumerator::currentLength() const noexcept
{
    return state_->countCharacters ? state_->characters : state_->length;
}

void Enumerator::passOverLengthsOutside(LengthRange range)
{
    state_->passOverOutside(range);
}

} // namespace razmnozhator
