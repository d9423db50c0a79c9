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
    , bounded_(rules.lengths.bounds())
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
    shuffleWithRand(order_);
    if (order_.size() > rules_.maxCount)
        order_.resize(rules_.maxCount);
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
