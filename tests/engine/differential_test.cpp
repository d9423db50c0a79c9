// The engine against the reference expander on many thousands of reproducible
// random templates: equal variant lists in equal order, or the same first
// error at the same offset. A failure names the seed's template, so it can be
// copied straight into the table of expansion cases.

#include "differential.h"
#include "random_templates.h"

#include "razmnozhator/engine.h"
#include "razmnozhator/sample.h"
#include "testtext.h"

#include <gtest/gtest.h>

#include <gmpxx.h>

#include <algorithm>
#include <cctype>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace {

using differential::Entry;
using differential::Outcome;

// Big enough for everything a 14-byte template can do except the rare
// explosive nesting of pairs groups, which the tests count and bound.
constexpr reference::Budget budget { 200'000, 4'000'000 };

enum class Shape { Uniform, Structured };

struct RandomSuite
{
    const char *name;
    Entry entry;
    Shape shape;
    std::uint32_t seed;
    int templates;
    std::size_t maxLength;
};

void PrintTo(const RandomSuite &suite, std::ostream *out)
{
    *out << suite.name;
}

std::string generate(differential::TemplateGenerator &generator, const RandomSuite &suite)
{
    return suite.shape == Shape::Uniform ? generator.uniform(suite.maxLength) : generator.structured(suite.maxLength);
}

// Tallies that show the generator really produced both kinds of outcome.
struct Tally
{
    int expanded = 0;
    int failed = 0;
    int skipped = 0;
};

void expectSensibleMix(const Tally &tally, const RandomSuite &suite)
{
    EXPECT_GE(tally.expanded, suite.templates / 20) << "too few valid templates to learn anything";
    EXPECT_GE(tally.failed, suite.templates / 50) << "too few invalid templates to check error reporting";
    EXPECT_LE(tally.skipped, suite.templates / 100) << "the reference gave up on too many templates";
}

class RandomTemplates : public testing::TestWithParam<RandomSuite>
{
};

TEST_P(RandomTemplates, EngineMatchesReference)
{
    const RandomSuite &suite = GetParam();
    differential::TemplateGenerator generator(suite.seed);
    Tally tally;
    for (int i = 0; i < suite.templates; ++i) {
        const std::string text = generate(generator, suite);
        const std::optional<Outcome> expected = differential::referenceOutcome(suite.entry, text, budget);
        if (!expected) {
            ++tally.skipped;
            continue;
        }
        ++(expected->failed ? tally.failed : tally.expanded);
        ASSERT_EQ(differential::engineOutcome(suite.entry, text), *expected)
            << differential::entryName(suite.entry) << "(" << differential::quoted(text) << ")";
    }
    expectSensibleMix(tally, suite);
}

// The compiled form must give the same list both ways, and know its count,
// byte total and longest variant without being asked to enumerate.
class RandomCompiledTemplates : public RandomTemplates
{
};

TEST_P(RandomCompiledTemplates, CompiledFormMatchesReference)
{
    const RandomSuite &suite = GetParam();
    differential::TemplateGenerator generator(suite.seed);
    Tally tally;
    for (int i = 0; i < suite.templates; ++i) {
        const std::string text = generate(generator, suite);
        const std::optional<Outcome> expected = differential::referenceOutcome(Entry::Template, text, budget);
        if (!expected) {
            ++tally.skipped;
            continue;
        }
        SCOPED_TRACE("template " + differential::quoted(text));
        if (expected->failed) {
            ++tally.failed;
            try {
                (void)razmnozhator::CompiledTemplate::compile(text);
                FAIL() << "compile() accepted it; expected " << *expected;
            } catch (const razmnozhator::TemplateError &error) {
                ASSERT_EQ(differential::fromError(error.what(), error.offset()), *expected);
            }
            continue;
        }
        ++tally.expanded;
        const auto compiled = razmnozhator::CompiledTemplate::compile(text);
        const std::vector<std::string> &variants = expected->variants;
        ASSERT_EQ(compiled.count(), mpz_class(variants.size()));
        ASSERT_EQ(compiled.totalBytes(), mpz_class(differential::totalLength(variants)));
        ASSERT_EQ(compiled.maxLength(), differential::longest(variants));
        ASSERT_EQ(compiled.minLength(), differential::shortest(variants));
        ASSERT_EQ(compiled.countOrMax(), variants.size());
        ASSERT_EQ(compiled.totalBytesOrMax(), differential::totalLength(variants));
        ASSERT_EQ(testtext::toStrings(compiled.expand()), variants);
        ASSERT_EQ(differential::enumerateAll(compiled), variants);
        // Many lines at a time, and a few bytes at a time with next() in between.
        for (const differential::LineBuffers buffers :
            { differential::LineBuffers { 4096 }, differential::LineBuffers { 7, 3, 2, '\0' } }) {
            razmnozhator::Enumerator lines(compiled);
            ASSERT_EQ(differential::listInLines(lines, buffers), variants) << "capacity " << buffers.capacity;
        }
    }
    expectSensibleMix(tally, suite);
}

const RandomSuite templateSuites[] = {
    { "TemplatesUniform", Entry::Template, Shape::Uniform, 1, 40000, 14 },
    { "TemplatesStructured", Entry::Template, Shape::Structured, 2, 40000, 14 },
    { "TemplatesStructuredLonger", Entry::Template, Shape::Structured, 3, 5000, 32 },
};

const RandomSuite innerSuites[] = {
    { "AlternativesUniform", Entry::Alternatives, Shape::Uniform, 4, 10000, 14 },
    { "AlternativesStructured", Entry::Alternatives, Shape::Structured, 5, 10000, 14 },
    { "PairsUniform", Entry::Pairs, Shape::Uniform, 6, 10000, 12 },
    { "PairsStructured", Entry::Pairs, Shape::Structured, 7, 10000, 12 },
};

std::string suiteName(const testing::TestParamInfo<RandomSuite> &row)
{
    return row.param.name;
}

INSTANTIATE_TEST_SUITE_P(Templates, RandomTemplates, testing::ValuesIn(templateSuites), suiteName);
INSTANTIATE_TEST_SUITE_P(InnerTexts, RandomTemplates, testing::ValuesIn(innerSuites), suiteName);
INSTANTIATE_TEST_SUITE_P(Templates, RandomCompiledTemplates, testing::ValuesIn(templateSuites), suiteName);

// withLiteralsMapped() may rewrite literal runs however it cuts them, so only
// a map that works byte by byte (map(xy) == map(x) + map(y)) has a result that
// can be predicted from outside: each variant is a concatenation of literal
// bytes, so mapping the template's literals equals mapping every variant.
// Such maps may change lengths and may touch the bytes of stray closers and
// bars, which are literal text too.
struct LiteralMap
{
    const char *name;
    std::function<std::string(char)> byteMap;
};

void PrintTo(const LiteralMap &map, std::ostream *out)
{
    *out << map.name;
}

std::string mapBytes(const LiteralMap &map, std::string_view text)
{
    std::string out;
    for (const char c : text)
        out += map.byteMap(c);
    return out;
}

const LiteralMap literalMaps[] = {
    { "UpperCaseLatin",
        [](char c) { return std::string(1, static_cast<char>(std::toupper(static_cast<unsigned char>(c)))); } },
    { "CyrillicToUtf8", [](char c) { return c == '\xE0' ? std::string("\xD0\xB0") : std::string(1, c); } },
    { "DoubleEveryByte", [](char c) { return std::string(2, c); } },
    { "DropLetterB", [](char c) { return c == 'b' ? std::string() : std::string(1, c); } },
};

class LiteralMaps : public testing::TestWithParam<LiteralMap>
{
};

TEST_P(LiteralMaps, MappedTemplateEqualsMappedVariants)
{
    const LiteralMap &map = GetParam();
    const auto runMap = [&map](std::string_view run) { return mapBytes(map, run); };
    differential::TemplateGenerator generator(11);
    int checked = 0;
    for (int i = 0; i < 5000; ++i) {
        const std::string text = generator.structured(16);
        const std::optional<Outcome> expected = differential::referenceOutcome(Entry::Template, text, budget);
        if (!expected || expected->failed)
            continue;
        ++checked;
        SCOPED_TRACE("template " + differential::quoted(text));
        std::vector<std::string> mappedVariants;
        for (const std::string &variant : expected->variants)
            mappedVariants.push_back(mapBytes(map, variant));

        const auto compiled = razmnozhator::CompiledTemplate::compile(text);
        const auto mapped = compiled.withLiteralsMapped(runMap);
        ASSERT_EQ(testtext::toStrings(mapped.expand()), mappedVariants);
        ASSERT_EQ(differential::enumerateAll(mapped), mappedVariants);
        ASSERT_EQ(mapped.count(), mpz_class(mappedVariants.size()));
        ASSERT_EQ(mapped.totalBytes(), mpz_class(differential::totalLength(mappedVariants)));
        // Lengths count characters of the text as written, whatever the map does to bytes.
        ASSERT_EQ(mapped.maxLength(), differential::longest(expected->variants));
        ASSERT_EQ(mapped.minLength(), differential::shortest(expected->variants));
        // Within a length range, lengths are the original's and bytes the map's.
        const std::size_t middle
            = (differential::shortest(expected->variants) + differential::longest(expected->variants)) / 2;
        std::vector<std::string> kept;
        std::size_t keptBytes = 0;
        for (std::size_t v = 0; v < mappedVariants.size(); ++v) {
            if (expected->variants[v].size() >= middle) {
                kept.push_back(mappedVariants[v]);
                keptBytes += mappedVariants[v].size();
            }
        }
        const razmnozhator::RangeFigures figures = mapped.figuresInRange({ middle, UINT64_MAX });
        ASSERT_EQ(figures.count, mpz_class(kept.size()));
        ASSERT_EQ(figures.totalBytes, mpz_class(keptBytes));
        // Samples within the range, which tell lengths apart without writing
        // the variants, keep the same ones.
        for (const auto order : { razmnozhator::Sample::Order::Template, razmnozhator::Sample::Order::Random }) {
            razmnozhator::Sample sample(mapped, kept.size() + 16, { middle, UINT64_MAX }, 1, order);
            std::vector<std::string> drawn;
            while (sample.next())
                drawn.emplace_back(sample.current());
            std::vector<std::string> wanted = kept;
            if (order == razmnozhator::Sample::Order::Random) {
                std::sort(drawn.begin(), drawn.end());
                std::sort(wanted.begin(), wanted.end());
            }
            ASSERT_EQ(drawn, wanted);
        }
        // The original is a separate value and must not have been touched.
        ASSERT_EQ(testtext::toStrings(compiled.expand()), expected->variants);
    }
    EXPECT_GE(checked, 1000);
}

INSTANTIATE_TEST_SUITE_P(ByteWise, LiteralMaps, testing::ValuesIn(literalMaps),
    [](const testing::TestParamInfo<LiteralMap> &row) { return std::string(row.param.name); });

} // namespace
