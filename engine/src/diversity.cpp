// Greedy farthest-first over a pool of lines.
//
// Each step compares the line just chosen with every line of the pool. Doing
// that pair by pair costs the size of both shingle sets per pair; instead the
// pool is indexed from each shingle to the lines that hold it, and the lines
// sharing shingles with the new choice get their shared counts in one sweep
// over its shingles' lists. A shingle that most lines hold (the fixed text of
// a template) is listed the other way round, by the lines that lack it, so no
// list is longer than half the pool.

#include "razmnozhator/diversity.h"

#include <algorithm>
#include <bit>
#include <random>
#include <stdexcept>

namespace razmnozhator {

namespace {

// A pool this many times n gives sets clearly better than a smaller one; a
// larger one gains little for the time it costs, which grows with its size.
constexpr std::size_t poolFactor = 8;
constexpr std::size_t poolCap = 40'000;

// std::mt19937_64 reduced to a range by rejection: the same everywhere.
class Random
{
public:
    explicit Random(std::uint64_t seed)
        : engine_(seed)
    {
    }

    std::uint64_t below(std::uint64_t bound)
    {
        const std::uint64_t mask = bound <= 1 ? 0 : std::bit_ceil(bound) - 1;
        for (;;) {
            const std::uint64_t value = engine_() & mask;
            if (value < bound)
                return value;
        }
    }

private:
    std::mt19937_64 engine_;
};

class FarthestFirst
{
public:
    FarthestFirst(const std::vector<std::string_view> &lines, const WordBytes &letters)
        : size_(lines.size())
    {
        buildSets(lines, letters);
        buildLists();
    }

    // Chooses n lines, the first one given; fills `nearest` of each chosen
    // one with its difference to the nearest other chosen one.
    bool choose(std::size_t n, std::size_t first, const std::function<bool(std::size_t)> &stepDone)
    {
        std::vector<std::int32_t> shared(size_, 0);
        nearest_.assign(size_, 2.0);
        std::vector<char> taken(size_, 0);
        std::size_t pick = first;
        for (std::size_t step = 0; step < n; ++step) {
            taken[pick] = 1;
            chosen_.push_back(pick);
            std::int32_t common = 0;
            for (std::uint32_t k = setBegin_[pick]; k < setBegin_[pick + 1]; ++k) {
                const std::uint32_t shingle = sets_[k];
                const bool inverted = inverted_[shingle] != 0;
                common += inverted ? 1 : 0;
                const std::int32_t delta = inverted ? -1 : 1;
                for (std::uint32_t p = listBegin_[shingle]; p < listBegin_[shingle + 1]; ++p)
                    shared[lists_[p]] += delta;
            }
            const std::int64_t pickSize = setSize(pick);
            double farthest = -1;
            std::size_t next = 0;
            for (std::size_t i = 0; i < size_; ++i) {
                const std::int64_t both = common + shared[i];
                shared[i] = 0;
                const std::int64_t either = setSize(i) + pickSize - both;
                const double apart = either == 0 ? 0.0 : 1 - double(both) / double(either);
                if (i != pick)
                    nearest_[i] = std::min(nearest_[i], apart);
                if (!taken[i] && nearest_[i] > farthest) {
                    farthest = nearest_[i];
                    next = i;
                }
            }
            if (!stepDone(step + 1))
                return false;
            pick = next;
        }
        return true;
    }

    const std::vector<std::size_t> &chosen() const noexcept { return chosen_; }

    Diversity diversity() const
    {
        Diversity result;
        if (chosen_.size() < 2)
            return result;
        double sum = 0;
        for (const std::size_t line : chosen_) {
            result.smallest = std::min(result.smallest, nearest_[line]);
            sum += nearest_[line];
        }
        result.mean = sum / double(chosen_.size());
        return result;
    }

private:
    std::int64_t setSize(std::size_t line) const { return std::int64_t(setBegin_[line + 1] - setBegin_[line]); }

    // Every line's shingles as small dense numbers, so that the lists can be
    // indexed by them.
    void buildSets(const std::vector<std::string_view> &lines, const WordBytes &letters)
    {
        std::vector<std::uint64_t> hashes;
        setBegin_.reserve(size_ + 1);
        setBegin_.push_back(0);
        for (const std::string_view line : lines) {
            const std::vector<std::uint64_t> own = shingles(line, letters);
            hashes.insert(hashes.end(), own.begin(), own.end());
            // Shingles are counted in 32 bits: a pool beyond is far beyond memory too.
            if (hashes.size() > UINT32_MAX)
                throw std::length_error("too many shingles in the pool");
            setBegin_.push_back(static_cast<std::uint32_t>(hashes.size()));
        }
        std::vector<std::uint64_t> distinct = hashes;
        std::sort(distinct.begin(), distinct.end());
        distinct.erase(std::unique(distinct.begin(), distinct.end()), distinct.end());
        sets_.resize(hashes.size());
        for (std::size_t k = 0; k < hashes.size(); ++k)
            sets_[k] = static_cast<std::uint32_t>(
                std::lower_bound(distinct.begin(), distinct.end(), hashes[k]) - distinct.begin());
        shingleCount_ = distinct.size();
    }

    void buildLists()
    {
        std::vector<std::uint32_t> holders(shingleCount_, 0);
        for (const std::uint32_t shingle : sets_)
            ++holders[shingle];
        inverted_.assign(shingleCount_, 0);
        listBegin_.assign(shingleCount_ + 1, 0);
        for (std::size_t s = 0; s < shingleCount_; ++s) {
            inverted_[s] = 2 * std::size_t(holders[s]) > size_ ? 1 : 0;
            listBegin_[s + 1]
                = listBegin_[s] + static_cast<std::uint32_t>(inverted_[s] ? size_ - holders[s] : holders[s]);
        }
        lists_.resize(listBegin_.back());
        std::vector<std::uint32_t> fill(listBegin_.begin(), listBegin_.end() - 1);
        // For an inverted shingle, the lines after the last one seen that held it.
        std::vector<std::uint32_t> gapFrom(shingleCount_, 0);
        for (std::uint32_t line = 0; line < size_; ++line) {
            for (std::uint32_t k = setBegin_[line]; k < setBegin_[line + 1]; ++k) {
                const std::uint32_t shingle = sets_[k];
                if (!inverted_[shingle]) {
                    lists_[fill[shingle]++] = line;
                    continue;
                }
                for (std::uint32_t lacking = gapFrom[shingle]; lacking < line; ++lacking)
                    lists_[fill[shingle]++] = lacking;
                gapFrom[shingle] = line + 1;
            }
        }
        for (std::size_t s = 0; s < shingleCount_; ++s) {
            if (inverted_[s]) {
                for (std::uint32_t lacking = gapFrom[s]; lacking < size_; ++lacking)
                    lists_[fill[s]++] = lacking;
            }
        }
    }

    std::size_t size_;
    std::size_t shingleCount_ = 0;
    std::vector<std::uint32_t> setBegin_;
    std::vector<std::uint32_t> sets_;
    std::vector<char> inverted_;
    std::vector<std::uint32_t> listBegin_;
    std::vector<std::uint32_t> lists_;
    std::vector<double> nearest_;
    std::vector<std::size_t> chosen_;
};

// chooseDiverse, with its steps counted from `before` of `total`.
std::optional<DiverseChoice> chooseFromPool(const std::vector<std::string_view> &lines, std::size_t n,
    std::uint64_t seed, const WordBytes &letters, const DiverseProgress &progress, std::uint64_t before,
    std::uint64_t total)
{
    Random random(seed);
    // A uniform pool: the first ones of a partial shuffle, back in their order.
    std::vector<std::size_t> pool(lines.size());
    for (std::size_t i = 0; i < pool.size(); ++i)
        pool[i] = i;
    const std::size_t poolSize = std::min(lines.size(), diversePoolSize(n));
    if (poolSize < lines.size()) {
        for (std::size_t i = 0; i < poolSize; ++i)
            std::swap(pool[i], pool[i + random.below(pool.size() - i)]);
        pool.resize(poolSize);
        std::sort(pool.begin(), pool.end());
    }
    std::vector<std::string_view> candidates;
    candidates.reserve(pool.size());
    for (const std::size_t line : pool)
        candidates.push_back(lines[line]);

    DiverseChoice choice;
    const std::size_t wanted = std::min(n, pool.size());
    if (wanted == 0)
        return choice;
    FarthestFirst farthest(candidates, letters);
    const std::size_t first = random.below(pool.size());
    const bool finished
        = farthest.choose(wanted, first, [&](std::size_t done) { return !progress || progress(before + done, total); });
    if (!finished)
        return std::nullopt;
    choice.diversity = farthest.diversity();
    if (lines.size() <= n) {
        choice.chosen = pool;
    } else {
        for (const std::size_t index : farthest.chosen())
            choice.chosen.push_back(pool[index]);
    }
    return choice;
}

} // namespace

std::size_t diversePoolSize(std::size_t n)
{
    return n > poolCap / poolFactor ? std::max(n, poolCap) : n * poolFactor;
}

std::optional<DiverseChoice> chooseDiverse(const std::vector<std::string_view> &lines, std::size_t n,
    std::uint64_t seed, const WordBytes &letters, const DiverseProgress &progress)
{
    return chooseFromPool(lines, n, seed, letters, progress, 0, std::min(n, lines.size()));
}

std::optional<DiverseSample> chooseDiverseVariants(const CompiledTemplate &compiled, std::size_t n, LengthRange range,
    std::uint64_t seed, const WordBytes &letters, Sample::Order order, const DiverseProgress &progress)
{
    Sample sample(compiled, static_cast<unsigned long>(diversePoolSize(n)), range, seed, order);
    const std::uint64_t poolSize = sample.size().get_ui();
    const std::uint64_t total = poolSize + std::min<std::uint64_t>(n, poolSize);
    VariantList pool;
    while (sample.next()) {
        pool.push_back(sample.current());
        if (pool.size() % 256 == 0 && progress && !progress(pool.size(), total))
            return std::nullopt;
    }
    const std::vector<std::string_view> lines(pool.begin(), pool.end());
    // The pool is drawn already; the choice must not draw the same numbers again.
    std::optional<DiverseChoice> choice
        = chooseFromPool(lines, n, seed ^ 0x5DEECE66Dull, letters, progress, poolSize, total);
    if (!choice)
        return std::nullopt;
    // The pool lies in template order when asked, and so do the chosen ones
    // once sorted by their place in it.
    if (order == Sample::Order::Template)
        std::sort(choice->chosen.begin(), choice->chosen.end());
    DiverseSample result;
    result.diversity = choice->diversity;
    for (const std::size_t index : choice->chosen)
        result.lines.push_back(lines[index]);
    return result;
}

} // namespace razmnozhator
