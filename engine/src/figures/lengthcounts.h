#pragma once

// Length spectra: how many variants a node has of each length, as the
// polynomial sum over its variants of z^length: the same algebra as the
// counts (algebra.h), which are the spectra at z = 1.
// Their arithmetic is polyarithmetic.h.

#include "figures/polyarithmetic.h"
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

// Indexes cut at other lengths than the last few asked for are let go, but
// live on while a reader holds them.
inline constexpr std::size_t cutIndexesKept = 4;

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
    // The count alone, which needs no byte totals.
    mpz_class rangeCount(std::uint64_t min, std::uint64_t max) const;
};

// Spectra that serve every question whose lengths end at `max`: one built
// already, whole or cut higher up, or else built now, once per program and
// cut, and kept for the next questions. They are cut at `max` when that
// keeps at most a quarter of the template's own spectrum, or the whole ones
// do not fit, or always with `cutAtMax`.
std::shared_ptr<const SpectrumIndex> spectrumIndex(
    const Program &program, std::uint64_t max = noCut, bool cutAtMax = false);

// The number of variants within the windows of [min, max] (see
// SpectrumIndex::rangeFigures()), from spectra cut at max that are let go
// at once, and without the template's own, the biggest product: for a count
// alone. Throws LimitError like SpectrumIndex.
mpz_class countWithinWindows(const Program &program, std::uint64_t min, std::uint64_t max);
// The byte total within the windows of [min, max], from spectra cut at `cut`
// with byte totals beside them, made the same way.
mpz_class bytesWithinWindows(const Program &program, std::uint64_t cut, std::uint64_t min, std::uint64_t max);

// The numbers of variants by their lengths by the rule, from `shortest` to
// `longest`, under a rule's windows (see RuleLengths): each sums the rows of
// its length over the numbers of limited bytes, read off the template's two
// last factors without making their product. Nothing when that would take
// much more work than the product. Throws LimitError like SpectrumIndex.
std::optional<std::vector<mpz_class>> countsByRuleLength(
    const Program &program, std::uint64_t shortest, std::uint64_t longest);

// An index kept already that serves questions ending at `max`, or null.
std::shared_ptr<const SpectrumIndex> keptSpectrumIndex(const Program &program, std::uint64_t max);

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
