// How the choices of a pairs group are numbered and decoded: the order of
// the ordered pairs, the slots a pair fills, and the running counts that
// find a pair and its slots' residuals from a variant index; choosing by
// weight, and positions split into digits of mixed radix.

#include "program/choicearithmetic.h"
#include "program/mixedradix.h"
#include "program/windowsums.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

namespace {

using namespace razmnozhator::detail;

TEST(ChoiceArithmetic, PairsOfThreeItemsInOrder)
{
    const std::vector<std::pair<std::uint32_t, std::uint32_t>> order { { 0, 1 }, { 0, 2 }, { 1, 0 }, { 1, 2 }, { 2, 0 },
        { 2, 1 } };
    Group group {};
    group.pieceCount = 4;
    group.choices = Pairs::count(3);
    EXPECT_EQ(group.choices, order.size());
    GroupChoice walked = Pairs::first(group);
    for (std::uint64_t index = 0; index < order.size(); ++index) {
        SCOPED_TRACE(index);
        EXPECT_EQ(std::make_pair(walked.first, walked.second), order[index]);
        EXPECT_EQ(Pairs::index(group, walked), index);
        const GroupChoice pair = Pairs::at(group, index);
        EXPECT_EQ(std::make_pair(pair.first, pair.second), order[index]);
        EXPECT_EQ(Pairs::next(group, walked), index + 1 < order.size());
    }
}

TEST(ChoiceArithmetic, SlotsOfAPairAndCompileOrder)
{
    const GroupChoice pair { 5, 2, 1 };
    EXPECT_EQ(Pairs::slotPiece(pair, 0), 3u);
    EXPECT_EQ(Pairs::slotPiece(pair, 1), 0u);
    EXPECT_EQ(Pairs::slotPiece(pair, 2), 2u);
    EXPECT_EQ(Alternatives::slotPiece(pair, 0), 5u);
    const std::vector<std::size_t> pairsOrder { Pairs::pieceCompiled(0), Pairs::pieceCompiled(1),
        Pairs::pieceCompiled(2), Pairs::pieceCompiled(3) };
    EXPECT_EQ(pairsOrder, (std::vector<std::size_t> { 2, 0, 1, 3 }));
    EXPECT_EQ(Alternatives::pieceCompiled(1), 1u);
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

// The separator is sequence 3, the items sequences 0 to 2.
class PairDecode : public testing::TestWithParam<DecodeCase>
{
protected:
    void SetUp() override
    {
        program.pieces = { 3, 0, 1, 2 };
        group.pieceCount = 4;
        Pairs::prefixes<std::uint64_t>(program, group, count, prefix);
    }

    static std::uint64_t count(std::uint32_t sequence)
    {
        constexpr std::uint64_t counts[] = { 1, 2, 3, 2 };
        return counts[sequence];
    }
    Program program;
    Group group {};
    std::uint64_t prefix[6] = {};
};

TEST_F(PairDecode, RunningCounts)
{
    EXPECT_EQ(std::vector<std::uint64_t>(prefix, prefix + 6), (std::vector<std::uint64_t> { 0, 1, 3, 0, 10, 26 }));
}

TEST_P(PairDecode, FindsThePairAndItsSlots)
{
    const DecodeCase &c = GetParam();
    std::uint64_t slots[3];
    const GroupChoice pair = Pairs::decode<std::uint64_t>(program, group, prefix, count, c.variant, slots);
    EXPECT_EQ(pair.first, c.first);
    EXPECT_EQ(pair.second, c.second);
    EXPECT_EQ(pair.choice, c.choice);
    EXPECT_EQ(std::vector<std::uint64_t>(slots, slots + 3), std::vector<std::uint64_t>(c.slots, c.slots + 3));
}

INSTANTIATE_TEST_SUITE_P(ChoiceArithmetic, PairDecode,
    testing::Values(DecodeCase { 0, 0, 1, 0, { 0, 0, 0 } }, DecodeCase { 5, 0, 2, 1, { 0, 0, 1 } },
        DecodeCase { 11, 1, 0, 2, { 0, 1, 0 } }, DecodeCase { 25, 1, 2, 3, { 1, 1, 2 } },
        DecodeCase { 26, 2, 0, 4, { 0, 0, 0 } }, DecodeCase { 43, 2, 1, 5, { 2, 1, 1 } }));

// A rank of one word, as the decoders keep theirs in many.
struct WordRank
{
    std::uint64_t left;
    bool within(std::uint64_t weight)
    {
        if (left < weight)
            return true;
        left -= weight;
        return false;
    }
    void flip(std::uint64_t weight) { left = weight - 1 - left; }
    bool upperHalf(std::uint64_t total) const { return left >= total / 2; }
};

// Choices of weights 3, 0, 4 and 2: nine variants.
struct ChooseCase
{
    const char *name;
    std::uint64_t rank;
    bool fromEitherEnd;
    std::uint64_t choice;
    std::uint64_t within;
};

class ChooseByWeight : public testing::TestWithParam<ChooseCase>
{
};

TEST_P(ChooseByWeight, FindsTheChoiceAndTheRankWithinIt)
{
    const ChooseCase &c = GetParam();
    const std::uint64_t weights[] = { 3, 0, 4, 2 };
    WordRank rank { c.rank };
    const std::uint64_t total = c.fromEitherEnd ? 9 : 0;
    const std::uint64_t choice = chooseWithTotal(
        4, rank, [&](std::uint64_t v) { return weights[v]; }, total);
    EXPECT_EQ(choice, c.choice);
    EXPECT_EQ(rank.left, c.within);
}

INSTANTIATE_TEST_SUITE_P(ChoiceArithmetic, ChooseByWeight,
    testing::Values(ChooseCase { "FirstOfFirst", 0, false, 0, 0 }, ChooseCase { "LastOfFirst", 2, false, 0, 2 },
        ChooseCase { "EmptyChoicePassedOver", 3, false, 2, 0 }, ChooseCase { "LastChoiceUnweighed", 8, false, 3, 1 },
        ChooseCase { "FromEndLastChoice", 8, true, 3, 1 }, ChooseCase { "FromEndMiddle", 5, true, 2, 2 },
        ChooseCase { "FromEndFirstChoiceTakesTheRest", 6, true, 2, 3 },
        ChooseCase { "LowerHalfFromStart", 1, true, 0, 1 }),
    [](const testing::TestParamInfo<ChooseCase> &row) { return std::string(row.param.name); });

TEST(ChoiceArithmetic, PairChosenByWeightOfBlocksThenPairs)
{
    // Three items; pair (first, second) weighs first + second + 1.
    Group group {};
    group.pieceCount = 4;
    group.choices = 6;
    const auto pair = [](std::uint32_t first, std::uint32_t second) { return std::uint64_t(first + second + 1); };
    const auto block = [&](std::uint64_t first) {
        std::uint64_t sum = 0;
        for (std::uint32_t other = 0; other < 2; ++other)
            sum += pair(std::uint32_t(first), Pairs::other(std::uint32_t(first), other));
        return sum;
    };
    // Blocks of 5, 7 and 9; in block 1, pairs (1, 0) of 2 and (1, 2) of 4.
    WordRank rank { 8 };
    const GroupChoice chosen = Pairs::choose(group, rank, block, pair);
    EXPECT_EQ(chosen.first, 1u);
    EXPECT_EQ(chosen.second, 2u);
    EXPECT_EQ(chosen.choice, 3u);
    EXPECT_EQ(rank.left, 1u);
}

// Digits of radixes 3, 5, 7 (below 2^32, split by reciprocals) and 2^40.
TEST(MixedRadix, SplitsAndJoinsBack)
{
    const std::uint64_t radixes[] = { 3, 5, 7, std::uint64_t(1) << 40 };
    const std::vector<std::uint64_t> digits { 2, 4, 6, 123456789 };
    mpz_class joined;
    joinMixedRadix(
        4, [&](std::size_t i) { return radixes[i]; }, [&](std::size_t i) { return digits[i]; }, joined);
    // ((2 * 5 + 4) * 7 + 6) * 2^40 + 123456789
    EXPECT_EQ(joined, mpz_class(104) * (mpz_class(1) << 40) + 123456789);
    for (const std::uint64_t position : { std::uint64_t(0), std::uint64_t(104), std::uint64_t(3 * 5 * 7 - 1) }) {
        std::vector<std::uint64_t> split(3);
        splitMixedRadix(
            position, 3, [&](std::size_t i) { return radixOf(radixes[i]); },
            [&](std::size_t i, std::uint64_t digit) { split[i] = digit; });
        EXPECT_EQ(split[0] * 35 + split[1] * 7 + split[2], position);
        EXPECT_LT(split[1], 5u);
        EXPECT_LT(split[2], 7u);
    }
    std::uint64_t large = (std::uint64_t(1) << 40) * 6 + 77;
    EXPECT_EQ(takeDigit(large, radixOf(std::uint64_t(1) << 40)), 77u);
    EXPECT_EQ(large, 6u);
}

// Windows two apart, three of them, over the totals 1, 2, ..., 10 (none
// below 0): W(x) = T(x) + T(x - 2) + T(x - 4).
struct Windows
{
    std::vector<std::int64_t> sums = std::vector<std::int64_t>(10);
    static std::int64_t total(std::int64_t t) { return t < 0 ? 0 : t + 1; }
    void clear(std::int64_t x) { sums[std::size_t(x)] = 0; }
    void copy(std::int64_t x, std::int64_t from) { sums[std::size_t(x)] = sums[std::size_t(from)]; }
    void add(std::int64_t x, std::int64_t t) { sums[std::size_t(x)] += total(t); }
    void subtract(std::int64_t x, std::int64_t t) { sums[std::size_t(x)] -= total(t); }
};

TEST(WindowSums, EachFromTheOneAStepBefore)
{
    Windows windows;
    sumOverWindows(windows, 0, 9, 2, 3);
    EXPECT_EQ(windows.sums, (std::vector<std::int64_t> { 1, 2, 4, 6, 9, 12, 15, 18, 21, 24 }));
}

} // namespace
