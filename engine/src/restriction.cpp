#include "razmnozhator/restriction.h"

#include <cstdlib>
#include <utility>

namespace razmnozhator {

void shuffleWithRand(std::vector<std::size_t> &order)
{
    for (std::size_t i = 1; i < order.size(); ++i) {
        const auto drawn = static_cast<unsigned>(std::rand());
        std::swap(order[i], order[drawn % (i + 1)]);
    }
}

VariantList restrictVariants(const VariantList &variants, const RestrictRules &rules)
{
    std::vector<std::size_t> kept;
    for (std::size_t i = 0; i < variants.size(); ++i) {
        if (lengthAllowed(variants.lengthAt(i), rules))
            kept.push_back(i);
    }
    if (rules.shuffle)
        shuffleWithRand(kept);
    if (kept.size() > rules.maxCount)
        kept.resize(rules.maxCount);

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
