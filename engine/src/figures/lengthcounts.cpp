#include "figures/lengthcounts.h"

#include "figures/indexbudget.h"
#include "figures/saturating.h"
#include "figures/walk.h"
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

// The words of the first `size` that are left without the zeros on top.
std::size_t trimmedSize(const std::vector<mp_limb_t> &limbs, std::size_t size)
{
    while (size > 0 && limbs[size - 1] == 0)
        --size;
    return size;
}

std::size_t trimmedSize(const std::vector<mp_limb_t> &limbs)
{
    return trimmedSize(limbs, limbs.size());
}

bool isUnitMonomial(const Poly &poly)
{
    return trimmedSize(poly.limbs) == 1 && poly.limbs[0] == 1 && poly.limbs.size() >= 1;
}

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

std::size_t wordsFor(std::size_t bits)
{
    return (bits + GMP_NUMB_BITS - 1) / GMP_NUMB_BITS;
}

// The same coefficients in slots of `to` words (at least as wide as they need).
Poly repacked(const Poly &poly, std::size_t from, std::size_t to)
{
    if (from == to)
        return poly;
    Poly result;
    result.offset = poly.offset;
    const std::size_t slots = poly.slots(from);
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
    const std::size_t words = trimmedSize(total);
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
        const PolyArithmetic math { wordsFor(bits), cut, period };
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
        const PolyArithmetic math { wordsFor(bits), cut, period };
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
        const std::size_t bits = std::min(value.bits, sumBits(value.poly, wordsFor(value.bits)));
        value.poly = repacked(value.poly, wordsFor(value.bits), wordsFor(bits));
        value.bits = bits;
        return value;
    }

private:
    // The polynomial of value in slots of `width` words: its own when they
    // are that wide already, else a copy made in scratch.
    static const Poly &atWidth(const Value &value, std::size_t width, Poly &scratch)
    {
        if (wordsFor(value.bits) == width)
            return value.poly;
        scratch = repacked(value.poly, wordsFor(value.bits), width);
        return scratch;
    }
};

} // namespace

Poly PolyArithmetic::monomial(std::uint64_t length, mp_limb_t coefficient) const
{
    Poly poly;
    poly.offset = length;
    if (length <= cut) {
        poly.limbs.assign(width, 0);
        poly.limbs[0] = coefficient;
    }
    return poly;
}

namespace {

// out = a * b, where an >= bn and out holds an + bn zero words. A factor of
// few slots whose coefficients are small, as the spectrum of a group of
// plain alternatives, is mostly zero words in wide slots: one pass over the
// other factor per word that is not zero costs less than a full product.
void multiplyWords(const mp_limb_t *a, std::size_t an, const mp_limb_t *b, std::size_t bn, mp_limb_t *out)
{
    constexpr std::size_t fewWords = 16;
    const auto nonzero = std::size_t(std::count_if(b, b + bn, [](mp_limb_t word) { return word != 0; }));
    if (nonzero > fewWords || 2 * nonzero > bn) {
        mpn_mul(out, a, static_cast<mp_size_t>(an), b, static_cast<mp_size_t>(bn));
        return;
    }
    for (std::size_t k = 0; k < bn; ++k) {
        if (b[k] == 0)
            continue;
        const mp_limb_t carry = mpn_addmul_1(out + k, a, static_cast<mp_size_t>(an), b[k]);
        if (carry != 0)
            mpn_add_1(out + k + an, out + k + an, static_cast<mp_size_t>(bn - k), carry);
    }
}

} // namespace

namespace {

// Where the lengths of a polynomial lie modulo a period: every coefficient
// other than zero sits at a length first + row * period + at, with at below
// span; first may lie below the polynomial's offset.
struct Runs
{
    std::int64_t first = 0;
    std::uint64_t span = 0;
    std::uint64_t rows = 0;
};

std::optional<Runs> runsOf(const Poly &poly, std::size_t width, std::uint64_t period)
{
    std::vector<bool> used(period, false);
    const std::size_t slots = poly.slots(width);
    bool any = false;
    for (std::size_t slot = 0; slot < slots; ++slot) {
        const mp_limb_t *limbs = poly.limbs.data() + slot * width;
        if (std::any_of(limbs, limbs + width, [](mp_limb_t limb) { return limb != 0; })) {
            used[(poly.offset + slot) % period] = true;
            any = true;
        }
    }
    if (!any)
        return std::nullopt;
    // The longest run of residues without a coefficient, going round: the
    // runs start right after it.
    std::uint64_t gapEnd = 0;
    std::uint64_t longestGap = 0;
    std::uint64_t gap = 0;
    for (std::uint64_t i = 0; i < 2 * period; ++i) {
        if (used[i % period]) {
            gap = 0;
            continue;
        }
        if (++gap > longestGap && gap <= period) {
            longestGap = gap;
            gapEnd = i % period;
        }
    }
    Runs runs;
    const std::uint64_t start = (gapEnd + 1) % period;
    runs.span = period - longestGap;
    runs.first = std::int64_t(poly.offset) - std::int64_t((poly.offset + period - start) % period);
    runs.rows = std::uint64_t(std::int64_t(poly.offset + slots - 1) - runs.first) / period + 1;
    return runs;
}

// The coefficients of a polynomial with those runs, each run in `stride`
// slots, its rows one after another.
std::vector<mp_limb_t> packedRuns(const Poly &poly, std::size_t width, std::uint64_t period, const Runs &runs,
    std::uint64_t stride, std::uint64_t rows)
{
    std::vector<mp_limb_t> packed(rows * stride * width, 0);
    const std::size_t slots = poly.slots(width);
    for (std::size_t slot = 0; slot < slots; ++slot) {
        const auto from = std::uint64_t(std::int64_t(poly.offset + slot) - runs.first);
        const std::uint64_t row = from / period;
        const std::uint64_t at = from % period;
        if (row >= rows || at >= runs.span)
            continue;
        std::copy_n(poly.limbs.data() + slot * width, width, packed.data() + (row * stride + at) * width);
    }
    return packed;
}

} // namespace

// Lengths in short runs one period apart multiply as rows of runs packed
// tight: the product of two runs is a run as long as both together, shorter
// than the period, so rows do not overlap. Null when the runs are too long
// for packing to save much.
std::optional<Poly> PolyArithmetic::multiplyByRuns(const Poly &a, const Poly &b, std::uint64_t room) const
{
    const std::optional<Runs> aRuns = runsOf(a, width, period);
    const std::optional<Runs> bRuns = runsOf(b, width, period);
    if (!aRuns || !bRuns)
        return std::nullopt;
    const std::uint64_t stride = aRuns->span + bRuns->span - 1;
    if (2 * stride > period)
        return std::nullopt;
    const std::int64_t first = aRuns->first + bRuns->first;
    const std::uint64_t offset = a.offset + b.offset;
    // Rows wholly above the cut add nothing.
    std::uint64_t rowsKept = aRuns->rows + bRuns->rows - 1;
    if (cut != noCut) {
        const auto last = std::int64_t(cut);
        rowsKept = last < first ? 0 : std::min<std::uint64_t>(rowsKept, std::uint64_t(last - first) / period + 1);
    }
    const std::uint64_t aRows = std::min(aRuns->rows, rowsKept);
    const std::uint64_t bRows = std::min(bRuns->rows, rowsKept);
    const std::uint64_t slots = std::min<std::uint64_t>(a.slots(width) + b.slots(width) - 1, room);
    if (2 * (aRows + bRows) * stride > a.slots(width) + b.slots(width))
        return std::nullopt;
    Poly result;
    result.offset = offset;
    result.limbs.assign(slots * width, 0);
    if (aRows == 0 || bRows == 0)
        return result;
    const std::vector<mp_limb_t> aPacked = packedRuns(a, width, period, *aRuns, stride, aRows);
    const std::vector<mp_limb_t> bPacked = packedRuns(b, width, period, *bRuns, stride, bRows);
    const std::size_t an = trimmedSize(aPacked);
    const std::size_t bn = trimmedSize(bPacked);
    if (an == 0 || bn == 0)
        return result;
    std::vector<mp_limb_t> product(an + bn);
    if (an >= bn)
        multiplyWords(aPacked.data(), an, bPacked.data(), bn, product.data());
    else
        multiplyWords(bPacked.data(), bn, aPacked.data(), an, product.data());
    const std::size_t packedSlots = (an + bn + width - 1) / width;
    product.resize(packedSlots * width, 0);
    for (std::size_t packed = 0; packed < packedSlots; ++packed) {
        const std::int64_t length = first + std::int64_t(packed / stride * period) + std::int64_t(packed % stride);
        if (length < std::int64_t(offset) || std::uint64_t(length) - offset >= slots)
            continue;
        std::copy_n(
            product.data() + packed * width, width, result.limbs.data() + (std::uint64_t(length) - offset) * width);
    }
    return result;
}

Poly PolyArithmetic::multiply(const Poly &a, const Poly &b) const
{
    Poly result;
    result.offset = a.offset + b.offset;
    const std::uint64_t room = slotsFrom(result.offset);
    if (a.limbs.empty() || b.limbs.empty() || room == 0)
        return result;
    if (isUnitMonomial(a) || isUnitMonomial(b)) {
        const Poly &other = isUnitMonomial(a) ? b : a;
        const std::size_t kept = std::min<std::uint64_t>(other.slots(width), room) * width;
        result.limbs.assign(other.limbs.begin(), other.limbs.begin() + std::ptrdiff_t(kept));
        return result;
    }
    if (period != 0) {
        if (std::optional<Poly> product = multiplyByRuns(a, b, room))
            return std::move(*product);
    }
    const std::size_t slots = std::min<std::uint64_t>(a.slots(width) + b.slots(width) - 1, room);
    // The slots of either factor above the cut add only to slots above it.
    const std::size_t an = trimmedSize(a.limbs, std::min(a.limbs.size(), slots * width));
    const std::size_t bn = trimmedSize(b.limbs, std::min(b.limbs.size(), slots * width));
    if (an == 0 || bn == 0) {
        result.limbs.assign(slots * width, 0);
        return result;
    }
    std::vector<mp_limb_t> product(an + bn);
    if (an >= bn)
        multiplyWords(a.limbs.data(), an, b.limbs.data(), bn, product.data());
    else
        multiplyWords(b.limbs.data(), bn, a.limbs.data(), an, product.data());
    product.resize(slots * width, 0);
    result.limbs = std::move(product);
    return result;
}

namespace {

// Added in place into one polynomial that spans them all.
template <class Polys> Poly sumOf(std::size_t width, const Polys &polys)
{
    std::uint64_t low = UINT64_MAX;
    std::uint64_t high = 0;
    std::uint64_t shortest = UINT64_MAX;
    for (const Poly *poly : polys) {
        shortest = std::min(shortest, poly->offset);
        if (poly->limbs.empty())
            continue;
        low = std::min(low, poly->offset);
        high = std::max<std::uint64_t>(high, poly->offset + poly->slots(width));
    }
    Poly total;
    total.offset = shortest;
    if (high == 0)
        return total;
    total.offset = low;
    total.limbs.assign((high - low) * width, 0);
    for (const Poly *poly : polys) {
        if (poly->limbs.empty())
            continue;
        mp_limb_t *at = total.limbs.data() + (poly->offset - low) * width;
        const mp_size_t size = static_cast<mp_size_t>(poly->limbs.size());
        const mp_limb_t carry = mpn_add_n(at, at, poly->limbs.data(), size);
        const mp_size_t rest = static_cast<mp_size_t>(total.limbs.data() + total.limbs.size() - at) - size;
        if (carry && rest > 0)
            mpn_add_1(at + size, at + size, rest, carry);
    }
    return total;
}

} // namespace

Poly PolyArithmetic::sum(std::span<const Poly> polys) const
{
    std::vector<const Poly *> all;
    for (const Poly &poly : polys)
        all.push_back(&poly);
    return sum(all);
}

Poly PolyArithmetic::sum(std::span<const Poly *const> polys) const
{
    return sumOf(width, polys);
}

void PolyArithmetic::coefficient(const Poly &poly, std::uint64_t length, mpz_t out) const
{
    static const mp_limb_t zero = 0;
    if (length < poly.offset || length - poly.offset >= poly.slots(width)) {
        mpz_roinit_n(out, &zero, 0);
        return;
    }
    mpz_roinit_n(out, poly.limbs.data() + (length - poly.offset) * width, static_cast<mp_size_t>(width));
}

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
    eachWindow([&](std::uint64_t low, std::uint64_t high, std::uint64_t) {
        addRange(*this, whole, low, high, windowCount, nullptr);
        count += windowCount;
    });
    // Byte totals per length reach the count times the longest variant's bytes.
    PolyArithmetic wide;
    const std::size_t extra = std::bit_width(program.figures.longestBytes + 1);
    wide.width = (mpz_sizeinbase(exactCount(program).get_mpz_t(), 2) + extra + 2 + GMP_NUMB_BITS - 1) / GMP_NUMB_BITS;
    const Weighted weighted
        = walkPostorder(program, WeightedSpectra { Spectra { wide.width * GMP_NUMB_BITS, cut, period } },
            [](std::uint32_t, const Weighted &) {});
    const Poly totals = repacked(weighted.h.poly, wordsFor(weighted.h.bits), wide.width);
    eachWindow([&](std::uint64_t low, std::uint64_t high, std::uint64_t) {
        addRange(wide, totals, low, high, windowTotal, nullptr);
        bytes += windowTotal;
    });
}

SpectrumIndex::SpectrumIndex(const Program &compiled, std::uint64_t kept)
    : program(compiled)
{
    const Figures &figures = program.figures;
    cut = kept < figures.longest ? kept : noCut;
    period = program.ruleLengths.weighted ? program.ruleLengths.period : 0;
    // Wide enough for the template's whole count; the coefficients of cut
    // spectra may need fewer words (see below).
    const mpz_class &count = exactCount(program);
    width = (mpz_sizeinbase(count.get_mpz_t(), 2) + 2 + GMP_NUMB_BITS - 1) / GMP_NUMB_BITS;
    const double slots = spectrumSlots(program, cut);
    const auto bytesAt = [slots](std::size_t words) { return slots * double(words) * sizeof(mp_limb_t); };
    // Cut spectra take at least a word a slot; how many more is measured as
    // they are made.
    checkIndexBudget(LimitError::Task::LengthCounts, bytesAt(cut == noCut ? width : 1));
    // The template's own spectrum is one number of this many words, and the
    // last products that make it take time beyond its memory.
    const std::uint64_t longest = std::min(figures.longest, cut);
    const double rootWords = longest < figures.shortest ? 0 : double(longest - figures.shortest + 1) * double(width);
    if (!(rootWords <= rootWordsCap))
        throw LimitError(LimitError::Task::LengthCounts, LimitError::Resource::Work, wholeAmount(rootWords),
            wholeAmount(rootWordsCap));
    sequenceSpectrum.resize(program.sequences.size());
    groupSpectrum.resize(program.groups.size());
    const auto place = [this](std::uint32_t node) -> Poly & {
        return node & groupTag ? groupSpectrum[node & ~groupTag] : sequenceSpectrum[node];
    };
    if (cut == noCut) {
        walkPostorder(
            program, Spectra { width * GMP_NUMB_BITS, noCut, period }, [&](std::uint32_t node, const Packed &value) {
                place(node) = repacked(value.poly, wordsFor(value.bits), width);
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
            bits[node & groupTag ? program.sequences.size() + (node & ~groupTag) : node] = value.bits;
            if (wordsFor(value.bits + 2) > wordsFor(widest + 2) && !(bytesAt(wordsFor(value.bits + 2)) <= budget))
                throw LimitError(LimitError::Task::LengthCounts, LimitError::Resource::Memory,
                    wholeAmount(bytesAt(wordsFor(value.bits + 2))), wholeAmount(budget));
            widest = std::max(widest, value.bits);
        });
    width = wordsFor(widest + 2);
    for (std::size_t s = 0; s < sequenceSpectrum.size(); ++s)
        sequenceSpectrum[s] = repacked(sequenceSpectrum[s], wordsFor(bits[s]), width);
    for (std::size_t g = 0; g < groupSpectrum.size(); ++g)
        groupSpectrum[g] = repacked(groupSpectrum[g], wordsFor(bits[sequenceSpectrum.size() + g]), width);
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
