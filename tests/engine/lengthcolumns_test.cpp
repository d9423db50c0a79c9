// The numbers of variants of every length, as the window's chart reads them.

#include "razmnozhator/engine.h"

#include "testtext.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

namespace {

using testtext::times;

struct ColumnsCase
{
    const char *name;
    std::string text;
    std::size_t maxColumns;
    std::uint64_t shortest;
    std::uint64_t longest;
    std::uint64_t lengthsPerColumn;
    std::vector<std::string> columns;
    std::uint64_t mostFrequent;
    std::string mostFrequentCount;
};

class Columns : public testing::TestWithParam<ColumnsCase>
{
};

TEST_P(Columns, ColumnsAndMostFrequentLength)
{
    const ColumnsCase &row = GetParam();
    const auto figures = razmnozhator::CompiledTemplate::compile(row.text).lengthColumns(row.maxColumns);
    EXPECT_EQ(figures.shortest, row.shortest);
    EXPECT_EQ(figures.longest, row.longest);
    EXPECT_EQ(figures.lengthsPerColumn, row.lengthsPerColumn);
    std::vector<std::string> columns;
    for (const mpz_class &column : figures.columns)
        columns.push_back(column.get_str());
    EXPECT_EQ(columns, row.columns);
    EXPECT_EQ(figures.mostFrequent, row.mostFrequent);
    EXPECT_EQ(figures.mostFrequentCount.get_str(), row.mostFrequentCount);
}

const std::string googol = "1" + std::string(100, '0');

INSTANTIATE_TEST_SUITE_P(LengthColumns, Columns,
    testing::Values(
        ColumnsCase { "one_column_per_length", "[a|bb|ccc][x|yy]", 100, 2, 5, 1, { "1", "2", "2", "1" }, 3, "2" },
        ColumnsCase { "two_lengths_a_column", "[a|bb|ccc][x|yy]", 2, 2, 5, 2, { "3", "3" }, 3, "2" },
        ColumnsCase { "fewer_columns_than_asked", "[a|bb|ccc][x|yy]", 3, 2, 5, 2, { "3", "3" }, 3, "2" },
        ColumnsCase { "last_column_shorter", "[a|bb|ccc|dddd|eeeee]", 2, 1, 5, 3, { "3", "2" }, 1, "1" },
        ColumnsCase { "lengths_no_variant_has", "[a|cccc]", 10, 1, 4, 1, { "1", "0", "0", "1" }, 1, "1" },
        ColumnsCase { "no_columns_asked_gives_one", "[a|bb]", 0, 1, 2, 2, { "2" }, 1, "1" },
        ColumnsCase { "plain_text", "abc", 10, 3, 3, 1, { "1" }, 3, "1" },
        ColumnsCase { "ten_to_the_hundred_of_one_length", times("[0|1|2|3|4|5|6|7|8|9]", 100), 600, 100, 100, 1,
            { googol }, 100, googol },
        ColumnsCase { "pairs_and_nesting", "{-|a|[bb|c]|}", 100, 2, 4, 1, { "4", "4", "2" }, 2, "4" },
        ColumnsCase { "pairs_and_nesting_two_lengths_a_column", "{-|a|[bb|c]|}", 2, 2, 4, 2, { "8", "2" }, 2, "4" },
        ColumnsCase { "empty_variant_shortest", "[|a|bb]", 2, 0, 2, 2, { "2", "1" }, 0, "1" }),
    [](const testing::TestParamInfo<ColumnsCase> &row) { return std::string(row.param.name); });

TEST(LengthColumns, EveryLengthAfterABoundedQuestion)
{
    // Counting within narrow bounds first must not leave the counts cut at them.
    const auto compiled = razmnozhator::CompiledTemplate::compile(times("[a|bb|ccc]", 6));
    ASSERT_EQ(compiled.figuresInRange({ 6, 8 }).count, 1 + 6 + 21);
    const auto figures = compiled.lengthColumns(100);
    ASSERT_EQ(figures.columns.size(), 13u);
    EXPECT_EQ(figures.columns.back(), 1);
    EXPECT_EQ(figures.columns[6], 141); // length 12: the middle of (1 + z + z^2)^6
    EXPECT_EQ(figures.mostFrequent, 12u);
}

TEST(LengthColumns, OneLengthNeedsNoCountsByLengthHoweverManyVariants)
{
    // Four hundred thousand groups would take gigabytes of counts by length.
    const auto figures = razmnozhator::CompiledTemplate::compile(times("[a|b]", 400000)).lengthColumns(10);
    ASSERT_EQ(figures.columns.size(), 1u);
    EXPECT_EQ(mpz_sizeinbase(figures.columns[0].get_mpz_t(), 2), 400001u);
}

TEST(LengthColumns, RefusedWhenTooVaried)
{
    const auto compiled = razmnozhator::CompiledTemplate::compile(times("[q|{-|x|yy|[z|ww]}|]", 5000));
    EXPECT_THROW((void)compiled.lengthColumns(600), razmnozhator::LimitError);
}

} // namespace
