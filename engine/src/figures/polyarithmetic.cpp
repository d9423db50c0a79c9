#include "figures/polyarithmetic.h"

#include "figures/multiword.h"

#include <algorithm>
#include <utility>

namespace razmnozhator::detail {

namespace {

bool isUnitMonomial(const Poly &poly)
{
    return !poly.packed() && multiword::trimmedSize(poly.limbs.data(), poly.limbs.size()) == 1 && poly.limbs[0] == 1;
}

std::size_t trimmedSize(const std::vector<mp_limb_t> &limbs, std::size_t size)
{
    return multiword::trimmedSize(limbs.data(), size);
}

bool isZero(const mp_limb_t *slot, std::size_t width)
{
    return std::all_of(slot, slot + width, [](mp_limb_t limb) { return limb == 0; });
}

// a mod b, at least zero.
std::int64_t floorMod(std::int64_t a, std::uint64_t b)
{
    const std::int64_t r = a % std::int64_t(b);
    return r < 0 ? r + std::int64_t(b) : r;
}

} // namespace

const Poly &unpacked(const Poly &poly, std::size_t width, Poly &scratch)
{
    if (!poly.packed())
        return poly;
    Poly &result = scratch;
    result = Poly {};
    result.offset = poly.offset;
    result.limbs.assign(poly.slots(width) * width, 0);
    for (std::size_t slot = 0; slot < poly.stored(width); ++slot) {
        const std::int64_t length = poly.lengthOf(slot);
        // Slots outside the lengths held are zero.
        if (length < std::int64_t(poly.offset) || std::uint64_t(length) - poly.offset >= result.stored(width))
            continue;
        std::copy_n(poly.limbs.data() + slot * width, width,
            result.limbs.data() + (std::uint64_t(length) - poly.offset) * width);
    }
    return result;
}

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

// The product of the numbers in a and b (the longer first), in slots of
// `width` words: `slots` of them, the rest dropped.
std::vector<mp_limb_t> productOf(
    const std::vector<mp_limb_t> &a, const std::vector<mp_limb_t> &b, std::size_t width, std::size_t slots)
{
    const std::size_t an = trimmedSize(a, std::min(a.size(), slots * width));
    const std::size_t bn = trimmedSize(b, std::min(b.size(), slots * width));
    if (an == 0 || bn == 0)
        return std::vector<mp_limb_t>(slots * width, 0);
    std::vector<mp_limb_t> product(an + bn);
    if (an >= bn)
        multiplyWords(a.data(), an, b.data(), bn, product.data());
    else
        multiplyWords(b.data(), bn, a.data(), an, product.data());
    product.resize(slots * width, 0);
    return product;
}

// Where the lengths of polynomials lie modulo a period: every coefficient
// other than zero sits at a length first + row * period + at, with at below
// span; first may lie below their offsets.
struct Runs
{
    std::int64_t first = 0;
    std::uint64_t span = 0;
    std::uint64_t rows = 0;
};

// The runs that hold every length of polys, or none when they hold none.
// Each poly holds an arc of residues modulo the period: its run, or when
// not packed, the residues from its offset on for as many as it has slots.
// The runs start right after the longest stretch of residues no arc covers.
std::optional<Runs> runsOf(std::span<const Poly *const> polys, std::size_t width, std::uint64_t period)
{
    std::vector<std::pair<std::uint64_t, std::uint64_t>> arcs; // first residue, how many
    std::int64_t lowest = INT64_MAX;
    std::int64_t highest = INT64_MIN;
    for (const Poly *poly : polys) {
        if (poly->limbs.empty())
            continue;
        lowest = std::min(lowest, poly->lengthOf(0));
        highest = std::max(highest, poly->lengthOf(poly->stored(width) - 1));
        const bool ownRuns = poly->packed() && poly->period == period;
        arcs.emplace_back(std::uint64_t(floorMod(ownRuns ? poly->first : std::int64_t(poly->offset), period)),
            std::min<std::uint64_t>(ownRuns ? poly->run : poly->stored(width), period));
    }
    if (arcs.empty())
        return std::nullopt;
    std::sort(arcs.begin(), arcs.end());
    std::uint64_t start = arcs.front().first;
    std::uint64_t longestGap = 0;
    // Arcs that go past the last residue cover the first ones too.
    std::uint64_t reach = arcs.front().first + arcs.front().second;
    for (const auto &[first, length] : arcs)
        reach = std::max(reach, first + length > period ? first + length - period : 0);
    for (std::size_t i = 1; i <= arcs.size(); ++i) {
        // Going round, the first arc comes again one period on.
        const std::uint64_t next = i < arcs.size() ? arcs[i].first : arcs.front().first + period;
        if (next > reach && next - reach > longestGap) {
            longestGap = next - reach;
            start = next % period;
        }
        if (i < arcs.size())
            reach = std::max(reach, arcs[i].first + arcs[i].second);
    }
    Runs runs;
    runs.span = period - longestGap;
    runs.first = lowest - floorMod(lowest - std::int64_t(start), period);
    runs.rows = std::uint64_t(highest - runs.first) / period + 1;
    return runs;
}

std::optional<Runs> runsOf(const Poly &poly, std::size_t width, std::uint64_t period)
{
    if (poly.packed() && poly.period == period && !poly.limbs.empty())
        return Runs { poly.first, poly.run, poly.stored(width) / poly.run };
    const Poly *one[] = { &poly };
    return runsOf(one, width, period);
}

// The coefficients of a polynomial within those runs, each run in `stride`
// slots, its rows one after another; added in, when `into` holds some.
void packInto(const Poly &poly, std::size_t width, std::uint64_t period, const Runs &runs, std::uint64_t stride,
    std::uint64_t rows, std::vector<mp_limb_t> &into)
{
    for (std::size_t slot = 0; slot < poly.stored(width); ++slot) {
        const mp_limb_t *from = poly.limbs.data() + slot * width;
        if (isZero(from, width))
            continue;
        const auto relative = std::uint64_t(poly.lengthOf(slot) - runs.first);
        const std::uint64_t row = relative / period;
        if (row >= rows)
            continue;
        mp_limb_t *to = into.data() + (row * stride + relative % period) * width;
        // The sum fits the slot: the widths are those of the sum's bits.
        mpn_add_n(to, to, from, static_cast<mp_size_t>(width));
    }
}

// Packed with these runs, from `rows` rows of `stride` slots.
Poly packedPoly(
    std::uint64_t offset, std::uint64_t period, std::int64_t first, std::uint64_t stride, std::vector<mp_limb_t> limbs)
{
    Poly poly;
    poly.offset = offset;
    poly.period = period;
    poly.run = stride;
    poly.first = first;
    poly.limbs = std::move(limbs);
    return poly;
}

} // namespace

// Lengths in short runs one period apart multiply as rows of runs packed
// tight: the product of two runs is a run as long as both together, shorter
// than the period, so rows do not overlap, and the product stays packed.
// Null when the runs together are longer than the period.
std::optional<Poly> PolyArithmetic::multiplyByRuns(const Poly &a, const Poly &b) const
{
    const std::optional<Runs> aRuns = runsOf(a, width, period);
    const std::optional<Runs> bRuns = runsOf(b, width, period);
    if (!aRuns || !bRuns)
        return std::nullopt;
    const std::uint64_t stride = aRuns->span + bRuns->span - 1;
    if (stride > period)
        return std::nullopt;
    const std::int64_t first = aRuns->first + bRuns->first;
    const std::uint64_t offset = a.offset + b.offset;
    // Rows wholly above the cut add nothing.
    std::uint64_t rows = aRuns->rows + bRuns->rows - 1;
    if (cut != noCut) {
        const auto last = std::int64_t(cut);
        rows = last < first ? 0 : std::min<std::uint64_t>(rows, std::uint64_t(last - first) / period + 1);
    }
    if (rows == 0)
        return Poly { offset, {} };
    const std::uint64_t aRows = std::min(aRuns->rows, rows);
    const std::uint64_t bRows = std::min(bRuns->rows, rows);
    std::vector<mp_limb_t> aPacked(aRows * stride * width, 0);
    std::vector<mp_limb_t> bPacked(bRows * stride * width, 0);
    packInto(a, width, period, *aRuns, stride, aRows, aPacked);
    packInto(b, width, period, *bRuns, stride, bRows, bPacked);
    Poly product = packedPoly(offset, period, first, stride, productOf(aPacked, bPacked, width, rows * stride));
    // What lies above the cut was made of factors cut themselves: dropped.
    if (cut != noCut) {
        for (std::size_t slot = product.stored(width); slot-- > 0 && product.lengthOf(slot) > std::int64_t(cut);)
            std::fill_n(product.limbs.data() + slot * width, width, 0);
    }
    if (product.slots(width) == 0)
        return Poly { offset, {} };
    return product;
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
        if (!other.packed()) {
            const std::size_t kept = std::min<std::uint64_t>(other.slots(width), room) * width;
            result.limbs.assign(other.limbs.begin(), other.limbs.begin() + std::ptrdiff_t(kept));
            return result;
        }
    }
    // Two polynomials of one run each, whose product is one run too, need
    // no packing.
    const bool oneRun = !a.packed() && !b.packed() && a.slots(width) + b.slots(width) <= period;
    if (period != 0 && !oneRun) {
        if (std::optional<Poly> product = multiplyByRuns(a, b))
            return std::move(*product);
    }
    Poly aScratch, bScratch;
    const Poly &aWhole = unpacked(a, width, aScratch);
    const Poly &bWhole = unpacked(b, width, bScratch);
    const std::size_t slots = std::min<std::uint64_t>(aWhole.slots(width) + bWhole.slots(width) - 1, room);
    // The slots of either factor above the cut add only to slots above it.
    result.limbs = productOf(aWhole.limbs, bWhole.limbs, width, slots);
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
    for (const Poly *held : polys) {
        if (held->limbs.empty())
            continue;
        Poly scratch;
        const Poly *poly = &unpacked(*held, width, scratch);
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
    if (period == 0)
        return sumOf(width, polys);
    // Alternatives whose lengths share short runs, as a comma or none, keep
    // to them.
    const std::optional<Runs> runs = runsOf(polys, width, period);
    if (!runs || runs->rows == 1)
        return sumOf(width, polys);
    std::vector<mp_limb_t> limbs(runs->rows * runs->span * width, 0);
    std::uint64_t low = UINT64_MAX;
    for (const Poly *poly : polys) {
        if (poly->limbs.empty())
            continue;
        low = std::min(low, poly->offset);
        packInto(*poly, width, period, *runs, runs->span, runs->rows, limbs);
    }
    return packedPoly(low, period, runs->first, runs->span, std::move(limbs));
}

void PolyArithmetic::coefficient(const Poly &poly, std::uint64_t length, mpz_t out) const
{
    static const mp_limb_t zero = 0;
    const mp_limb_t *slot = length > std::uint64_t(INT64_MAX) ? nullptr : poly.at(std::int64_t(length), width);
    if (!slot) {
        mpz_roinit_n(out, &zero, 0);
        return;
    }
    mpz_roinit_n(out, slot, static_cast<mp_size_t>(width));
}

} // namespace razmnozhator::detail
