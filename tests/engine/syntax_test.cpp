// The syntax marks the window colours: exactly the brackets and bars that the
// expansion treats as syntax, with their depth and partner, and the error.

#include "razmnozhator/syntax.h"

#include <gtest/gtest.h>

#include <sstream>
#include <string>

namespace {

// Marks written compactly: "[0>4/0" an opener at 0 closed at 4 at depth 0,
// "|2/0" a splitting bar of depth 0, "]4<0/0" a closer at 4 opened at 0.
std::string describe(const razmnozhator::TemplateSyntax &syntax)
{
    std::ostringstream out;
    for (const auto &mark : syntax.marks) {
        switch (mark.kind) {
        case razmnozhator::SyntaxMark::Kind::Opener:
            out << '[' << mark.offset << '>' << mark.partner;
            break;
        case razmnozhator::SyntaxMark::Kind::Closer:
            out << ']' << mark.offset << '<' << mark.partner;
            break;
        case razmnozhator::SyntaxMark::Kind::Bar:
            out << '|' << mark.offset << '<' << mark.partner;
            break;
        }
        out << '/' << mark.depth << ' ';
    }
    if (syntax.error)
        out << "error " << syntax.error->what() << " at " << syntax.error->offset();
    return out.str();
}

struct SyntaxCase
{
    const char *name;
    const char *text;
    const char *marks;
};

void PrintTo(const SyntaxCase &c, std::ostream *out)
{
    *out << '"' << c.text << '"';
}

class Syntax : public testing::TestWithParam<SyntaxCase>
{
};

TEST_P(Syntax, MarksWhatTheExpansionReads)
{
    EXPECT_EQ(describe(razmnozhator::analyzeSyntax(GetParam().text)), GetParam().marks);
}

const SyntaxCase syntaxCases[] = {
    { "PlainText", "a|b]c}", "" },
    { "Alternatives", "[a|b]", "[0>4/0 |2<0/0 ]4<0/0 " },
    { "NestedPairs", "[a|{x|y}]", "[0>8/0 |2<0/0 [3>7/1 |5<3/1 ]7<3/1 ]8<0/0 " },
    { "SinglePieceGroupIsStillAGroup", "x[a]", "[1>3/0 ]3<1/0 " },
    { "StrayCloserKeepsBarFromSplitting", "[a}|b]", "[0>5/0 ]5<0/0 " },
    { "LeadingCloserIsText", "x}{y}", "[2>4/0 ]4<2/0 " },
    { "UnclosedOpener", "ab[c", "error Incomplete number of '[]'s at 2" },
    { "ErrorAfterGoodGroup", "{a|b}[", "[0>4/0 |2<0/0 ]4<0/0 error Incomplete number of '[]'s at 5" },
    { "ErrorInsideGroup", "[a|{b]", "[0>5/0 |2<0/0 ]5<0/0 error Incomplete number of '{}'s at 3" },
};

INSTANTIATE_TEST_SUITE_P(Cases, Syntax, testing::ValuesIn(syntaxCases),
    [](const testing::TestParamInfo<SyntaxCase> &row) { return std::string(row.param.name); });

} // namespace
