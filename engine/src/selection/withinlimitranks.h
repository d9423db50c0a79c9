#pragma once

// Ranks among the variants that a length rule's limit on limited bytes
// keeps, whatever their length, turned into the digits of their positions.
//
// Such a rule weighs a limited byte as a whole period of lengths (see
// RuleLengths), so its spectra and the rows that find a variant by rank are
// many times wider than the plain ones. Measured by its limited bytes
// alone, the same template is a handful of small lengths per group of its
// own sequence, and the limit is a bound on their sum: a sample whose bounds
// keep a good share of these variants draws among them and passes over the
// few that the bounds leave out, at the cost of narrow bounds under the
// plain rule.
//
// Groups whose choices all hold as many limited bytes ("free" groups, as
// most are) take any choice within the limit, so the variants within it
// are every choice of the free groups times the combinations of the other
// groups that fit what the limit leaves. A rank is split the same way: its
// remainder by the number of those combinations picks one of them, choice
// by choice from the ways to finish after each group within what is left
// of the limit, and its quotient is the free groups' digits in mixed radix.
// Ranks therefore do not follow the expansion order; each stands for one
// variant within the limit and each such variant has one rank.

#include "access/rootlengths.h"
#include "program/mixedradix.h"
#include "razmnozhator/engine.h"

#include <gmpxx.h>

#include <cstdint>
#include <memory>
#include <span>
#include <vector>

namespace razmnozhator::detail {

class WithinLimitRanks
{
public:
    // limitedOf writes the variant at a position and gives its number of
    // limited bytes. Null when ranks cannot become digits without a walk
    // (see RootLengths), when no variant is within the limit, or when the
    // ways to finish would take too much memory or work.
    static std::unique_ptr<WithinLimitRanks> make(
        const CompiledTemplate &compiled, std::uint64_t limit, const RootLengths::LengthOf &limitedOf);

    // How many variants the limit keeps.
    const mpz_class &count() const { return count_; }
    std::size_t groups() const { return lengths_->groups(); }
    // The digits of the variants of these ranks (below count()): those of
    // rank k from digits + k * groups() on.
    void digitsOf(std::span<const mpz_class> ranks, std::uint64_t *digits);
    void position(const std::uint64_t *digits, mpz_class &out) const { lengths_->position(digits, out); }

private:
    // A run of free groups whose counts multiply to below 2^32: its part of
    // the free digits is split with their reciprocals (mixedradix.h).
    struct Block
    {
        std::size_t begin = 0; // into free_
        std::size_t end = 0;
        std::uint64_t radix = 1;
    };

    WithinLimitRanks(CompiledTemplate compiled, std::unique_ptr<RootLengths> lengths);
    bool tabulate(std::uint64_t limit);
    void freeDigits(std::uint64_t *digits);
    void constrainedDigits(mp_limb_t *left, std::uint64_t *digits) const;
    const mp_limb_t *ways(std::size_t after, std::uint64_t budget) const
    {
        return ways_.data() + (after * (budget_ + 1) + budget) * width_;
    }

    // The template, whose program the lengths refer to.
    CompiledTemplate compiled_;
    std::unique_ptr<RootLengths> lengths_;
    // Free groups with more than one choice, and the radix of each.
    std::vector<std::size_t> free_;
    std::vector<Radix> radixes_;
    std::vector<Block> blocks_;
    mpz_class freeCount_;
    // The other groups, in order, and per group j and budget b the number
    // of choices of groups j on whose limited bytes add up to at most b,
    // in width_ words: ways(constrained_.size(), b) is 1.
    std::vector<std::size_t> constrained_;
    std::uint64_t budget_ = 0; // what the limit leaves them
    std::size_t width_ = 1;
    std::vector<mp_limb_t> ways_;
    mpz_class constrainedCount_;
    mpz_class count_;
    // Scratch for one rank.
    mpz_class quotient_;
    mpz_class remainder_;
    std::vector<mp_limb_t> left_;
};

} // namespace razmnozhator::detail
