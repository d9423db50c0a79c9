#include "selection/withinlimitranks.h"

#include "access/rangedecoder.h"
#include "figures/multiword.h"
#include "program/choicearithmetic.h"
#include "program/mixedradix.h"
#include "program/nodes.h"
#include "program/templateaccess.h"

#include <algorithm>
#include <map>

namespace razmnozhator::detail {

using namespace multiword;

namespace {

// The ways to finish are worth their memory up to this size, and the work
// of counting them up to this many word operations (a few milliseconds).
constexpr double waysBytesCap = 64.0 * 1024 * 1024;
constexpr double waysWorkCap = double(1 << 26);
// Free groups are split into runs whose counts multiply to below this.
constexpr std::uint64_t blockLimit = std::uint64_t(1) << 32;

} // namespace

WithinLimitRanks::WithinLimitRanks(CompiledTemplate compiled, std::unique_ptr<RootLengths> lengths)
    : compiled_(std::move(compiled))
    , lengths_(std::move(lengths))
{
}

std::unique_ptr<WithinLimitRanks> WithinLimitRanks::make(
    const CompiledTemplate &compiled, std::uint64_t limit, const RootLengths::LengthOf &limitedOf)
{
    // Measured by their limited bytes, the rule's own numbers of them: a
    // literal's as the engine counts it, a group's fewest.
    const Program &program = programOf(compiled);
    const RuleLengths &rule = program.ruleLengths;
    std::unique_ptr<RootLengths> lengths = RootLengths::make(program, limitedOf,
        { [&rule](std::uint32_t literal) { return std::uint64_t(rule.literalLimited[literal]); },
            [&](std::uint32_t group) { return rule.nodeRuns[groupNodeIndex(program, group)].fewest; } });
    if (!lengths)
        return nullptr;
    std::unique_ptr<WithinLimitRanks> made(new WithinLimitRanks(compiled, std::move(lengths)));
    if (!made->tabulate(limit))
        return nullptr;
    return made;
}

bool WithinLimitRanks::tabulate(std::uint64_t limit)
{
    const RootLengths &lengths = *lengths_;
    std::uint64_t fixed = lengths.literals();
    std::uint64_t longest = 0; // the most limited bytes the other groups hold
    freeCount_ = 1;
    mpz_class product = 1;
    for (std::size_t i = 0; i < groups(); ++i) {
        const std::uint64_t *choices = lengths.lengths(i);
        const auto [least, most] = std::minmax_element(choices, choices + lengths.count(i));
        if (*least == *most) {
            fixed += *least;
            if (lengths.count(i) > 1) {
                free_.push_back(i);
                radixes_.push_back(radixOf(lengths.count(i)));
                freeCount_ *= static_cast<unsigned long>(lengths.count(i));
            }
        } else {
            constrained_.push_back(i);
            longest += *most;
            product *= static_cast<unsigned long>(lengths.count(i));
        }
    }
    if (fixed > limit)
        return false;
    // Beyond the most they can hold, a larger budget leaves them no more choices.
    budget_ = std::min(limit - fixed, longest);

    // The counts are at most the product of the groups' counts, in `full`
    // words while they are worked out.
    const std::size_t full = std::max<std::size_t>(mpz_size(product.get_mpz_t()), 1);
    const std::size_t rows = constrained_.size() + 1;
    const double slots = double(rows) * double(budget_ + 1);
    if (!(slots * double(full) * sizeof(mp_limb_t) <= waysBytesCap))
        return false;
    // Choices of one length count together: their number times the ways after.
    std::vector<std::vector<std::pair<std::uint64_t, mp_limb_t>>> byLength(constrained_.size());
    double work = 0;
    for (std::size_t j = 0; j < constrained_.size(); ++j) {
        std::map<std::uint64_t, mp_limb_t> seen;
        const std::size_t i = constrained_[j];
        for (std::uint64_t v = 0; v < lengths.count(i); ++v)
            ++seen[lengths.lengths(i)[v]];
        byLength[j].assign(seen.begin(), seen.end());
        work += double(seen.size()) * double(budget_ + 1) * double(full);
    }
    if (!(work <= waysWorkCap))
        return false;
    std::vector<mp_limb_t> table(std::size_t(slots) * full, 0);
    const auto at = [&](std::size_t after, std::uint64_t budget) {
        return table.data() + (after * (budget_ + 1) + budget) * full;
    };
    for (std::uint64_t b = 0; b <= budget_; ++b)
        at(constrained_.size(), b)[0] = 1;
    for (std::size_t j = constrained_.size(); j-- > 0;) {
        for (std::uint64_t b = 0; b <= budget_; ++b) {
            for (const auto &[length, choices] : byLength[j]) {
                if (length > b)
                    break;
                addProduct(at(j, b), at(j + 1, b - length), full, choices);
            }
        }
    }
    const mp_limb_t *all = at(0, budget_);
    mpz_import(constrainedCount_.get_mpz_t(), full, -1, sizeof(mp_limb_t), 0, 0, all);
    if (constrainedCount_ == 0)
        return false;
    count_ = freeCount_ * constrainedCount_;

    // A rank's remainder is below the constrained count, and every count that
    // choosing it reads is a part of the count before it: all fit its words,
    // and the words above them are dropped.
    width_ = mpz_size(constrainedCount_.get_mpz_t());
    ways_.resize(std::size_t(slots) * width_);
    for (std::size_t slot = 0; slot < std::size_t(slots); ++slot)
        std::copy_n(table.data() + slot * full, width_, ways_.data() + slot * width_);
    left_.resize(width_);

    std::uint64_t radix = 1;
    for (std::size_t f = 0; f < free_.size(); ++f) {
        const std::uint64_t count = lengths.count(free_[f]);
        if (blocks_.empty() || radix * count >= blockLimit) {
            blocks_.push_back({ f, f, 1 });
            radix = 1;
        }
        radix *= count;
        blocks_.back().end = f + 1;
        blocks_.back().radix = radix;
    }
    return true;
}

void WithinLimitRanks::digitsOf(std::span<const mpz_class> ranks, std::uint64_t *digits)
{
    const std::size_t groups = this->groups();
    for (const mpz_class &rank : ranks) {
        std::fill_n(digits, groups, 0);
        mpz_tdiv_qr(quotient_.get_mpz_t(), remainder_.get_mpz_t(), rank.get_mpz_t(), constrainedCount_.get_mpz_t());
        freeDigits(digits);
        std::fill(left_.begin(), left_.end(), 0);
        std::copy_n(mpz_limbs_read(remainder_.get_mpz_t()), mpz_size(remainder_.get_mpz_t()), left_.data());
        constrainedDigits(left_.data(), digits);
        digits += groups;
    }
}

// The quotient in mixed radix over the free groups, the first changing slowest.
void WithinLimitRanks::freeDigits(std::uint64_t *digits)
{
    for (std::size_t k = blocks_.size(); k-- > 0;) {
        const Block &block = blocks_[k];
        std::uint64_t residual
            = k == 0 ? quotient_.get_ui() : mpz_tdiv_q_ui(quotient_.get_mpz_t(), quotient_.get_mpz_t(), block.radix);
        splitMixedRadix(
            residual, block.end - block.begin, [&](std::size_t f) { return radixes_[block.begin + f]; },
            [&](std::size_t f, std::uint64_t digit) { digits[free_[block.begin + f]] = digit; });
    }
}

// The choice of each other group, first to last: the first whose ways to
// finish within what the limit leaves outnumber what is left of the rank,
// after subtracting those of the choices before it.
void WithinLimitRanks::constrainedDigits(mp_limb_t *left, std::uint64_t *digits) const
{
    std::uint64_t budget = budget_;
    if (width_ == 1) {
        // On one word, without a branch on the rank: random ranks would
        // mispredict about every other one. The choice is the number of
        // choices whose ways up to and including them are at most the rank.
        std::uint64_t rest = left[0];
        for (std::size_t j = 0; j < constrained_.size(); ++j) {
            const std::size_t i = constrained_[j];
            const std::uint64_t *choices = lengths_->lengths(i);
            const std::uint64_t count = lengths_->count(i);
            const mp_limb_t *after = ways(j + 1, 0);
            std::uint64_t upTo = 0;
            std::uint64_t before = 0;
            std::uint64_t digit = 0;
            for (std::uint64_t v = 0; v < count; ++v) {
                const bool fits = choices[v] <= budget;
                upTo += fits ? after[budget - (fits ? choices[v] : 0)] : 0;
                const bool past = upTo <= rest;
                digit += past;
                before = past ? upTo : before;
            }
            digits[i] = digit;
            rest -= before;
            budget -= choices[digit];
        }
        return;
    }
    WordsRank rank { left, nullptr, width_ };
    for (std::size_t j = 0; j < constrained_.size(); ++j) {
        const std::size_t i = constrained_[j];
        const std::uint64_t *choices = lengths_->lengths(i);
        digits[i] = chooseByWeight(lengths_->count(i), rank,
            [&](std::uint64_t v) { return choices[v] > budget ? nullptr : ways(j + 1, budget - choices[v]); });
        budget -= choices[digits[i]];
    }
}

} // namespace razmnozhator::detail
