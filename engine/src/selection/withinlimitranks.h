#pragma once

// Ranks among the variants that a length rule's limit on uncounted bytes
// keeps, whatever their length, turned into the digits of their positions.
//
// Such a rule weighs an uncounted byte as a whole period of lengths (see
// RuleLengths), so its spectra and the rows that find a variant by rank are
// many times wider than the plain ones. Measured by its uncounted bytes
// alone, the same template has spectra of a few slots, and the limit is a
// bound on that length: a sample whose bounds keep a good share of these
// variants draws among them and passes over the few that the bounds leave
// out, at the cost of narrow bounds under the plain rule.

#include "access/rangedecoder.h"
#include "access/rootlengths.h"

#include <gmpxx.h>

#include <cstdint>
#include <memory>
#include <span>

namespace razmnozhator::detail {

class WithinLimitRanks
{
public:
    // `measured` is the template with each variant's length its number of
    // uncounted bytes, and lengthOf writes its variant at a position and
    // gives that length. Null when ranks cannot become digits without a
    // walk (see RootLengths), or not within the budget of the look-ups.
    static std::unique_ptr<WithinLimitRanks> make(
        const Program &measured, std::uint64_t limit, const RootLengths::LengthOf &lengthOf);

    // How many variants the limit keeps.
    const mpz_class &count() const { return count_; }
    std::size_t groups() const { return lengths_->groups(); }
    // The digits of the variants of these ranks (below count()): those of
    // rank k from digits + k * groups() on.
    void digitsOf(std::span<const mpz_class> ranks, std::uint64_t *digits);
    void position(const std::uint64_t *digits, mpz_class &out) const { lengths_->position(digits, out); }

private:
    WithinLimitRanks(const Program &measured, std::uint64_t limit);

    RangeDecoder ranks_;
    Window window_;
    std::unique_ptr<RootLengths> lengths_;
    mpz_class count_;
};

} // namespace razmnozhator::detail
