#include "access/rangeindex.h"

#include "figures/indexbudget.h"
#include "figures/multiword.h"
#include "program/choicearithmetic.h"

#include <algorithm>
#include <cmath>
#include <string>

namespace razmnozhator::detail {

namespace {

// The same without the slots above `cut`.
Poly cutAbove(const Poly &poly, std::size_t width, std::uint64_t cut)
{
    const PolyArithmetic math { width, cut };
    Poly scratch;
    Poly result = unpacked(poly, width, scratch);
    const std::size_t kept = std::min<std::uint64_t>(result.slots(width), math.slotsFrom(result.offset)) * width;
    result.limbs.resize(kept);
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
// that comes before it in the sequence, the group included. Under a length
// rule's windows, also the spread of its lengths by the rule and of its
// limited bytes (see RuleLengths::nodeRuns).
struct Rest
{
    std::uint64_t shortest = 0;
    std::uint64_t longest = 0;
    bool empty = false; // a part of it has no length within the cut
    std::int64_t cut = INT64_MAX;
    std::uint64_t span = 1;
    std::uint64_t rows = 1;

    std::uint64_t slots() const
    {
        const std::uint64_t kept = cut == INT64_MAX ? longest : std::min<std::uint64_t>(longest, std::uint64_t(cut));
        return empty || cut < 0 || kept < shortest ? 0 : kept - shortest + 1;
    }

    // The slots its spectrum holds, with `more` rows of totals summed over
    // the windows (see runningTotals()): its runs, when held packed.
    double held(const RuleLengths &rule, std::uint64_t more) const
    {
        const std::uint64_t extent = slots();
        if (!rule.weighted || extent == 0)
            return double(extent);
        // Lengths past the cut are never asked for.
        const double room = cut == INT64_MAX ? 1e300 : double(std::uint64_t(cut) - shortest + 1);
        const double rowsKept = std::min(double(rows + more), room / double(rule.period) + 2);
        return std::min(rowsKept * double(std::min(span, rule.period)),
            std::min(double(extent) + double(rule.period) * double(more), room));
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
    Rest last;
    last.shortest = last.longest = program.characters(sequence.literalBegin + sequence.groupCount);
    // With group i and the literal before it in front.
    const auto withGroup = [&](Rest after, std::size_t i) {
        const Poly &group = spectra.groupSpectrum[program.groupRefs[sequence.groupBegin + i]];
        const std::uint64_t literal = program.characters(sequence.literalBegin + std::uint32_t(i));
        after.shortest += literal + group.offset;
        after.longest += literal + group.offset + group.slots(spectra.width) - 1;
        after.empty = after.empty || group.limbs.empty();
        if (program.ruleLengths.weighted) {
            const RuleLengths::Runs &runs
                = program.ruleLengths.nodeRuns[program.sequences.size() + program.groupRefs[sequence.groupBegin + i]];
            after.span += runs.span - 1;
            after.rows += runs.rows - 1;
        }
        return after;
    };
    const auto keep = [&](std::size_t i, const Rest &after) {
        const std::int64_t cut = rests[i].cut;
        rests[i] = after;
        rests[i].cut = cut;
    };
    suffixFigures(
        sequence.groupCount, last, [](std::size_t i) { return i; }, withGroup, keep);
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
        widths[i] = std::min(spectra.width, multiword::wordsFor(std::size_t(std::floor(bits + margin)) + 1));
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
    // Totals summed over the windows of a length rule grow by as many rows
    // as there are windows more.
    const RuleLengths &rule = program.ruleLengths;
    const std::uint64_t moreRows = rule.repeats - 1;
    const Poly &whole = spectra.sequenceSpectrum[program.root];
    double words = double(whole.limbs.size())
        + double(moreRows) * double(whole.packed() ? whole.run : rule.period) * double(width);
    for (std::size_t s = 0; s < program.sequences.size(); ++s) {
        rests[s] = restsOf(spectra, program.sequences[s]);
        for (std::size_t i = 0; i < rests[s].size(); ++i) {
            const bool root = s == program.root;
            words += rests[s][i].held(rule, root ? moreRows : 0) * double(root ? rootSuffixWidth[i] : width);
        }
    }
    // The items of a pairs group are followed by at least the separator and
    // the shortest item.
    std::vector<std::uint64_t> itemCut(program.groups.size(), noCut);
    forEachGroupOf<Pairs>(program, [&](std::uint32_t g, const Group &group) {
        std::uint64_t shortest = UINT64_MAX;
        std::uint64_t longest = 0;
        for (std::uint32_t i = 0; i < Pairs::items(group); ++i) {
            const Poly &item = spectra.sequenceSpectrum[Pairs::item(program, group, i)];
            shortest = std::min(shortest, item.offset);
            if (!item.limbs.empty())
                longest = std::max<std::uint64_t>(longest, item.offset + item.slots(width) - 1);
        }
        const std::int64_t cut
            = cutAfter(spectra.cut, spectra.sequenceSpectrum[Pairs::separator(program, group)].offset + shortest);
        itemCut[g] = cut == INT64_MAX ? noCut : cut < 0 ? 0 : std::uint64_t(cut);
        if (cut >= 0 && longest >= shortest && itemCut[g] >= shortest)
            words += double(std::min(longest, itemCut[g]) - shortest + 1) * double(width);
    });
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
                rootSuffixTotals[i] = runningTotals(spectra, after, cutOf(i).cut);
            else
                suffix[sequence.groupBegin + i] = after;
            if (isRoot && rootSuffixWidth[i] != width) {
                Poly &totals = rootSuffixTotals[i];
                const std::size_t narrow = rootSuffixWidth[i];
                for (std::size_t slot = 1; slot < totals.stored(width); ++slot)
                    std::copy_n(totals.limbs.data() + slot * width, narrow, totals.limbs.data() + slot * narrow);
                totals.limbs.resize(totals.stored(width) * narrow);
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
            after.shift(literal);
        }
    }
    itemSum.resize(program.groups.size());
    forEachGroupOf<Pairs>(program, [&](std::uint32_t g, const Group &group) {
        std::vector<Poly> items;
        for (std::uint32_t i = 0; i < Pairs::items(group); ++i)
            items.push_back(cutAbove(spectra.sequenceSpectrum[Pairs::item(program, group, i)], width, itemCut[g]));
        itemSum[g] = spectra.sum(items);
    });
    rootTotals = runningTotals(spectra, spectra.sequenceSpectrum[program.root], spectra.cut);
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
    const bool cutAtMax = spectra->cut == max || max >= program.figures.longest;
    try {
        return keptRangeIndex(program, std::move(spectra));
    } catch (const LimitError &) {
        if (cutAtMax)
            throw;
        // Spectra cut higher up make more of what follows each group than
        // the question needs; cut at its own end, they may fit.
        return keptRangeIndex(program, spectrumIndex(program, max, true));
    }
}

} // namespace razmnozhator::detail
