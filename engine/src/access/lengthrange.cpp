#include "access/lengthrange.h"

#include "figures/indexbudget.h"

#include <algorithm>
#include <cmath>
#include <string>

namespace razmnozhator::detail {

namespace {

std::size_t wordsFor(std::size_t bits)
{
    return (bits + GMP_NUMB_BITS - 1) / GMP_NUMB_BITS;
}

// The same without the slots above `cut`.
Poly cutAbove(const Poly &poly, std::size_t width, std::uint64_t cut)
{
    const PolyArithmetic math { width, cut };
    Poly result;
    result.offset = poly.offset;
    const std::size_t kept = std::min<std::uint64_t>(poly.slots(width), math.slotsFrom(poly.offset)) * width;
    result.limbs.assign(poly.limbs.begin(), poly.limbs.begin() + std::ptrdiff_t(kept));
    return result;
}

// The cut left after `written` characters; none left is below zero.
std::int64_t cutAfter(std::uint64_t cut, std::uint64_t written)
{
    if (cut == noCut)
        return INT64_MAX;
    return written > cut ? -1 : std::int64_t(cut - written);
}

// What follows each group of a sequence: its shortest and longest length
// (the longest as the cut keeps it), and the cut left after the shortest
// that comes before it in the sequence, the group included.
struct Rest
{
    std::uint64_t shortest = 0;
    std::uint64_t longest = 0;
    bool empty = false; // a part of it has no length within the cut
    std::int64_t cut = INT64_MAX;

    std::uint64_t slots() const
    {
        const std::uint64_t kept = cut == INT64_MAX ? longest : std::min<std::uint64_t>(longest, std::uint64_t(cut));
        return empty || cut < 0 || kept < shortest ? 0 : kept - shortest + 1;
    }
};

std::vector<Rest> restsOf(const SpectrumIndex &spectra, const Sequence &sequence)
{
    const Program &program = spectra.program;
    std::vector<Rest> rests(sequence.groupCount);
    std::uint64_t before = 0;
    for (std::uint32_t i = 0; i < sequence.groupCount; ++i) {
        before += program.characters(sequence.literalBegin + i)
            + spectra.groupSpectrum[program.groupRefs[sequence.groupBegin + i]].offset;
        rests[i].cut = cutAfter(spectra.cut, before);
    }
    Rest after;
    after.shortest = after.longest = program.characters(sequence.literalBegin + sequence.groupCount);
    for (std::uint32_t i = sequence.groupCount; i-- > 0;) {
        const std::int64_t cut = rests[i].cut;
        rests[i] = after;
        rests[i].cut = cut;
        const Poly &group = spectra.groupSpectrum[program.groupRefs[sequence.groupBegin + i]];
        const std::uint64_t literal = program.characters(sequence.literalBegin + i);
        after.shortest += literal + group.offset;
        after.longest += literal + group.offset + group.slots(spectra.width) - 1;
        after.empty = after.empty || group.limbs.empty();
    }
    return rests;
}

// log2 of the count of a spectrum, up to rounding.
double log2Count(const Poly &poly, std::size_t width)
{
    mpz_class count;
    for (std::size_t at = 0; at < poly.limbs.size(); at += width) {
        mpz_t coefficient;
        mpz_roinit_n(coefficient, poly.limbs.data() + at, static_cast<mp_size_t>(width));
        mpz_add(count.get_mpz_t(), count.get_mpz_t(), coefficient);
    }
    if (count == 0)
        return 0;
    long exponent = 0;
    const double mantissa = mpz_get_d_2exp(&exponent, count.get_mpz_t());
    return double(exponent) + std::log2(mantissa);
}

// Words per slot for the running totals of what follows each group of the
// template's own sequence: at most the product of the counts of the groups
// after it.
std::vector<std::size_t> rootRestWidths(const SpectrumIndex &spectra)
{
    const Program &program = spectra.program;
    const Sequence &root = program.sequences[program.root];
    std::vector<std::size_t> widths(root.groupCount);
    double bits = 0;
    for (std::uint32_t i = root.groupCount; i-- > 0;) {
        // Rounding errors of the sum stay far below this margin.
        const double margin = bits * 1e-15 * double(root.groupCount - i) + 1e-9;
        widths[i] = std::min(spectra.width, wordsFor(std::size_t(std::floor(bits + margin)) + 1));
        bits += log2Count(spectra.groupSpectrum[program.groupRefs[root.groupBegin + i]], spectra.width);
    }
    return widths;
}

} // namespace

RangeIndex::RangeIndex(std::shared_ptr<const SpectrumIndex> spectrumIndex)
    : held(std::move(spectrumIndex))
    , spectra(*held)
{
    const Program &program = spectra.program;
    const std::size_t width = spectra.width;
    // Counted as they are made below: the spectrum of what follows each
    // group, the template's own with the width of its own count; the sums
    // of items; and the running totals of the whole.
    rootSuffixWidth = rootRestWidths(spectra);
    std::vector<std::vector<Rest>> rests(program.sequences.size());
    double words = double(spectra.sequenceSpectrum[program.root].limbs.size());
    for (std::size_t s = 0; s < program.sequences.size(); ++s) {
        rests[s] = restsOf(spectra, program.sequences[s]);
        for (std::size_t i = 0; i < rests[s].size(); ++i)
            words += double(rests[s][i].slots()) * double(s == program.root ? rootSuffixWidth[i] : width);
    }
    // The items of a pairs group are followed by at least the separator and
    // the shortest item.
    std::vector<std::uint64_t> itemCut(program.groups.size(), noCut);
    for (std::size_t g = 0; g < program.groups.size(); ++g) {
        const Group &group = program.groups[g];
        if (group.kind != GroupKind::Pairs)
            continue;
        std::uint64_t shortest = UINT64_MAX;
        std::uint64_t longest = 0;
        for (std::uint32_t i = 1; i < group.pieceCount; ++i) {
            const Poly &item = spectra.sequenceSpectrum[program.pieces[group.pieceBegin + i]];
            shortest = std::min(shortest, item.offset);
            if (!item.limbs.empty())
                longest = std::max<std::uint64_t>(longest, item.offset + item.slots(width) - 1);
        }
        const std::int64_t cut
            = cutAfter(spectra.cut, spectra.sequenceSpectrum[program.pieces[group.pieceBegin]].offset + shortest);
        itemCut[g] = cut == INT64_MAX ? noCut : cut < 0 ? 0 : std::uint64_t(cut);
        if (cut >= 0 && longest >= shortest && itemCut[g] >= shortest)
            words += double(std::min(longest, itemCut[g]) - shortest + 1) * double(width);
    }
    // Totals summed over the windows of a length rule grow by as many
    // periods as there are windows more.
    const RuleLengths &rule = program.ruleLengths;
    words += double(rule.period * (rule.repeats - 1)) * double(width)
        * (1 + double(program.sequences[program.root].groupCount));
    checkIndexBudget(LimitError::Task::LengthChoice, words * sizeof(mp_limb_t));

    suffix.resize(program.groupRefs.size());
    const Sequence &root = program.sequences[program.root];
    rootSuffixTotals.resize(root.groupCount);
    for (std::size_t s = 0; s < program.sequences.size(); ++s) {
        const Sequence &sequence = program.sequences[s];
        if (sequence.groupCount == 0)
            continue;
        const bool isRoot = s == program.root;
        const std::vector<Rest> &rest = rests[s];
        // With the cut of rest i: what follows group i is needed only up to it.
        const auto cutOf = [&](std::uint32_t i) {
            PolyArithmetic math = spectra;
            math.cut = rest[i].cut == INT64_MAX ? noCut : std::uint64_t(std::max<std::int64_t>(rest[i].cut, 0));
            return math;
        };
        Poly after = rest[sequence.groupCount - 1].cut < 0
            ? Poly { rest[sequence.groupCount - 1].shortest, {} }
            : cutOf(sequence.groupCount - 1).monomial(program.characters(sequence.literalBegin + sequence.groupCount));
        for (std::uint32_t i = sequence.groupCount; i-- > 0;) {
            if (isRoot)
                rootSuffixTotals[i] = runningTotals(spectra, after);
            else
                suffix[sequence.groupBegin + i] = after;
            if (isRoot && rootSuffixWidth[i] != width) {
                Poly &totals = rootSuffixTotals[i];
                const std::size_t narrow = rootSuffixWidth[i];
                for (std::size_t slot = 1; slot < totals.slots(width); ++slot)
                    std::copy_n(totals.limbs.data() + slot * width, narrow, totals.limbs.data() + slot * narrow);
                totals.limbs.resize(totals.slots(width) * narrow);
                totals.limbs.shrink_to_fit();
            }
            if (i == 0)
                break;
            const std::uint32_t group = program.groupRefs[sequence.groupBegin + i];
            const auto literal = program.characters(sequence.literalBegin + i);
            // After the literal, the cut left is the literal's less.
            PolyArithmetic math = cutOf(i - 1);
            if (rest[i - 1].cut < 0 || (math.cut != noCut && math.cut < literal)) {
                after = Poly { rest[i - 1].shortest, {} };
                continue;
            }
            if (math.cut != noCut)
                math.cut -= literal;
            after = math.multiply(after, spectra.groupSpectrum[group]);
            // A literal only moves the lengths.
            after.offset += literal;
        }
    }
    itemSum.resize(program.groups.size());
    for (std::size_t g = 0; g < program.groups.size(); ++g) {
        const Group &group = program.groups[g];
        if (group.kind != GroupKind::Pairs)
            continue;
        std::vector<Poly> items;
        for (std::uint32_t i = 1; i < group.pieceCount; ++i)
            items.push_back(
                cutAbove(spectra.sequenceSpectrum[program.pieces[group.pieceBegin + i]], width, itemCut[g]));
        itemSum[g] = spectra.sum(items);
    }
    rootTotals = runningTotals(spectra, spectra.sequenceSpectrum[program.root]);
}

namespace {

std::shared_ptr<const RangeIndex> keptRangeIndex(const Program &program, std::shared_ptr<const SpectrumIndex> spectra)
{
    std::lock_guard lock(program.indexMutex);
    const auto cutOf = [](const RangeIndex &index) { return index.spectra.cut; };
    const std::uint64_t cut = spectra->cut;
    if (cut == noCut) {
        if (!program.rangeIndex)
            program.rangeIndex = std::make_shared<const RangeIndex>(std::move(spectra));
        return program.rangeIndex;
    }
    auto &kept = program.cutRangeIndexes;
    const auto found = std::find_if(kept.begin(), kept.end(), [&](const auto &index) { return cutOf(*index) == cut; });
    if (found != kept.end())
        return *found;
    if (kept.size() == cutIndexesKept)
        kept.erase(kept.begin());
    kept.push_back(std::make_shared<const RangeIndex>(std::move(spectra)));
    return kept.back();
}

} // namespace

std::shared_ptr<const RangeIndex> rangeIndex(const Program &program, std::uint64_t max)
{
    {
        std::lock_guard lock(program.indexMutex);
        if (auto served = servingIndex(program.rangeIndex, program.cutRangeIndexes, max,
                [](const RangeIndex &index) { return index.spectra.cut; }))
            return served;
    }
    std::shared_ptr<const SpectrumIndex> spectra = spectrumIndex(program, max);
    if (spectra->cut == max || max >= program.figures.longest)
        return keptRangeIndex(program, std::move(spectra));
    try {
        return keptRangeIndex(program, std::move(spectra));
    } catch (const LimitError &) {
        // Spectra cut higher up make more of what follows each group than
        // the question needs; cut at its own end, they may fit.
        return keptRangeIndex(program, spectrumIndex(program, max, true));
    }
}

Poly runningTotals(const SpectrumIndex &spectra, const Poly &poly)
{
    Poly totals = poly;
    const std::size_t width = spectra.width;
    const auto words = static_cast<mp_size_t>(width);
    for (std::size_t at = width; at < totals.limbs.size(); at += width)
        mpn_add_n(totals.limbs.data() + at, totals.limbs.data() + at, totals.limbs.data() + at - width, words);
    const RuleLengths &rule = spectra.program.ruleLengths;
    if (rule.repeats == 1 || totals.limbs.empty())
        return totals;
    // Summed over the windows of a length rule: W(t) = P(t) + P(t - period)
    // + ... over `repeats` terms, so that W(high) - W(low - 1) counts all
    // the windows at once. It grows for (repeats - 1) periods past the last
    // length, up to the cut. The sums may pass the slots' width: they are
    // only ever subtracted, modulo its power of two, into counts that fit.
    const std::uint64_t slots = totals.slots(width);
    const std::uint64_t grown
        = std::min<std::uint64_t>(slots + rule.period * (rule.repeats - 1), spectra.slotsFrom(totals.offset));
    totals.limbs.resize(std::max(slots, grown) * width);
    for (std::uint64_t slot = slots; slot < grown; ++slot)
        std::copy_n(totals.limbs.data() + (slots - 1) * width, width, totals.limbs.data() + slot * width);
    const Poly plain = totals;
    const std::uint64_t span = rule.period * rule.repeats;
    for (std::uint64_t slot = rule.period; slot < grown; ++slot) {
        mp_limb_t *at = totals.limbs.data() + slot * width;
        mpn_add_n(at, at, totals.limbs.data() + (slot - rule.period) * width, words);
        if (slot >= span)
            mpn_sub_n(at, at, plain.limbs.data() + (slot - span) * width, words);
    }
    return totals;
}

namespace {

// The running total up to and including `length`.
void totalUpTo(const SpectrumIndex &spectra, const Poly &totals, std::int64_t length, mpz_t out)
{
    static const mp_limb_t zero = 0;
    if (length < std::int64_t(totals.offset) || totals.limbs.empty()) {
        mpz_roinit_n(out, &zero, 0);
        return;
    }
    const std::uint64_t slots = totals.slots(spectra.width);
    const std::uint64_t slot = std::min<std::uint64_t>(std::uint64_t(length) - totals.offset, slots - 1);
    mpz_roinit_n(out, totals.limbs.data() + slot * spectra.width, static_cast<mp_size_t>(spectra.width));
}

} // namespace

void countInWindow(const SpectrumIndex &spectra, const Poly &totals, Window window, mpz_class &out)
{
    if (window.high < window.low || window.high < std::int64_t(totals.offset)) {
        out = 0;
        return;
    }
    mpz_t upper, lower;
    totalUpTo(spectra, totals, window.high, upper);
    totalUpTo(spectra, totals, window.low - 1, lower);
    mpz_sub(out.get_mpz_t(), upper, lower);
    // Totals summed over the windows of a length rule wrap at the slots' width.
    if (out < 0)
        out += mpz_class(1) << (spectra.width * GMP_NUMB_BITS);
}

namespace {

// Arithmetic on counts of n words, modulo 2^(64 n) like GMP's, but inline:
// the counts a query meets are a few words long, where a call costs more
// than the work.
__extension__ using Wide = unsigned __int128;

// out = a - b; the borrow out of the top word.
inline mp_limb_t subtract(mp_limb_t *out, const mp_limb_t *a, const mp_limb_t *b, std::size_t n)
{
    mp_limb_t borrow = 0;
    for (std::size_t i = 0; i < n; ++i) {
        const Wide d = Wide(a[i]) - b[i] - borrow;
        out[i] = mp_limb_t(d);
        borrow = mp_limb_t(d >> 64) & 1;
    }
    return borrow;
}

inline void add(mp_limb_t *out, const mp_limb_t *a, const mp_limb_t *b, std::size_t n)
{
    mp_limb_t carry = 0;
    for (std::size_t i = 0; i < n; ++i) {
        const Wide s = Wide(a[i]) + b[i] + carry;
        out[i] = mp_limb_t(s);
        carry = mp_limb_t(s >> 64);
    }
}

// out += a * factor
inline void addProduct(mp_limb_t *out, const mp_limb_t *a, std::size_t n, mp_limb_t factor)
{
    mp_limb_t carry = 0;
    for (std::size_t i = 0; i < n; ++i) {
        const Wide s = Wide(a[i]) * factor + out[i] + carry;
        out[i] = mp_limb_t(s);
        carry = mp_limb_t(s >> 64);
    }
}

inline void decrement(mp_limb_t *a, std::size_t n)
{
    for (std::size_t i = 0; i < n && a[i]-- == 0; ++i) { }
}

inline bool less(const mp_limb_t *a, const mp_limb_t *b, std::size_t n)
{
    for (std::size_t i = n; i-- > 0;) {
        if (a[i] != b[i])
            return a[i] < b[i];
    }
    return false;
}

// a < floor(b / 2)
inline bool lessThanHalf(const mp_limb_t *a, const mp_limb_t *b, std::size_t n)
{
    for (std::size_t i = n; i-- > 0;) {
        const mp_limb_t half = (b[i] >> 1) | (i + 1 < n ? b[i + 1] << 63 : 0);
        if (a[i] != half)
            return a[i] < half;
    }
    return false;
}

// a - b in `n` words, where a null slot stands for zero and b <= a.
void difference(const mp_limb_t *a, const mp_limb_t *b, std::size_t n, mp_limb_t *out)
{
    if (!a)
        std::fill_n(out, n, 0);
    else if (!b)
        std::copy_n(a, n, out);
    else
        subtract(out, a, b, n);
}

} // namespace

RangeDecoder::RangeDecoder(const Program &program)
    : program_(program)
{
}

// The index cut at the window's end, and what is worked out from it.
void RangeDecoder::useIndexFor(Window window)
{
    const std::uint64_t end = window.high < 0 ? 0 : std::uint64_t(window.high);
    // An index cut higher up serves the window as well.
    if (index_ && end <= index_->spectra.cut)
        return;
    index_ = rangeIndex(program_, end);
    spectra_ = &index_->spectra;
    rows_.built = false;
    rootEndShortest_.clear();
    rootEndLongest_.clear();
    const Program &program = program_;
    const Sequence &root = program.sequences[program.root];
    std::int64_t shortest = 0;
    std::int64_t longest = 0;
    for (std::uint32_t i = 0; i < root.groupCount; ++i) {
        const auto literal = std::int64_t(program.characters(root.literalBegin + i));
        const Poly &group = spectra_->groupSpectrum[program.groupRefs[root.groupBegin + i]];
        shortest += literal + std::int64_t(group.offset);
        longest += literal + std::int64_t(group.offset + group.slots(spectra_->width)) - 1;
        rootEndShortest_.push_back(shortest);
        rootEndLongest_.push_back(longest);
    }
}

void RangeDecoder::start(const mpz_class &rank, Window window)
{
    useIndexFor(window);
    const std::size_t width = spectra_->width;
    rank_.assign(width, 0);
    weight_.assign(width, 0);
    std::copy_n(mpz_limbs_read(rank.get_mpz_t()), mpz_size(rank.get_mpz_t()), rank_.data());
    window_ = window;
    start_ = window;
    slotEnds_.clear();
    used_ = 0;
    active_ = width;
    if (!rows_.built || rows_.window.low != window.low || rows_.window.high != window.high)
        buildRows(window);
}

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
            const mp_limb_t *upper
                = window.high >= window.low ? totalUpTo(totals, totalsWidth, window.high - t) : nullptr;
            difference(
                upper, upper ? totalUpTo(totals, totalsWidth, window.low - 1 - t) : nullptr, totalsWidth, slot.data());
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
    // Per rank: the rank left, a word buffer, how many words its counts take
    // (at most the number of ways to finish from its group on, and the
    // arithmetic is exact on the words that takes), and its length so far.
    struct Walk
    {
        mp_limb_t *left;
        mp_limb_t *other;
        std::size_t active;
        std::int64_t written;
    };
    std::vector<Walk> walks(ranks.size());
    if (scratch_.size() < 2 * ranks.size() * width)
        scratch_.resize(2 * ranks.size() * width);
    for (std::size_t k = 0; k < ranks.size(); ++k) {
        Walk &walk = walks[k];
        walk.left = scratch_.data() + 2 * k * width;
        walk.other = walk.left + width;
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
            // From the last choice when the rank lies in the upper half, with
            // the rank counted from the end: total - 1 - rank.
            const bool fromEnd = !lessThanHalf(walk.left, total, active);
            if (fromEnd) {
                subtract(walk.other, total, walk.left, active);
                decrement(walk.other, active);
                std::swap(walk.left, walk.other);
            }
            std::uint64_t v = fromEnd ? count - 1 : 0;
            for (std::uint64_t step = 0; step + 1 < count; ++step, fromEnd ? --v : ++v) {
                const mp_limb_t *fits = fitting(v);
                if (!fits)
                    continue;
                if (less(walk.left, fits, active))
                    break;
                subtract(walk.left, walk.left, fits, active);
            }
            if (fromEnd) {
                // Within the choice, counted from its start: fits - 1 - left.
                subtract(walk.other, fitting(v), walk.left, active);
                decrement(walk.other, active);
                std::swap(walk.left, walk.other);
            }
            digits[k * groups + i] = v;
            walk.written += std::int64_t(choices[v]);
        }
    }
    return true;
}

// Sum over lengths l of poly[l] * ends(at + l): how many variants of poly,
// written from length `at` on and followed by what follows, fit the window.
// Every such number is a count of variants, so it fits the slot width and
// products may be cut to it.
void RangeDecoder::weigh(const Poly &poly, Ends &ends, std::int64_t at, mp_limb_t *out)
{
    const std::size_t width = spectra_->width;
    const std::size_t active = active_;
    std::fill_n(out, active, 0);
    for (std::size_t slot = 0; slot < poly.slots(width); ++slot) {
        const mp_limb_t *coefficient = poly.limbs.data() + slot * width;
        const mp_limb_t *count = nullptr;
        for (std::size_t j = 0; j < active; ++j) {
            if (coefficient[j] == 0)
                continue;
            if (!count)
                count = value(ends, at + std::int64_t(poly.offset + slot));
            if (!count)
                break;
            addProduct(out + j, count, active - j, coefficient[j]);
        }
    }
}

// Moves past a choice whose variants that fit number no more than the rank;
// true when the rank falls within it.
bool RangeDecoder::takes(const Poly &content, Ends &ends, std::int64_t at)
{
    weigh(content, ends, at, weight_.data());
    return takesWeight();
}

// The same for a choice whose weight is in weight_.
bool RangeDecoder::takesWeight()
{
    if (less(rank_.data(), weight_.data(), active_))
        return true;
    subtract(rank_.data(), rank_.data(), weight_.data(), active_);
    return false;
}

// The running total of a spectrum up to and including `length`, or null
// below its shortest length.
const mp_limb_t *RangeDecoder::totalUpTo(const Poly &totals, std::size_t width, std::int64_t length) const
{
    if (length < std::int64_t(totals.offset) || totals.limbs.empty())
        return nullptr;
    const std::uint64_t slot = std::min<std::uint64_t>(std::uint64_t(length) - totals.offset, totals.slots(width) - 1);
    return totals.limbs.data() + slot * width;
}

// The ways to finish at length t, worked out on first use: a query reads
// only the lengths its choices can reach. Null for none.
const mp_limb_t *RangeDecoder::value(Ends &ends, std::int64_t t)
{
    if (t < ends.low || t >= ends.low + std::int64_t(ends.size))
        return nullptr;
    const auto at = std::size_t(t - ends.low);
    mp_limb_t *out = ends.limbs.data() + at * ends.stride;
    if (ends.complete || ends.known[at] == ends.stamp)
        return out;
    ends.known[at] = ends.stamp;
    if (ends.totals) {
        const Window rest { start_.low - t, start_.high - t };
        // The totals may take fewer words than the counts here.
        const std::size_t words = std::min(active_, ends.totalsWidth);
        const mp_limb_t *upper = rest.high >= rest.low ? totalUpTo(*ends.totals, ends.totalsWidth, rest.high) : nullptr;
        difference(upper, totalUpTo(*ends.totals, ends.totalsWidth, rest.low - 1), words, out);
        std::fill(out + words, out + active_, 0);
    } else if (ends.poly) {
        weigh(*ends.poly, *ends.after, t, out);
    } else {
        const mp_limb_t *all = value(*ends.after, t);
        difference(all, value(*ends.less, t), active_, out);
    }
    return out;
}

// Storage for the ways to finish at lengths [low, high]; kept between
// queries, so that it is allocated once.
RangeDecoder::Ends &RangeDecoder::fresh(std::int64_t low, std::int64_t high)
{
    if (used_ == made_.size())
        made_.emplace_back();
    Ends &ends = made_[used_++];
    ends.low = low;
    ends.size = std::size_t(std::max<std::int64_t>(high - low + 1, 0));
    ends.stride = spectra_->width;
    if (ends.limbs.size() < ends.size * spectra_->width)
        ends.limbs.resize(ends.size * spectra_->width);
    // A slot is known when it carries the stamp of this use.
    ends.stamp = ++stamp_;
    if (ends.known.size() < ends.size)
        ends.known.resize(ends.size, 0);
    ends.totals = nullptr;
    ends.poly = nullptr;
    ends.after = nullptr;
    ends.less = nullptr;
    return ends;
}

// The ways to finish after a part whose variants are `poly`, for every
// length [low, high] written before it, from the ways to finish after it.
RangeDecoder::Ends *RangeDecoder::before(const Poly &poly, Ends &after, std::int64_t low, std::int64_t high)
{
    // Nothing follows: the ways to finish stay as they are.
    if (poly.offset == 0 && poly.limbs.size() == spectra_->width && poly.limbs[0] == 1
        && std::all_of(poly.limbs.begin() + 1, poly.limbs.end(), [](mp_limb_t limb) { return limb == 0; }))
        return &after;
    Ends &ends = fresh(low, high);
    ends.poly = &poly;
    ends.after = &after;
    return &ends;
}

// The same for choices that are plain text, which is most of them, on
// machine words: each choice's weight is the ways to finish after it.
// `total`, when known, is the number of all of them: the rank's place among
// them tells from which end of the choices it is reached sooner.
std::uint64_t RangeDecoder::plainTextChoice(
    const Group &group, Ends &after, std::int64_t written, const mp_limb_t *total)
{
    const std::size_t width = spectra_->width;
    const std::size_t words = active_;
    if (scratch_.size() != 2 * width)
        scratch_.resize(2 * width);
    mp_limb_t *left = scratch_.data();
    mp_limb_t *next = left + width;
    std::copy_n(rank_.data(), words, left);
    const Span *spans = program_.pieceLiterals.data() + group.pieceLiteralsBegin;
    const auto end = [&](std::uint64_t choice) {
        return written
            + (program_.literalCharacters.empty()
                    ? std::int64_t(spans[choice].length)
                    : std::int64_t(program_.characters(
                        program_.sequences[program_.choicePieces[group.choiceBegin + choice]].literalBegin)));
    };
    const auto fitting = [&](std::uint64_t choice) { return value(after, end(choice)); };

    if (after.complete) {
        // The look-ups of all the choices at once, rather than one cache
        // miss after another.
        for (std::uint64_t choice = 0; choice < group.choices && choice < 16; ++choice) {
            const std::int64_t t = end(choice) - after.low;
            if (t >= 0 && t < std::int64_t(after.size))
                __builtin_prefetch(after.limbs.data() + std::size_t(t) * after.stride);
        }
    }
    bool fromEnd = false;
    if (total) {
        // From the end when rank >= total / 2; counting from there, the
        // rank becomes total - 1 - rank.
        mpn_rshift(next, total, static_cast<mp_size_t>(words), 1);
        if (!less(left, next, words)) {
            fromEnd = true;
            subtract(next, total, left, words);
            mpn_sub_1(left, next, static_cast<mp_size_t>(words), 1);
        }
    }
    std::uint64_t choice = fromEnd ? group.choices - 1 : 0;
    for (std::uint64_t step = 0; step + 1 < group.choices; ++step, fromEnd ? --choice : ++choice) {
        const mp_limb_t *fits = fitting(choice);
        if (!fits)
            continue;
        if (subtract(next, left, fits, words) != 0) {
            if (fromEnd) {
                // Within the choice, counted from its start: fits - 1 - left.
                subtract(next, fits, left, words);
                mpn_sub_1(left, next, static_cast<mp_size_t>(words), 1);
            }
            break;
        }
        std::swap(left, next);
    }
    if (fromEnd && choice == 0) {
        // The first choice holds the rest: left counts from its end.
        subtract(next, fitting(0), left, words);
        mpn_sub_1(left, next, static_cast<mp_size_t>(words), 1);
    }
    std::copy_n(left, words, rank_.data());
    return choice;
}

GroupChoice RangeDecoder::open(std::uint32_t groupIndex, std::uint32_t frameIndex, const GroupPlace &at)
{
    const std::uint32_t reference = program_.sequences[at.sequence].groupBegin + at.element;
    const Group &group = program_.groups[groupIndex];
    const std::int64_t written = start_.low - window_.low;
    const std::size_t width = spectra_->width;
    const Poly &content = spectra_->groupSpectrum[groupIndex];
    const auto shortest = [](const Poly &poly) { return std::int64_t(poly.offset); };
    const auto longest = [width](const Poly &poly) { return std::int64_t(poly.offset + poly.slots(width)) - 1; };
    // The ways to finish after the group, for every length its end may have.
    const std::int64_t low = written + shortest(content);
    const std::int64_t high = written + longest(content);
    Ends *ends;
    if (at.owner == noFrame && rows_.built) {
        ends = &rows_.ends[at.element];
        // Every count met from here to the next group of the template's own
        // sequence is at most the number of ways to finish from here, and
        // the arithmetic, modulo a power of two, is exact on its words.
        const auto literal
            = std::int64_t(program_.characters(program_.sequences[at.sequence].literalBegin + at.element));
        rootTotal_ = at.element == 0 ? rows_.kept.data() : value(rows_.ends[at.element - 1], written - literal);
        while (rootTotal_ && active_ > 1 && rootTotal_[active_ - 1] == 0)
            --active_;
    } else if (at.owner == noFrame) {
        ends = &fresh(low, high);
        ends->totals = &index_->rootSuffixTotals[at.element];
        ends->totalsWidth = index_->rootSuffixWidth[at.element];
    } else {
        ends = before(index_->suffix[reference], *slotEnds_[at.owner][at.slot], low, high);
    }
    if (slotEnds_.size() <= frameIndex)
        slotEnds_.resize(frameIndex + 1);
    GroupChoice made;
    if (group.kind == GroupKind::Alternatives) {
        if (group.pieceLiteralsBegin != noLiterals) {
            // In the template's own sequence, with the rows of the window,
            // the group followed by what follows it is what follows the group
            // before, less the literal between them.
            made.choice
                = plainTextChoice(group, *ends, written, at.owner == noFrame && rows_.built ? rootTotal_ : nullptr);
        } else {
            while (made.choice + 1 < group.choices
                && !takes(
                    spectra_->sequenceSpectrum[program_.choicePieces[group.choiceBegin + made.choice]], *ends, written))
                ++made.choice;
        }
        slotEnds_[frameIndex][0] = ends;
        return made;
    }
    const std::uint32_t *pieces = program_.pieces.data() + group.pieceBegin;
    const std::uint32_t items = group.pieceCount - 1;
    const auto item = [&](std::uint32_t i) -> const Poly & { return spectra_->sequenceSpectrum[pieces[1 + i]]; };
    const Poly &separator = spectra_->sequenceSpectrum[pieces[0]];
    if (group.pieceLiteralsBegin != noLiterals) {
        // Plain text: each ordered pair is one variant of known length.
        const auto addPair = [&](std::uint32_t r, std::uint32_t f) {
            const std::int64_t length = written + shortest(item(r)) + shortest(separator) + shortest(item(f));
            if (const mp_limb_t *count = value(*ends, length))
                add(weight_.data(), weight_.data(), count, active_);
        };
        std::uint32_t first = 0;
        for (; first + 1 < items; ++first) {
            std::fill_n(weight_.begin(), active_, 0);
            for (std::uint32_t f = 0; f < items; ++f) {
                if (f != first)
                    addPair(first, f);
            }
            if (takesWeight())
                break;
        }
        std::uint32_t second = first == 0 ? 1 : 0;
        for (;;) {
            const std::uint32_t next = second + 1 == first ? second + 2 : second + 1;
            std::fill_n(weight_.begin(), active_, 0);
            addPair(first, second);
            if (next >= items || takesWeight())
                break;
            second = next;
        }
        made.first = first;
        made.second = second;
        made.choice = first * (items - 1ull) + (second < first ? second : second - 1);
        return made;
    }
    const Poly &sum = index_->itemSum[groupIndex];
    // Products of spectra are never made: weighing against a product is
    // weighing against the ways to finish moved back by each factor in turn.
    // A pair (r, f) writes r, the separator, then f.
    const std::int64_t separatorLow = written + shortest(sum) + shortest(separator);
    const std::int64_t separatorHigh = written + longest(sum) + longest(separator);
    Ends *afterAll = before(sum, *ends, separatorLow, separatorHigh);
    std::uint32_t first = 0;
    for (; first + 1 < items; ++first) {
        // After the separator, any second item other than the first.
        Ends &others = fresh(separatorLow, separatorHigh);
        others.after = afterAll;
        others.less = before(item(first), *ends, separatorLow, separatorHigh);
        Ends *afterFirst = before(separator, others, written + shortest(item(first)), written + longest(item(first)));
        if (takes(item(first), *afterFirst, written))
            break;
    }
    Ends *afterLead = before(item(first), *ends, separatorLow, separatorHigh);
    Ends *beforeSecond = before(separator, *afterLead, written + shortest(sum), written + longest(sum));
    std::uint32_t second = first == 0 ? 1 : 0;
    for (;;) {
        std::uint32_t next = second + 1 == first ? second + 2 : second + 1;
        if (next >= items || takes(item(second), *beforeSecond, written))
            break;
        second = next;
    }
    made.first = first;
    made.second = second;
    made.choice = first * (items - 1ull) + (second < first ? second : second - 1);
    Ends *afterSeparator = before(item(second), *ends, written + shortest(item(first)) + shortest(separator),
        written + longest(item(first)) + longest(separator));
    Ends *afterFirst
        = before(separator, *afterSeparator, written + shortest(item(first)), written + longest(item(first)));
    slotEnds_[frameIndex] = { afterFirst, afterSeparator, ends };
    return made;
}

} // namespace razmnozhator::detail
