// Listing within a length range.
//
// The kept variants are numbered by rank, and Enumerator::seekInRange() goes
// to any rank directly, but a jump costs as much as many steps of the
// odometer. So between two kept variants the walker steps, checking lengths,
// for as long as a jump would take, and jumps to the next rank when that run
// finds nothing: never more than about twice the cheaper of the two ways
// (the ski-rental rule). Both costs are measured as the listing goes, since
// they depend on the template's shape by orders of magnitude. The steps
// themselves pass over every choice that the groups' shortest and longest
// lengths rule out, so most of them land on kept variants.

#include "razmnozhator/engine.h"

#include "figures/lengthweights.h"
#include "program/templateaccess.h"

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstring>
#include <stdexcept>
#include <string_view>
#include <utility>

namespace razmnozhator {

namespace {

using Clock = std::chrono::steady_clock;

// Steps in the first run, before any cost is known, and the bounds of a run.
constexpr std::uint64_t firstRun = 64;
constexpr std::uint64_t shortestRun = 16;
constexpr std::uint64_t longestRun = std::uint64_t { 1 } << 24;

} // namespace

struct BoundedEnumerator::State
{
    enum class Way {
        Nothing, // the range holds no variant's length
        Jumping, // steps and jumps by rank
        Filtering, // the spectra are refused: steps through every variant
    };

    CompiledTemplate compiled;
    LengthRange range;
    Way way = Way::Jumping;
    mpz_class kept; // Jumping: how many variants the range keeps
    mpz_class rank; // Jumping: the rank of the next kept variant
    bool jumped = false; // the next kept variant is written already
    std::uint64_t skip = 0; // Filtering: kept variants still to pass over
    std::uint64_t run = firstRun;
    // Variants looked at, kept or not, a jump counting as one; the plain
    // walk, when the range holds every length, counts none.
    std::uint64_t visited = 0;
    // The rule's own numbers, which keeps() reads at every step.
    detail::RuleLengths rule;

    State(const CompiledTemplate &source, LengthRange lengths)
        : compiled(source)
        , range(lengths)
        , rule(detail::programOf(source).ruleLengths)
    {
    }

    // Whether a variant of this length inside the engine is kept.
    bool keeps(std::uint64_t length) const { return detail::keepsLength(rule, range, length); }
    // Lengths inside the engine outside this range are never kept.
    LengthRange hull() const { return detail::engineHull(detail::programOf(compiled), range); }
};

BoundedEnumerator::BoundedEnumerator(const CompiledTemplate &compiled, LengthRange range, const mpz_class &rank)
    : enumerator_(compiled)
    , state_(std::make_unique<State>(compiled, range))
{
    if (rank < 0)
        throw std::out_of_range("rank " + rank.get_str() + " is negative");
    if (compiled.keepsEveryLength(range)) {
        everyLength_ = true;
        if (rank != 0)
            enumerator_.seek(rank);
        return;
    }
    State &state = *state_;
    if (compiled.keepsNone() || range.min > range.max || range.min > compiled.maxLength()
        || range.max < compiled.minLength()) {
        state.way = State::Way::Nothing;
        if (rank != 0)
            throw std::out_of_range("rank " + rank.get_str() + " is past the end: no variant is within the lengths");
        return;
    }
    detail::TemplateAccess::passOverLengthsOutside(enumerator_, state.hull());
    try {
        state.kept = compiled.countInRange(range);
        // From the first variant the walker finds the first kept one as
        // soon as a jump would, when the lengths pass over what cannot fit,
        // and a jump needs an index that a short listing never pays back.
        if (rank == 0)
            state.rank = 0;
        else
            jumpTo(rank);
    } catch (const LimitError &) {
        filterFrom(rank);
    }
}

BoundedEnumerator::~BoundedEnumerator() = default;
BoundedEnumerator::BoundedEnumerator(BoundedEnumerator &&) noexcept = default;
BoundedEnumerator &BoundedEnumerator::operator=(BoundedEnumerator &&) noexcept = default;

std::uint64_t detail::TemplateAccess::visited(const BoundedEnumerator &lines) noexcept
{
    return lines.state_->visited;
}

const mpz_class *BoundedEnumerator::kept() const noexcept
{
    return !everyLength_ && state_->way == State::Way::Jumping ? &state_->kept : nullptr;
}

// Goes to the kept variant of this rank; the next step reveals it.
void BoundedEnumerator::jumpTo(const mpz_class &rank)
{
    State &state = *state_;
    enumerator_.seekInRange(rank, state.range);
    state.way = State::Way::Jumping;
    state.rank = rank;
    state.jumped = true;
    ++state.visited;
}

// Starts again from the first variant and filters, passing over the kept ones
// before `rank`.
void BoundedEnumerator::filterFrom(const mpz_class &rank)
{
    State &state = *state_;
    if (!rank.fits_ulong_p())
        throw LimitError("cannot pass over " + rank.get_str() + " variants one by one");
    enumerator_ = Enumerator(state.compiled);
    detail::TemplateAccess::passOverLengthsOutside(enumerator_, state.hull());
    state.way = State::Way::Filtering;
    state.skip = rank.get_ui();
}

WrittenLines BoundedEnumerator::writeLines(char *out, std::size_t capacity, char terminator, std::uint64_t maxLines)
{
    if (everyLength_)
        return enumerator_.writeLines(out, capacity, terminator, maxLines);
    WrittenLines written;
    while (written.lines < maxLines && nextKept()) {
        const std::string_view variant = enumerator_.current();
        if (variant.size() >= capacity - written.bytes) {
            held_ = true;
            break;
        }
        std::memcpy(out + written.bytes, variant.data(), variant.size());
        out[written.bytes + variant.size()] = terminator;
        written.bytes += variant.size() + 1;
        ++written.lines;
    }
    return written;
}

bool BoundedEnumerator::nextKept()
{
    if (std::exchange(held_, false))
        return true;
    State &state = *state_;
    switch (state.way) {
    case State::Way::Nothing:
        return false;
    case State::Way::Filtering:
        while (enumerator_.next()) {
            ++state.visited;
            if (!state.keeps(detail::TemplateAccess::currentLength(enumerator_)))
                continue;
            if (state.skip == 0)
                return true;
            --state.skip;
        }
        return false;
    case State::Way::Jumping:
        break;
    }
    if (state.rank >= state.kept)
        return false;
    if (!state.jumped) {
        const Clock::time_point runStart = Clock::now();
        for (std::uint64_t step = 0; step < state.run; ++step) {
            if (!enumerator_.next())
                return false;
            ++state.visited;
            if (state.keeps(detail::TemplateAccess::currentLength(enumerator_))) {
                ++state.rank;
                return true;
            }
        }
        const Clock::duration runTime = Clock::now() - runStart;
        try {
            jumpTo(state.rank);
        } catch (const LimitError &) {
            filterFrom(state.rank);
            return nextKept();
        }
        // The next run may take as long as this jump did.
        const double stepTime = double(runTime.count()) / double(state.run);
        const double jumpTime = double((Clock::now() - runStart - runTime).count());
        state.run
            = std::clamp<std::uint64_t>(std::uint64_t(jumpTime / std::max(stepTime, 1.0)), shortestRun, longestRun);
    }
    state.jumped = false;
    enumerator_.next();
    ++state.rank;
    return true;
}

} // namespace razmnozhator
