// The fields of a template's variants: how many a table's rows get, and the
// group that gives rows of different numbers, where there is one.

#include "razmnozhator/fields.h"

#include "random_templates.h"
#include "razmnozhator/engine.h"
#include "reference_expander.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <set>
#include <string>

namespace {

using razmnozhator::fieldCount;
using razmnozhator::FieldCountError;

struct FieldsCase
{
    const char *name;
    const char *text;
    std::uint64_t fields; // 0: the group at `offset` gives `first` and `second` fields
    std::size_t offset = 0;
    std::uint64_t first = 0;
    std::uint64_t second = 0;
};

void PrintTo(const FieldsCase &c, std::ostream *out)
{
    *out << '"' << c.text << '"';
}

class Fields : public testing::TestWithParam<FieldsCase>
{
};

TEST_P(Fields, CountsOrNamesTheGroup)
{
    const FieldsCase &c = GetParam();
    if (c.fields != 0) {
        EXPECT_EQ(fieldCount(c.text), c.fields);
        return;
    }
    try {
        fieldCount(c.text);
        ADD_FAILURE() << "no error";
    } catch (const FieldCountError &error) {
        EXPECT_EQ(error.offset(), c.offset);
        EXPECT_EQ(error.fields(), c.first);
        EXPECT_EQ(error.otherFields(), c.second);
    }
}

const FieldsCase fieldsCases[] = {
    { "Empty", "", 1 },
    { "NoTab", "[a|b]{-|x|y}", 1 },
    { "TabsOutsideGroups", "a\tb\t[c|d]", 3 },
    { "LinkedAlternatives", "[диван\tКупите диван|кресло\tКупите кресло] в Москве", 2 },
    { "EmptyFieldsAtTheEnds", "\t[a|b]\t", 3 },
    { "AlternativesDiffer", "x\t[a\tb|c]", 0, 2, 2, 1 },
    { "LaterAlternativeDiffers", "[a|b|c\td]", 0, 0, 1, 2 },
    { "EmptyAlternativeDiffers", "[\t|]", 0, 0, 2, 1 },
    { "InnerGroupFirst", "[[a\t|b]|c]", 0, 1, 2, 1 },
    { "NestedAlike", "[[a\t|\tb]|c\td]", 2 },
    { "SeparatorTabs", "{\t|a|b|c}", 2 },
    { "PairsOfTwoItemsAlwaysAlike", "{-|a\tb|c}", 2 },
    { "OneItemWithItsEmptyPartner", "{-|a\t}", 2 },
    { "PairsOfThreeItemsDiffer", "{-|a\tb|c|d}", 0, 0, 2, 1 },
    { "PairsDifferOnlyInTheFirstItem", "{-|a\tb|c|d\t\te}", 0, 0, 2, 4 },
    { "PairsAlikeWithTabbedItems", "{, |a\tb|c\td|e\tf}", 3 },
    { "StrayClosersAndBarsAreText", "a]\t}|b", 2 },
};

INSTANTIATE_TEST_SUITE_P(Table, Fields, testing::ValuesIn(fieldsCases),
    [](const testing::TestParamInfo<FieldsCase> &row) { return std::string(row.param.name); });

TEST(Fields, UnclosedGroupIsTheTemplateError)
{
    EXPECT_THROW(fieldCount("a\t[b"), razmnozhator::TemplateError);
}

// Against the variants themselves: a count when every variant has it, an
// error exactly when two variants differ.
TEST(Fields, AgreesWithTheReferenceExpander)
{
    differential::TemplateGenerator generator(20261210);
    int checked = 0;
    for (int i = 0; i < 4000; ++i) {
        std::string text = generator.structured(24);
        std::replace(text.begin(), text.end(), '\xE0', '\t');
        reference::VariantList variants;
        try {
            variants = reference::expandTemplate(text, { 20000, 1 << 20 });
        } catch (const reference::TemplateError &) {
            EXPECT_THROW(fieldCount(text), razmnozhator::TemplateError) << text;
            continue;
        } catch (const reference::BudgetExceeded &) {
            continue;
        }
        std::set<std::uint64_t> counts;
        for (const std::string &variant : variants)
            counts.insert(std::count(variant.begin(), variant.end(), '\t') + 1);
        if (counts.size() == 1) {
            EXPECT_EQ(fieldCount(text), *counts.begin()) << text;
        } else {
            try {
                fieldCount(text);
                ADD_FAILURE() << "no error for " << text;
            } catch (const FieldCountError &error) {
                EXPECT_TRUE(text[error.offset()] == '[' || text[error.offset()] == '{') << text;
            }
        }
        ++checked;
    }
    EXPECT_GT(checked, 2000);
}

} // namespace
