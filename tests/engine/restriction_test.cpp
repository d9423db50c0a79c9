// The cut-down rules shared by the window and the command-line tool. The
// shuffle must draw from std::rand() exactly as documented, because users get
// the same orders on every fresh start and the two front ends must agree.

#include "razmnozhator/restriction.h"

#include "randshuffle.h"

#include "testtext.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <numeric>
#include <string>
#include <utility>
#include <vector>

namespace {

using testtext::listOf;

using razmnozhator::RestrictRules;
using razmnozhator::VariantList;
using Strings = std::vector<std::string>;

RestrictRules rules(std::uint64_t minLength, std::uint64_t maxLength, std::uint64_t maxCount)
{
    RestrictRules result;
    result.lengths = { minLength, maxLength };
    result.maxCount = maxCount;
    return result;
}

struct RestrictCase
{
    const char *name;
    Strings lines;
    RestrictRules rules;
    Strings expected;
};

void PrintTo(const RestrictCase &c, std::ostream *out)
{
    *out << c.name;
}

const Strings mixed = { "", "a", "bb", "ccc", "dddd", "bb", "\xE0\xE1\xE2", "eeeee" };

const RestrictCase restrictCases[] = {
    { "DefaultsKeepEverything", mixed, RestrictRules {}, mixed },
    { "BoundsAreInclusive", mixed, rules(2, 4, 100), { "bb", "ccc", "dddd", "bb", "\xE0\xE1\xE2" } },
    { "MinimumZeroKeepsEmptyLines", mixed, rules(0, 1, 100), { "", "a" } },
    { "MaximumZeroKeepsOnlyEmptyLines", { "x", "", "yy", "" }, rules(0, 0, 100), { "", "" } },
    { "MinimumEqualsMaximum", mixed, rules(2, 2, 100), { "bb", "bb" } },
    { "MinimumAboveMaximumKeepsNothing", mixed, rules(4, 3, 100), {} },
    { "CyrillicByteCountsAsOneCharacter", mixed, rules(3, 3, 100), { "ccc", "\xE0\xE1\xE2" } },
    { "MaxCountZeroKeepsNothing", mixed, rules(0, 100, 0), {} },
    { "MaxCountKeepsTheFirstInOrder", mixed, rules(1, 100, 3), { "a", "bb", "ccc" } },
    { "MaxCountAppliesAfterLengthFilter", mixed, rules(3, 100, 2), { "ccc", "dddd" } },
    { "MaxCountEqualToSurvivorsKeepsAll", mixed, rules(4, 100, 2), { "dddd", "eeeee" } },
    { "MaxCountAboveSurvivorsKeepsAll", mixed, rules(4, 100, 1000), { "dddd", "eeeee" } },
    { "DuplicatesStay", { "aa", "aa", "b", "aa" }, rules(2, 2, 10), { "aa", "aa", "aa" } },
    { "EmptyInput", {}, rules(0, 100, 100), {} },
    { "LongestPossibleBound", { std::string(70000, 'x'), "y" }, rules(0, UINT32_MAX, UINT32_MAX),
        { std::string(70000, 'x'), "y" } },
};

class RestrictWithoutShuffle : public testing::TestWithParam<RestrictCase>
{
};

TEST_P(RestrictWithoutShuffle, KeepsSurvivorsInOrder)
{
    const RestrictCase &c = GetParam();
    EXPECT_EQ(testtext::toStrings(razmnozhator::restrictVariants(listOf(c.lines), c.rules)), c.expected);
}

INSTANTIATE_TEST_SUITE_P(Rules, RestrictWithoutShuffle, testing::ValuesIn(restrictCases),
    [](const testing::TestParamInfo<RestrictCase> &row) { return std::string(row.param.name); });

RestrictRules shuffled(RestrictRules r)
{
    r.shuffle = true;
    return r;
}

// The documented shuffle, written out independently of the engine's.
std::vector<std::size_t> documentedShuffle(std::size_t n)
{
    std::vector<std::size_t> order(n);
    std::iota(order.begin(), order.end(), std::size_t { 0 });
    razmnozhator::shuffleWithRand(order);
    return order;
}

// "0", "1", ... as many as asked.
Strings numbered(std::size_t n)
{
    Strings lines;
    for (std::size_t i = 0; i < n; ++i)
        lines.push_back(std::to_string(i));
    return lines;
}

// What std::rand() returns once `draws` numbers have been taken after seeding.
int nextRandAfter(unsigned seed, std::size_t draws)
{
    std::srand(seed);
    for (std::size_t i = 0; i < draws; ++i)
        (void)std::rand();
    return std::rand();
}

struct ShuffleCase
{
    const char *name;
    std::size_t size;
    unsigned seed;
};

void PrintTo(const ShuffleCase &c, std::ostream *out)
{
    *out << c.name;
}

const ShuffleCase shuffleCases[] = {
    { "NoItems", 0, 7 },
    { "OneItem", 1, 7 },
    { "TwoItems", 2, 7 },
    { "ThreeItems", 3, 12345 },
    { "TenItems", 10, 1 },
    { "ThousandItems", 1000, 99 },
    { "ThousandItemsOtherSeed", 1000, 100 },
};

class Shuffle : public testing::TestWithParam<ShuffleCase>
{
};

TEST_P(Shuffle, FollowsDocumentedAlgorithmAndDrawsOneLessThanSize)
{
    const ShuffleCase &c = GetParam();
    std::srand(c.seed);
    const std::vector<std::size_t> expected = documentedShuffle(c.size);
    const std::size_t draws = c.size == 0 ? 0 : c.size - 1;
    const int expectedNext = nextRandAfter(c.seed, draws);

    Strings expectedLines;
    for (const std::size_t index : expected)
        expectedLines.push_back(std::to_string(index));
    std::srand(c.seed);
    const VariantList result = razmnozhator::restrictVariants(listOf(numbered(c.size)), shuffled(RestrictRules {}));
    EXPECT_EQ(std::rand(), expectedNext) << "the shuffle drew a different number of values";
    EXPECT_EQ(testtext::toStrings(result), expectedLines);
}

TEST_P(Shuffle, RestrictShufflesSurvivorsThenCuts)
{
    const ShuffleCase &c = GetParam();
    // Every other line is too short, so the shuffle must run on survivors only.
    Strings lines;
    Strings survivors;
    for (std::size_t i = 0; i < 2 * c.size; ++i) {
        lines.push_back(i % 2 == 0 ? std::string(1, static_cast<char>('a' + i % 26)) : "long" + std::to_string(i));
        if (i % 2 == 1)
            survivors.push_back(lines.back());
    }
    RestrictRules cut = rules(3, UINT64_MAX, c.size / 2);
    cut.shuffle = true;

    std::srand(c.seed);
    const std::vector<std::size_t> order = documentedShuffle(survivors.size());
    Strings expected;
    for (std::size_t i = 0; i < cut.maxCount; ++i)
        expected.push_back(survivors[order[i]]);
    const int expectedNext = std::rand();

    std::srand(c.seed);
    const VariantList result = razmnozhator::restrictVariants(listOf(lines), cut);
    EXPECT_EQ(std::rand(), expectedNext) << "restrict drew a different number of values";
    EXPECT_EQ(testtext::toStrings(result), expected);
}

INSTANTIATE_TEST_SUITE_P(WithRand, Shuffle, testing::ValuesIn(shuffleCases),
    [](const testing::TestParamInfo<ShuffleCase> &row) { return std::string(row.param.name); });

TEST(ShuffleOrder, SameSeedSameOrderOtherSeedOtherOrder)
{
    const VariantList lines = listOf(numbered(200));
    const auto shuffledWith = [&lines](unsigned seed) {
        std::srand(seed);
        return testtext::toStrings(razmnozhator::restrictVariants(lines, shuffled(RestrictRules {})));
    };
    const Strings first = shuffledWith(2024);
    EXPECT_EQ(shuffledWith(2024), first);
    EXPECT_NE(shuffledWith(2025), first);
    EXPECT_NE(first, testtext::toStrings(lines));
    Strings sorted = first;
    std::sort(sorted.begin(), sorted.end());
    Strings identity = testtext::toStrings(lines);
    std::sort(identity.begin(), identity.end());
    EXPECT_EQ(sorted, identity) << "a shuffle must be a permutation";
}

TEST(ShuffleOrder, ShuffleOffDrawsNothing)
{
    std::srand(31);
    const int expectedNext = std::rand();
    std::srand(31);
    RestrictRules noShuffle = rules(0, 100, 2);
    noShuffle.shuffle = false;
    const VariantList result = razmnozhator::restrictVariants(listOf({ "c", "b", "a" }), noShuffle);
    EXPECT_EQ(std::rand(), expectedNext);
    EXPECT_EQ(testtext::toStrings(result), Strings({ "c", "b" }));
}

} // namespace
