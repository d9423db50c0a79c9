// How the choices of a pairs group are numbered and decoded: the order of
// the ordered pairs, the slots a pair fills, and the running counts that
// find a pair and its slots' residuals from a variant index.

#include "program/choicearithmetic.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <utility>
#include <vector>

namespace {

using namespace razmnozhator::detail;

TEST(ChoiceArithmetic, PairsOfThreeItemsInOrder)
{
    const std::vector<std::pair<std::uint32_t, std::uint32_t>> order { { 0, 1 }, { 0, 2 }, { 1, 0 }, { 1, 2 }, { 2, 0 },
        { 2, 1 } };
    EXPECT_EQ(pairCount(3), order.size());
    std::uint32_t first = 0;
    std::uint32_t second = 1;
    for (std::uint64_t index = 0; index < order.size(); ++index) {
        SCOPED_TRACE(index);
        EXPECT_EQ(std::make_pair(first, second), order[index]);
        EXPECT_EQ(pairIndex(order[index].first, order[index].second, 3), index);
        const GroupChoice pair = pairAt(index, 3);
        EXPECT_EQ(std::make_pair(pair.first, pair.second), order[index]);
        if (index + 1 < order.size())
            nextPair(first, second, 3);
    }
}

TEST(ChoiceArithmetic, SlotsOfAPairAndCompileOrder)
{
    const GroupChoice pair { 5, 2, 1 };
    EXPECT_EQ(slotPiece(GroupKind::Pairs, pair, 0), 3u);
    EXPECT_EQ(slotPiece(GroupKind::Pairs, pair, 1), 0u);
    EXPECT_EQ(slotPiece(GroupKind::Pairs, pair, 2), 2u);
    EXPECT_EQ(slotPiece(GroupKind::Alternatives, pair, 0), 5u);
    const std::vector<std::size_t> pairsOrder { pieceInCompileOrder(GroupKind::Pairs, 0),
        pieceInCompileOrder(GroupKind::Pairs, 1), pieceInCompileOrder(GroupKind::Pairs, 2),
        pieceInCompileOrder(GroupKind::Pairs, 3) };
    EXPECT_EQ(pairsOrder, (std::vector<std::size_t> { 2, 0, 1, 3 }));
    EXPECT_EQ(pieceInCompileOrder(GroupKind::Alternatives, 1), 1u);
}

// Items of 1, 2 and 3 variants and a separator of 2: 44 variants in all,
// the blocks of the first items 10, 16 and 18 long.
struct DecodeCase
{
    std::uint64_t variant;
    std::uint32_t first;
    std::uint32_t second;
    std::uint64_t choice;
    std::uint64_t slots[3];
};

class PairDecode : public testing::TestWithParam<DecodeCase>
{
protected:
    void SetUp() override
    {
        pairPrefixes<std::uint64_t>(
            3, 2, [&](std::uint32_t item) { return counts[item]; }, itemPrefix, pairPrefix);
    }

    const std::uint64_t counts[3] = { 1, 2, 3 };
    std::uint64_t itemPrefix[3] = {};
    std::uint64_t pairPrefix[3] = {};
};

TEST_F(PairDecode, RunningCounts)
{
    EXPECT_EQ(std::vector<std::uint64_t>(itemPrefix, itemPrefix + 3), (std::vector<std::uint64_t> { 0, 1, 3 }));
    EXPECT_EQ(std::vector<std::uint64_t>(pairPrefix, pairPrefix + 3), (std::vector<std::uint64_t> { 0, 10, 26 }));
}

TEST_P(PairDecode, FindsThePairAndItsSlots)
{
    const DecodeCase &c = GetParam();
    std::uint64_t slots[3];
    const GroupChoice pair = decodePair<std::uint64_t>(
        3, itemPrefix, pairPrefix, [&](std::uint32_t item) { return counts[item]; }, 2, c.variant, slots);
    EXPECT_EQ(pair.first, c.first);
    EXPECT_EQ(pair.second, c.second);
    EXPECT_EQ(pair.choice, c.choice);
    EXPECT_EQ(std::vector<std::uint64_t>(slots, slots + 3), std::vector<std::uint64_t>(c.slots, c.slots + 3));
}

INSTANTIATE_TEST_SUITE_P(ChoiceArithmetic, PairDecode,
    testing::Values(DecodeCase { 0, 0, 1, 0, { 0, 0, 0 } }, DecodeCase { 5, 0, 2, 1, { 0, 0, 1 } },
        DecodeCase { 11, 1, 0, 2, { 0, 1, 0 } }, DecodeCase { 25, 1, 2, 3, { 1, 1, 2 } },
        DecodeCase { 26, 2, 0, 4, { 0, 0, 0 } }, DecodeCase { 43, 2, 1, 5, { 2, 1, 1 } }));

} // namespace
