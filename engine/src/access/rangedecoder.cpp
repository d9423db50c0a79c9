#include "access/rangedecoder.h"

#include "figures/multiword.h"

#include <algorithm>

namespace razmnozhator::detail {

using namespace multiword;

namespace {

std::int64_t shortest(const Poly &poly)
{
    return std::int64_t(poly.offset);
}

std::int64_t longest(const Poly &poly, std::size_t width)
{
    return std::int64_t(poly.offset + poly.slots(width)) - 1;
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

// Sum over lengths l of poly[l] * ends(at + l): how many variants of poly,
// written from length `at` on and followed by what follows, fit the window.
// Every such number is a count of variants, so it fits the slot width and
// products may be cut to it.
void RangeDecoder::weigh(const Poly &poly, Ends &ends, std::int64_t at, mp_limb_t *out)
{
    const std::size_t width = spectra_->width;
    const std::size_t active = active_;
    std::fill_n(out, active, 0);
    for (std::size_t slot = 0; slot < poly.stored(width); ++slot) {
        const mp_limb_t *coefficient = poly.limbs.data() + slot * width;
        const mp_limb_t *count = nullptr;
        for (std::size_t j = 0; j < active; ++j) {
            if (coefficient[j] == 0)
                continue;
            if (!count)
                count = value(ends, at + poly.lengthOf(slot));
            if (!count)
                break;
            addProduct(out + j, count, active - j, coefficient[j]);
        }
    }
}

const mp_limb_t *RangeDecoder::weighed(const Poly &content, Ends &ends, std::int64_t at)
{
    weigh(content, ends, at, weight_.data());
    return weight_.data();
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
        // The totals may take fewer words than the counts here.
        countInWindow(*ends.totals, ends.totalsWidth, Window { start_.low - t, start_.high - t },
            std::min(active_, ends.totalsWidth), out);
        std::fill(out + std::min(active_, ends.totalsWidth), out + active_, 0);
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
    if (!poly.packed() && poly.offset == 0 && poly.limbs.size() == spectra_->width && poly.limbs[0] == 1
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
                        program_.sequences[Alternatives::sequence(program_, group, choice)].literalBegin)));
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
    WordsRank rank { left, next, words };
    const std::uint64_t choice = Alternatives::choose(group, rank, fitting, total).choice;
    std::copy_n(rank.left, words, rank_.data());
    return choice;
}

GroupChoice RangeDecoder::open(std::uint32_t groupIndex, std::uint32_t frameIndex, const GroupPlace &at)
{
    const std::uint32_t reference = program_.sequences[at.sequence].groupBegin + at.element;
    const Group &group = program_.groups[groupIndex];
    const std::int64_t written = start_.low - window_.low;
    const Poly &content = spectra_->groupSpectrum[groupIndex];
    // The ways to finish after the group, for every length its end may have.
    const std::int64_t low = written + shortest(content);
    const std::int64_t high = written + longest(content, spectra_->width);
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
    // In the template's own sequence, with the rows of the window, the group
    // followed by what follows it is what follows the group before, less the
    // literal between them.
    const mp_limb_t *total = at.owner == noFrame && rows_.built ? rootTotal_ : nullptr;
    return visitKind(
        group, [&](auto kind) { return choose(kind, group, *ends, written, total, slotEnds_[frameIndex]); });
}

GroupChoice RangeDecoder::choose(Alternatives, const Group &group, Ends &ends, std::int64_t written,
    const mp_limb_t *total, std::array<Ends *, mostSlots> &slotEnds)
{
    slotEnds = { &ends };
    if (group.pieceLiteralsBegin != noLiterals)
        return GroupChoice { plainTextChoice(group, ends, written, total) };
    WordsRank rank = this->rank();
    const auto weight = [&](std::uint64_t choice) {
        return weighed(spectra_->sequenceSpectrum[Alternatives::sequence(program_, group, choice)], ends, written);
    };
    return Alternatives::choose(group, rank, weight, static_cast<const mp_limb_t *>(nullptr));
}

GroupChoice RangeDecoder::choose(Pairs, const Group &group, Ends &ends, std::int64_t written, const mp_limb_t *,
    std::array<Ends *, mostSlots> &slotEnds)
{
    const std::size_t width = spectra_->width;
    const std::uint32_t items = Pairs::items(group);
    const auto item
        = [&](std::uint32_t i) -> const Poly & { return spectra_->sequenceSpectrum[Pairs::item(program_, group, i)]; };
    const Poly &separator = spectra_->sequenceSpectrum[Pairs::separator(program_, group)];
    WordsRank rank = this->rank();
    if (group.pieceLiteralsBegin != noLiterals) {
        // Plain text: each ordered pair is one variant of known length.
        const auto addPair = [&](std::uint32_t first, std::uint32_t second) {
            const std::int64_t length = written + shortest(item(first)) + shortest(separator) + shortest(item(second));
            if (const mp_limb_t *count = value(ends, length))
                add(weight_.data(), weight_.data(), count, active_);
        };
        const auto block = [&](std::uint64_t first) {
            std::fill_n(weight_.begin(), active_, 0);
            for (std::uint32_t other = 0; other + 1 < items; ++other)
                addPair(std::uint32_t(first), Pairs::other(std::uint32_t(first), other));
            return weight_.data();
        };
        const auto pair = [&](std::uint32_t first, std::uint32_t second) {
            std::fill_n(weight_.begin(), active_, 0);
            addPair(first, second);
            return weight_.data();
        };
        return Pairs::choose(group, rank, block, pair);
    }
    const Poly &sum = index_->itemSum[std::size_t(&group - program_.groups.data())];
    // Products of spectra are never made: weighing against a product is
    // weighing against the ways to finish moved back by each factor in turn.
    // A pair (r, f) writes r, the separator, then f.
    const std::int64_t separatorLow = written + shortest(sum) + shortest(separator);
    const std::int64_t separatorHigh = written + longest(sum, width) + longest(separator, width);
    Ends *afterAll = before(sum, ends, separatorLow, separatorHigh);
    const auto block = [&](std::uint64_t first) {
        // After the separator, any second item other than the first.
        Ends &others = fresh(separatorLow, separatorHigh);
        others.after = afterAll;
        others.less = before(item(std::uint32_t(first)), ends, separatorLow, separatorHigh);
        Ends *afterFirst = before(separator, others, written + shortest(item(std::uint32_t(first))),
            written + longest(item(std::uint32_t(first)), width));
        return weighed(item(std::uint32_t(first)), *afterFirst, written);
    };
    Ends *beforeSecond = nullptr;
    const auto pair = [&](std::uint32_t first, std::uint32_t second) {
        if (!beforeSecond) {
            Ends *afterLead = before(item(first), ends, separatorLow, separatorHigh);
            beforeSecond = before(separator, *afterLead, written + shortest(sum), written + longest(sum, width));
        }
        return weighed(item(second), *beforeSecond, written);
    };
    const GroupChoice made = Pairs::choose(group, rank, block, pair);
    Ends *afterSeparator = before(item(made.second), ends, written + shortest(item(made.first)) + shortest(separator),
        written + longest(item(made.first), width) + longest(separator, width));
    Ends *afterFirst = before(
        separator, *afterSeparator, written + shortest(item(made.first)), written + longest(item(made.first), width));
    slotEnds = { afterFirst, afterSeparator, &ends };
    return made;
}

} // namespace razmnozhator::detail
