#include "lengthcounts.h"

#include "razmnozhator/engine.h"
#include "razmnozhator/memorybudget.h"
#include "saturating.h"
#include "walk.h"

#include <algorithm>
#include <bit>
#include <cassert>
#include <string>

namespace razmnozhator::detail {

namespace {

constexpr double budgetCap = 512.0 * 1024 * 1024;
constexpr double rootWordsCap = double(1 << 24);

std::size_t trimmedSize(const std::vector<mp_limb_t> &limbs)
{
    std::size_t size = limbs.size();
    while (size > 0 && limbs[size - 1] == 0)
        --size;
    return size;
}

bool isUnitMonomial(const Poly &poly)
{
    return trimmedSize(poly.limbs) == 1 && poly.limbs[0] == 1 && poly.limbs.size() >= 1;
}

struct SpectrumAlgebra
{
    using Value = Poly;
    const PolyArithmetic &index;
    const Program &program;

    Value text(std::uint64_t characters, std::uint64_t) const { return index.monomial(characters); }

    Value sequence(const Value &text, std::span<Value> groups) const
    {
        std::vector<Value> values { text };
        values.insert(values.end(), std::make_move_iterator(groups.begin()), std::make_move_iterator(groups.end()));
        return combineBalanced(values, [this](const Value &a, const Value &b) { return index.multiply(a, b); });
    }

    Value alternatives(std::span<Value> pieces) const { return index.sum(pieces); }

    Value pairs(const Value &separator, std::span<const Value> items) const
    {
        const Value all = index.sum(items);
        std::vector<Value> terms;
        if (std::all_of(items.begin(), items.end(), isUnitMonomial)) {
            // Plain-text items: S^2 less the squares, whose coefficients stay
            // within twice the count of the pairs.
            Value squares = index.multiply(all, all);
            const std::size_t width = index.width;
            for (const Value &item : items) {
                mp_limb_t *at = squares.limbs.data() + (2 * item.offset - squares.offset) * width;
                mpn_sub_1(at, at, static_cast<mp_size_t>(squares.limbs.data() + squares.limbs.size() - at), 1);
            }
            return index.multiply(separator, squares);
        }
        for (const Value &item : items)
            terms.push_back(index.multiply(item, index.subtract(all, item)));
        return index.multiply(separator, index.sum(terms));
    }
};

} // namespace

Poly PolyArithmetic::monomial(std::uint64_t length, mp_limb_t coefficient) const
{
    Poly poly;
    poly.offset = length;
    poly.limbs.assign(width, 0);
    poly.limbs[0] = coefficient;
    return poly;
}

Poly PolyArithmetic::multiply(const Poly &a, const Poly &b) const
{
    if (isUnitMonomial(a) || isUnitMonomial(b)) {
        Poly result = isUnitMonomial(a) ? b : a;
        result.offset = a.offset + b.offset;
        return result;
    }
    const std::size_t slots = a.slots(width) + b.slots(width) - 1;
    const std::size_t an = trimmedSize(a.limbs);
    const std::size_t bn = trimmedSize(b.limbs);
    Poly result;
    result.offset = a.offset + b.offset;
    if (an == 0 || bn == 0) {
        result.limbs.assign(slots * width, 0);
        return result;
    }
    std::vector<mp_limb_t> product(an + bn);
    if (an >= bn)
        mpn_mul(product.data(), a.limbs.data(), static_cast<mp_size_t>(an), b.limbs.data(), static_cast<mp_size_t>(bn));
    else
        mpn_mul(product.data(), b.limbs.data(), static_cast<mp_size_t>(bn), a.limbs.data(), static_cast<mp_size_t>(an));
    product.resize(slots * width, 0);
    result.limbs = std::move(product);
    return result;
}

// Added in place into one polynomial that spans them all.
Poly PolyArithmetic::sum(std::span<const Poly> polys) const
{
    std::uint64_t low = UINT64_MAX;
    std::uint64_t high = 0;
    for (const Poly &poly : polys) {
        low = std::min(low, poly.offset);
        high = std::max<std::uint64_t>(high, poly.offset + poly.slots(width));
    }
    Poly total;
    total.offset = low;
    total.limbs.assign((high - low) * width, 0);
    for (const Poly &poly : polys) {
        mp_limb_t *at = total.limbs.data() + (poly.offset - low) * width;
        const mp_size_t size = static_cast<mp_size_t>(poly.limbs.size());
        const mp_limb_t carry = mpn_add_n(at, at, poly.limbs.data(), size);
        const mp_size_t rest = static_cast<mp_size_t>(total.limbs.data() + total.limbs.size() - at) - size;
        if (carry && rest > 0)
            mpn_add_1(at + size, at + size, rest, carry);
    }
    return total;
}

Poly PolyArithmetic::subtract(const Poly &a, const Poly &b) const
{
    Poly result = a;
    mp_limb_t *at = result.limbs.data() + (b.offset - a.offset) * width;
    const mp_size_t size = static_cast<mp_size_t>(b.limbs.size());
    const mp_limb_t borrow = mpn_sub_n(at, at, b.limbs.data(), size);
    const mp_size_t rest = static_cast<mp_size_t>(result.limbs.data() + result.limbs.size() - at) - size;
    if (borrow && rest > 0)
        mpn_sub_1(at + size, at + size, rest, borrow);
    return result;
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

// Count and byte total side by side: g counts the variants of each length,
// h sums their bytes. Joining two parts end to end, h of the whole is
// g1 h2 + h1 g2, as for counts and bytes of whole templates.
struct Weighted
{
    Poly g;
    Poly h;
};

struct WeightedAlgebra
{
    using Value = Weighted;
    const PolyArithmetic &math;
    const Program &program;

    Value text(std::uint64_t characters, std::uint64_t bytes) const
    {
        return { math.monomial(characters), math.monomial(characters, bytes) };
    }

    Value join(const Value &a, const Value &b) const
    {
        const Poly left = math.multiply(a.g, b.h);
        const Poly right = math.multiply(a.h, b.g);
        const Poly both[] = { left, right };
        return { math.multiply(a.g, b.g), math.sum(both) };
    }

    Value sequence(const Value &text, std::span<Value> groups) const
    {
        std::vector<Value> values { text };
        values.insert(values.end(), std::make_move_iterator(groups.begin()), std::make_move_iterator(groups.end()));
        return combineBalanced(values, [this](const Value &a, const Value &b) { return join(a, b); });
    }

    Value alternatives(std::span<Value> pieces) const { return sum(pieces); }

    Value sum(std::span<const Value> values) const
    {
        std::vector<Poly> g, h;
        for (const Value &value : values) {
            g.push_back(value.g);
            h.push_back(value.h);
        }
        return { math.sum(g), math.sum(h) };
    }

    Value pairs(const Value &separator, std::span<const Value> items) const
    {
        const Value all = sum(items);
        std::vector<Value> terms;
        for (const Value &item : items)
            terms.push_back(join(item, { math.subtract(all.g, item.g), math.subtract(all.h, item.h) }));
        return join(separator, sum(terms));
    }
};

void addRange(const PolyArithmetic &math, const Poly &poly, std::uint64_t min, std::uint64_t max, mpz_class &total,
    mpz_class *lengthTotal)
{
    total = 0;
    if (lengthTotal)
        *lengthTotal = 0;
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
    if (!program.literalMap) {
        // Every character is one byte.
        addRange(*this, whole, min, max, count, &bytes);
        return;
    }
    addRange(*this, whole, min, max, count, nullptr);
    // Byte totals per length reach the count times the longest variant's bytes.
    PolyArithmetic wide;
    const std::size_t extra = std::bit_width(program.figures.longestBytes + 1);
    wide.width = (mpz_sizeinbase(exactCount(program).get_mpz_t(), 2) + extra + 2 + GMP_NUMB_BITS - 1) / GMP_NUMB_BITS;
    const Weighted weighted
        = walkPostorder(program, WeightedAlgebra { wide, program }, [](std::uint32_t, const Weighted &) {});
    addRange(wide, weighted.h, min, max, bytes, nullptr);
}

SpectrumIndex::SpectrumIndex(const Program &compiled)
    : program(compiled)
{
    const mpz_class &count = exactCount(program);
    width = (mpz_sizeinbase(count.get_mpz_t(), 2) + 2 + GMP_NUMB_BITS - 1) / GMP_NUMB_BITS;
    const double bytes = double(spectrumSlots(program)) * double(width) * sizeof(mp_limb_t);
    const double budget = std::min(budgetCap, double(availableMemory()) / 2);
    // The template's own spectrum is one number of this many words, and the
    // last products that make it take time beyond its memory.
    const double rootWords = double(program.figures.longest - program.figures.shortest + 1) * double(width);
    if (!(bytes <= budget))
        throw LimitError(
            LimitError::Task::LengthCounts, LimitError::Resource::Memory, wholeAmount(bytes), wholeAmount(budget));
    if (!(rootWords <= rootWordsCap))
        throw LimitError(LimitError::Task::LengthCounts, LimitError::Resource::Work, wholeAmount(rootWords),
            wholeAmount(rootWordsCap));
    sequenceSpectrum.resize(program.sequences.size());
    groupSpectrum.resize(program.groups.size());
    walkPostorder(program, SpectrumAlgebra { *this, program }, [this](std::uint32_t node, const Poly &value) {
        if (node & groupTag)
            groupSpectrum[node & ~groupTag] = value;
        else
            sequenceSpectrum[node] = value;
    });
}

const SpectrumIndex &spectrumIndex(const Program &program)
{
    std::lock_guard lock(program.indexMutex);
    if (!program.spectrumIndex)
        program.spectrumIndex = std::make_shared<const SpectrumIndex>(program);
    return *program.spectrumIndex;
}

} // namespace razmnozhator::detail
