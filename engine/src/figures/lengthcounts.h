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

#include "program/program.h"

#include <gmp.h>

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <string>
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
// Indexes cut at other lengths than the last few asked for are let go, but
// live on while a reader holds them.
inline constexpr std::size_t cutIndexesKept = 4;

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

class SpectrumIndex : public PolyArithmetic
{
public:
    // Throws LimitError when the spectra would take too much memory or time.
    // Lengths above `cut` are dropped (see above).
    SpectrumIndex(const Program &program, std::uint64_t cut);

    const Program &program;
    std::vector<Poly> sequenceSpectrum; // per sequence
    std::vector<Poly> groupSpectrum; // per group

    // Count and total bytes of the variants with a length in [min, max]
    // (max at most the cut), and under a length rule's repeats, in the
    // windows below it as well (see RuleLengths).
    void rangeFigures(std::uint64_t min, std::uint64_t max, mpz_class &count, mpz_class &bytes) const;
};

// Spectra that serve every question whose lengths end at `max`: one built
// already, whole or cut higher up, or else built now, once per program and
// cut, and kept for the next questions. They are cut at `max` when that
// keeps at most a quarter of the template's own spectrum, or the whole ones
// do not fit, or always with `cutAtMax`.
std::shared_ptr<const SpectrumIndex> spectrumIndex(
    const Program &program, std::uint64_t max = noCut, bool cutAtMax = false);

// For tests: every question that ends below the longest length gets
// spectra cut at its own end, unless some kept already serve it.
extern std::atomic<bool> cutAtEveryEnd;

// Of the index kept whole and those kept cut, the one with the lowest cut
// at or above `max`.
template <class Index, class CutOf>
std::shared_ptr<const Index> servingIndex(const std::shared_ptr<const Index> &whole,
    const std::vector<std::shared_ptr<const Index>> &cut, std::uint64_t max, CutOf cutOf)
{
    std::shared_ptr<const Index> best = whole;
    for (const auto &index : cut) {
        if (cutOf(*index) >= max && (!best || cutOf(*index) < cutOf(*best)))
            best = index;
    }
    return best;
}

} // namespace razmnozhator::detail
