// Enumerates a Program like an odometer whose digits come and go.
//
// The groups taking part in the current variant form a list of frames in the
// order their output begins, which is also the order of their significance:
// a group's own choice comes before everything inside it, and the leftmost
// group changes slowest. The next variant advances the last frame that has a
// choice left, drops the frames after it and writes the variant anew from that
// frame's output position on; the bytes before it are kept. Every frame has at
// least two choices, so on average only a short tail is rewritten per variant.

#include "razmnozhator/engine.h"

#include "choices.h"
#include "lengthrange.h"
#include "positions.h"
#include "program.h"

#include <cstring>
#include <limits>
#include <optional>
#include <stdexcept>
#include <utility>

namespace razmnozhator {

using detail::GroupKind;

namespace {

using detail::noFrame;

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

// Opens every frame at the choice that a decoder gives.
struct DecodedChoices
{
    detail::ChoiceSource &source;

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

} // namespace

struct Enumerator::State
{
    std::shared_ptr<const detail::Program> program;
    std::vector<Frame> frames;
    std::unique_ptr<char[]> buffer;
    std::size_t length = 0;
    bool started = false;
    bool primed = false; // the variant the next call reveals is already written
    std::optional<std::pair<LengthRange, mpz_class>> keptInRange;
    // Random access, kept between seeks.
    std::unique_ptr<detail::PositionDecoder> positions;
    std::unique_ptr<detail::RangeDecoder> ranges;
    bool finished = false;

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

    // Writes from the cursor to the end of the variant, opening a frame for
    // every group met at the choice that `choices` gives.
    template <class Choices> void write(Cursor cursor, Choices &choices)
    {
        const detail::Program &p = *program;
        char *const out = buffer.get();
        const char *const pool = p.pool.data();
        std::size_t end = length;
        for (;;) {
            const detail::Sequence &sequence = p.sequences[cursor.sequence];
            const detail::Span literal = p.literals[sequence.literalBegin + cursor.element];
            std::memcpy(out + end, pool + literal.offset, literal.length);
            end += literal.length;
            choices.literal(sequence.literalBegin + cursor.element);
            if (cursor.element < sequence.groupCount) {
                const std::uint32_t group = p.groupRefs[sequence.groupBegin + cursor.element];
                const detail::Group &compiled = p.groups[group];
                const detail::Span *pieceLiterals = compiled.pieceLiteralsBegin == detail::noLiterals
                    ? nullptr
                    : p.pieceLiterals.data() + compiled.pieceLiteralsBegin;
                frames.push_back(Frame { 0, compiled.choices, end, group, cursor.owner, cursor.sequence, cursor.element,
                    cursor.slot, 0, 1, pieceLiterals });
                const auto frame = static_cast<std::uint32_t>(frames.size() - 1);
                choices.open(frames.back(), frame, cursor);
                cursor = Cursor { sequenceOfSlot(frames.back(), 0), 0, frame, 0 };
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
            cursor = Cursor { owner.sequence, owner.element + 1, owner.parent, owner.slot };
        }
        length = end;
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

    // The last frame's output and everything after it is plain text, since any
    // group there would have a frame of its own. When its pieces are plain text
    // as well, the next variant changes only in place and no walk is needed.
    // This is the path taken for most variants of most templates.
    bool advanceLastLiteralFrame()
    {
        Frame &frame = frames.back();
        if (!frame.pieceLiterals || frame.choice + 1 == frame.choices)
            return false;
        const detail::Span *pieces = frame.pieceLiterals;
        if (program->groups[frame.group].kind == GroupKind::Alternatives) {
            const std::size_t oldLength = pieces[frame.choice].length;
            stepChoice(frame);
            replaceText(frame.outputStart, oldLength, &pieces[frame.choice], 1);
            return true;
        }
        // Within one first item only the second item changes, and the first
        // item and the separator before it stay where they are.
        const std::uint32_t oldFirst = frame.first;
        const std::size_t oldFirstLength = pieces[1 + frame.first].length + pieces[0].length;
        const std::size_t oldSecondLength = pieces[1 + frame.second].length;
        stepChoice(frame);
        if (frame.first == oldFirst) {
            replaceText(frame.outputStart + oldFirstLength, oldSecondLength, &pieces[1 + frame.second], 1);
        } else {
            const detail::Span slots[3] = { pieces[1 + frame.first], pieces[0], pieces[1 + frame.second] };
            replaceText(frame.outputStart, oldFirstLength + oldSecondLength, slots, 3);
        }
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

    bool advance()
    {
        if (!frames.empty() && advanceLastLiteralFrame())
            return true;
        std::size_t index = frames.size();
        while (index > 0 && frames[index - 1].choice + 1 == frames[index - 1].choices)
            --index;
        if (index == 0)
            return false;
        frames.resize(index);
        Frame &frame = frames[index - 1];
        stepChoice(frame);
        length = frame.outputStart;
        FirstChoices first;
        write(Cursor { sequenceOfSlot(frame, 0), 0, static_cast<std::uint32_t>(index - 1), 0 }, first);
        return true;
    }

    // Writes the variant that the decoder's choices make, from the start.
    void writeDecoded(detail::ChoiceSource &source)
    {
        frames.clear();
        length = 0;
        DecodedChoices choices { source };
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
        state.positions = std::make_unique<detail::PositionDecoder>(program);
    state.positions->start(position);
    state.writeDecoded(*state.positions);
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
    if (!state.ranges)
        state.ranges = std::make_unique<detail::RangeDecoder>(*state.program);
    state.ranges->start(rank, { bound(range.min), bound(range.max) });
    state.writeDecoded(*state.ranges);
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
            state.write(Cursor { state.program->root, 0, noFrame, 0 }, first);
        }
        state.primed = false;
        return true;
    }
    if (state.advance())
        return true;
    state.finished = true;
    state.length = 0;
    return false;
}

std::string_view Enumerator::current() const noexcept
{
    return std::string_view(state_->buffer.get(), state_->length);
}

} // namespace razmnozhator
