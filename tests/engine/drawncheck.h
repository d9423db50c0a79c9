#pragma once

// The check shared by the tests of choices within lengths: what a sample or
// a listing gave is drawn from the variants kept.

#include "razmnozhator/engine.h"
#include "razmnozhator/sample.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
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

// Samples of three and of twenty, in both orders, all drawn from `kept`:
// twenty draws take the paths of bigger samples.
inline void expectSamplesDrawnFrom(const razmnozhator::CompiledTemplate &compiled, razmnozhator::LengthRange range,
    std::uint64_t seed, const std::vector<std::string> &kept)
{
    for (const unsigned long size : { 3ul, 20ul }) {
        for (const auto order : { razmnozhator::Sample::Order::Random, razmnozhator::Sample::Order::Template }) {
            razmnozhator::Sample sample(compiled, size, range, seed, order);
            std::vector<std::string> drawn;
            while (sample.next())
                drawn.emplace_back(sample.current());
            ASSERT_EQ(drawn.size(), std::min<std::size_t>(size, kept.size()));
            expectDrawnFrom(drawn, kept, order == razmnozhator::Sample::Order::Template);
        }
    }
}
