#include "selection/draws.h"

#include "selection/withinlimitranks.h"

namespace razmnozhator::detail {

WithinLimit::WithinLimit(DrawPlan plan, std::unique_ptr<WithinLimitRanks> ranks)
    : PassingOver(std::move(plan), ranks->count(), Permutation::Domain::PowerOfTwo)
    , ranks_(std::move(ranks))
{
}

WithinLimit::~WithinLimit() = default;

mpz_class WithinLimit::positionOf(const mpz_class &rank)
{
    std::vector<std::uint64_t> its(ranks_->groups());
    ranks_->digitsOf({ &rank, 1 }, its.data());
    mpz_class at;
    ranks_->position(its.data(), at);
    return at;
}

// The digits of the permutation's next rank, a batch of ranks at a time.
PassingOver::Candidate WithinLimit::nextCandidate(mpz_class &position)
{
    const std::size_t groups = ranks_->groups();
    if (next_ == filled_) {
        const mpz_class left = ranks_->count() - nextIndex_;
        filled_ = left < drawBatch ? left.get_ui() : drawBatch;
        batch_.resize(filled_);
        for (std::size_t k = 0; k < filled_; ++k)
            batch_[k] = permutation_->at(nextIndex_ + k);
        digits_.resize(filled_ * groups);
        ranks_->digitsOf(batch_, digits_.data());
        next_ = 0;
    }
    ++nextIndex_;
    const std::uint64_t *choices = digits_.data() + next_++ * groups;
    if (plan_.rootLengths && !keeps(plan_.rootLengths->lengthOf(choices)))
        return Candidate::Outside;
    ranks_->position(choices, position);
    return plan_.rootLengths ? Candidate::Kept : Candidate::Unknown;
}

} // namespace razmnozhator::detail
