#include "figures/lengthcounts.h"

#include "figures/indexbudget.h"
#include "figures/multiword.h"
#include "figures/saturating.h"
#include "figures/walk.h"
#include "program/nodes.h"
#include "razmnozhator/engine.h"

#include <algorithm>
#include <bit>
#include <cassert>
#include <optional>
#include <string>

namespace razmnozhator::detail {

namespace {

// The template's own spectrum is the last and biggest product: at four
// million words it alone takes seconds.
constexpr double rootWordsCap = double(1 << 22);

// A polynomial packed in slots only as wide as its own coefficients need:
// `bits` bounds the sum of its coefficients, so the product of two such
// polynomials never carries from one slot into the next at the sum of their
// bits. Deep in a long sequence the parts count few variants, and multiplying
// them at the width of the whole template's count would make every level of
// the product tree cost as much as the last one.
struct Packed
{
    Poly poly;
    std::size_t bits = 1;
};

// The same coefficients in slots of `to` words (at least as wide as they need).
Poly repacked(const Poly &poly, std::size_t from, std::size_t to)
{
    if (from == to)
        return poly;
    Poly result = poly;
    const std::size_t slots = poly.stored(from);
    result.limbs.assign(slots * to, 0);
    const std::size_t kept = std::min(from, to);
    for (std::size_t slot = 0; slot < slots; ++slot)
        std::copy_n(
            poly.limbs.begin() + std::ptrdiff_t(slot * from), kept, result.limbs.begin() + std::ptrdiff_t(slot * to));
    return result;
}

// The bits of the sum of the coefficients, which fits `width` words.
std::size_t sumBits(const Poly &poly, std::size_t width)
{
    std::vector<mp_limb_t> total(width, 0);
    for (std::size_t at = 0; at < poly.limbs.size(); at += width)
        mpn_add_n(total.data(), total.data(), poly.limbs.data() + at, static_cast<mp_size_t>(width));
    const std::size_t words = multiword::trimmedSize(total.data(), total.size());
    return words == 0 ? 1 : (words - 1) * GMP_NUMB_BITS + std::size_t(std::bit_width(total[words - 1]));
}

// Spectra as a semiring: products are convolutions, sums add coefficients
// of equal lengths. Plain text is a monomial z^length, and a product with it
// stays a shift, as PolyArithmetic::multiply makes it. No coefficient needs
// more than `capBits`, the bits of the widest figure of the template. Cut
// spectra count far fewer variants than their nodes have: their bits are
// measured after each step, so that the slots stay as narrow as what the cut
// keeps.
struct Spectra
{
    using Value = Packed;
    std::size_t capBits;
    std::uint64_t cut = noCut;
    std::uint64_t period = 0;

    Value monomial(std::uint64_t length, mp_limb_t coefficient) const
    {
        return { PolyArithmetic { 1, cut }.monomial(length, coefficient),
            std::max<std::size_t>(1, std::bit_width(coefficient)) };
    }
    Value text(std::uint64_t characters, std::uint64_t) const { return monomial(characters, 1); }
    Value add(const Value &a, const Value &b) const
    {
        const Value *both[] = { &a, &b };
        return sumOf(both);
    }
    Value mul(const Value &a, const Value &b) const
    {
        const std::size_t bits = std::min(a.bits + b.bits, capBits);
        const PolyArithmetic math { multiword::wordsFor(bits), cut, period };
        Poly aScratch, bScratch;
        return measured({ math.multiply(atWidth(a, math.width, aScratch), atWidth(b, math.width, bScratch)), bits });
    }
    Value sum(std::span<const Value> values) const
    {
        std::vector<const Value *> all;
        all.reserve(values.size());
        for (const Value &value : values)
            all.push_back(&value);
        return sumOf(all);
    }

    Value sumOf(std::span<const Value *const> values) const
    {
        std::size_t widest = 0;
        for (const Value *value : values)
            widest = std::max(widest, value->bits);
        const std::size_t bits = std::min(widest + std::bit_width(values.size() - 1), capBits);
        const PolyArithmetic math { multiword::wordsFor(bits), cut, period };
        std::vector<Poly> scratch(values.size());
        std::vector<const Poly *> polys;
        polys.reserve(values.size());
        for (std::size_t i = 0; i < values.size(); ++i)
            polys.push_back(&atWidth(*values[i], math.width, scratch[i]));
        return measured({ math.sum(polys), bits });
    }

    Value measured(Value value) const
    {
        if (cut == noCut)
            return value;
        const std::size_t bits = std::min(value.bits, sumBits(value.poly, multiword::wordsFor(value.bits)));
        value.poly = repacked(value.poly, multiword::wordsFor(value.bits), multiword::wordsFor(bits));
        value.bits = bits;
        return value;
    }

private:
    // The polynomial of value in slots of `width` words: its own when they
    // are that wide already, else a copy made in scratch.
    static const Poly &atWidth(const Value &value, std::size_t width, Poly &scratch)
    {
        if (multiword::wordsFor(value.bits) == width)
            return value.poly;
        scratch = repacked(value.poly, multiword::wordsFor(value.bits), width);
        return scratch;
    }
};

} // namespace

namespace {

// Count and byte total side by side, as a dual number g + h e over spectra:
// g counts the variants of each length, h sums their bytes.
struct Weighted
{
    Packed g;
    Packed h;
};

struct WeightedSpectra
{
    using Value = Weighted;
    Spectra spectra;

    Value text(std::uint64_t characters, std::uint64_t bytes) const
    {
        return { spectra.monomial(characters, 1), spectra.monomial(characters, bytes) };
    }
    Value add(const Value &a, const Value &b) const { return { spectra.add(a.g, b.g), spectra.add(a.h, b.h) }; }
    Value mul(const Value &a, const Value &b) const
    {
        return { spectra.mul(a.g, b.g), spectra.add(spectra.mul(a.g, b.h), spectra.mul(a.h, b.g)) };
    }
    Value sum(std::span<const Value> values) const
    {
        std::vector<const Packed *> g, h;
        for (const Value &value : values) {
            g.push_back(&value.g);
            h.push_back(&value.h);
        }
        return { spectra.sumOf(g), spectra.sumOf(h) };
    }
};

void addRange(const PolyArithmetic &math, const Poly &poly, std::uint64_t min, std::uint64_t max, mpz_class &total,
    mpz_class *lengthTotal)
{
    total = 0;
    if (lengthTotal)
        *lengthTotal = 0;
    if (poly.limbs.empty())
        return;
    const std::uint64_t first = std::max(min, poly.offset);
    const std::uint64_t last = std::min<std::uint64_t>(max, poly.offset + poly.slots(math.width) - 1);
    for (std::uint64_t length = first; length <= last && first <= last; ++length) {
        mpz_t value;
        math.coefficient(poly, length, value);
        mpz_add(total.get_mpz_t(), total.get_mpz_t(), value);
        if (lengthTotal)
            mpz_addmul_ui(lengthTotal->get_mpz_t(), value, static_cast<unsigned long>(length));
    }
}

} // namespace

namespace {

// The template's own spectrum as the product of two values, which a count
// within the windows reads without making it (see countOfProduct()). Under
// a length rule's windows, the groups whose variants all hold as many
// uncounted bytes, as most do, are multiplied together apart from the
// others: their product is one run, however long, and the others' product
// a few short ones, so that neither is anywhere near the template's own.
template <class Semiring>
std::pair<typename Semiring::Value, typename Semiring::Value> rootFactors(
    const Program &program, const Semiring &semiring)
{
    using Value = typename Semiring::Value;
    std::vector<Value> groups = walkBelowRoot(program, semiring, [](std::uint32_t, const Value &) {});
    const Sequence &root = program.sequences[program.root];
    const RuleLengths &rule = program.ruleLengths;
    std::vector<Value> oneRun { sequenceText(program, root, semiring) };
    std::vector<Value> others;
    for (std::size_t i = 0; i < groups.size(); ++i) {
        const std::uint32_t group = program.groupRefs[root.groupBegin + i];
        const bool apart = rule.weighted && rule.nodeRuns[groupNodeIndex(program, group)].rows > 1;
        (apart ? others : oneRun).push_back(std::move(groups[i]));
    }
    const auto multiply = [&semiring](const Value &a, const Value &b) { return semiring.mul(a, b); };
    if (others.empty())
        combineBalancedTo(oneRun, multiply, 2);
    else
        combineBalancedTo(oneRun, multiply, 1);
    combineBalancedTo(others, multiply, 1);
    if (!others.empty())
        return { std::move(oneRun[0]), std::move(others[0]) };
    if (oneRun.size() == 2)
        return { std::move(oneRun[0]), std::move(oneRun[1]) };
    return { std::move(oneRun[0]), semiring.text(0, 0) };
}

// Words a coefficient takes: enough for the template's whole count.
std::size_t spectraWidth(const Program &program)
{
    return (mpz_sizeinbase(exactCount(program).get_mpz_t(), 2) + 2 + GMP_NUMB_BITS - 1) / GMP_NUMB_BITS;
}

// The template's own spectrum is one number of this many words.
double rootWords(const Program &program, std::uint64_t cut, std::size_t width)
{
    const Figures &figures = program.figures;
    const std::uint64_t longest = std::min(figures.longest, cut);
    return longest < figures.shortest ? 0 : double(longest - figures.shortest + 1) * double(width);
}

// Words of the larger of the two factors that rootFactors() makes: under a
// length rule's windows, the one run of some groups, or the few short ones
// of the others, in rows up to the cut.
double rootFactorsWords(const Program &program, std::uint64_t cut, std::size_t width)
{
    const double whole = rootWords(program, cut, width);
    const RuleLengths &rule = program.ruleLengths;
    if (!rule.weighted)
        return whole;
    const Sequence &root = program.sequences[program.root];
    std::uint64_t oneRun = 1;
    std::uint64_t span = 1;
    std::uint64_t rows = 1;
    for (std::uint32_t i = 0; i < root.groupCount; ++i) {
        const RuleLengths::Runs &runs = rule.nodeRuns[groupNodeIndex(program, program.groupRefs[root.groupBegin + i])];
        if (runs.rows > 1) {
            span += runs.span - 1;
            rows += runs.rows - 1;
        } else {
            oneRun += runs.span - 1;
        }
    }
    const double others = double(std::min<std::uint64_t>(rows, rule.repeats + 1)) * double(std::min(span, rule.period));
    return std::min(whole, std::max(double(oneRun), others) * double(width));
}

// Throws LimitError when spectra cut at `cut`, `width` words a coefficient,
// would take too much memory, or the last products, of `largestWords`, too
// much time.
void checkSpectraBudget(std::uint64_t cut, std::size_t width, double slots, double largestWords)
{
    // Cut spectra take at least a word a slot; how many more is measured as
    // they are made.
    checkIndexBudget(LimitError::Task::LengthCounts, slots * double(cut == noCut ? width : 1) * sizeof(mp_limb_t));
    if (!(largestWords <= rootWordsCap))
        throw LimitError(LimitError::Task::LengthCounts, LimitError::Resource::Work, wholeAmount(largestWords),
            wholeAmount(rootWordsCap));
}

// The coefficients of a * b at lengths within the windows of [min, max]
// (see rangeFigures), without making the product: the sum over a's lengths
// l of its coefficient times b's count within the windows moved back by l,
// read off b's running totals, summed over the windows beforehand unless a
// has only a few lengths. The running totals are of the factor whose
// lengths spread less.
mpz_class countOfProduct(
    std::size_t width, const Poly &a, const Poly &b, std::uint64_t min, std::uint64_t max, const RuleLengths &rule)
{
    if (a.slots(width) < b.slots(width))
        return countOfProduct(width, b, a, min, max, rule);
    Poly scratch;
    const Poly &whole = unpacked(b, width, scratch);
    std::int64_t aLow = INT64_MAX;
    std::int64_t aHigh = INT64_MIN;
    for (std::size_t slot = 0; slot < a.stored(width); ++slot) {
        if (multiword::trimmedSize(a.limbs.data() + slot * width, width) != 0) {
            aLow = std::min(aLow, a.lengthOf(slot));
            aHigh = std::max(aHigh, a.lengthOf(slot));
        }
    }
    const std::size_t bSlots = whole.slots(width);
    if (aLow > aHigh || bSlots == 0)
        return 0;
    const auto bLow = std::int64_t(whole.offset);
    auto low = std::int64_t(min);
    auto high = std::int64_t(std::min<std::uint64_t>(max, INT64_MAX / 4));
    if (rule.repeats == 1) {
        // Lengths outside the product's add nothing.
        low = std::max(low, aLow + bLow);
        high = std::min(high, aHigh + bLow + std::int64_t(bSlots) - 1);
    }
    if (low > high)
        return 0;
    // below[i]: b's coefficients at lengths below bLow + i.
    std::vector<mpz_class> below(bSlots + 1);
    for (std::size_t i = 0; i < bSlots; ++i) {
        mpz_t coefficient;
        mpz_roinit_n(coefficient, whole.limbs.data() + i * width, static_cast<mp_size_t>(width));
        mpz_add(below[i + 1].get_mpz_t(), below[i].get_mpz_t(), coefficient);
    }
    const auto upTo = [&](std::int64_t t) -> const mpz_class & {
        return below[std::size_t(std::clamp<std::int64_t>(t - bLow + 1, 0, std::int64_t(bSlots)))];
    };
    const auto period = std::int64_t(rule.period);
    const auto repeats = std::int64_t(rule.repeats);
    mpz_class count;
    mpz_class within;
    const auto addSlot = [&](std::size_t slot, auto &&windowedUpTo) {
        const mp_limb_t *coefficient = a.limbs.data() + slot * width;
        const std::size_t words = multiword::trimmedSize(coefficient, width);
        if (words == 0)
            return;
        const std::int64_t l = a.lengthOf(slot);
        within = windowedUpTo(high - l) - windowedUpTo(low - 1 - l);
        mpz_t factor;
        mpz_roinit_n(factor, coefficient, static_cast<mp_size_t>(words));
        mpz_addmul(count.get_mpz_t(), within.get_mpz_t(), factor);
    };
    // windowed(t): b's count at lengths up to t, t - period, ... over the
    // windows.
    const std::int64_t first = low - 1 - aHigh;
    const std::int64_t last = high - aLow;
    if (2 * double(a.stored(width)) * double(repeats) < double(last - first + 1)) {
        const auto windowed = [&](std::int64_t t) {
            mpz_class sum;
            for (std::int64_t j = 0; j < repeats; ++j)
                sum += upTo(t - j * period);
            return sum;
        };
        for (std::size_t slot = 0; slot < a.stored(width); ++slot)
            addSlot(slot, windowed);
        return count;
    }
    std::vector<mpz_class> windowed(std::size_t(last - first + 1));
    for (std::int64_t t = first; t <= last; ++t) {
        mpz_class &sum = windowed[std::size_t(t - first)];
        if (t - first < period) {
            for (std::int64_t j = 0; j < repeats; ++j)
                sum += upTo(t - j * period);
        } else {
            sum = windowed[std::size_t(t - period - first)] + upTo(t) - upTo(t - repeats * period);
        }
    }
    for (std::size_t slot = 0; slot < a.stored(width); ++slot)
        addSlot(slot, [&](std::int64_t t) { return windowed[std::size_t(t - first)]; });
    return count;
}

} // namespace

mpz_class SpectrumIndex::rangeCount(std::uint64_t min, std::uint64_t max) const
{
    const RuleLengths &rule = program.ruleLengths;
    mpz_class count, windowCount;
    for (std::uint32_t j = 0; j < rule.repeats; ++j) {
        addRange(
            *this, sequenceSpectrum[program.root], min - j * rule.period, max - j * rule.period, windowCount, nullptr);
        count += windowCount;
    }
    return count;
}

void SpectrumIndex::rangeFigures(std::uint64_t min, std::uint64_t max, mpz_class &count, mpz_class &bytes) const
{
    const Poly &whole = sequenceSpectrum[program.root];
    const RuleLengths &rule = program.ruleLengths;
    count = 0;
    bytes = 0;
    mpz_class windowCount, windowTotal;
    // Window j holds the variants with repeats - 1 - j uncounted bytes.
    const auto eachWindow = [&](auto &&add) {
        for (std::uint32_t j = 0; j < rule.repeats; ++j)
            add(min - j * rule.period, max - j * rule.period, std::uint64_t(rule.repeats - 1 - j));
    };
    if (!program.literalMap && (program.literalCharacters.empty() || rule.weighted)) {
        // Every character is one byte, and every uncounted one too: with k
        // of them, a length l by the engine holds l - k (period - 1) bytes.
        eachWindow([&](std::uint64_t low, std::uint64_t high, std::uint64_t uncounted) {
            addRange(*this, whole, low, high, windowCount, &windowTotal);
            count += windowCount;
            bytes += windowTotal;
            if (rule.weighted)
                bytes -= windowCount * mpz_class(static_cast<unsigned long>(uncounted * (rule.period - 1)));
        });
        return;
    }
    count = rangeCount(min, max);
    // Byte totals per length reach the count times the longest variant's bytes.
    PolyArithmetic wide;
    const std::size_t extra = std::bit_width(program.figures.longestBytes + 1);
    wide.width = (mpz_sizeinbase(exactCount(program).get_mpz_t(), 2) + extra + 2 + GMP_NUMB_BITS - 1) / GMP_NUMB_BITS;
    // The template's own byte totals are never made: of its last product
    // (g1 + h1 e)(g2 + h2 e), the bytes h1 g2 + g1 h2 are summed within the
    // windows as the count is.
    const WeightedSpectra weighted { Spectra { wide.width * GMP_NUMB_BITS, cut, period } };
    const auto [a, b] = rootFactors(program, weighted);
    const auto at
        = [&wide](const Packed &value) { return repacked(value.poly, multiword::wordsFor(value.bits), wide.width); };
    bytes = countOfProduct(wide.width, at(a.h), at(b.g), min, max, rule)
        + countOfProduct(wide.width, at(a.g), at(b.h), min, max, rule);
}

mpz_class countWithinWindows(const Program &program, std::uint64_t min, std::uint64_t max)
{
    const std::uint64_t cut = max < program.figures.longest ? max : noCut;
    const std::size_t width = spectraWidth(program);
    checkSpectraBudget(cut, width, spectrumSlots(program, cut), rootFactorsWords(program, cut, width));
    const RuleLengths &rule = program.ruleLengths;
    const Spectra spectra { width * GMP_NUMB_BITS, cut, rule.weighted ? rule.period : 0 };
    const auto [a, b] = rootFactors(program, spectra);
    return countOfProduct(width, repacked(a.poly, multiword::wordsFor(a.bits), width),
        repacked(b.poly, multiword::wordsFor(b.bits), width), min, max, rule);
}

std::shared_ptr<const SpectrumIndex> keptSpectrumIndex(const Program &program, std::uint64_t max)
{
    std::lock_guard lock(program.indexMutex);
    return servingIndex(
        program.spectrumIndex, program.cutSpectrumIndexes, max, [](const SpectrumIndex &index) { return index.cut; });
}

SpectrumIndex::SpectrumIndex(const Program &compiled, std::uint64_t kept)
    : program(compiled)
{
    const Figures &figures = program.figures;
    cut = kept < figures.longest ? kept : noCut;
    period = program.ruleLengths.weighted ? program.ruleLengths.period : 0;
    // Wide enough for the template's whole count; the coefficients of cut
    // spectra may need fewer words (see below).
    width = spectraWidth(program);
    const double slots = spectrumSlots(program, cut);
    const auto bytesAt = [slots](std::size_t words) { return slots * double(words) * sizeof(mp_limb_t); };
    checkSpectraBudget(cut, width, slots, rootWords(program, cut, width));
    sequenceSpectrum.resize(program.sequences.size());
    groupSpectrum.resize(program.groups.size());
    const auto place = [this](std::uint32_t node) -> Poly & {
        return isGroupNode(node) ? groupSpectrum[nodeGroup(node)] : sequenceSpectrum[node];
    };
    if (cut == noCut) {
        walkPostorder(
            program, Spectra { width * GMP_NUMB_BITS, noCut, period }, [&](std::uint32_t node, const Packed &value) {
                place(node) = repacked(value.poly, multiword::wordsFor(value.bits), width);
            });
        return;
    }
    // Every coefficient of a node is at most the number of its variants that
    // the cut keeps, and every count a query meets is at most the number of
    // the template's that it keeps. Two bits more leave room for the sums of
    // a pairs group's items (see RangeIndex).
    std::vector<std::size_t> bits(program.sequences.size() + program.groups.size());
    std::size_t widest = 1;
    const double budget = indexBudget();
    walkPostorder(
        program, Spectra { width * GMP_NUMB_BITS, cut, period }, [&](std::uint32_t node, const Packed &value) {
            place(node) = value.poly;
            bits[nodeIndex(program, node)] = value.bits;
            if (multiword::wordsFor(value.bits + 2) > multiword::wordsFor(widest + 2)
                && !(bytesAt(multiword::wordsFor(value.bits + 2)) <= budget))
                throw LimitError(LimitError::Task::LengthCounts, LimitError::Resource::Memory,
                    wholeAmount(bytesAt(multiword::wordsFor(value.bits + 2))), wholeAmount(budget));
            widest = std::max(widest, value.bits);
        });
    width = multiword::wordsFor(widest + 2);
    for (std::size_t s = 0; s < sequenceSpectrum.size(); ++s)
        sequenceSpectrum[s] = repacked(sequenceSpectrum[s], multiword::wordsFor(bits[s]), width);
    for (std::size_t g = 0; g < groupSpectrum.size(); ++g)
        groupSpectrum[g] = repacked(groupSpectrum[g], multiword::wordsFor(bits[sequenceSpectrum.size() + g]), width);
}

std::atomic<bool> cutAtEveryEnd { false };

std::shared_ptr<const SpectrumIndex> spectrumIndex(const Program &program, std::uint64_t max, bool cutAtMax)
{
    cutAtMax = cutAtMax || cutAtEveryEnd;
    std::lock_guard lock(program.indexMutex);
    const bool whole = max >= program.figures.longest;
    if (!cutAtMax || whole) {
        if (auto served = servingIndex(program.spectrumIndex, program.cutSpectrumIndexes, max,
                [](const SpectrumIndex &index) { return index.cut; }))
            return served;
    } else {
        for (const auto &index : program.cutSpectrumIndexes) {
            if (index->cut == max)
                return index;
        }
    }
    // A cut that keeps much of the template's own spectrum, the biggest, is
    // not worth an index of its own: the whole one serves every question.
    const Figures &figures = program.figures;
    const auto span = [&figures](std::uint64_t longest) {
        return longest < figures.shortest ? 0 : double(longest - figures.shortest) + 1;
    };
    if (whole || (!cutAtMax && 4 * span(max) > span(figures.longest))) {
        try {
            program.spectrumIndex = std::make_shared<const SpectrumIndex>(program, noCut);
            return program.spectrumIndex;
        } catch (const LimitError &) {
            if (whole)
                throw;
        }
    }
    auto &kept = program.cutSpectrumIndexes;
    if (kept.size() == cutIndexesKept)
        kept.erase(kept.begin());
    kept.push_back(std::make_shared<const SpectrumIndex>(program, max));
    return kept.back();
}

} // namespace razmnozhator::detail
