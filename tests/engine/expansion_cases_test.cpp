// The template language's defining cases: every tricky corner of the grammar
// and the window's sample template, each with its exact variants in order or
// its exact error. Every way of expanding (whole list, compiled list,
// enumerator, and the reference expander itself) must agree with the table.

#include "cp1251_text.h"
#include "differential.h"

#include "razmnozhator/engine.h"
#include "testtext.h"

#include <gtest/gtest.h>

#include <gmpxx.h>

#include <string>
#include <vector>

namespace {

using differential::Entry;
using differential::Outcome;
using razmnozhator::TemplateError;
using testtext::cp1251;

constexpr const char *square = "Incomplete number of '[]'s";
constexpr const char *curly = "Incomplete number of '{}'s";

struct ExpansionCase
{
    std::string name;
    std::string text; // CP1251 bytes
    Outcome expected;
};

void PrintTo(const ExpansionCase &c, std::ostream *out)
{
    *out << differential::quoted(c.text);
}

ExpansionCase yields(std::string name, std::string_view text, const std::vector<std::string> &variants)
{
    Outcome expected;
    expected.variants = cp1251(variants);
    return { std::move(name), cp1251(text), expected };
}

ExpansionCase fails(std::string name, std::string_view text, const char *message, std::size_t offset)
{
    return { std::move(name), cp1251(text), differential::fromError(message, offset) };
}

std::vector<std::string> sampleVariants()
{
    std::vector<std::string> variants;
    for (const char *first : { "Лучшее", "Отличное", "Прекрасное" }) {
        for (const char *pair : { "мелкого и среднего", "малого и среднего", "мелкого и крупного", "малого и крупного",
                 "среднего и мелкого", "среднего и малого", "среднего и крупного", "крупного и мелкого",
                 "крупного и малого", "крупного и среднего" })
            variants.push_back(std::string(first) + " решение для " + pair + " бизнеса.");
    }
    return variants;
}

std::vector<ExpansionCase> expansionCases()
{
    return {
        yields("EmptyText", "", { "" }),
        yields("PlainText", "ab", { "ab" }),
        yields("BarOutsideGroupIsLiteral", "a|b", { "a|b" }),
        yields("LoneBar", "|", { "|" }),
        yields("StrayCloserAndBarOutsideGroups", "a]b|c", { "a]b|c" }),
        yields("EmptyGroupThenStrayCloser", "[]]", { "]" }),
        yields("EmptySquareGroup", "[]", { "" }),
        yields("EmptySquareGroupBetweenText", "a[]b", { "ab" }),
        yields("NestedEmptySquareGroups", "[[]]", { "" }),
        yields("EmptyLastAlternative", "[a|]", { "a", "" }),
        yields("TwoEmptyAlternatives", "[|]", { "", "" }),
        yields("ThreeAlternatives", "[a|b|c]", { "a", "b", "c" }),
        yields("NestedAlternativeThenText", "[a|[b|c]]d", { "ad", "bd", "cd" }),
        yields("NestedAlternativeFirst", "[[a|b]|c]", { "a", "b", "c" }),
        yields("LeftmostGroupChangesSlowest", "x[a|b]y[1|2]z", { "xay1z", "xay2z", "xby1z", "xby2z" }),
        yields("PairsWithSeparator", "{, |a|b|c}", { "a, b", "a, c", "b, a", "b, c", "c, a", "c, b" }),
        yields("PairsWithEmptySeparator", "{|a|b|c}", { "ab", "ac", "ba", "bc", "ca", "cb" }),
        yields("FirstPieceIsTheSeparator", "{a|b|c|d}", { "bac", "bad", "cab", "cad", "dab", "dac" }),
        yields("CyrillicSeparatorOneItem", "{ и |x}", { "x и ", " и x" }),
        yields("OneItemPaddedWithEmptyItem", "{-|a}", { "a-", "-a" }),
        yields("ExplicitEmptySecondItem", "{-|a|}", { "a-", "-a" }),
        yields("SeparatorOnly", "{x}", { "x", "x" }),
        yields("EmptyPairsGroup", "{}", { "", "" }),
        yields("EmptyPairsGroupBetweenText", "a{}b", { "ab", "ab" }),
        yields("NestedEmptyPairsGroups", "{{}}", { "", "", "", "" }),
        yields("EqualItemsDifferByPosition", "{-|a|a}", { "a-a", "a-a" }),
        yields("SeparatorChoicesVaryInsidePair", "{[+|-]|a|b}", { "a+b", "a-b", "b+a", "b-a" }),
        yields("ItemChoicesInPairs", "{-|[a|b]|c}", { "a-c", "b-c", "c-a", "c-b" }),
        yields("ItemChoicesWithLetterSeparator", "{a|[b|c]}", { "ba", "ca", "ab", "ac" }),
        yields("PairsGroupsInSequence", "{-|a|b}{+|c|d}", { "a-bc+d", "a-bd+c", "b-ac+d", "b-ad+c" }),
        yields("PairsGroupAsAlternative", "[a|{x|y|z}]", { "a", "yxz", "zxy" }),
        yields("PairsGroupInsideAlternativeThenTail", "[x{-|a|b}|y]z", { "xa-bz", "xb-az", "yz" }),
        yields("SeparatorOnlyGroupInsideAlternative", "[a{b}|c]", { "ab", "ab", "c" }),
        yields("BarsInsideSquareGroupDoNotSplitPairs", "{[|a|b]}", { "", "a", "b", "", "a", "b" }),
        yields("StrayCloserInTail", "[a|b]]", { "a]", "b]" }),
        yields("LeadingStrayCloser", "x}{y}", { "x}y", "x}y" }),
        yields("StrayCloserBlocksSplit", "[a}|b]", { "a}|b" }),
        fails("UnclosedSquare", "[a", square, 0),
        fails("UnclosedSquareAfterText", "a[b", square, 1),
        fails("UnclosedCurly", "{a|b", curly, 0),
        fails("UnclosedCurlyAfterStrayCloser", "}{", curly, 1),
        fails("CurlyCloserNeverClosesSquare", "[a|b}", square, 0),
        fails("StrayCloserRebalancesSplitter", "[a|[b}|c]]", square, 3),
        fails("CurlyOpenedInsideSquare", "[a{|b]", curly, 2),
        fails("OverlappingSquareThenCurly", "[a{b]c}", curly, 2),
        fails("OverlappingCurlyThenSquare", "{a[b}c]", square, 2),
        fails("UnclosedCurlyInTail", "[a]{", curly, 3),
        fails("GroupInsideBeforeTail", "[{a]b[", curly, 1),
        fails("SecondItemExpandedBeforeFirst", "{s|a{]|b}[}", square, 9),
        yields("SampleTemplate",
            "[Лучшее|Отличное|Прекрасное] решение для { и |[мелкого|малого]|среднего|крупного} бизнеса.",
            sampleVariants()),
    };
}

class ExpansionCases : public testing::TestWithParam<ExpansionCase>
{
};

TEST_P(ExpansionCases, ExpandTemplate)
{
    EXPECT_EQ(differential::engineOutcome(Entry::Template, GetParam().text), GetParam().expected);
}

TEST_P(ExpansionCases, CompiledListEnumeratorAndFigures)
{
    const ExpansionCase &c = GetParam();
    if (c.expected.failed) {
        try {
            (void)razmnozhator::CompiledTemplate::compile(c.text);
            FAIL() << "compile() accepted a template with an unclosed group";
        } catch (const TemplateError &error) {
            EXPECT_STREQ(error.what(), c.expected.message.c_str());
            EXPECT_EQ(error.offset(), c.expected.offset);
            // The bracket the error names is the one its message names.
            EXPECT_EQ(
                error.bracket() == TemplateError::Bracket::Square, c.expected.message.find("[]") != std::string::npos);
        }
        return;
    }
    const auto compiled = razmnozhator::CompiledTemplate::compile(c.text);
    const std::vector<std::string> &expected = c.expected.variants;
    EXPECT_EQ(testtext::toStrings(compiled.expand()), expected);
    EXPECT_EQ(differential::enumerateAll(compiled), expected);
    EXPECT_EQ(compiled.count(), mpz_class(expected.size()));
    EXPECT_EQ(compiled.totalBytes(), mpz_class(differential::totalLength(expected)));
    EXPECT_EQ(compiled.maxLength(), differential::longest(expected));
    EXPECT_EQ(compiled.countOrMax(), expected.size());
    EXPECT_EQ(compiled.totalBytesOrMax(), differential::totalLength(expected));
}

// The reference is only worth comparing against if it gets these right too.
TEST_P(ExpansionCases, ReferenceExpander)
{
    EXPECT_EQ(differential::referenceOutcome(Entry::Template, GetParam().text), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(Grammar, ExpansionCases, testing::ValuesIn(expansionCases()),
    [](const testing::TestParamInfo<ExpansionCase> &row) { return row.param.name; });

// Further bad inputs, including the two inner functions, whose offsets count
// from the start of their own argument.
struct ErrorCase
{
    const char *name;
    Entry entry;
    const char *text;
    const char *message;
    std::size_t offset;
};

void PrintTo(const ErrorCase &c, std::ostream *out)
{
    *out << differential::entryName(c.entry) << "(" << differential::quoted(c.text) << ")";
}

const ErrorCase errorCases[] = {
    { "OpenerAtEnd", Entry::Template, "abc[", square, 3 },
    { "LastOfThreeGroupsUnclosed", Entry::Template, "[a][b][c", square, 6 },
    { "OuterOfNestedUnclosed", Entry::Template, "[[a]", square, 0 },
    { "OuterUnclosedInnerClosed", Entry::Template, "[a|[b]", square, 0 },
    { "OuterCurlyUnclosedInnerClosed", Entry::Template, "{a|{b}", curly, 0 },
    { "CurlyAloneInsideSquare", Entry::Template, "[{]", curly, 1 },
    { "CurlyInLastAlternative", Entry::Template, "[a|b|{c]", curly, 5 },
    { "UnclosedInSecondItem", Entry::Template, "{-|x|[y}", square, 5 },
    { "SecondItemBeforeSeparatorAndFirstItem", Entry::Template, "{][|][|][}", square, 8 },
    { "SeparatorBeforeFirstItem", Entry::Template, "{][|a|b}", square, 2 },
    { "FirstItemAfterSecondAndSeparator", Entry::Template, "{-|][|b}", square, 4 },
    { "ThirdItemInLaterPair", Entry::Template, "{-|a|b|][}", square, 8 },
    { "ClosedGroupBeforeUnclosedCurly", Entry::Template, "[a|[b]{", square, 0 },
    { "ErrorInsideSecondGroupOfSequence", Entry::Template, "[a]x[b|{c]", curly, 7 },
    { "AlternativesOffsetIsRelative", Entry::Alternatives, "a|[b", square, 2 },
    { "AlternativesLoneOpener", Entry::Alternatives, "[", square, 0 },
    { "AlternativesStrayCloserKeepsPiecesTogether", Entry::Alternatives, "a]|[b", square, 3 },
    { "PairsOffsetIsRelative", Entry::Pairs, "-|a|{b", curly, 4 },
    { "PairsSecondItemBeforeFirst", Entry::Pairs, "-|][|{", curly, 5 },
};

class TemplateErrors : public testing::TestWithParam<ErrorCase>
{
};

TEST_P(TemplateErrors, ExactMessageAndOffset)
{
    const ErrorCase &c = GetParam();
    const Outcome expected = differential::fromError(c.message, c.offset);
    EXPECT_EQ(differential::engineOutcome(c.entry, c.text), expected);
    EXPECT_EQ(differential::referenceOutcome(c.entry, c.text), expected);
    if (c.entry != Entry::Template)
        return;
    try {
        (void)razmnozhator::CompiledTemplate::compile(c.text);
        FAIL() << "compile() accepted a template with an unclosed group";
    } catch (const TemplateError &error) {
        EXPECT_STREQ(error.what(), c.message);
        EXPECT_EQ(error.offset(), c.offset);
    }
}

INSTANTIATE_TEST_SUITE_P(BadInputs, TemplateErrors, testing::ValuesIn(errorCases),
    [](const testing::TestParamInfo<ErrorCase> &row) { return std::string(row.param.name); });

} // namespace
