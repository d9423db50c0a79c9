// Lengths counted by a rule that leaves some bytes uncounted and refuses the
// variants holding too many of them: every figure and every way of choosing
// variants is checked against the reference expander's list, filtered by
// LengthRule::lengthOf().

#include "differential.h"
#include "drawncheck.h"
#include "figures/lengthcounts.h"
#include "program/templateaccess.h"
#include "random_templates.h"
#include "selection/withinlimitranks.h"

#include "razmnozhator/diversity.h"
#include "razmnozhator/engine.h"
#include "razmnozhator/restriction.h"
#include "razmnozhator/sample.h"

#include "testtext.h"

#include <gtest/gtest.h>

#include <gmpxx.h>

#include <algorithm>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace {

using razmnozhator::CompiledTemplate;
using razmnozhator::LengthRange;
using razmnozhator::LengthRule;

// The limited bytes are the uncounted ones unless given apart.
LengthRule ruleOf(
    std::string_view uncounted, std::uint32_t most = UINT32_MAX, std::optional<std::string_view> limited = std::nullopt)
{
    LengthRule rule;
    for (const char c : uncounted)
        rule.uncounted.set(static_cast<unsigned char>(c));
    for (const char c : limited.value_or(uncounted))
        rule.limited.set(static_cast<unsigned char>(c));
    rule.mostLimited = most;
    return rule;
}

struct MeasureCase
{
    const char *name;
    std::string_view line;
    std::optional<std::uint64_t> length;
};

const MeasureCase measureCases[] = {
    { "no_uncounted_bytes", "abc", 3 },
    { "two_uncounted", "a,b.", 2 },
    { "at_the_limit", ",,,", 0 },
    { "past_the_limit", ",,,,", std::nullopt },
    { "empty", "", 0 },
};

TEST(LengthRule, MeasuresALine)
{
    const LengthRule rule = ruleOf(",.", 3);
    for (const MeasureCase &row : measureCases)
        EXPECT_EQ(rule.lengthOf(row.line), row.length) << row.name;
    EXPECT_EQ(LengthRule {}.lengthOf(",,,,"), 4u);
    // Limited bytes that count: "!" at most once.
    const LengthRule exclamation = ruleOf("", 1, "!");
    EXPECT_FALSE(exclamation.plain());
    EXPECT_EQ(exclamation.lengthOf("a!b"), 3u);
    EXPECT_EQ(exclamation.lengthOf("a!b!"), std::nullopt);
    // Uncounted and limited apart.
    EXPECT_EQ(ruleOf(",", 0, "!").lengthOf("a,,b"), 2u);
    EXPECT_EQ(ruleOf(",", 0, "!").lengthOf("a,!"), std::nullopt);
}

// Fixed figures, worked out by hand from the listed variants.
struct FigureCase
{
    const char *name;
    std::string text;
    LengthRule rule;
    LengthRange range;
    unsigned long count;
    unsigned long bytes;
    std::size_t shortest; // minLength() / maxLength() by the rule
    std::size_t longest;
    bool keepsNone;
    const char *first; // the first kept variant, when any
};

const FigureCase figureCases[] = {
    // ab ab, ab. a.b a.b. a,b a,b. ; at most one uncounted byte: ab ab. a.b a,b
    { "one_uncounted_at_most", "a[|.|,]b[|.]", ruleOf(".,", 1), { 0, 100 }, 4, 11, 2, 2, false, "ab" },
    { "no_limit", "a[|.|,]b[|.]", ruleOf(".,"), { 0, 100 }, 6, 19, 2, 2, false, "ab" },
    { "every_variant_refused", "[..|,,][x|.]", ruleOf(".,", 1), { 0, 100 }, 0, 0, 0, 0, true, nullptr },
    // xx,y x,y ; ,yxx ,yx (pairs of items) with "," between: limit 1 keeps
    // the pairs without a second comma.
    { "pairs_with_uncounted_separator", "{,|x[x|]|y}", ruleOf(","), { 2, 2 }, 2, 6, 2, 3, false, "x,y" },
    { "bounds_by_the_rule", "[a|bb|ccc][,|,,|]", ruleOf(",", 1), { 2, 3 }, 4, 12, 1, 3, false, "bb," },
    // a! b! a b a!! b!!, "!" counted and refused: a b
    { "limited_but_counted", "[a|b][!||!!]", ruleOf("", 0, "!"), { 0, 100 }, 2, 2, 1, 1, false, "a" },
    // at most one "!": a! b! a b; lengths 1 to 2
    { "one_limited_counted", "[a|b][!||!!]", ruleOf("", 1, "!"), { 2, 2 }, 2, 4, 1, 2, false, "a!" },
    // "," uncounted, "!" limited to none: x, x,, y, y,, ; by the rule length 1
    { "uncounted_and_limited_apart", "[x|y|!][,|,,]", ruleOf(",", 0, "!"), { 1, 1 }, 4, 10, 1, 1, false, "x," },
};

TEST(LengthRule, FiguresOfFixedTemplates)
{
    for (const FigureCase &row : figureCases) {
        SCOPED_TRACE(row.name);
        const auto compiled = CompiledTemplate::compile(row.text).withLengthRule(row.rule);
        EXPECT_EQ(compiled.lengthRule(), row.rule);
        const razmnozhator::RangeFigures figures = compiled.figuresInRange(row.range);
        EXPECT_EQ(figures.count, row.count);
        EXPECT_EQ(figures.totalBytes, row.bytes);
        EXPECT_EQ(compiled.minLength(), row.shortest);
        EXPECT_EQ(compiled.maxLength(), row.longest);
        EXPECT_EQ(compiled.keepsNone(), row.keepsNone);
        if (row.first) {
            EXPECT_EQ(compiled.variantInRange(0, row.range), row.first);
        }
    }
}

// The reference list, kept and measured by the rule.
struct Kept
{
    std::vector<std::string> variants;
    std::vector<std::uint64_t> lengths;
};

Kept keptBy(const std::vector<std::string> &all, const LengthRule &rule, LengthRange range)
{
    Kept kept;
    for (const std::string &variant : all) {
        const std::optional<std::uint64_t> length = rule.lengthOf(variant);
        if (length && range.contains(*length)) {
            kept.variants.push_back(variant);
            kept.lengths.push_back(*length);
        }
    }
    return kept;
}

// One template under one rule: every question within every range.
void checkAgainstReference(const std::string &text, const LengthRule &rule)
{
    const auto expected
        = differential::referenceOutcome(differential::Entry::Template, text, reference::Budget { 20000, 1 << 20 });
    if (!expected || expected->failed)
        return;
    const std::vector<std::string> &all = expected->variants;
    const auto compiled = CompiledTemplate::compile(text).withLengthRule(rule);
    // Lengths count the text as written, bytes what the map made of it.
    const auto mapped = compiled.withLiteralsMapped(testtext::doubled);
    ASSERT_EQ(mapped.lengthRule(), rule);
    const Kept whole = keptBy(all, rule, {});
    ASSERT_EQ(compiled.keepsNone(), whole.variants.empty());
    if (!whole.variants.empty()) {
        ASSERT_EQ(compiled.minLength(), *std::ranges::min_element(whole.lengths));
        ASSERT_EQ(compiled.maxLength(), *std::ranges::max_element(whole.lengths));
    }
    ASSERT_EQ(compiled.count(), static_cast<unsigned long>(all.size()));
    ASSERT_EQ(compiled.keepsEveryLength({}), whole.variants.size() == all.size());

    const razmnozhator::LengthColumns columns = compiled.lengthColumns(1000);
    for (std::uint64_t length = columns.shortest; length <= columns.longest; ++length) {
        const auto count = std::ranges::count(whole.lengths, length);
        ASSERT_EQ(columns.columns[length - columns.shortest], static_cast<unsigned long>(count)) << length;
    }

    const std::uint64_t top = whole.lengths.empty() ? 2 : *std::ranges::max_element(whole.lengths) + 1;
    for (std::uint64_t max = 0; max <= top; ++max) {
        for (const std::uint64_t min : { std::uint64_t(0), max / 2, max }) {
            const LengthRange range { min, max };
            SCOPED_TRACE("lengths " + std::to_string(min) + " to " + std::to_string(max));
            const Kept kept = keptBy(all, rule, range);
            const std::size_t bytes = differential::totalLength(kept.variants);
            // Counted alone, before any index is kept.
            ASSERT_EQ(CompiledTemplate::compile(text).withLengthRule(rule).countInRange(range), kept.variants.size());
            const razmnozhator::RangeFigures figures = compiled.figuresInRange(range);
            ASSERT_EQ(figures.count, static_cast<unsigned long>(kept.variants.size()));
            ASSERT_EQ(figures.totalBytes, static_cast<unsigned long>(bytes));
            ASSERT_EQ(mapped.figuresInRange(range).totalBytes, static_cast<unsigned long>(2 * bytes));
            razmnozhator::Enumerator seeker(compiled);
            for (std::size_t rank = 0; rank < kept.variants.size(); ++rank) {
                ASSERT_EQ(compiled.variantInRange(rank, range), kept.variants[rank]) << "rank " << rank;
                ASSERT_EQ(mapped.variantInRange(rank, range), testtext::doubled(kept.variants[rank]));
                seeker.seekInRange(rank, range);
                ASSERT_TRUE(seeker.next());
                ASSERT_EQ(seeker.current(), kept.variants[rank]);
            }
            std::vector<std::string> listed;
            razmnozhator::BoundedEnumerator bounded(compiled, range);
            while (bounded.next())
                listed.emplace_back(bounded.current());
            ASSERT_EQ(listed, kept.variants);
            expectSamplesDrawnFrom(compiled, range, max, kept.variants);
        }
    }
}

struct RuleCase
{
    const char *name;
    std::string text;
    std::string_view uncounted;
    std::uint32_t most;
    std::optional<std::string_view> limited = std::nullopt; // the uncounted ones unless given
};

const RuleCase ruleCases[] = {
    { "punctuation_after_phrases", "[Buy|Order] [it|them][,|.|!|] [now|today][.|!|]", ",.!", 1 },
    { "limit_that_refuses_nothing", "[a|b][,|]{-|x|y,}", ",", 5 },
    { "no_limit", "[a,|b]{,|x|y.|z}", ",.", UINT32_MAX },
    { "pairs_of_uncounted_items", "{|,|..|a|[b|,]}", ",.", 2 },
    { "nested_groups", "[x{,|a|[b|,c]}|.[d|..]]e[,|]", ",.", 1 },
    { "uncounted_literal_past_the_limit", "[,,,|a][b|,]", ",", 2 },
    { "many_optional_commas", "[a|bb|c][,|] [d|ee][,|]. [f|gg][,|] [h|ii][,|] [j|kk][,|]!", ",.!", 3 },
    // Lengths of alternatives that run past a whole period and on from its start.
    { "runs_round_the_period", R"(["!][[:|[..,,a!!!x|!!!x]..,,|!!!]:.|[[xbbbb|a":|..,,,],x[x:,!!!|!!..|!x,,]]]!!!)",
        ".,!:;\"", 15 },
    { "exclamation_refused", "[Buy|Order][!|] [now|today][.|!|!!]", "", 0, "!" },
    { "exclamation_at_most_once", "[Buy|Order]{!|[a|!]|b|c!} [now!|today][.|!|]", "", 1, "!" },
    { "uncounted_apart_from_limited", "[a,|b!][,|!|]{ |x!|y,|[z|!!]}", ",", 2, "!," },
};

class RuleAgainstReference : public testing::TestWithParam<RuleCase>
{
};

TEST_P(RuleAgainstReference, AgreesWithTheFilteredList)
{
    checkAgainstReference(GetParam().text, ruleOf(GetParam().uncounted, GetParam().most, GetParam().limited));
}

INSTANTIATE_TEST_SUITE_P(Templates, RuleAgainstReference, testing::ValuesIn(ruleCases),
    [](const testing::TestParamInfo<RuleCase> &row) { return std::string(row.param.name); });

// Spectra cut at the end of every question, rather than only where that
// saves much, as long as the test runs.
class CutAtEveryEnd
{
public:
    CutAtEveryEnd() { razmnozhator::detail::cutAtEveryEnd = true; }
    ~CutAtEveryEnd() { razmnozhator::detail::cutAtEveryEnd = false; }
};

TEST(LengthRule, RandomTemplatesAgreeWithTheFilteredList)
{
    differential::TemplateGenerator generator(2024);
    for (int i = 0; i < 150; ++i) {
        const std::string text = generator.structured(18);
        SCOPED_TRACE(differential::quoted(text));
        // The space and one letter uncounted, at most 0 to 3 of them; every
        // fifth limits other bytes than it leaves uncounted.
        const LengthRule rule = ruleOf(
            i % 2 ? " " : " a", std::uint32_t(i % 4), i % 5 == 1 ? std::optional<std::string_view>("b") : std::nullopt);
        if (i % 3 == 0) {
            const CutAtEveryEnd cut;
            checkAgainstReference(text, rule);
        } else {
            checkAgainstReference(text, rule);
        }
        if (HasFatalFailure())
            return;
    }
}

// Forty optional commas or dots, at most three kept, and lengths by the rule
// in the middle of their spread: most variants break the limit or miss the
// bounds only through their last groups, which the listing must pass over
// rather than visit, whichever window a variant's commas put it in.
TEST(LengthRule, ListingVisitsOnlyWhatItKeeps)
{
    std::string text;
    for (int i = 0; i < 40; ++i)
        text += i % 3 ? "[a|bbbb][,|.|]" : "[cc|d][.|]";
    const LengthRule rule = ruleOf(",.", 3);
    const auto compiled = CompiledTemplate::compile(text).withLengthRule(rule);
    const LengthRange range { 90, 95 };
    razmnozhator::BoundedEnumerator lines(compiled, range);
    std::size_t listed = 0;
    while (listed < 5000 && lines.next()) {
        ASSERT_TRUE(rule.lengthOf(lines.current()).has_value());
        ASSERT_TRUE(range.contains(*rule.lengthOf(lines.current())));
        ++listed;
    }
    ASSERT_EQ(listed, 5000u);
    EXPECT_LE(razmnozhator::detail::TemplateAccess::visited(lines), listed + 1);
}

// Ten optional commas, at most one kept: a sixth of the variants lie within
// the limit, and the bounds keep most of those. Such samples draw among the
// variants within the limit and pass over the few outside the bounds.
TEST(LengthRule, SamplesWithinTheLimitAreUniformAndSteady)
{
    const std::string text = "[a|bb][,|][c|dd][,|][e|ff][,|][g|hh][,|][i|jj][,|]";
    const LengthRule rule = ruleOf(",", 1);
    const auto compiled = CompiledTemplate::compile(text).withLengthRule(rule);
    const auto all = differential::referenceOutcome(differential::Entry::Template, text, reference::Budget {});
    ASSERT_TRUE(all && !all->failed);
    const LengthRange range { 6, 10 };
    std::vector<std::string> kept = keptBy(all->variants, rule, range).variants;
    // 31 of the 32 choices of letters, each with no comma or one of five.
    ASSERT_EQ(kept.size(), 186u);
    expectSamplesDrawnFrom(compiled, range, 5, kept);
    std::vector<std::string> whole;
    razmnozhator::Sample sample(compiled, 1000, range, 5);
    while (sample.next())
        whole.emplace_back(sample.current());
    for (const unsigned long size : { 1ul, 15ul, 16ul, 185ul }) {
        razmnozhator::Sample smaller(compiled, size, range, 5);
        for (std::size_t i = 0; i < size; ++i) {
            ASSERT_TRUE(smaller.next());
            ASSERT_EQ(smaller.current(), whole[i]) << size;
        }
    }
    std::ranges::sort(whole);
    std::ranges::sort(kept);
    EXPECT_EQ(whole, kept);
}

// Seventy optional ",x" between two free groups, at most 35 commas: more
// combinations of commas than a machine word counts. A rank's remainder by
// their number picks the commas in expansion order, its quotient the free
// groups' choices.
struct WideLimitCase
{
    const char *name;
    unsigned long free; // the quotient
    enum { First, FirstWithoutTheFirstComma, Last } commas;
    std::string variant;
};

std::string repeated(std::string_view piece, int times)
{
    std::string text;
    for (int i = 0; i < times; ++i)
        text += piece;
    return text;
}

const WideLimitCase wideLimitCases[] = {
    { "first", 0, WideLimitCase::First, "a" + repeated(",x", 35) + repeated("y", 35) + "c" },
    { "first_without_the_first_comma", 0, WideLimitCase::FirstWithoutTheFirstComma,
        "ay" + repeated(",x", 35) + repeated("y", 34) + "c" },
    { "no_comma", 0, WideLimitCase::Last, "a" + repeated("y", 70) + "c" },
    { "next_free_choice", 1, WideLimitCase::First, "a" + repeated(",x", 35) + repeated("y", 35) + "d" },
    { "last", 3, WideLimitCase::Last, "b" + repeated("y", 70) + "d" },
};

class WideLimit : public testing::TestWithParam<WideLimitCase>
{
};

TEST_P(WideLimit, RanksBecomeTheirVariants)
{
    const WideLimitCase &row = GetParam();
    const auto compiled
        = CompiledTemplate::compile("[a|b]" + repeated("[,x|y]", 70) + "[c|d]").withLengthRule(ruleOf(",", 35));
    const auto ranks = razmnozhator::detail::WithinLimitRanks::make(compiled, 35,
        [&](const mpz_class &at) { return std::uint64_t(std::ranges::count(compiled.variantAt(at), ',')); });
    ASSERT_TRUE(ranks);
    // Combinations of at most 35 commas among 70 places, and those of them
    // with no comma in the first place.
    mpz_class commas = 0;
    mpz_class withoutTheFirst = 0;
    for (unsigned long j = 0; j <= 35; ++j) {
        mpz_class ways;
        mpz_bin_uiui(ways.get_mpz_t(), 70, j);
        commas += ways;
        mpz_bin_uiui(ways.get_mpz_t(), 69, j);
        withoutTheFirst += ways;
    }
    ASSERT_EQ(ranks->count(), 4 * commas);
    const mpz_class within[] = { 0, commas - withoutTheFirst, commas - 1 };
    const mpz_class rank = commas * row.free + within[row.commas];
    std::vector<std::uint64_t> digits(ranks->groups());
    ranks->digitsOf({ &rank, 1 }, digits.data());
    mpz_class position;
    ranks->position(digits.data(), position);
    EXPECT_EQ(compiled.variantAt(position), row.variant);
}

INSTANTIATE_TEST_SUITE_P(Ranks, WideLimit, testing::ValuesIn(wideLimitCases),
    [](const testing::TestParamInfo<WideLimitCase> &row) { return std::string(row.param.name); });

// Ranks within the limit do not follow the expansion order: diverse
// variants in template order are sorted by their positions all the same.
// The bounds keep 120 of the 192 variants within the limit, of 1024.
TEST(LengthRule, DiverseVariantsInTemplateOrderFollowTheExpansion)
{
    const std::string text = "[a|bb][,|][c|dd][,|][e|ff][,|][g|hh][,|][i|jj][,|]";
    const auto compiled = CompiledTemplate::compile(text).withLengthRule(ruleOf(",", 1));
    std::map<std::string, std::size_t> place;
    const razmnozhator::VariantList all = CompiledTemplate::compile(text).expand();
    for (std::size_t i = 0; i < all.size(); ++i)
        place.emplace(all[i], i);
    const auto chosen = [&](std::uint64_t seed, razmnozhator::Sample::Order order) {
        auto diverse = razmnozhator::chooseDiverseVariants(compiled, 6, { 7, 8 }, seed, {}, order);
        std::vector<std::string> lines;
        while (diverse && diverse->next())
            lines.emplace_back(diverse->current());
        return lines;
    };
    for (std::uint64_t seed = 0; seed < 6; ++seed) {
        SCOPED_TRACE(seed);
        std::vector<std::string> random = chosen(seed, razmnozhator::Sample::Order::Random);
        std::ranges::sort(
            random, [&](const std::string &a, const std::string &b) { return place.at(a) < place.at(b); });
        EXPECT_EQ(random.size(), 6u);
        EXPECT_EQ(chosen(seed, razmnozhator::Sample::Order::Template), random);
    }
}

TEST(LengthRule, RestrictionMeasuresByTheRule)
{
    // Rules written with their first three members keep the plain rule.
    EXPECT_TRUE((razmnozhator::RestrictRules { { 0, 5 }, UINT64_MAX, false }.rule.plain()));
    razmnozhator::RestrictRules rules;
    rules.lengths = { 2, 3 };
    rules.rule = ruleOf(",", 1);
    const auto kept = razmnozhator::restrictVariants(testtext::listOf({ "ab,", "a,b,", "abcd", "a,", ",,ab" }), rules);
    ASSERT_EQ(kept.size(), 1u);
    EXPECT_EQ(kept[0], "ab,");
}

TEST(LengthRule, DiverseVariantsAreKeptByTheRule)
{
    const auto compiled = CompiledTemplate::compile("[a|b|c][,|,,|][x|y]").withLengthRule(ruleOf(",", 1));
    auto diverse = razmnozhator::chooseDiverseVariants(compiled, 4, { 2, 2 }, 7, {});
    ASSERT_TRUE(diverse);
    // Of a,x a,y b,x b,y c,x c,y: four, none with two commas or none.
    EXPECT_EQ(diverse->size(), 4u);
    while (diverse->next())
        EXPECT_EQ(compiled.lengthRule().lengthOf(diverse->current()), 2u) << diverse->current();
}

} // namespace
