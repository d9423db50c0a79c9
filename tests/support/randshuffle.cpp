#include "randshuffle.h"

#include <cstdlib>
#include <utility>

namespace razmnozhator {

void shuffleWithRand(std::vector<std::size_t> &order)
{
    for (std::size_t i = 1; i < order.size(); ++i) {
        const std::size_t drawn = static_cast<std::size_t>(std::rand()) % (i + 1);
        std::swap(order[i], order[drawn]);
    }
}

} // namespace razmnozhator
