// The seek's writer: the variant at a position written straight from the
// counts, without the frames that listing on from it needs.

#include "access/positions.h"

#include "program/choicearithmetic.h"
#include "program/varianttext.h"

#include <vector>

namespace razmnozhator::detail {

namespace {

// Divides the residual by a divisor, leaving the remainder in it. Operands
// that fit 32 bits, as most do, take the division that is several times
// faster on many processors.
[[gnu::always_inline]] inline std::uint64_t divideOff(std::uint64_t &residual, std::uint64_t divisor)
{
    if (((residual | divisor) >> 32) == 0) {
        const auto low = static_cast<std::uint32_t>(residual);
        const auto by = static_cast<std::uint32_t>(divisor);
        residual = low % by;
        return low / by;
    }
    const std::uint64_t quotient = residual / divisor;
    residual %= divisor;
    return quotient;
}

} // namespace

// The sequences still to write are a stack, the next one on top: a group's
// pieces go above the sequence that holds it, which goes on after them. A
// sequence whose count fits a word divides its residual as it goes, from its
// most significant group on. Groups of plain-text pieces, and sequences of
// nothing else, are written in place, which is most of them.
//
// The writer keeps the tables it reads, and the length written, in locals of
// its own: the bytes it stores could otherwise be taken to change them, and
// every one would be read again after every store.
template <bool Characters> class PositionDecoder::Writer
{
public:
    Writer(PositionDecoder &decoder, char *out)
        : decoder_(decoder)
        , program_(decoder.index_.program)
        , out_(out)
        , pool_(program_.pool.data())
        , literals_(program_.literals.data())
        , pieceLiterals_(program_.pieceLiterals.data())
        , sequences_(program_.sequences.data())
        , groups_(program_.groups.data())
        , groupRefs_(program_.groupRefs.data())
        , choicePieces_(program_.choicePieces.data())
        , pieces_(program_.pieces.data())
        , countAfter_(decoder.index_.countAfter.data())
        , plainChoices_(decoder.index_.plainChoices.data())
        , flat_(decoder.index_.flat.data())
    {
    }

    [[gnu::always_inline]] std::size_t write(const mpz_class &position, std::uint64_t &characters)
    {
        std::vector<Step> &steps = decoder_.steps_;
        steps.clear();
        decoder_.digitsUsed_ = 0;
        decoder_.pushSequence(program_.root, position);
        while (!steps.empty()) {
            const std::size_t top = steps.size() - 1;
            Step step = steps[top];
            // Copies: a byte written could be taken to change what a
            // reference reads.
            const Sequence sequence = sequences_[step.sequence];
            const Digits *const digits = step.digits == wordResidual ? nullptr : &decoder_.digitStack_[step.digits];
            const std::uint64_t *const words = digits ? digits->word.data() : nullptr;
            for (;;) {
                literal(sequence.literalBegin + step.element);
                if (step.element == sequence.groupCount) {
                    if (digits)
                        --decoder_.digitsUsed_;
                    steps.pop_back();
                    break;
                }
                if (!Characters && words && plainChoices_[sequence.groupBegin + step.element] != noLiterals) {
                    step.element = plainRun(sequence, step.element, words);
                    continue;
                }
                const std::uint32_t element = step.element++;
                const std::uint32_t ref = sequence.groupBegin + element;
                const std::uint64_t variant = words ? words[element] : divideOff(step.residual, countAfter_[ref]);
                if (plainChoice(ref, variant))
                    continue;
                const std::uint32_t group = groupRefs_[ref];
                if (digits && decoder_.index_.isBig(decoder_.index_.groupNode(group)))
                    decoder_.pushBigGroup(group, digits->big[element]);
                else
                    wordGroup(group, variant);
                if (steps.size() != top + 1) {
                    // The group's pieces lie above; this sequence goes on after them.
                    steps[top] = step;
                    break;
                }
            }
        }
        characters += characters_;
        return length_;
    }

private:
    [[gnu::always_inline]] void span(Span span) { appendSpan(out_, length_, pool_, span); }

    [[gnu::always_inline]] void literal(std::uint32_t literal)
    {
        span(literals_[literal]);
        if constexpr (Characters)
            characters_ += program_.characters(literal);
    }

    // Writes the run of plain-text alternatives groups of a split sequence
    // from `element` on, with the literals between them: the most common
    // groups of long templates, in a loop that keeps everything it reads
    // at hand. Returns the element after the run, whose literal is next.
    [[gnu::always_inline]] std::uint32_t plainRun(
        const Sequence &sequence, std::uint32_t element, const std::uint64_t *words)
    {
        const char *const pool = pool_;
        const Span *const pieceLiterals = pieceLiterals_;
        const Span *const literals = literals_ + sequence.literalBegin;
        const std::uint32_t *const plain = plainChoices_ + sequence.groupBegin;
        const std::uint32_t groups = sequence.groupCount;
        char *const out = out_;
        std::size_t length = length_;
        for (;;) {
            appendSpan(out, length, pool, pieceLiterals[plain[element] + words[element]]);
            if (++element == groups || plain[element] == noLiterals)
                break;
            appendSpan(out, length, pool, literals[element]);
        }
        length_ = length;
        return element;
    }

    // The first literal of a sequence of plain text.
    [[gnu::always_inline]] void piece(std::uint32_t sequence) { literal(sequences_[sequence].literalBegin); }

    // Writes the choice of plain-text alternatives straight from their spans;
    // false for any other group.
    [[gnu::always_inline]] bool plainChoice(std::uint32_t ref, std::uint64_t variant)
    {
        if (Characters || plainChoices_[ref] == noLiterals)
            return false;
        span(pieceLiterals_[plainChoices_[ref] + variant]);
        return true;
    }

    // Every choice of a group of plain text is one variant. Each kind is
    // written with its kind known, so that no slot asks it again.
    [[gnu::always_inline]] void plainGroup(const Group &group, std::uint64_t variant)
    {
        visitKind(group, [&](auto kind) {
            using Kind = decltype(kind);
            const GroupChoice choice = Kind::at(group, variant);
            if constexpr (Characters) {
                for (int slot = 0; slot < Kind::slots; ++slot)
                    piece(Kind::slotSequence(choicePieces_, pieces_, group, choice, slot));
            } else {
                appendChoiceSpans<Kind>(pieceLiterals_ + group.pieceLiteralsBegin, choice, pool_, out_, length_);
            }
        });
    }

    [[gnu::always_inline]] void flat(std::uint32_t sequence, std::uint64_t residual)
    {
        const Sequence flat = sequences_[sequence];
        for (std::uint32_t element = 0;; ++element) {
            literal(flat.literalBegin + element);
            if (element == flat.groupCount)
                return;
            const std::uint32_t ref = flat.groupBegin + element;
            const std::uint64_t variant = divideOff(residual, countAfter_[ref]);
            if (!plainChoice(ref, variant))
                plainGroup(groups_[groupRefs_[ref]], variant);
        }
    }

    // Writes a group of plain-text pieces, or of sequences of them, in place;
    // puts any other sequence of its choice on the stack, the first to write
    // on top.
    [[gnu::always_inline]] void wordGroup(std::uint32_t group, std::uint64_t variant)
    {
        const PositionIndex &index = decoder_.index_;
        const Group &compiled = groups_[group];
        if (compiled.pieceLiteralsBegin != noLiterals) {
            plainGroup(compiled, variant);
            return;
        }
        visitKind(compiled, [&](auto kind) {
            using Kind = decltype(kind);
            std::uint64_t residuals[Kind::slots];
            const GroupChoice choice = index.template decode<Kind>(group, variant, residuals);
            std::uint32_t slots[Kind::slots];
            for (int slot = 0; slot < Kind::slots; ++slot)
                slots[slot] = Kind::slotSequence(choicePieces_, pieces_, compiled, choice, slot);
            // The leading slots of plain text in place, the others on the
            // stack, the first to write on top.
            int slot = 0;
            for (; slot < Kind::slots && flat_[slots[slot]]; ++slot)
                flat(slots[slot], residuals[slot]);
            for (int later = Kind::slots; later-- > slot;)
                decoder_.steps_.push_back(Step { slots[later], 0, residuals[later], wordResidual });
        });
    }

    PositionDecoder &decoder_;
    const Program &program_;
    char *const out_;
    std::size_t length_ = 0;
    std::uint64_t characters_ = 0;
    const char *const pool_;
    const Span *const literals_;
    const Span *const pieceLiterals_;
    const Sequence *const sequences_;
    const Group *const groups_;
    const std::uint32_t *const groupRefs_;
    const std::uint32_t *const choicePieces_;
    const std::uint32_t *const pieces_;
    const std::uint64_t *const countAfter_;
    const std::uint32_t *const plainChoices_;
    const std::uint8_t *const flat_;
};

std::size_t PositionDecoder::write(const mpz_class &position, char *out, std::uint64_t *characters)
{
    if (characters)
        return Writer<true>(*this, out).write(position, *characters);
    std::uint64_t unused = 0;
    return Writer<false>(*this, out).write(position, unused);
}

void PositionDecoder::pushBigGroup(std::uint32_t group, const mpz_class &variant)
{
    const Program &program = index_.program;
    const Group &compiled = program.groups[group];
    visitKind(compiled, [&](auto kind) {
        using Kind = decltype(kind);
        const GroupChoice choice = index_.decode<Kind>(group, variant, bigSlots_.data());
        // The first slot to write on top.
        for (int slot = Kind::slots; slot-- > 0;)
            pushSequence(Kind::slotSequence(program.choicePieces.data(), program.pieces.data(), compiled, choice, slot),
                bigSlots_[slot]);
    });
}

void PositionDecoder::pushSequence(std::uint32_t sequence, const mpz_class &residual)
{
    if (!index_.isBig(sequence)) {
        steps_.push_back(Step { sequence, 0, static_cast<std::uint64_t>(residual.get_ui()), wordResidual });
        return;
    }
    if (digitsUsed_ == digitStack_.size())
        digitStack_.emplace_back();
    const auto digits = static_cast<std::uint32_t>(digitsUsed_++);
    split(sequence, residual, digitStack_[digits]);
    steps_.push_back(Step { sequence, 0, 0, digits });
}

} // namespace razmnozhator::detail
