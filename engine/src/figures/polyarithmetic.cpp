#include "figures/polyarithmetic.h"

#include "figures/multiword.h"

#include <algorithm>
#include <utility>

namespace razmnozhator::detail {

namespace {

bool isUnitMonomial(const Poly &poly)
{
    return multiword::trimmedSize(poly.limbs.data(), poly.limbs.size()) == 1 && poly.limbs[0] == 1;
}

std::size_t trimmedSize(const std::vector<mp_limb_t> &limbs, std::size_t size)
{
    return multiword::trimmedSize(limbs.data(), size);
}

std::size_t trimmedSize(const std::vector<mp_limb_t> &limbs)
{
    return trimmedSize(limbs, limbs.size());
}

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

} // namespace razmnozhator::detail
