// Greedy farthest-first over a pool of lines.
//
// Each step compares the line just chosen with every line of the pool. Doing
// that pair by pair costs the size of both shingle sets per pair; instead the
// pool is indexed from each shingle to the lines that hold it, and the lines
// sharing shingles with the new choice get their shared counts in one sweep
// over its shingles' lists. A shingle that most lines hold (the fixed text of
// a template) is listed the other way round, by the lines that lack it, so no
// list is longer than half the pool.
//
// The pool holds no text: a line's shingles are taken as it comes and kept
// as sorted 64-bit hashes, then as small dense numbers.

#include "razmnozhator/diversity.h"

#include "program/program.h"
#include "program/templateaccess.h"
#include "selection/draws.h"
#include "selection/random.h"
#include "selection/shingles.h"

#include "razmnozhator/memorybudget.h"

#include <algorithm>
#include <cmath>
#include <stdexcept>

namespace razmnozhator {

namespace {

using detail::Random;

// A pool this many times n gives sets clearly better than a smaller one; a
// larger one gains little for the time it costs, which grows with its size.
constexpr std::size_t poolFactor = 8;
constexpr std::size_t poolCap = 40'000;

// The most memory a pooled line and each of its shingles take at once. A
// line: its draw, where its shingles start (twice over while that list
// grows), its shared count, nearest difference and mark, and its place among
// the chosen three times over. A shingle: its hash while the pool fills
// (up to three times over while the list of them grows), then its hash, a
// sorted copy and its dense number, then its dense number, its place in the
// lists and the figures of a distinct shingle.
constexpr double bytesPerPooledLine = 56;
constexpr double bytesPerShingle = 32;
// What taking one line's shingles needs besides: the hash of each word and
// of each shingle.
constexpr double bytesPerWordOfOneLine = 16;

// The shingles of the pool's lines, one line after another.
struct ShingleSets
{
    std::vector<std::uint64_t> hashes;
    std::vector<std::uint32_t> begin { 0 };

    void add(const std::vector<std::uint64_t> &own)
    {
        hashes.insert(hashes.end(), own.begin(), own.end());
        // Shingles are counted in 32 bits: a pool beyond is far beyond memory too.
        if (hashes.size() > UINT32_MAX)
            throw std::length_error("too many shingles in the pool");
        begin.push_back(static_cast<std::uint32_t>(hashes.size()));
    }
    std::size_t size() const noexcept { return begin.size() - 1; }
};

class FarthestFirst
{
public:
    explicit FarthestFirst(ShingleSets sets)
        : size_(sets.size())
    {
        buildSets(std::move(sets));
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
    void buildSets(ShingleSets sets)
    {
        setBegin_ = std::move(sets.begin);
        std::vector<std::uint64_t> distinct = sets.hashes;
        std::sort(distinct.begin(), distinct.end());
        distinct.erase(std::unique(distinct.begin(), distinct.end()), distinct.end());
        sets_.resize(sets.hashes.size());
        for (std::size_t k = 0; k < sets.hashes.size(); ++k)
            sets_[k] = static_cast<std::uint32_t>(
                std::lower_bound(distinct.begin(), distinct.end(), sets.hashes[k]) - distinct.begin());
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

// Farthest-first over a pool, with its steps counted from `before` of
// `total`: indexes into the pool, in the order chosen, or all of them in
// their order when all the lines are in it.
std::optional<DiverseChoice> chooseAmong(ShingleSets sets, std::size_t n, bool takesAll, Random &random,
    const DiverseProgress &progress, std::uint64_t before, std::uint64_t total)
{
    DiverseChoice choice;
    const std::size_t size = sets.size();
    const std::size_t wanted = std::min(n, size);
    if (wanted == 0)
        return choice;
    FarthestFirst farthest(std::move(sets));
    const std::size_t first = random.below(size);
    const bool finished
        = farthest.choose(wanted, first, [&](std::size_t done) { return !progress || progress(before + done, total); });
    if (!finished)
        return std::nullopt;
    choice.diversity = farthest.diversity();
    if (takesAll) {
        choice.chosen.resize(size);
        for (std::size_t i = 0; i < size; ++i)
            choice.chosen[i] = i;
    } else {
        choice.chosen = farthest.chosen();
    }
    return choice;
}

// What the pool of `poolSize` lines needs at most, in bytes.
double poolMemory(const CompiledTemplate &compiled, std::uint64_t poolSize, LengthRange range, const WordBytes &letters)
{
    const detail::Program &program = detail::programOf(compiled);
    std::uint64_t words = detail::mostWords(program, letters);
    // A word and what parts it from the next take two characters, when a
    // character is a byte.
    if (program.literalCharacters.empty())
        words = std::min(words, range.max / 2 + 1);
    return double(poolSize) * (bytesPerPooledLine + bytesPerShingle * double(detail::mostShingles(words)))
        + bytesPerWordOfOneLine * double(words);
}

std::uint64_t wholeBytes(double bytes)
{
    return bytes >= 0x1p64 ? UINT64_MAX : static_cast<std::uint64_t>(std::ceil(bytes));
}

} // namespace

std::size_t detail::diversePoolSize(std::size_t n)
{
    return n > poolCap / poolFactor ? std::max(n, poolCap) : n * poolFactor;
}

std::optional<DiverseChoice> chooseDiverse(const std::vector<std::string_view> &lines, std::size_t n,
    std::uint64_t seed, const WordBytes &letters, const DiverseProgress &progress)
{
    Random random(seed);
    // A uniform pool: the first ones of a partial shuffle, back in their order.
    std::vector<std::size_t> pool(lines.size());
    for (std::size_t i = 0; i < pool.size(); ++i)
        pool[i] = i;
    const std::size_t poolSize = std::min(lines.size(), detail::diversePoolSize(n));
    if (poolSize < lines.size()) {
        for (std::size_t i = 0; i < poolSize; ++i)
            std::swap(pool[i], pool[i + random.below(pool.size() - i)]);
        pool.resize(poolSize);
        std::sort(pool.begin(), pool.end());
    }
    ShingleSets sets;
    for (const std::size_t line : pool)
        sets.add(shingles(lines[line], letters));
    std::optional<DiverseChoice> choice
        = chooseAmong(std::move(sets), n, lines.size() <= n, random, progress, 0, std::min(n, lines.size()));
    if (choice) {
        for (std::size_t &index : choice->chosen)
            index = pool[index];
    }
    return choice;
}

DiverseVariants::DiverseVariants(
    std::unique_ptr<detail::Draws> sample, std::vector<std::uint64_t> draws, Diversity diversity)
    : sample_(std::move(sample))
    , draws_(std::move(draws))
    , diversity_(diversity)
{
}

DiverseVariants::~DiverseVariants() = default;
DiverseVariants::DiverseVariants(DiverseVariants &&) noexcept = default;
DiverseVariants &DiverseVariants::operator=(DiverseVariants &&) noexcept = default;

std::string_view DiverseVariants::current() const noexcept
{
    return sample_->current();
}

void DiverseVariants::keepSlice(std::size_t begin, std::size_t end)
{
    end = std::min(end, draws_.size());
    begin = std::min(begin, end);
    draws_.erase(draws_.begin() + std::ptrdiff_t(end), draws_.end());
    draws_.erase(draws_.begin(), draws_.begin() + std::ptrdiff_t(begin));
    next_ = 0;
}

bool DiverseVariants::next()
{
    if (next_ >= draws_.size())
        return false;
    sample_->redraw(draws_[next_++]);
    return true;
}

std::optional<DiverseVariants> chooseDiverseVariants(const CompiledTemplate &compiled, std::size_t n, LengthRange range,
    std::uint64_t seed, const WordBytes &letters, Sample::Order order, const DiverseProgress &progress)
{
    // The pool is drawn in random order whatever the order asked: the order
    // of the output must not change which variants are chosen.
    std::unique_ptr<detail::Draws> sample = detail::makeDraws(
        compiled, static_cast<unsigned long>(detail::diversePoolSize(n)), range, seed, Sample::Order::Random);
    const std::uint64_t poolSize = sample->size().get_ui();
    const double needed = poolMemory(compiled, poolSize, range, letters);
    const double budget = double(availableMemory()) / 2;
    if (!(needed <= budget))
        throw LimitError(
            LimitError::Task::DiversePool, LimitError::Resource::Memory, wholeBytes(needed), wholeBytes(budget));

    const std::uint64_t total = poolSize + std::min<std::uint64_t>(n, poolSize);
    std::vector<std::uint64_t> draws;
    draws.reserve(poolSize);
    ShingleSets sets;
    while (sample->next()) {
        draws.push_back(sample->currentDraw());
        sets.add(shingles(sample->current(), letters));
        if (draws.size() % 256 == 0 && progress && !progress(draws.size(), total))
            return std::nullopt;
    }
    // The pool is drawn already; the choice must not draw the same numbers again.
    Random random(seed ^ 0x5DEECE66Dull);
    std::optional<DiverseChoice> choice
        = chooseAmong(std::move(sets), n, poolSize <= n, random, progress, poolSize, total);
    if (!choice)
        return std::nullopt;
    std::vector<std::uint64_t> chosen;
    chosen.reserve(choice->chosen.size());
    for (const std::size_t index : choice->chosen)
        chosen.push_back(draws[index]);
    if (order == Sample::Order::Template) {
        std::sort(chosen.begin(), chosen.end(),
            [&sample](std::uint64_t a, std::uint64_t b) { return sample->drawnBefore(a, b); });
    }
    return DiverseVariants(std::move(sample), std::move(chosen), choice->diversity);
}

} // namespace razmnozhator
