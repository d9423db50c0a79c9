// Counts within the windows of a length range that never make the
// template's own spectrum, the last and biggest product: it is left as two
// factors, and the lengths of one are read against the running totals of
// the other.

#include "figures/lengthcounts.h"

#include "figures/polysemiring.h"
#include "figures/walk.h"
#include "program/nodes.h"
#include "program/windowsums.h"

#include <algorithm>
#include <bit>
#include <utility>

namespace razmnozhator::detail {

namespace {

// The template's own spectrum as the product of two values, which a count
// within the windows reads without making it (see countOfProduct()). Under
// a length rule's windows, the groups whose variants all hold as many
// limited bytes, as most do, are multiplied together apart from the
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
    combineBalancedTo(oneRun, multiply, others.empty() ? 2 : 1);
    combineBalancedTo(others, multiply, 1);
    if (!others.empty())
        return { std::move(oneRun[0]), std::move(others[0]) };
    if (oneRun.size() == 2)
        return { std::move(oneRun[0]), std::move(oneRun[1]) };
    return { std::move(oneRun[0]), semiring.text(0, 0) };
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
    struct Windowed
    {
        std::vector<mpz_class> sums;
        std::int64_t first;
        const decltype(upTo) &total;
        mpz_class &at(std::int64_t t) { return sums[std::size_t(t - first)]; }
        void clear(std::int64_t x) { at(x) = 0; }
        void copy(std::int64_t x, std::int64_t y) { at(x) = at(y); }
        void add(std::int64_t x, std::int64_t t) { at(x) += total(t); }
        void subtract(std::int64_t x, std::int64_t t) { at(x) -= total(t); }
    } windowed { std::vector<mpz_class>(std::size_t(last - first + 1)), first, upTo };
    sumOverWindows(windowed, first, last, period, repeats);
    for (std::size_t slot = 0; slot < a.stored(width); ++slot)
        addSlot(slot, [&](std::int64_t t) -> const mpz_class & { return windowed.at(t); });
    return count;
}

} // namespace

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

mpz_class bytesWithinWindows(const Program &program, std::uint64_t cut, std::uint64_t min, std::uint64_t max)
{
    // Byte totals per length reach the count times the longest variant's bytes.
    const std::size_t extra = std::bit_width(program.figures.longestBytes + 1);
    const std::size_t width
        = (mpz_sizeinbase(exactCount(program).get_mpz_t(), 2) + extra + 2 + GMP_NUMB_BITS - 1) / GMP_NUMB_BITS;
    // The template's own byte totals are never made: of its last product
    // (g1 + h1 e)(g2 + h2 e), the bytes h1 g2 + g1 h2 are summed within the
    // windows as the count is.
    const RuleLengths &rule = program.ruleLengths;
    const WeightedSpectra weighted { Spectra { width * GMP_NUMB_BITS, cut, rule.weighted ? rule.period : 0 } };
    const auto [a, b] = rootFactors(program, weighted);
    const auto at
        = [width](const Packed &value) { return repacked(value.poly, multiword::wordsFor(value.bits), width); };
    return countOfProduct(width, at(a.h), at(b.g), min, max, rule)
        + countOfProduct(width, at(a.g), at(b.h), min, max, rule);
}

std::optional<std::vector<mpz_class>> countsByRuleLength(
    const Program &program, std::uint64_t shortest, std::uint64_t longest)
{
    const RuleLengths &rule = program.ruleLengths;
    const std::uint64_t cut = rule.base + rule.period * rule.repeats - 1;
    const std::size_t width = spectraWidth(program);
    checkSpectraBudget(cut, width, spectrumSlots(program, cut), rootFactorsWords(program, cut, width));
    const auto [first, second] = rootFactors(program, Spectra { width * GMP_NUMB_BITS, cut, rule.period });
    Poly a = repacked(first.poly, multiword::wordsFor(first.bits), width);
    Poly b = repacked(second.poly, multiword::wordsFor(second.bits), width);
    const auto held = [width](const Poly &poly) {
        std::vector<std::int64_t> lengths;
        for (std::size_t slot = 0; slot < poly.stored(width); ++slot) {
            if (multiword::trimmedSize(poly.limbs.data() + slot * width, width) != 0)
                lengths.push_back(poly.lengthOf(slot));
        }
        return lengths;
    };
    std::vector<std::int64_t> aLengths = held(a);
    std::vector<std::int64_t> bLengths = held(b);
    // The count at length l sums, over the lengths s of the factor with
    // fewer of them, its coefficient times the other's rows at l - s summed
    // over the windows.
    if (aLengths.size() > bLengths.size()) {
        std::swap(a, b);
        std::swap(aLengths, bLengths);
    }
    const double lengths = double(longest - shortest + 1);
    // The product's own cost, roughly: every slot of one times the other's.
    if (aLengths.empty() || lengths * double(aLengths.size()) > 4 * double(a.slots(width)) * double(b.slots(width)))
        return std::nullopt;
    Poly scratch;
    const Poly &other = unpacked(b, width, scratch);
    const auto otherLow = std::int64_t(other.offset);
    const auto otherSlots = std::int64_t(other.slots(width));
    const std::int64_t low = std::int64_t(shortest) - aLengths.back();
    const std::int64_t high = std::int64_t(longest) - aLengths.front();
    // windowed[y - low]: the other's coefficients at y, y + period, ...
    std::vector<mpz_class> windowed(std::size_t(high - low + 1));
    for (std::int64_t y = low; y <= high; ++y) {
        for (std::uint32_t k = 0; k < rule.repeats; ++k) {
            const std::int64_t t = y + std::int64_t(k * rule.period) - otherLow;
            if (t < 0 || t >= otherSlots)
                continue;
            mpz_t coefficient;
            mpz_roinit_n(coefficient, other.limbs.data() + std::size_t(t) * width, static_cast<mp_size_t>(width));
            mpz_add(
                windowed[std::size_t(y - low)].get_mpz_t(), windowed[std::size_t(y - low)].get_mpz_t(), coefficient);
        }
    }
    std::vector<mpz_class> counts(std::size_t(longest - shortest + 1));
    for (const std::int64_t s : aLengths) {
        const mp_limb_t *limbs = a.at(s, width);
        mpz_t factor;
        mpz_roinit_n(factor, limbs, static_cast<mp_size_t>(multiword::trimmedSize(limbs, width)));
        for (std::uint64_t l = shortest; l <= longest; ++l) {
            const mpz_class &rows = windowed[std::size_t(std::int64_t(l) - s - low)];
            if (rows != 0)
                mpz_addmul(counts[l - shortest].get_mpz_t(), rows.get_mpz_t(), factor);
        }
    }
    return counts;
}

} // namespace razmnozhator::detail
