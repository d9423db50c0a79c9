#pragma once

// The rules that cut a list of variants down after generation: length
// bounds, optional shuffle, then a cap on the count, in that order.

#include "razmnozhator/lengthbounds.h"
#include "razmnozhator/lengthrule.h"
#include "razmnozhator/variantlist.h"

#include <cstdint>

namespace razmnozhator {

struct RestrictRules
{
    // A variant's length, by default in bytes.
    LengthRange lengths;
    std::uint64_t maxCount = UINT64_MAX;
    // Fisher-Yates driven by std::rand(): for i = 1..n-1, swap items i and
    // rand() % (i+1), n-1 draws in all. The caller decides whether the
    // generator is seeded.
    bool shuffle = false;
    // How a variant's length is counted. Under any rule but the plain one the
    // variants are measured as they are given, which must then be the bytes
    // of the text as written, and those it refuses are never kept.
    LengthRule rule {};
};

// Keeps the variants within the length bounds (in order), shuffles them when
// asked, then keeps the first maxCount.
VariantList restrictVariants(const VariantList &variants, const RestrictRules &rules);

} // namespace razmnozhator
