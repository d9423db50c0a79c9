#include "selection/draws.h"

#include "listing/window.h"
#include "program/templateaccess.h"

namespace razmnozhator::detail {

DigitDraws::DigitDraws(DrawPlan plan)
    : RankDraws(std::move(plan))
    , ranks_(programOf(plan_.compiled))
    , digits_(plan_.rootLengths->groups() * drawBatch)
{
}

bool DigitDraws::next()
{
    countDraw();
    if (nextInBatch_ == batch_.size() && !fillBatch())
        return false;
    const std::size_t k = nextInBatch_++;
    if (batchByDigits_)
        walker_.seek(positions_[k]);
    else
        walker_.seekInRange(batch_[k], plan_.range);
    return walker_.next();
}

bool DigitDraws::fillBatch()
{
    batch_.resize(drawBatch);
    std::size_t filled = 0;
    while (filled < drawBatch && nextRank(batch_[filled]))
        ++filled;
    batch_.resize(filled);
    nextInBatch_ = 0;
    if (filled == 0)
        return false;
    const RootLengths &lengths = *plan_.rootLengths;
    batchByDigits_
        = ranks_.rootDigits(batch_, windowOf(programOf(plan_.compiled), plan_.range), lengths, digits_.data());
    positions_.resize(filled);
    for (std::size_t k = 0; batchByDigits_ && k < filled; ++k)
        lengths.position(digits_.data() + k * lengths.groups(), positions_[k]);
    return true;
}

} // namespace razmnozhator::detail
