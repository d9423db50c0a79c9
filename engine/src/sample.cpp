#include "razmnozhator/sample.h"

#include <algorithm>
#include <array>
#include <bit>
#include <random>
#include <set>
#include <unordered_set>
#include <vector>

namespace razmnozhator {

namespace {

// Up to this many ranks are drawn exactly and held; beyond, they stream.
constexpr std::uint64_t heldLimit = std::uint64_t(1) << 20;

// std::mt19937_64's output is fixed by the standard; the reductions to a
// range are ours, by rejection, so that they are exact and the same everywhere.
class Random
{
public:
    explicit Random(std::uint64_t seed)
        : engine_(seed)
    {
    }

    std::uint64_t word() { return engine_(); }

    std::uint64_t below(std::uint64_t bound)
    {
        const std::uint64_t mask = bound <= 1 ? 0 : std::bit_ceil(bound) - 1;
        for (;;) {
            const std::uint64_t value = word() & mask;
            if (value < bound)
                return value;
        }
    }

    mpz_class below(const mpz_class &bound)
    {
        if (bound.fits_ulong_p())
            return static_cast<unsigned long>(below(std::uint64_t(bound.get_ui())));
        const std::size_t bits = mpz_sizeinbase(mpz_class(bound - 1).get_mpz_t(), 2);
        const std::size_t words = (bits + 63) / 64;
        std::vector<std::uint64_t> buffer(words);
        mpz_class value;
        for (;;) {
            for (std::uint64_t &w : buffer)
                w = word();
            if (bits % 64 != 0)
                buffer.back() &= (std::uint64_t(1) << (bits % 64)) - 1;
            mpz_import(value.get_mpz_t(), words, -1, sizeof(std::uint64_t), 0, 0, buffer.data());
            if (value < bound)
                return value;
        }
    }

private:
    std::mt19937_64 engine_;
};

std::uint64_t mix(std::uint64_t z)
{
    z += 0x9E3779B97F4A7C15ull;
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
    return z ^ (z >> 31);
}

// A keyed pseudo-random permutation of [0, size): a balanced Feistel network
// on the smallest power of four that holds size, applied again while the
// result falls outside (cycle walking), which keeps it a permutation.
class Permutation
{
public:
    Permutation(const mpz_class &size, Random &random)
        : size_(size)
    {
        const std::size_t bits = size <= 1 ? 2 : mpz_sizeinbase(mpz_class(size - 1).get_mpz_t(), 2);
        half_ = (bits + 1) / 2;
        for (std::uint64_t &key : keys_)
            key = random.word();
        small_ = half_ <= 31;
        if (small_)
            smallSize_ = size.get_ui();
    }

    mpz_class at(const mpz_class &index) const
    {
        if (small_)
            return static_cast<unsigned long>(at(std::uint64_t(index.get_ui())));
        mpz_class value = index;
        do
            value = round(value);
        while (value >= size_);
        return value;
    }

    std::uint64_t at(std::uint64_t index) const
    {
        std::uint64_t value = index;
        const std::uint64_t mask = (std::uint64_t(1) << half_) - 1;
        do {
            std::uint64_t left = value >> half_;
            std::uint64_t right = value & mask;
            for (const std::uint64_t key : keys_) {
                const std::uint64_t next = left ^ (mix(key ^ right) & mask);
                left = right;
                right = next;
            }
            value = (left << half_) | right;
        } while (value >= smallSize_);
        return value;
    }

private:
    mpz_class round(const mpz_class &value) const
    {
        mpz_class left, right, hashed, result;
        mpz_tdiv_q_2exp(left.get_mpz_t(), value.get_mpz_t(), half_);
        mpz_tdiv_r_2exp(right.get_mpz_t(), value.get_mpz_t(), half_);
        const std::size_t words = (half_ + 63) / 64;
        std::vector<std::uint64_t> out(words);
        for (const std::uint64_t key : keys_) {
            std::uint64_t state = key;
            for (std::size_t i = 0; i < mpz_size(right.get_mpz_t()); ++i)
                state = mix(state ^ mpz_getlimbn(right.get_mpz_t(), static_cast<mp_size_t>(i)));
            for (std::size_t j = 0; j < words; ++j)
                out[j] = mix(state + j * 0xD1B54A32D192ED03ull);
            mpz_import(hashed.get_mpz_t(), words, -1, sizeof(std::uint64_t), 0, 0, out.data());
            mpz_tdiv_r_2exp(hashed.get_mpz_t(), hashed.get_mpz_t(), half_);
            mpz_xor(hashed.get_mpz_t(), hashed.get_mpz_t(), left.get_mpz_t());
            left = right;
            right = hashed;
        }
        mpz_mul_2exp(result.get_mpz_t(), left.get_mpz_t(), half_);
        mpz_ior(result.get_mpz_t(), result.get_mpz_t(), right.get_mpz_t());
        return result;
    }

    mpz_class size_;
    std::uint64_t smallSize_ = 0;
    std::size_t half_;
    bool small_;
    std::array<std::uint64_t, 8> keys_ {};
};

// Floyd's algorithm: count distinct values of [0, size), each set equally likely.
std::vector<mpz_class> distinctRanks(const mpz_class &size, std::uint64_t count, Random &random)
{
    std::vector<mpz_class> ranks;
    ranks.reserve(count);
    if (size.fits_ulong_p()) {
        std::unordered_set<std::uint64_t> taken;
        const std::uint64_t n = size.get_ui();
        for (std::uint64_t j = n - count; j < n; ++j) {
            const std::uint64_t drawn = random.below(j + 1);
            const std::uint64_t value = taken.insert(drawn).second ? drawn : j;
            taken.insert(value);
            ranks.emplace_back(static_cast<unsigned long>(value));
        }
        return ranks;
    }
    std::set<mpz_class> taken;
    for (mpz_class j = size - count; j < size; ++j) {
        const mpz_class drawn = random.below(mpz_class(j + 1));
        const mpz_class value = taken.insert(drawn).second ? drawn : j;
        taken.insert(value);
        ranks.push_back(value);
    }
    return ranks;
}

} // namespace

struct Sample::State
{
    CompiledTemplate compiled;
    LengthRange range;
    bool everyLength;
    Order order;
    Random random;
    mpz_class kept;
    mpz_class size;
    Enumerator walker;

    // Held ranks, in the order they are given.
    std::vector<mpz_class> held;
    std::size_t nextHeld = 0;
    // Streamed ranks: the permutation's values at 0, 1, ...; in template
    // order, one slice of the ranks at a time.
    std::unique_ptr<Permutation> permutation;
    mpz_class nextIndex;
    std::uint64_t slices = 1;
    std::uint64_t slice = 0;

    State(const CompiledTemplate &source, const mpz_class &wanted, LengthRange lengths, std::uint64_t seed,
        Order wantedOrder)
        : compiled(source)
        , range(lengths)
        , everyLength(lengths.min <= source.minLength() && lengths.max >= source.maxLength())
        , order(wantedOrder)
        , random(seed)
        , kept(everyLength ? source.count() : source.figuresInRange(lengths).count)
        , size(wanted < kept ? wanted : kept)
        , walker(source)
    {
        if (size <= heldLimit) {
            held = distinctRanks(kept, size.get_ui(), random);
            if (order == Order::Template) {
                std::sort(held.begin(), held.end());
            } else {
                for (std::size_t i = held.size(); i > 1; --i)
                    std::swap(held[i - 1], held[random.below(std::uint64_t(i))]);
            }
            return;
        }
        permutation = std::make_unique<Permutation>(kept, random);
        if (order == Order::Template) {
            const mpz_class count = (size + heldLimit - 1) / heldLimit;
            slices = count.get_ui();
            slice = 0;
            fillSlice();
        }
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
        if (!permutation || order == Order::Template) {
            while (nextHeld == held.size()) {
                if (!permutation || ++slice >= slices)
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

bool Sample::next()
{
    State &state = *state_;
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

} // namespace razmnozhator
