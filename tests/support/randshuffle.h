#pragma once

// The shuffle that the window and the tool share, written out here on its own
// so that tests can tell which order a seed must give: Fisher-Yates driven by
// std::rand(), for i = 1..n-1 swapping items i and rand() % (i+1), exactly
// n-1 draws. The caller seeds the generator.

#include <cstddef>
#include <vector>

namespace razmnozhator {

void shuffleWithRand(std::vector<std::size_t> &order);

} // namespace razmnozhator
