// The pairs sum of every semiring, 2 s e2(items), taken three ways: over all
// the items, as the affine map of the last item, and as the map of the
// separator, which is how deep chains of groups are evaluated.

#include "figures/algebra.h"
#include "figures/semirings.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <ostream>
#include <string>
#include <vector>

namespace {

using namespace razmnozhator::detail;

std::string show(const Dual &value)
{
    return value.count().get_str() + " " + value.bytes().get_str();
}
std::string show(const WordDual &value)
{
    return std::to_string(value.count) + " " + std::to_string(value.bytes);
}
std::string show(std::uint64_t value)
{
    return std::to_string(value);
}
std::string show(double value)
{
    char text[32];
    std::snprintf(text, sizeof text, "%.4f", value);
    return text;
}

template <class Semiring>
std::vector<std::string> threeWays(
    const Semiring &semiring, const typename Semiring::Value &separator, std::vector<typename Semiring::Value> items)
{
    const PairSums<Semiring> others(semiring, std::span(items).first(items.size() - 1));
    auto byItem = semiring.mul(others.itemFactor(separator), items.back());
    if (others.hasPairs())
        byItem = semiring.add(byItem, others.pairs(separator));
    const auto bySeparator = semiring.mul(PairSums<Semiring>(semiring, items).separatorFactor(), separator);
    return { show(Algebra<Semiring>(semiring).pairs(separator, items)), show(byItem), show(bySeparator) };
}

// Each row: the three values, evaluated once, and the one expected.
struct PairsCase
{
    const char *name;
    std::vector<std::string> values;
    std::string expected;
};

void PrintTo(const PairsCase &row, std::ostream *out)
{
    *out << row.name;
}

const mpz_class twoTo64 = mpz_class(1) << 64;

const PairsCase pairsCases[] = {
    { "ExactDualOfTwoItems", threeWays(ExactDual {}, { 1, 1 }, { { 2, 6 }, { 3, 3 } }), "12 60" },
    { "ExactDualOfThreeItems", threeWays(ExactDual {}, { 1, 1 }, { { 2, 6 }, { 3, 3 }, { 1, 4 } }), "22 128" },
    { "ExactDualBeyond64BitsOfTwoItems", threeWays(ExactDual {}, { 1, 0 }, { Dual(twoTo64, 0), { 3, 0 } }),
        "110680464442257309696 0" },
    { "ExactDualBeyond64BitsOfThreeItems", threeWays(ExactDual {}, { 1, 0 }, { Dual(twoTo64, 0), { 3, 0 }, { 1, 0 } }),
        "147573952589676412934 0" },
    { "SaturatingDualOfThreeItems", threeWays(SaturatingDual {}, { 1, 1 }, { { 2, 6 }, { 3, 3 }, { 1, 4 } }),
        "22 128" },
    { "SaturatingDualSticksAtItsLargest", threeWays(SaturatingDual {}, { 1, 0 }, { { 1ull << 63, 0 }, { 2, 0 } }),
        "18446744073709551615 0" },
    { "ShortestOfTwoItems", threeWays(Shortest<Measure::Characters> {}, 1, { 5, 2 }), "8" },
    { "ShortestOfThreeItems", threeWays(Shortest<Measure::Characters> {}, 1, { 5, 2, 3 }), "6" },
    { "LongestOfTwoItems", threeWays(Longest<Measure::Bytes> {}, 1, { 5, 2 }), "8" },
    { "LongestOfThreeItems", threeWays(Longest<Measure::Bytes> {}, 1, { 5, 2, 7 }), "13" },
    { "LogCountOfTwoItems", threeWays(LogCount {}, 0, { 1, 1.5849625007211562 }), "3.5850" },
    { "LogCountOfThreeItems", threeWays(LogCount {}, 0, { 1, 1.5849625007211562, 0 }), "4.4594" },
};

class Pairs : public testing::TestWithParam<PairsCase>
{
};

TEST_P(Pairs, SumOverOrderedPairsOfDifferentItems)
{
    EXPECT_EQ(GetParam().values, std::vector<std::string>(3, GetParam().expected));
}

INSTANTIATE_TEST_SUITE_P(EverySemiring, Pairs, testing::ValuesIn(pairsCases),
    [](const testing::TestParamInfo<PairsCase> &row) { return std::string(row.param.name); });

} // namespace
