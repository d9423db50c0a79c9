// The rows of a window (see RangeDecoder::Rows): the ways to finish after
// each group of the template's own sequence, worked out once for a window
// that samples and listing within lengths query again and again, and the
// choices of many ranks at once read from them.

#include "access/rangedecoder.h"

#include "figures/multiword.h"

#include <algorithm>

namespace razmnozhator::detail {

using namespace multiword;

namespace {

// The rows of a window are worth their memory up to this size; beyond it,
// each query works out the look-ups it needs, as for any other part.
constexpr double rowsBytesCap = 64.0 * 1024 * 1024;

} // namespace

void RangeDecoder::buildRows(Window window)
{
    rows_.built = false;
    rows_.ends.clear();
    const std::size_t width = spectra_->width;
    const std::size_t groups = rootEndShortest_.size();
    std::vector<std::pair<std::int64_t, std::int64_t>> spans(groups);
    double bytes = 0;
    for (std::size_t i = 0; i < groups; ++i) {
        // Only ends from which the rest can still land within the window.
        const Poly &totals = index_->rootSuffixTotals[i];
        const auto restShortest = std::int64_t(totals.offset);
        const auto restLongest = std::int64_t(totals.offset + totals.slots(index_->rootSuffixWidth[i])) - 1;
        spans[i] = { std::max(rootEndShortest_[i], window.low - restLongest),
            std::min(rootEndLongest_[i], window.high - restShortest) };
        bytes += double(std::max<std::int64_t>(spans[i].second - spans[i].first + 1, 0)) * double(width)
            * sizeof(mp_limb_t);
    }
    if (!(bytes <= rowsBytesCap))
        return;
    mpz_class kept;
    countInWindow(*spectra_, index_->rootTotals, window, kept);
    rows_.kept.assign(width, 0);
    std::copy_n(mpz_limbs_read(kept.get_mpz_t()), mpz_size(kept.get_mpz_t()), rows_.kept.data());
    // A row is read while the counts are at most those of the row before
    // (see open()), so it keeps only as many words as they need: a query's
    // look-ups are scattered, and the smaller the rows, the more of them
    // stay in the cache.
    std::size_t stride = std::max<std::size_t>(mpz_size(kept.get_mpz_t()), 1);
    std::vector<mp_limb_t> slot(width);
    rows_.ends.resize(groups);
    for (std::size_t i = 0; i < groups; ++i) {
        Ends &ends = rows_.ends[i];
        const Poly &totals = index_->rootSuffixTotals[i];
        const std::size_t totalsWidth = index_->rootSuffixWidth[i];
        ends.low = spans[i].first;
        ends.size = std::size_t(std::max<std::int64_t>(spans[i].second - spans[i].first + 1, 0));
        ends.stride = stride;
        ends.limbs.assign(ends.size * stride, 0);
        ends.complete = true;
        std::size_t used = 1;
        for (std::size_t at = 0; at < ends.size; ++at) {
            const std::int64_t t = ends.low + std::int64_t(at);
            countInWindow(totals, totalsWidth, Window { window.low - t, window.high - t }, totalsWidth, slot.data());
            std::fill(slot.begin() + std::ptrdiff_t(totalsWidth), slot.end(), 0);
            std::copy_n(slot.data(), stride, ends.limbs.data() + at * stride);
            std::size_t words = width;
            while (words > used && slot[words - 1] == 0)
                --words;
            used = words;
        }
        stride = std::min(stride, used);
    }
    rows_.window = window;
    rows_.built = true;
}

bool RangeDecoder::rootDigits(
    std::span<const mpz_class> ranks, Window window, const RootLengths &lengths, std::uint64_t *digits)
{
    if (ranks.empty())
        return true;
    start(ranks[0], window);
    if (!rows_.built)
        return false;
    const Sequence &root = program_.sequences[program_.root];
    const std::size_t width = spectra_->width;
    const std::size_t groups = root.groupCount;
    // Per rank: the rank left, how many words its counts take
    // (at most the number of ways to finish from its group on, and the
    // arithmetic is exact on the words that takes), and its length so far.
    struct Walk
    {
        mp_limb_t *left;
        std::size_t active;
        std::int64_t written;
    };
    std::vector<Walk> walks(ranks.size());
    if (scratch_.size() < ranks.size() * width)
        scratch_.resize(ranks.size() * width);
    for (std::size_t k = 0; k < ranks.size(); ++k) {
        Walk &walk = walks[k];
        walk.left = scratch_.data() + k * width;
        std::fill_n(walk.left, width, 0);
        std::copy_n(mpz_limbs_read(ranks[k].get_mpz_t()), mpz_size(ranks[k].get_mpz_t()), walk.left);
        walk.active = width;
        walk.written = 0;
    }
    const auto fitTo = [](Walk &walk, const mp_limb_t *total) {
        while (total && walk.active > 1 && total[walk.active - 1] == 0)
            --walk.active;
    };
    // Group by group for all the ranks at once: the look-ups of one group
    // lie close together and stay in the cache from one rank to the next.
    for (std::size_t i = 0; i < groups; ++i) {
        const auto literal = std::int64_t(program_.characters(root.literalBegin + std::uint32_t(i)));
        const Ends &after = rows_.ends[i];
        const std::uint64_t *choices = lengths.lengths(i);
        const std::uint64_t count = lengths.count(i);
        for (std::size_t k = 0; k < ranks.size(); ++k) {
            Walk &walk = walks[k];
            const mp_limb_t *total = i == 0 ? rows_.kept.data() : value(rows_.ends[i - 1], walk.written);
            fitTo(walk, total);
            const std::size_t active = walk.active;
            walk.written += literal;
            // Rows are complete: a look-up is an index, or null outside the row.
            const auto fitting = [&](std::uint64_t v) -> const mp_limb_t * {
                const auto at = std::uint64_t(walk.written + std::int64_t(choices[v]) - after.low);
                return at < after.size ? after.limbs.data() + at * after.stride : nullptr;
            };
            // From the last choice when the rank lies in the upper half.
            WordsRank rank { walk.left, nullptr, active };
            const std::uint64_t v = chooseWithTotal(count, rank, fitting, total);
            digits[k * groups + i] = v;
            walk.written += std::int64_t(choices[v]);
        }
    }
    return true;
}

} // namespace razmnozhator::detail
