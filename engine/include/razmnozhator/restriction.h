#pragma once

// The rules that cut a result list down after generation: length bounds,
// optional shuffle, then a cap on the count. Shared by the window and the
// command-line tool so that both cut exactly alike.

#include "razmnozhator/variantlist.h"

#include <cstddef>
#include <cstdint>
#include <vector>

namespace razmnozhator {

struct RestrictRules
{
    // Inclusive bounds on a variant's length in bytes.
    std::uint32_t minLength = 0;
    std::uint32_t maxLength = UINT32_MAX;
    std::uint32_t maxCount = UINT32_MAX;
    bool shuffle = false;
};

inline bool lengthAllowed(std::size_t length, const RestrictRules &rules) noexcept
{
    return length >= rules.minLength && length <= rules.maxLength;
}

// Fisher-Yates driven by std::rand(): for i = 1..n-1, swap items i and rand() % (i+1).
// Draws exactly n-1 numbers. The caller decides whether the generator is seeded.
void shuffleWithRand(std::vector<std::size_t> &order);

// Keeps the variants within the length bounds (in order), shuffles them when
// asked, then keeps the first maxCount.
VariantList restrictVariants(const VariantList &variants, const RestrictRules &rules);

} // namespace razmnozhator
