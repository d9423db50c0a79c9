#pragma once

// Length spectra: how many variants a node has of each length, as the
// polynomial sum over its variants of z^length: the same algebra as the
// counts (algebra.h), which are the spectra at z = 1.
//
// Polynomials are multiplied as integers (Kronecker substitution): every
// coefficient gets a slot of the same number of machine words, wide enough
// for the template's whole count, so one big-integer product of the packed
// slots is the product of the polynomials, and GMP's fast multiplication does
// the convolution.

#include "program.h"

#include <gmp.h>

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

namespace razmnozhator::detail {

struct Poly
{
    std::uint64_t offset = 0; // the length of slot 0
    std::vector<mp_limb_t> limbs; // slots * width words, lowest slot first

    std::size_t slots(std::size_t width) const { return limbs.size() / width; }
};

// Arithmetic on polynomials whose coefficients take `width` words each.
struct PolyArithmetic
{
    std::size_t width = 1;

    Poly monomial(std::uint64_t length, mp_limb_t coefficient = 1) const;
    Poly multiply(const Poly &a, const Poly &b) const;
    Poly sum(std::span<const Poly> polys) const;
    Poly sum(std::span<const Poly *const> polys) const;
    Poly add(const Poly &a, const Poly &b) const;
    // Coefficient of z^length, as a read-only big integer (shares the slot).
    void coefficient(const Poly &poly, std::uint64_t length, mpz_t out) const;
};

class SpectrumIndex : public PolyArithmetic
{
public:
    // Throws LimitError when the spectra would take too much memory or time.
    explicit SpectrumIndex(const Program &program);

    const Program &program;
    std::vector<Poly> sequenceSpectrum; // per sequence
    std::vector<Poly> groupSpectrum; // per group

    // Count and total bytes of the variants with a length in [min, max].
    void rangeFigures(std::uint64_t min, std::uint64_t max, mpz_class &count, mpz_class &bytes) const;
};

// Built once per program, on first use.
const SpectrumIndex &spectrumIndex(const Program &program);

} // namespace razmnozhator::detail
