#include "selection/draws.h"

#include <algorithm>

namespace razmnozhator::detail {

// A sample in template order sorts one slice of its ranks at a time, in
// about this much memory.
constexpr std::uint64_t sliceBytes = std::uint64_t(32) << 20;

RankDraws::RankDraws(DrawPlan plan)
    : Draws(std::move(plan))
{
    if (plan_.size == 0)
        return;
    // Builds the index that random access reads now, so that a template
    // beyond its budget is refused here and not at the first variant.
    walker_.seekInRange(0, plan_.range);
    permutation_ = std::make_unique<Permutation>(plan_.kept, plan_.random);
    if (plan_.order == Sample::Order::Template) {
        const std::uint64_t rankBytes = mpz_sizeinbase(plan_.kept.get_mpz_t(), 256) + sizeof(mpz_class) + 16;
        const std::uint64_t perSlice = std::max<std::uint64_t>(1024, sliceBytes / rankBytes);
        slices_ = mpz_class((plan_.size + perSlice - 1) / perSlice).get_ui();
        fillSlice();
    }
}

void RankDraws::skip(mpz_class count)
{
    if (!permutation_ || count <= 0)
        return;
    if (plan_.order == Sample::Order::Random) {
        nextIndex_ = nextIndex_ + count < plan_.size ? mpz_class(nextIndex_ + count) : plan_.size;
        drawn_ = nextIndex_.get_ui();
        return;
    }
    while (count > 0) {
        const mpz_class left = held_.size() - nextHeld_;
        if (count < left) {
            nextHeld_ += count.get_ui();
            return;
        }
        count -= left;
        nextHeld_ = held_.size();
        if (slice_ + 1 >= slices_)
            return;
        ++slice_;
        fillSlice();
    }
}

bool RankDraws::next()
{
    countDraw();
    mpz_class rank;
    if (!nextRank(rank))
        return false;
    show(rank);
    return true;
}

void RankDraws::show(const mpz_class &rank)
{
    walker_.seekInRange(rank, plan_.range);
    walker_.next();
}

bool RankDraws::nextRank(mpz_class &rank)
{
    if (!permutation_)
        return false;
    if (plan_.order == Sample::Order::Template) {
        while (nextHeld_ == held_.size()) {
            if (++slice_ >= slices_)
                return false;
            fillSlice();
        }
        rank = held_[nextHeld_++];
        return true;
    }
    if (nextIndex_ >= plan_.size)
        return false;
    rank = permutation_->at(nextIndex_);
    ++nextIndex_;
    return true;
}

// The sample's ranks that fall into the current slice of [0, kept), sorted.
void RankDraws::fillSlice()
{
    held_.clear();
    nextHeld_ = 0;
    const mpz_class low = plan_.kept * slice_ / slices_;
    const mpz_class high = plan_.kept * (slice_ + 1) / slices_;
    for (mpz_class i = 0; i < plan_.size; ++i) {
        mpz_class rank = permutation_->at(i);
        if (rank >= low && rank < high)
            held_.push_back(std::move(rank));
    }
    std::sort(held_.begin(), held_.end());
}

} // namespace razmnozhator::detail
