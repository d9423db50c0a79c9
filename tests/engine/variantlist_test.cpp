// VariantList keeps all bytes in one buffer, which makes aliasing the classic
// fault: a push_back of a view into the list itself reads from a buffer that
// it is growing. These tests aim there, at the value semantics, and at the
// memory promise.

#include "razmnozhator/engine.h"
#include "razmnozhator/variantlist.h"

#include "testtext.h"

#include <gtest/gtest.h>

#include <iterator>
#include <string>
#include <utility>
#include <vector>

namespace {

using testtext::listOf;
using testtext::times;

using razmnozhator::VariantList;
using Strings = std::vector<std::string>;

TEST(VariantListValue, CopiesAreIndependent)
{
    VariantList original { "one", "two" };
    VariantList copy = original;
    copy.push_back("three");
    EXPECT_EQ(testtext::toStrings(original), Strings({ "one", "two" }));

    VariantList assigned;
    assigned = original;
    original.clear();
    EXPECT_EQ(testtext::toStrings(assigned), Strings({ "one", "two" }));
    EXPECT_TRUE(original.empty());
}

TEST(VariantListValue, MoveCarriesTheItems)
{
    VariantList source { "a", "bb" };
    VariantList moved = std::move(source);
    EXPECT_EQ(testtext::toStrings(moved), Strings({ "a", "bb" }));
    source = VariantList { "c" };
    EXPECT_EQ(testtext::toStrings(source), Strings({ "c" }));
}

TEST(VariantListValue, EqualityRespectsBoundariesOrderAndEmptyItems)
{
    EXPECT_NE((VariantList { "ab" }), (VariantList { "a", "b" }));
    EXPECT_NE((VariantList { "" }), VariantList());
    EXPECT_NE((VariantList { "a", "" }), (VariantList { "", "a" }));
    EXPECT_NE((VariantList { "a", "b" }), (VariantList { "b", "a" }));
    EXPECT_EQ((VariantList { "a", "", "b" }), listOf({ "a", "", "b" }));
}

TEST(VariantListValue, AccessorsAgree)
{
    const VariantList list { "", "abc", "\xE0\xE1", "" };
    EXPECT_EQ(list.size(), 4u);
    EXPECT_FALSE(list.empty());
    EXPECT_EQ(list.byteSize(), 5u);
    EXPECT_EQ(list.bytes(), "abc\xE0\xE1");
    EXPECT_EQ(list[1], "abc");
    EXPECT_EQ(list[2], "\xE0\xE1");
    EXPECT_EQ(list[3], "");
    EXPECT_EQ(list.lengthAt(0), 0u);
    EXPECT_EQ(list.lengthAt(1), 3u);
    EXPECT_EQ(list.lengthAt(2), 2u);
    EXPECT_EQ(std::distance(list.begin(), list.end()), 4);
    EXPECT_EQ(*(list.begin() + 2), "\xE0\xE1");
    EXPECT_EQ(list.end()[-3], "abc");
    EXPECT_EQ(testtext::toStrings(list), Strings({ "", "abc", "\xE0\xE1", "" }));
}

TEST(VariantListValue, PushBackOfOwnItemSurvivesGrowth)
{
    VariantList list { "seed-variant" };
    for (int i = 0; i < 2000; ++i)
        list.push_back(list[static_cast<std::size_t>(i)]);
    ASSERT_EQ(list.size(), 2001u);
    for (const std::string_view item : list)
        ASSERT_EQ(item, "seed-variant");
}

TEST(VariantListValue, ClearReserveAndShrinkKeepContents)
{
    VariantList list { "a", "b" };
    list.reserve(1000, 5000);
    EXPECT_EQ(testtext::toStrings(list), Strings({ "a", "b" }));
    list.shrink_to_fit();
    EXPECT_EQ(testtext::toStrings(list), Strings({ "a", "b" }));
    list.clear();
    EXPECT_TRUE(list.empty());
    EXPECT_EQ(list.byteSize(), 0u);
}

// A list filled to the size it reserved keeps no spare capacity worth speaking of.
TEST(VariantListMemory, ReservedExactlyStaysWithinBound)
{
    constexpr std::size_t count = 10000;
    const std::string variant = "variant-of-twenty-by";
    VariantList list;
    list.reserve(count, count * variant.size());
    for (std::size_t i = 0; i < count; ++i)
        list.push_back(variant);
    EXPECT_LE(list.memoryUsage(), list.byteSize() + 16 * list.size());
}

struct MemoryCase
{
    const char *name;
    std::string text;
};

void PrintTo(const MemoryCase &c, std::ostream *out)
{
    *out << c.name;
}

const MemoryCase memoryCases[] = {
    { "OneShortVariant", "abc" },
    { "SampleTemplate", "[\xCB\xF3\xF7\xF8\xE5\xE5|\xC2|\xC5] { \xE8 |[a|b]|c|d} e." },
    { "ManyEmptyVariants", times("{}", 12) },
    { "ManyShortVariants", times("[a|b]", 16) },
    { "AMillionSixByteVariants", times("[0|1|2|3|4|5|6|7|8|9]", 6) },
    { "LongVariants", times("[" + std::string(300, 'x') + "|" + std::string(200, 'y') + "]", 8) },
    { "PairsOfManyItems", "{, |a|bb|ccc|dddd|eeeee|ffffff|g|h|i|j|k|l|m|n|o|p|q|r|s|t|u|v|w|x|y|z}" },
};

class ExpandedListMemory : public testing::TestWithParam<MemoryCase>
{
};

TEST_P(ExpandedListMemory, AtMostBytesPlusSixteenPerVariant)
{
    const auto compiled = razmnozhator::CompiledTemplate::compile(GetParam().text);
    const VariantList list = compiled.expand();
    ASSERT_EQ(mpz_class(list.size()), compiled.count());
    ASSERT_EQ(mpz_class(list.byteSize()), compiled.totalBytes());
    ASSERT_EQ(list.bytes().size(), list.byteSize());
    EXPECT_LE(list.memoryUsage(), list.byteSize() + 16 * list.size());
}

INSTANTIATE_TEST_SUITE_P(Expanded, ExpandedListMemory, testing::ValuesIn(memoryCases),
    [](const testing::TestParamInfo<MemoryCase> &row) { return std::string(row.param.name); });

} // namespace
