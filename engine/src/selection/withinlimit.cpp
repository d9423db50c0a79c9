// Passing over, under a rule's limit on uncounted bytes, among the variants
// within the limit rather than all the positions: the permutation numbers
// ranks among them, which become positions a batch of digits at a time
// (see withinlimitranks.h). Such ranks do not follow the expansion order:
// the sample is as uniform, and template order sorts positions.

#include "selection/passingover.h"
#include "selection/withinlimitranks.h"

#include <vector>

namespace razmnozhator::detail {

namespace {

// Ranks turned into digits at once.
constexpr std::size_t batchSize = 64;

class WithinLimit final : public PassingOver
{
public:
    WithinLimit(DrawPlan plan, std::unique_ptr<WithinLimitRanks> ranks)
        : PassingOver(std::move(plan), ranks->count(), Permutation::Domain::PowerOfTwo)
        , ranks_(std::move(ranks))
    {
    }

protected:
    mpz_class positionOf(const mpz_class &rank) override
    {
        std::vector<std::uint64_t> its(ranks_->groups());
        ranks_->digitsOf({ &rank, 1 }, its.data());
        mpz_class at;
        ranks_->position(its.data(), at);
        return at;
    }

    Candidate nextCandidate(mpz_class &position) override
    {
        const std::uint64_t *choices = nextDigits();
        if (plan_.rootLengths && !keeps(plan_.rootLengths->lengthOf(choices)))
            return Candidate::Outside;
        ranks_->position(choices, position);
        return plan_.rootLengths ? Candidate::Kept : Candidate::Unknown;
    }

private:
    // The digits of the variant at the permutation's next index.
    const std::uint64_t *nextDigits()
    {
        const std::size_t groups = ranks_->groups();
        if (next_ == filled_) {
            const mpz_class left = ranks_->count() - nextIndex_;
            const std::size_t filled = left < batchSize ? left.get_ui() : batchSize;
            batch_.resize(filled);
            for (std::size_t k = 0; k < filled; ++k)
                batch_[k] = permutation_->at(nextIndex_ + k);
            digits_.resize(filled * groups);
            ranks_->digitsOf(batch_, digits_.data());
            filled_ = filled;
            next_ = 0;
        }
        ++nextIndex_;
        return digits_.data() + next_++ * groups;
    }

    std::unique_ptr<WithinLimitRanks> ranks_;
    std::vector<mpz_class> batch_;
    std::vector<std::uint64_t> digits_;
    std::size_t next_ = 0;
    std::size_t filled_ = 0;
};

} // namespace

std::unique_ptr<Draws> drawWithinLimit(DrawPlan plan, std::unique_ptr<WithinLimitRanks> ranks)
{
    auto made = std::make_unique<WithinLimit>(std::move(plan), std::move(ranks));
    made->start();
    return made;
}

} // namespace razmnozhator::detail
