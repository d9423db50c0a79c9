#pragma once

// Length spectra as polynomials: the sum over a node's variants of
// z^length, one slot of `width` machine words per length.
//
// Polynomials are multiplied as integers (Kronecker substitution): every
// coefficient gets a slot of the same number of machine words, wide enough
// for the template's whole count, so one big-integer product of the packed
// slots is the product of the polynomials, and GMP's fast multiplication does
// the convolution.

#include <gmp.h>

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <vector>

namespace razmnozhator::detail {

// Without slots when every length is above the cut; its offset is then
// still the shortest length.
//
// Under a length rule that refuses some variants (see RuleLengths), a part's
// lengths lie in short runs one period apart: one per number of limited
// bytes. Such a polynomial may hold only its runs (packed): `run` slots a
// row, slot a of row r for length first + r * period + a, which may lie
// below the offset or above the last length, holding zero there. A group of
// an optional comma then takes two slots, not a period of them.
struct Poly
{
    std::uint64_t offset = 0; // the shortest length
    std::vector<mp_limb_t> limbs; // stored slots of `width` words, lowest first
    std::uint64_t period = 0; // packed when not zero
    std::uint64_t run = 0;
    std::int64_t first = 0;

    bool packed() const { return period != 0; }
    // Times z^by.
    void shift(std::uint64_t by)
    {
        offset += by;
        first += std::int64_t(by);
    }
    std::size_t stored(std::size_t width) const { return limbs.size() / width; }
    // The lengths from the offset to the last one held.
    std::size_t slots(std::size_t width) const
    {
        if (!packed() || limbs.empty())
            return stored(width);
        const auto last = first + std::int64_t((stored(width) / run - 1) * period + run - 1);
        return last < std::int64_t(offset) ? 0 : std::size_t(last - std::int64_t(offset)) + 1;
    }
    // The length of stored slot `slot`.
    std::int64_t lengthOf(std::size_t slot) const
    {
        if (!packed())
            return std::int64_t(offset + slot);
        return first + std::int64_t(slot / run * period + slot % run);
    }
    // The coefficient of z^length, or null where none is held (zero).
    const mp_limb_t *at(std::int64_t length, std::size_t width) const
    {
        if (!packed()) {
            if (length < std::int64_t(offset) || std::uint64_t(length) - offset >= stored(width))
                return nullptr;
            return limbs.data() + (std::uint64_t(length) - offset) * width;
        }
        if (length < first)
            return nullptr;
        const auto from = std::uint64_t(length - first);
        const std::uint64_t slot = from / period * run + from % period;
        return from % period >= run || slot >= stored(width) ? nullptr : limbs.data() + slot * width;
    }
};

// The same coefficients, every slot from the offset on held: the polynomial
// itself when it holds them so already, else a copy made in scratch.
const Poly &unpacked(const Poly &poly, std::size_t width, Poly &scratch);

// Of running totals, slot by slot over the slots held (see runningTotals()),
// the one up to and including `length`: null below the shortest length, the
// last of a run between runs, the last held past the last.
inline const mp_limb_t *totalAt(const Poly &totals, std::size_t width, std::int64_t length)
{
    if (length < std::int64_t(totals.offset) || totals.limbs.empty())
        return nullptr;
    const std::size_t stored = totals.stored(width);
    if (!totals.packed())
        return totals.limbs.data() + std::min<std::uint64_t>(std::uint64_t(length) - totals.offset, stored - 1) * width;
    const auto from = std::uint64_t(length - totals.first);
    const std::uint64_t row = from / totals.period;
    const std::uint64_t slot = row * totals.run + std::min(from % totals.period, totals.run - 1);
    return totals.limbs.data() + std::min<std::uint64_t>(slot, stored - 1) * width;
}

inline constexpr std::uint64_t noCut = UINT64_MAX;

// Arithmetic on polynomials whose coefficients take `width` words each, cut
// above length `cut`.
struct PolyArithmetic
{
    std::size_t width = 1;
    std::uint64_t cut = noCut;
    // Under a length rule that refuses some variants, the period of its
    // windows (see RuleLengths): a node's lengths then lie in short runs one
    // period apart, which products and sums keep packed (see Poly). Zero
    // otherwise.
    std::uint64_t period = 0;

    // How many slots from length `offset` on the cut keeps.
    std::uint64_t slotsFrom(std::uint64_t offset) const
    {
        return offset > cut ? 0 : cut == noCut && offset == 0 ? noCut : cut - offset + 1;
    }

    Poly monomial(std::uint64_t length, mp_limb_t coefficient = 1) const;
    Poly multiply(const Poly &a, const Poly &b) const;
    std::optional<Poly> multiplyByRuns(const Poly &a, const Poly &b) const;
    Poly sum(std::span<const Poly> polys) const;
    Poly sum(std::span<const Poly *const> polys) const;
    // Coefficient of z^length, as a read-only big integer (shares the slot).
    void coefficient(const Poly &poly, std::uint64_t length, mpz_t out) const;
};

} // namespace razmnozhator::detail
