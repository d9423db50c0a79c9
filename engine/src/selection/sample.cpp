#include "razmnozhator/sample.h"

#include "access/rangedecoder.h"
#include "access/rootlengths.h"
#include "figures/lengthweights.h"
#include "selection/permutation.h"
#include "selection/withinlimitranks.h"

#include <algorithm>
#include <array>
#include <bit>
#include <optional>
#include <random>
#include <vector>

namespace razmnozhator {

namespace {

using detail::Permutation;
using detail::Random;

// A sample in template order sorts one slice of its ranks at a time, in
// about this much memory whatever the size of the sample.
constexpr std::uint64_t sliceBytes = std::uint64_t(32) << 20;

// The smallest share of the variants kept for which passing over positions
// outside the range beats finding ranks among the kept ones (see
// rejectsOutside()).
constexpr unsigned long rejectingShare = 4;

// Passing over positions outside the range makes the k-th variant of the
// sample depend on every one before it, so that starting a sample further on
// costs as much as writing the ones passed; it is used only for samples small
// enough for that.
constexpr unsigned long rejectingSizeLimit = 1ul << 20;

// Ranks turned into positions at once (see RangeDecoder::rootDigits()).
constexpr std::size_t batchSize = 64;

} // namespace

struct Sample::State
{
    CompiledTemplate compiled;
    LengthRange range;
    bool everyLength;
    Order order;
    // Positions among all the variants, passing over those outside the
    // range, instead of ranks among the kept ones (see rejectsOutside()).
    bool rejecting = false;
    mpz_class given;
    // The permutation's index that gave the current variant, and how many
    // calls to next() there have been.
    std::uint64_t draw = 0;
    std::uint64_t drawn = 0;
    Random random;
    mpz_class kept;
    mpz_class size;
    Enumerator walker;
    std::unique_ptr<detail::RootLengths> rootLengths;
    // When rejecting under a rule's limit on uncounted bytes, the permutation
    // is of the ranks among the variants within the limit rather than of all
    // positions, and these turn them into positions, a batch of digits at a
    // time (see withinlimitranks.h). Such ranks do not follow the expansion
    // order: the sample is as uniform, and template order sorts positions.
    std::unique_ptr<detail::WithinLimitRanks> withinLimit;
    std::vector<mpz_class> limitRanks;
    std::vector<std::uint64_t> limitDigits;
    std::size_t limitDigitsNext = 0;
    std::size_t limitDigitsFilled = 0;
    // With them, a rank among the kept variants becomes their digits, then a
    // position, without a walk.
    std::unique_ptr<detail::RangeDecoder> ranks;
    // Ranks are turned into positions a batch at a time (see rootDigits()).
    std::vector<mpz_class> batch;
    std::vector<mpz_class> positions;
    std::size_t nextInBatch = 0;
    bool batchByDigits = false;
    std::vector<std::uint64_t> digits;

    // The ranks are a keyed permutation's values at 0, 1, ...; in template
    // order, the ones in one slice of [0, kept) at a time, sorted.
    std::unique_ptr<Permutation> permutation;
    mpz_class nextIndex;
    std::vector<mpz_class> held; // positions instead, sorted, when rejecting
    std::size_t nextHeld = 0;
    std::uint64_t slices = 1;
    std::uint64_t slice = 0;

    State(const CompiledTemplate &source, const mpz_class &wanted, LengthRange lengths, std::uint64_t seed,
        Order wantedOrder)
        : compiled(source)
        , range(lengths)
        , everyLength(source.keepsEveryLength(lengths))
        , order(wantedOrder)
        , random(seed)
        , kept(everyLength ? source.count() : source.countInRange(lengths))
        , size(wanted < kept ? wanted : kept)
        , walker(source)
    {
        if (size == 0)
            return;
        // Noting the lengths of the template's own groups pays for itself
        // over a few variants. It makes drawing cheaper, never different.
        // They are measured by an enumerator of their own: the walker then
        // need not count characters, which writes runs of plain groups at once.
        if (!everyLength && size >= 16) {
            Enumerator measuring(source);
            measuring.countLengths();
            rootLengths = detail::RootLengths::make(*compiled.program_, [&measuring](const mpz_class &at) {
                measuring.seek(at);
                measuring.next();
                return measuring.currentLength();
            });
        }
        if (rejectsOutside() || rejectsOutsideWithinLimit()) {
            rejecting = true;
            if (!rootLengths)
                walker.countLengths();
            walker.seek(0);
            // Ranks within the limit are drawn for the first time: they walk
            // past fewer values outside.
            permutation = withinLimit
                ? std::make_unique<Permutation>(withinLimit->count(), random, Permutation::Domain::PowerOfTwo)
                : std::make_unique<Permutation>(compiled.count(), random);
            // In template order the same positions are written sorted: at
            // most rejectingSizeLimit of them are held.
            if (order == Order::Template) {
                held.reserve(size.get_ui());
                while (given < size) {
                    held.push_back(nextPositionWithin());
                    ++given;
                }
                std::sort(held.begin(), held.end());
            }
            return;
        }
        // Builds the index that random access reads now, so that a template
        // beyond its budget is refused here and not at the first variant.
        if (everyLength)
            walker.seek(0);
        else
            walker.seekInRange(0, range);
        if (rootLengths) {
            ranks = std::make_unique<detail::RangeDecoder>(*compiled.program_);
            digits.resize(rootLengths->groups() * batchSize);
        }
        permutation = std::make_unique<Permutation>(kept, random);
        if (order == Order::Template) {
            const std::uint64_t rankBytes = mpz_sizeinbase(kept.get_mpz_t(), 256) + sizeof(mpz_class) + 16;
            const std::uint64_t perSlice = std::max<std::uint64_t>(1024, sliceBytes / rankBytes);
            const mpz_class count = (size + perSlice - 1) / perSlice;
            slices = count.get_ui();
            fillSlice();
        }
    }

    // Finding a variant by its rank among the kept ones costs several times
    // a look-up by position. When the range keeps at least a quarter of the
    // variants, a random order of all positions that passes over the ones
    // outside is cheaper, and its first kept ones are just as uniform a
    // sample of them. The share alone decides, not whether the lengths of the
    // template's own groups were noted, so that below the size limit a
    // smaller sample is the start of a larger one with the same seed.
    bool rejectsOutside() const
    {
        return !everyLength && size <= rejectingSizeLimit && kept * rejectingShare >= compiled.count();
    }

    // Under a rule's limit on uncounted bytes, the same for the variants within
    // the limit, when ranks among them turn into positions cheaply.
    bool rejectsOutsideWithinLimit()
    {
        const detail::Program &program = *compiled.program_;
        if (everyLength || size > rejectingSizeLimit || !program.ruleLengths.weighted)
            return false;
        LengthRule byUncounted;
        byUncounted.uncounted = ~compiled.lengthRule().uncounted;
        std::optional<CompiledTemplate> measured;
        try {
            measured = compiled.withLengthRule(byUncounted);
        } catch (const LimitError &) {
            return false;
        }
        Enumerator measuring(*measured);
        measuring.countLengths();
        withinLimit = detail::WithinLimitRanks::make(
            *measured, compiled.lengthRule().mostUncounted, [&measuring](const mpz_class &at) {
                measuring.seek(at);
                measuring.next();
                return measuring.currentLength();
            });
        if (withinLimit && kept * rejectingShare >= withinLimit->count())
            return true;
        withinLimit.reset();
        return false;
    }

    // The position of the variant of this rank among those within the limit.
    mpz_class positionWithinLimit(const mpz_class &rank)
    {
        std::vector<std::uint64_t> its(withinLimit->groups());
        withinLimit->digitsOf({ &rank, 1 }, its.data());
        mpz_class at;
        withinLimit->position(its.data(), at);
        return at;
    }

    // The digits of the variant at the permutation's next index, when
    // rejecting within the limit.
    const std::uint64_t *nextDigitsWithinLimit()
    {
        const std::size_t groups = withinLimit->groups();
        if (limitDigitsNext == limitDigitsFilled) {
            const mpz_class left = withinLimit->count() - nextIndex;
            const std::size_t filled = left < batchSize ? left.get_ui() : batchSize;
            limitRanks.resize(filled);
            for (std::size_t k = 0; k < filled; ++k)
                limitRanks[k] = permutation->at(nextIndex + k);
            limitDigits.resize(filled * groups);
            withinLimit->digitsOf(limitRanks, limitDigits.data());
            limitDigitsFilled = filled;
            limitDigitsNext = 0;
        }
        ++nextIndex;
        return limitDigits.data() + limitDigitsNext++ * groups;
    }

    // Passes over the next `count` variants of the sample without writing them.
    void skip(mpz_class count)
    {
        if (!permutation || count <= 0)
            return;
        if (rejecting && order == Order::Random) {
            for (; count > 0 && given < size; --count) {
                nextPositionWithin();
                ++given;
            }
            return;
        }
        if (rejecting) {
            nextHeld = count < held.size() - nextHeld ? nextHeld + count.get_ui() : held.size();
            return;
        }
        if (order == Order::Template) {
            while (count > 0) {
                const mpz_class left = held.size() - nextHeld;
                if (count < left) {
                    nextHeld += count.get_ui();
                    return;
                }
                count -= left;
                nextHeld = held.size();
                if (slice + 1 >= slices)
                    return;
                ++slice;
                fillSlice();
            }
            return;
        }
        nextIndex = nextIndex + count < size ? mpz_class(nextIndex + count) : size;
        drawn = nextIndex.get_ui();
    }

    // The next position of the permutation of all positions whose variant
    // is kept. Without the lengths of the template's own groups the variant
    // is written to measure it, and the walker then holds it.
    mpz_class nextPositionWithin()
    {
        for (;;) {
            mpz_class at;
            if (withinLimit) {
                const std::uint64_t *choices = nextDigitsWithinLimit();
                if (rootLengths && !keeps(rootLengths->lengthOf(choices)))
                    continue;
                withinLimit->position(choices, at);
                if (rootLengths)
                    return at;
            } else {
                at = permutation->at(nextIndex);
                ++nextIndex;
            }
            if (rootLengths) {
                if (keeps(rootLengths->lengthAt(at)))
                    return at;
                continue;
            }
            walker.seek(at);
            walker.next();
            if (keeps(walker.currentLength()))
                return at;
        }
    }

    bool nextWithin()
    {
        if (order == Order::Template) {
            if (nextHeld >= held.size())
                return false;
            walker.seek(held[nextHeld++]);
            return walker.next();
        }
        if (!permutation || given >= size)
            return false;
        const mpz_class at = nextPositionWithin();
        ++given;
        draw = mpz_class(nextIndex - 1).get_ui();
        if (rootLengths) {
            walker.seek(at);
            walker.next();
        }
        return true;
    }

    // The next kept variant by its rank, through the batch.
    bool nextByDigits()
    {
        if (nextInBatch == batch.size()) {
            batch.resize(batchSize);
            std::size_t filled = 0;
            while (filled < batchSize && nextRank(batch[filled]))
                ++filled;
            batch.resize(filled);
            nextInBatch = 0;
            if (filled == 0)
                return false;
            batchByDigits = ranks->rootDigits(batch, window(), *rootLengths, digits.data());
            positions.resize(filled);
            for (std::size_t k = 0; batchByDigits && k < filled; ++k)
                rootLengths->position(digits.data() + k * rootLengths->groups(), positions[k]);
        }
        const std::size_t k = nextInBatch++;
        if (batchByDigits)
            walker.seek(positions[k]);
        else
            walker.seekInRange(batch[k], range);
        return walker.next();
    }

    detail::Window window() const
    {
        const auto bound = [](std::uint64_t length) {
            return static_cast<std::int64_t>(std::min<std::uint64_t>(length, INT64_MAX / 2));
        };
        const detail::RuleWindow lengths = detail::ruleWindow(*compiled.program_, range);
        return { bound(lengths.low), bound(lengths.high) };
    }

    // Whether the range keeps a variant of this length inside the engine.
    bool keeps(std::uint64_t length) const
    {
        return detail::keepsLength(compiled.program_->ruleLengths, range, length);
    }

    // The sample's ranks that fall into the current slice of [0, kept), sorted.
    void fillSlice()
    {
        held.clear();
        nextHeld = 0;
        const mpz_class low = kept * slice / slices;
        const mpz_class high = kept * (slice + 1) / slices;
        for (mpz_class i = 0; i < size; ++i) {
            mpz_class rank = permutation->at(i);
            if (rank >= low && rank < high)
                held.push_back(std::move(rank));
        }
        std::sort(held.begin(), held.end());
    }

    bool nextRank(mpz_class &rank)
    {
        if (!permutation)
            return false;
        if (order == Order::Template) {
            while (nextHeld == held.size()) {
                if (++slice >= slices)
                    return false;
                fillSlice();
            }
            rank = held[nextHeld++];
            return true;
        }
        if (nextIndex >= size)
            return false;
        rank = permutation->at(nextIndex);
        ++nextIndex;
        return true;
    }
};

Sample::Sample(
    const CompiledTemplate &compiled, const mpz_class &size, LengthRange range, std::uint64_t seed, Order order)
    : state_(std::make_unique<State>(compiled, size, range, seed, order))
{
}

Sample::~Sample() = default;
Sample::Sample(Sample &&) noexcept = default;
Sample &Sample::operator=(Sample &&) noexcept = default;

const mpz_class &Sample::size() const noexcept
{
    return state_->size;
}

void Sample::skip(const mpz_class &count)
{
    state_->skip(count);
}

bool Sample::next()
{
    State &state = *state_;
    if (state.rejecting)
        return state.nextWithin();
    // In random order the ranks are the permutation's values at 0, 1, ...
    state.draw = state.drawn++;
    if (state.ranks)
        return state.nextByDigits();
    mpz_class rank;
    if (!state.nextRank(rank))
        return false;
    if (state.everyLength)
        state.walker.seek(rank);
    else
        state.walker.seekInRange(rank, state.range);
    return state.walker.next();
}

std::string_view Sample::current() const noexcept
{
    return state_->walker.current();
}

std::uint64_t Sample::currentDraw() const noexcept
{
    return state_->draw;
}

void Sample::redraw(std::uint64_t draw)
{
    State &state = *state_;
    mpz_class at = state.permutation->at(mpz_class(static_cast<unsigned long>(draw)));
    if (state.withinLimit)
        at = state.positionWithinLimit(at);
    if (state.rejecting || state.everyLength)
        state.walker.seek(at);
    else
        state.walker.seekInRange(at, state.range);
    state.walker.next();
}

bool Sample::drawnBefore(std::uint64_t a, std::uint64_t b) const
{
    State &state = *state_;
    mpz_class first = state.permutation->at(mpz_class(static_cast<unsigned long>(a)));
    mpz_class second = state.permutation->at(mpz_class(static_cast<unsigned long>(b)));
    // Ranks within the limit do not follow the expansion order; positions do.
    if (state.withinLimit) {
        first = state.positionWithinLimit(first);
        second = state.positionWithinLimit(second);
    }
    return first < second;
}

} // namespace razmnozhator
