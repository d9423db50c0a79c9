#include "razmnozhator/restriction.h"

#include <cstdlib>
#include <numeric>
#include <utility>

namespace razmnozhator {

namespace {

void shuffleWithRand(std::vector<std::size_t> &order)
{
    for (std::size_t i = 1; i < order.size(); ++i) {
        const auto drawn = static_cast<unsigned>(std::rand());
        std::swap(order[i], order[drawn % (i + 1)]);
    }
}

} // namespace

Restriction::Restriction(const RestrictRules &rules, Holding holding, LengthOf lengthOf)
    : rules_(rules)
    , bounded_(rules.lengths.bounds() || !rules.rule.plain())
    , holding_(holding)
    , lengthOf_(lengthOf)
{
}

void Restriction::hold(std::string_view variant, std::size_t position)
{
    if (holding_ == Holding::Copies)
        held_.push_back(variant);
    else
        positions_.push_back(position);
}

void Restriction::shuffleHeld()
{
    if (holding_ == Holding::Copies) {
        order_.resize(held_.size());
        std::iota(order_.begin(), order_.end(), std::size_t(0));
    } else {
        order_ = std::move(positions_);
        positions_ = {};
    }
    if (order_.size() <= rules_.maxCount) {
        shuffleWithRand(order_);
        return;
    }
    // Only the first maxCount places survive the cut. Step i of the shuffle
    // swaps place i, which no earlier step has touched, with a place j <= i;
    // so a front place only ever receives the item still at its own start
    // place, and the front can be followed alone, with the same draws and
    // without the random writes all over millions of places.
    const std::size_t front = rules_.maxCount;
    for (std::size_t i = 1; i < order_.size(); ++i) {
        const std::size_t j = static_cast<unsigned>(std::rand()) % (i + 1);
        if (i < front)
            std::swap(order_[i], order_[j]);
        else if (j < front)
            order_[j] = order_[i];
    }
    order_.resize(front);
}

VariantList restrictVariants(const VariantList &variants, const RestrictRules &rules)
{
    Restriction restriction(rules, Restriction::Holding::Positions);
    std::vector<std::size_t> kept;
    for (std::size_t i = 0; i < variants.size() && restriction.wantsMore(); ++i) {
        if (restriction.offer(variants[i]))
            kept.push_back(i);
    }
    if (rules.shuffle) {
        restriction.shuffleHeld();
        kept = restriction.order();
    }

    std::size_t bytes = 0;
    for (const std::size_t index : kept)
        bytes += variants.lengthAt(index);
    VariantList result;
    result.reserve(kept.size(), bytes);
    for (const std::size_t index : kept)
        result.push_back(variants[index]);
    return result;
}

} // namespace razmnozhator
