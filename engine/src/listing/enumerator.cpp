// The enumerator's public face: listing from the first variant, seeking a
// position or a rank within lengths, and listing on from there. The
// odometer that does the work is odometer.h.

#include "razmnozhator/engine.h"

#include "access/positions.h"
#include "access/rangedecoder.h"
#include "listing/odometer.h"
#include "listing/window.h"
#include "program/program.h"
#include "program/templateaccess.h"

#include <stdexcept>
#include <string>

namespace razmnozhator {

Enumerator::Enumerator(const CompiledTemplate &compiled)
    : state_(std::make_unique<State>())
{
    state_->program = detail::TemplateAccess::shared(compiled);
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
                           : cmp(position, detail::TemplateAccess::make(state.program).count());
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
    if (detail::keepsEveryLength(*state.program, range)) {
        seek(rank);
        return;
    }
    // Samples seek within the same range again and again.
    if (!state.keptInRange || state.keptInRange->first.min != range.min || state.keptInRange->first.max != range.max)
        state.keptInRange.emplace(range, detail::TemplateAccess::make(state.program).countInRange(range));
    const mpz_class &kept = state.keptInRange->second;
    if (rank < 0 || rank > kept)
        throw std::out_of_range(
            "rank " + rank.get_str() + " is past the end of the " + kept.get_str() + " variants within the lengths");
    state.started = false;
    state.primed = false;
    state.finished = rank == kept;
    if (state.finished)
        return;
    if (!state.ranges)
        state.ranges = std::make_unique<detail::RangeDecoder>(*state.program);
    state.seekWindow = detail::windowOf(*state.program, range);
    state.ranges->start(rank, state.seekWindow);
    state.writeRangeText();
    state.seekWithinRange = true;
    state.seekRank = rank;
    state.primed = true;
}

Enumerator::~Enumerator() = default;
Enumerator::Enumerator(Enumerator &&) noexcept = default;
Enumerator &Enumerator::operator=(Enumerator &&) noexcept = default;

std::string_view Enumerator::current() const noexcept
{
    return std::string_view(state_->buffer.get(), state_->length);
}

std::uint64_t detail::TemplateAccess::currentLength(const Enumerator &enumerator) noexcept
{
    const Enumerator::State &state = *enumerator.state_;
    return state.countCharacters ? state.characters : state.length;
}

void detail::TemplateAccess::countLengths(Enumerator &enumerator)
{
    enumerator.state_->countLengths();
}

void detail::TemplateAccess::passOverLengthsOutside(Enumerator &enumerator, LengthRange range)
{
    enumerator.state_->passOverOutside(range);
}

} // namespace razmnozhator
