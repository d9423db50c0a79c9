// VariantList keeps all bytes in one buffer, which makes aliasing the classic
// fault: an operation whose operands are the same list, or a push_back of a
// view into the list itself, reads from a buffer that it is growing. These
// tests aim there, at the value semantics, and at the memory promise.

#include "reference_expander.h"

#include "razmnozhator/engine.h"
#include "razmnozhator/variantlist.h"

#include "listoperations.h"

#include <gtest/gtest.h>

#include <iterator>
#include <string>
#include <utility>
#include <vector>

namespace {

using razmnozhator::VariantList;
using Strings = std::vector<std::string>;

VariantList listOf(const Strings &items)
{
    VariantList list;
    for (const std::string &item : items)
        list.push_back(item);
    return list;
}

enum class Operation { Concat, Append, Combine, CombineInPlace, Prefix };

struct ListCase
{
    const char *name;
    Operation operation;
    Strings a;
    Strings b;
    // a is passed as both operands; for Prefix, the prefix is a view of a's first item.
    bool sameList;
    std::string prefix;
    Strings expected;
};

void PrintTo(const ListCase &c, std::ostream *out)
{
    *out << c.name;
}

const ListCase listCases[] = {
    { "ConcatKeepsOrder", Operation::Concat, { "x", "y" }, { "z" }, false, "", { "x", "y", "z" } },
    { "ConcatKeepsDuplicates", Operation::Concat, { "a", "a" }, { "a" }, false, "", { "a", "a", "a" } },
    { "ConcatOntoEmpty", Operation::Concat, {}, { "p", "q" }, false, "", { "p", "q" } },
    { "ConcatWithEmpty", Operation::Concat, { "p" }, {}, false, "", { "p" } },
    { "ConcatBothEmpty", Operation::Concat, {}, {}, false, "", {} },
    { "ConcatEmptyStrings", Operation::Concat, { "" }, { "" }, false, "", { "", "" } },
    { "ConcatSameList", Operation::Concat, { "x", "yy" }, {}, true, "", { "x", "yy", "x", "yy" } },
    { "AppendKeepsOrder", Operation::Append, { "x", "y" }, { "z", "w" }, false, "", { "x", "y", "z", "w" } },
    { "AppendToEmpty", Operation::Append, {}, { "p" }, false, "", { "p" } },
    { "AppendEmpty", Operation::Append, { "p", "" }, {}, false, "", { "p", "" } },
    { "AppendSameList", Operation::Append, { "ab", "", "c" }, {}, true, "", { "ab", "", "c", "ab", "", "c" } },
    { "CombineFirstOperandSlowest", Operation::Combine, { "a", "b" }, { "1", "2", "3" }, false, "",
        { "a1", "a2", "a3", "b1", "b2", "b3" } },
    { "CombineWithEmptyListIsEmpty", Operation::Combine, { "a", "b" }, {}, false, "", {} },
    { "CombineEmptyListWithAnyIsEmpty", Operation::Combine, {}, { "a" }, false, "", {} },
    { "CombineWithEmptyString", Operation::Combine, { "a", "b" }, { "" }, false, "", { "a", "b" } },
    { "CombineKeepsDuplicates", Operation::Combine, { "a", "a" }, { "b" }, false, "", { "ab", "ab" } },
    { "CombineSameList", Operation::Combine, { "a", "bc" }, {}, true, "", { "aa", "abc", "bca", "bcbc" } },
    { "CombineInPlaceFirstOperandSlowest", Operation::CombineInPlace, { "x", "y" }, { "1", "2" }, false, "",
        { "x1", "x2", "y1", "y2" } },
    { "CombineInPlaceWithEmptyList", Operation::CombineInPlace, { "x" }, {}, false, "", {} },
    { "CombineInPlaceIntoEmptyList", Operation::CombineInPlace, {}, { "x" }, false, "", {} },
    { "CombineInPlaceSameList", Operation::CombineInPlace, { "a", "", "b" }, {}, true, "",
        { "aa", "a", "ab", "a", "", "b", "ba", "b", "bb" } },
    { "PrefixEveryItemInOrder", Operation::Prefix, { "a", "b", "a" }, {}, false, "x", { "xa", "xb", "xa" } },
    { "PrefixEmpty", Operation::Prefix, { "a", "" }, {}, false, "", { "a", "" } },
    { "PrefixOntoEmptyString", Operation::Prefix, { "" }, {}, false, "pre", { "pre" } },
    { "PrefixEmptyList", Operation::Prefix, {}, {}, false, "x", {} },
    { "PrefixIsViewOfOwnItem", Operation::Prefix, { "ab", "c" }, {}, true, "", { "abab", "abc" } },
};

class ListOperations : public testing::TestWithParam<ListCase>
{
};

TEST_P(ListOperations, ExactItemsInOrder)
{
    const ListCase &c = GetParam();
    VariantList a = listOf(c.a);
    const VariantList b = listOf(c.b);
    const VariantList &second = c.sameList ? a : b;
    const VariantList expected = listOf(c.expected);

    switch (c.operation) {
    case Operation::Concat:
        EXPECT_EQ(razmnozhator::concatVariants(a, second), expected);
        break;
    case Operation::Combine:
        EXPECT_EQ(razmnozhator::combineVariants(a, second), expected);
        break;
    case Operation::Prefix: {
        const std::string_view prefix = c.sameList ? a[0] : std::string_view(c.prefix);
        EXPECT_EQ(razmnozhator::prefixVariants(prefix, a), expected);
        break;
    }
    case Operation::Append: {
        VariantList &result = razmnozhator::appendVariants(a, second);
        EXPECT_EQ(&result, &a);
        EXPECT_EQ(a, expected);
        break;
    }
    case Operation::CombineInPlace: {
        VariantList &result = razmnozhator::combineInPlace(a, second);
        EXPECT_EQ(&result, &a);
        EXPECT_EQ(a, expected);
        break;
    }
    }
    EXPECT_EQ(b, listOf(c.b)) << "the second operand changed";
    if (c.operation == Operation::Concat || c.operation == Operation::Combine || c.operation == Operation::Prefix) {
        EXPECT_EQ(a, listOf(c.a)) << "the first operand changed";
    }
}

INSTANTIATE_TEST_SUITE_P(Operations, ListOperations, testing::ValuesIn(listCases),
    [](const testing::TestParamInfo<ListCase> &row) { return std::string(row.param.name); });

// Lists large enough that the operations must grow the very buffer they read.
TEST(ListOperations, SelfOperationsOnGrowingListsMatchReference)
{
    Strings items;
    for (int i = 0; i < 300; ++i)
        items.push_back(std::string(static_cast<std::size_t>(i % 7), static_cast<char>('a' + i % 26)));

    VariantList appended = listOf(items);
    razmnozhator::appendVariants(appended, appended);
    Strings expectedAppend = items;
    reference::appendVariants(expectedAppend, expectedAppend);
    EXPECT_EQ(appended.toStrings(), expectedAppend);

    VariantList combined = listOf(items);
    razmnozhator::combineInPlace(combined, combined);
    Strings expectedCombine = items;
    reference::combineInPlace(expectedCombine, expectedCombine);
    EXPECT_EQ(combined.toStrings(), expectedCombine);
}

TEST(VariantListValue, CopiesAreIndependent)
{
    VariantList original { "one", "two" };
    VariantList copy = original;
    copy.push_back("three");
    EXPECT_EQ(original.toStrings(), Strings({ "one", "two" }));

    VariantList assigned;
    assigned = original;
    original.clear();
    EXPECT_EQ(assigned.toStrings(), Strings({ "one", "two" }));
    EXPECT_TRUE(original.empty());
}

TEST(VariantListValue, MoveCarriesTheItems)
{
    VariantList source { "a", "bb" };
    VariantList moved = std::move(source);
    EXPECT_EQ(moved.toStrings(), Strings({ "a", "bb" }));
    source = VariantList { "c" };
    EXPECT_EQ(source.toStrings(), Strings({ "c" }));
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
    EXPECT_EQ(Strings(list.begin(), list.end()), list.toStrings());
    EXPECT_EQ(list.toStrings(), Strings({ "", "abc", "\xE0\xE1", "" }));
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
    EXPECT_EQ(list.toStrings(), Strings({ "a", "b" }));
    list.shrink_to_fit();
    EXPECT_EQ(list.toStrings(), Strings({ "a", "b" }));
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

std::string repeated(std::string_view piece, int times)
{
    std::string text;
    for (int i = 0; i < times; ++i)
        text += piece;
    return text;
}

const MemoryCase memoryCases[] = {
    { "OneShortVariant", "abc" },
    { "SampleTemplate", "[\xCB\xF3\xF7\xF8\xE5\xE5|\xC2|\xC5] { \xE8 |[a|b]|c|d} e." },
    { "ManyEmptyVariants", repeated("{}", 12) },
    { "ManyShortVariants", repeated("[a|b]", 16) },
    { "AMillionSixByteVariants", repeated("[0|1|2|3|4|5|6|7|8|9]", 6) },
    { "LongVariants", repeated("[" + std::string(300, 'x') + "|" + std::string(200, 'y') + "]", 8) },
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
