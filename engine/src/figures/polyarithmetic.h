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
struct Poly
{
    std::uint64_t offset = 0; // the length of slot 0
    std::vector<mp_limb_t> limbs; // slots * width words, lowest slot first

    std::size_t slots(std::size_t width) const { return limbs.size() / width; }
};

inline constexpr std::uint64_t noCut = UINT64_MAX;

// Arithmetic on polynomials whose coefficients take `width` words each, cut
// above length `cut`.
struct PolyArithmetic
{
    std::size_t width = 1;
    std::uint64_t cut = noCut;
    // Under a length rule that refuses some variants, the period of its
    // windows (see RuleLengths): a node's lengths then lie in short runs one
    // period apart, which products multiply packed tight. Zero otherwise.
    std::uint64_t period = 0;

    // How many slots from length `offset` on the cut keeps.
    std::uint64_t slotsFrom(std::uint64_t offset) const
    {
        return offset > cut ? 0 : cut == noCut && offset == 0 ? noCut : cut - offset + 1;
    }

    Poly monomial(std::uint64_t length, mp_limb_t coefficient = 1) const;
    Poly multiply(const Poly &a, const Poly &b) const;
    std::optional<Poly> multiplyByRuns(const Poly &a, const Poly &b, std::uint64_t room) const;
    Poly sum(std::span<const Poly> polys) const;
    Poly sum(std::span<const Poly *const> polys) const;
    // Coefficient of z^length, as a read-only big integer (shares the slot).
    void coefficient(const Poly &poly, std::uint64_t length, mpz_t out) const;
};

} // namespace razmnozhator::detail
