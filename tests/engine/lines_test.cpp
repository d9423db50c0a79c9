// Listing many lines at a time (writeLines) against the reference expander,
// on templates that end in groups of plain text, whose lines are written as
// one block per prefix, and on templates where only the last few groups
// qualify or none do. Every buffer size, line cap and mix with next() must
// give the variants in exactly the order and number of the expansion.

#include "cp1251_text.h"
#include "differential.h"

#include "razmnozhator/engine.h"

#include "testtext.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

using testtext::times;

using differential::LineBuffers;
using razmnozhator::CompiledTemplate;
using razmnozhator::Enumerator;

struct LinesCase
{
    const char *name;
    std::string text; // CP1251 bytes
};

const std::string digits = "[0|1|2|3|4|5|6|7|8|9]";

const LinesCase linesCases[] = {
    { "FourDigitGroupsAreOneBlock", times(digits, 4) },
    { "FiveDigitGroupsBlockOfTheLastFour", times(digits, 5) },
    { "LettersThenDigitsWithText", "x[a|b|c|d|e|f]-[0|1|2]y[3|4|]z" },
    { "EmptyPiecesAndEmptyGroups", "[|a][|][b|]{}[]" },
    { "PairsGroupsInTheBlock", "[p|q]{-|a|bb|}{+|c|d}" },
    { "SeparatorOnlyPairsGroupLast", "[a|bb]{x}" },
    { "PairsGroupOfFourItemsLast", "[p|q]-{+|c|dd||e}" },
    { "PairsGroupLastAfterNestedGroups", "[a|[b|c]d]{+|x|yy|z}" },
    { "FlattenedNestedAlternativesLast", "[a|b][c|[d|ee]|[f|[g|h]]]" },
    { "NestedGroupsBeforeTheBlock", "[a|[b|c]d]{x|y|z}[1|2]" },
    { "PairsWithGroupsInItemsBeforeTheBlock", "{-|[a|b]|c}[1|2|3]" },
    { "PairsWithGroupsInItemsLast", "[0|1][2|3]{-|[a|b]|c}" },
    { "NestedGroupLast", "[a|b][x|[y|z]w]" },
    { "GroupsInsideAlternativesBeforeTheBlock", "[x{-|a|b}|y]z[1|2]" },
    { "LongPieceStopsTheBlockAtTheLastTwoGroups", "[0|1][" + std::string(40000, 'x') + "|y][2|3][4|5]" },
    { "GroupOfManyChoicesLast", "[a|b][" + times("c|", 20000) + "d]" },
    { "CyrillicSample",
        testtext::cp1251(
            "[Лучшее|Отличное|Прекрасное] решение для { и |[мелкого|малого]|среднего|крупного} бизнеса[.|!]") },
};

// Buffers from one line at a time to many, with and without next() between.
const LineBuffers lineBuffers[] = {
    { 1 << 20 },
    { 1 << 20, 1 },
    { 1 << 20, 2, 1 },
    { 4096, 5, 2 },
    { 5 },
    { 13, 4, 3 },
    { 64, 1000, 1, '\0' },
    { 100'003, 777, 2 },
};

class Lines : public testing::TestWithParam<LinesCase>
{
};

// Every buffer setup from the start, then from three positions (after a
// seek), then with recoded literals.
TEST_P(Lines, MatchReference)
{
    const std::string &text = GetParam().text;
    const std::vector<std::string> expected = reference::expandTemplate(text);
    const auto compiled = CompiledTemplate::compile(text);
    for (const LineBuffers &buffers : lineBuffers) {
        SCOPED_TRACE("capacity " + std::to_string(buffers.capacity) + ", lines " + std::to_string(buffers.maxLines));
        Enumerator lines(compiled);
        ASSERT_EQ(differential::listInLines(lines, buffers), expected);
    }
    for (const std::size_t position : { std::size_t { 1 }, expected.size() / 3, expected.size() - 1 }) {
        Enumerator lines(compiled, position);
        ASSERT_EQ(differential::listInLines(lines, { 4096, 5000, 2 }),
            std::vector<std::string>(expected.begin() + std::ptrdiff_t(position), expected.end()))
            << "from " << position;
    }
    std::vector<std::string> recoded;
    for (const std::string &variant : expected)
        recoded.push_back(testtext::doubled(variant));
    Enumerator lines(compiled.withLiteralsMapped(testtext::doubled));
    ASSERT_EQ(differential::listInLines(lines, { 1 << 16, 99'999, 5 }), recoded);
}

INSTANTIATE_TEST_SUITE_P(Templates, Lines, testing::ValuesIn(linesCases),
    [](const testing::TestParamInfo<LinesCase> &row) { return std::string(row.param.name); });

TEST(LinesAtTheEdges, NoRoomOrNoLinesWritesNothingAndLosesNothing)
{
    const auto compiled = CompiledTemplate::compile("[a|bb][c|d]");
    Enumerator lines(compiled);
    char buffer[16];
    EXPECT_EQ(lines.writeLines(buffer, sizeof buffer, '\n', 0).lines, 0u);
    EXPECT_EQ(lines.writeLines(buffer, 2, '\n').lines, 0u); // "ac" and its terminator take 3
    ASSERT_TRUE(lines.next());
    EXPECT_EQ(lines.current(), "ac");
    const razmnozhator::WrittenLines written = lines.writeLines(buffer, sizeof buffer, '\n', 2);
    EXPECT_EQ(std::string(buffer, written.bytes), "ad\nbbc\n");
    EXPECT_EQ(written.lines, 2u);
    EXPECT_EQ(lines.writeLines(buffer, 3, '\n').lines, 0u); // "bbd" does not fit either
    ASSERT_TRUE(lines.next());
    EXPECT_EQ(lines.current(), "bbd");
    EXPECT_EQ(lines.writeLines(buffer, sizeof buffer, '\n').lines, 0u);
    EXPECT_FALSE(lines.next());
}

} // namespace
