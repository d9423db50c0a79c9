// Drawing ranks among the kept variants a batch at a time: with the lengths
// of the template's own groups noted, a rank becomes their digits, then a
// position, without a walk (see RangeDecoder::rootDigits()).

#include "selection/rankdraws.h"

#include "access/rangedecoder.h"
#include "listing/window.h"
#include "program/templateaccess.h"

#include <vector>

namespace razmnozhator::detail {

namespace {

// Ranks turned into positions at once.
constexpr std::size_t batchSize = 64;

class DigitDraws final : public RankDraws
{
public:
    explicit DigitDraws(DrawPlan plan)
        : RankDraws(std::move(plan))
        , ranks_(programOf(plan_.compiled))
        , digits_(plan_.rootLengths->groups() * batchSize)
    {
    }

    bool next() override
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

private:
    bool fillBatch()
    {
        batch_.resize(batchSize);
        std::size_t filled = 0;
        while (filled < batchSize && nextRank(batch_[filled]))
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

    RangeDecoder ranks_;
    std::vector<std::uint64_t> digits_;
    std::vector<mpz_class> batch_;
    std::vector<mpz_class> positions_;
    std::size_t nextInBatch_ = 0;
    bool batchByDigits_ = false;
};

} // namespace

std::unique_ptr<Draws> drawByDigits(DrawPlan plan)
{
    return std::make_unique<DigitDraws>(std::move(plan));
}

} // namespace razmnozhator::detail
