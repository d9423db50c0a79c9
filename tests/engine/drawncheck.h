#pragma once

// The check shared by the tests of choices within lengths: what a sample or
// a listing gave is drawn from the variants kept.

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

// Each of `got` at a different position of `kept`, in order when `ordered`:
// unordered, both sorted, the same check is that of a sub-multiset.
inline void expectDrawnFrom(std::vector<std::string> got, std::vector<std::string> kept, bool ordered)
{
    if (!ordered) {
        std::ranges::sort(got);
        std::ranges::sort(kept);
    }
    auto at = kept.begin();
    for (const std::string &variant : got) {
        at = std::find(at, kept.end(), variant);
        ASSERT_NE(at, kept.end()) << variant << " out of order, not kept, or more often than kept";
        ++at;
    }
}
