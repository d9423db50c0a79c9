// Listing within a length range.
//
// The kept variants are numbered by rank, and Enumerator::seekInRange() goes
// to any rank directly, but a jump costs as much as many steps of the
// odometer. So between two kept variants the walker steps, checking lengths,
// for as long as a jump would take, and jumps to the next rank when that run
// finds nothing: never more than about twice the cheaper of the two ways
// (the ski-rental rule). Both costs are measured as the listing goes, since
// they depend on the template's shape by orders of magnitude.

#include "razmnozhator/engine.h"

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <stdexcept>

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
        Everything, // the range holds every length: a plain walk
        Nothing, // the range holds no variant's length
        Jumping, // steps and jumps by rank
        Filtering, // the spectra are refused: steps through every variant
    };

    CompiledTemplate compiled;
    Enumerator enumerator;
    LengthRange range;
    Way way = Way::Jumping;
    mpz_class kept; // Jumping: how many variants the range keeps
    mpz_class rank; // Jumping: the rank of the next kept variant
    bool jumped = false; // the next kept variant is written already
    std::uint64_t skip = 0; // Filtering: kept variants still to pass over
    std::uint64_t run = firstRun;
    std::uint64_t visited = 0;

    State(const CompiledTemplate &source, LengthRange lengths)
        : compiled(source)
        , enumerator(source)
        , range(lengths)
    {
    }

    void start(const mpz_class &first)
    {
        if (first < 0)
            throw std::out_of_range("rank " + first.get_str() + " is negative");
        if (range.min <= compiled.minLength() && range.max >= compiled.maxLength()) {
            way = Way::Everything;
            if (first != 0)
                enumerator.seek(first);
            return;
        }
        if (range.min > range.max || range.min > compiled.maxLength() || range.max < compiled.minLength()) {
            way = Way::Nothing;
            if (first != 0)
                throw std::out_of_range(
                    "rank " + first.get_str() + " is past the end: no variant is within the lengths");
            return;
        }
        try {
            kept = compiled.figuresInRange(range).count;
            jumpTo(first);
        } catch (const LimitError &) {
            filterFrom(first);
        }
    }

    // Goes to the kept variant of this rank; the next step reveals it.
    void jumpTo(const mpz_class &target)
    {
        enumerator.seekInRange(target, range);
        way = Way::Jumping;
        rank = target;
        jumped = true;
        ++visited;
    }

    // Starts again from the first variant and filters, passing over the kept
    // ones before `first`.
    void filterFrom(const mpz_class &first)
    {
        if (!first.fits_ulong_p())
            throw LimitError("cannot skip " + first.get_str() + " variants one by one");
        enumerator = Enumerator(compiled);
        way = Way::Filtering;
        skip = first.get_ui();
    }

    bool nextFiltered()
    {
        while (enumerator.next()) {
            ++visited;
            if (!range.contains(enumerator.currentLength()))
                continue;
            if (skip == 0)
                return true;
            --skip;
        }
        return false;
    }

    bool nextJumping()
    {
        if (rank >= kept)
            return false;
        if (!jumped) {
            const Clock::time_point runStart = Clock::now();
            for (std::uint64_t step = 0; step < run; ++step) {
                if (!enumerator.next())
                    return false;
                ++visited;
                if (range.contains(enumerator.currentLength())) {
                    ++rank;
                    return true;
                }
            }
            const Clock::duration runTime = Clock::now() - runStart;
            try {
                jumpTo(rank);
            } catch (const LimitError &) {
                filterFrom(rank);
                return nextFiltered();
            }
            // The next run may take as long as this jump did.
            const double stepTime = double(runTime.count()) / double(run);
            const double jumpTime = double((Clock::now() - runStart - runTime).count());
            run = std::clamp<std::uint64_t>(std::uint64_t(jumpTime / std::max(stepTime, 1.0)), shortestRun, longestRun);
        }
        jumped = false;
        enumerator.next();
        ++rank;
        return true;
    }
};

BoundedEnumerator::BoundedEnumerator(const CompiledTemplate &compiled, LengthRange range, const mpz_class &rank)
    : state_(std::make_unique<State>(compiled, range))
{
    state_->start(rank);
}

BoundedEnumerator::~BoundedEnumerator() = default;
BoundedEnumerator::BoundedEnumerator(BoundedEnumerator &&) noexcept = default;
BoundedEnumerator &BoundedEnumerator::operator=(BoundedEnumerator &&) noexcept = default;

bool BoundedEnumerator::next()
{
    State &state = *state_;
    switch (state.way) {
    case State::Way::Everything:
        ++state.visited;
        return state.enumerator.next();
    case State::Way::Nothing:
        return false;
    case State::Way::Jumping:
        return state.nextJumping();
    case State::Way::Filtering:
        return state.nextFiltered();
    }
    return false;
}

std::string_view BoundedEnumerator::current() const noexcept
{
    return state_->enumerator.current();
}

std::uint64_t BoundedEnumerator::visited() const noexcept
{
    return state_->visited;
}

} // namespace razmnozhator
