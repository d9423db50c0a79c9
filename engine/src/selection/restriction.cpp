#include "razmnozhator/restriction.h"

#include <cstdlib>
#include <optional>
#include <string_view>
#include <utility>
#include <vector>

namespace razmnozhator {

namespace {

bool withinLengths(std::string_view variant, const RestrictRules &rules)
{
    if (rules.rule.plain())
        return rules.lengths.contains(variant.size());
    const std::optional<std::uint64_t> length = rules.rule.lengthOf(variant);
    return length && rules.lengths.contains(*length);
}

// The shuffle of the rules, cut at the cap. Only the first maxCount places
// survive the cut. Step i swaps place i, which no earlier step has touched,
// with a place j <= i; so a front place only ever receives the item still at
// its own start place, and the front can be followed alone, with the same
// draws and without the random writes all over millions of places.
void shuffleAndCut(std::vector<std::size_t> &order, std::uint64_t maxCount)
{
    const std::size_t front = order.size() <= maxCount ? order.size() : static_cast<std::size_t>(maxCount);
    for (std::size_t i = 1; i < order.size(); ++i) {
        const std::size_t j = static_cast<unsigned>(std::rand()) % (i + 1);
        if (i < front)
            std::swap(order[i], order[j]);
        else if (j < front)
            order[j] = order[i];
    }
    order.resize(front);
}

} // namespace

VariantList restrictVariants(const VariantList &variants, const RestrictRules &rules)
{
    // Without bounds a variant's length is not needed, and measuring it by a
    // rule would cost a pass over every variant.
    const bool bounded = rules.lengths.bounds() || !rules.rule.plain();
    std::vector<std::size_t> kept;
    for (std::size_t i = 0; i < variants.size() && (rules.shuffle || kept.size() < rules.maxCount); ++i) {
        if (!bounded || withinLengths(variants[i], rules))
            kept.push_back(i);
    }
    if (rules.shuffle)
        shuffleAndCut(kept, rules.maxCount);

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
