// Uniform samples: what they hold, that a seed fixes them, and that they are
// uniform over positions, not over each group's choices.

#include "differential.h"
#include "random_templates.h"

#include "razmnozhator/sample.h"

#include "selection/draws.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <memory>
#include <string>
#include <typeindex>
#include <utility>
#include <vector>

namespace {

using razmnozhator::Sample;

std::vector<std::string> draw(const razmnozhator::CompiledTemplate &compiled, unsigned long size,
    razmnozhator::LengthRange range, std::uint64_t seed, Sample::Order order = Sample::Order::Random)
{
    Sample sample(compiled, size, range, seed, order);
    std::vector<std::string> variants;
    while (sample.next())
        variants.emplace_back(sample.current());
    EXPECT_EQ(sample.size(), static_cast<unsigned long>(variants.size()));
    return variants;
}

std::vector<std::string> sorted(std::vector<std::string> variants)
{
    std::sort(variants.begin(), variants.end());
    return variants;
}

bool isSubsequence(const std::vector<std::string> &part, const std::vector<std::string> &whole)
{
    auto at = whole.begin();
    for (const std::string &variant : part) {
        at = std::find(at, whole.end(), variant);
        if (at == whole.end())
            return false;
        ++at;
    }
    return true;
}

TEST(Sample, HoldsDistinctPositionsWithinTheRange)
{
    differential::TemplateGenerator generator(31);
    const reference::Budget budget { 20'000, 400'000 };
    int checked = 0;
    for (int i = 0; i < 4000; ++i) {
        const std::string text = generator.structured(16);
        const auto expected = differential::referenceOutcome(differential::Entry::Template, text, budget);
        if (!expected || expected->failed)
            continue;
        SCOPED_TRACE("template " + differential::quoted(text));
        const auto compiled = razmnozhator::CompiledTemplate::compile(text);
        const std::uint64_t longest = differential::longest(expected->variants);
        const std::uint64_t middle = (differential::shortest(expected->variants) + longest) / 2;
        // Ranges that keep every variant, many of them, and few.
        for (const razmnozhator::LengthRange range :
            { razmnozhator::LengthRange {}, { middle, UINT64_MAX }, { longest, longest } }) {
            std::vector<std::string> kept;
            for (const std::string &variant : expected->variants) {
                if (range.contains(variant.size()))
                    kept.push_back(variant);
            }
            const unsigned long half = (kept.size() + 1) / 2;
            const std::vector<std::string> some = draw(compiled, half, range, i);
            ASSERT_EQ(some.size(), half);
            // A multiset within the kept ones: positions are distinct.
            const std::vector<std::string> keptSorted = sorted(kept);
            const std::vector<std::string> someSorted = sorted(some);
            ASSERT_TRUE(std::includes(keptSorted.begin(), keptSorted.end(), someSorted.begin(), someSorted.end()));
            ASSERT_EQ(draw(compiled, kept.size() + 3, range, i), draw(compiled, kept.size() + 3, range, i));
            ASSERT_EQ(sorted(draw(compiled, kept.size() + 3, range, i)), keptSorted);
            ASSERT_TRUE(isSubsequence(draw(compiled, half, range, i, Sample::Order::Template), kept));
            ASSERT_EQ(draw(compiled, kept.size() + 3, range, i, Sample::Order::Template), kept);
        }
        ++checked;
    }
    EXPECT_GE(checked, 1000);
}

// "[a|[b|c|d]]" before two digit groups: a quarter of the positions start with
// each letter. Choosing per group would start half of them with "a", which a
// chi-square test over 4000 one-variant samples shows at once.
TEST(Sample, IsUniformOverPositions)
{
    const auto compiled
        = razmnozhator::CompiledTemplate::compile("[a|[b|c|d]][0|1|2|3|4|5|6|7|8|9][0|1|2|3|4|5|6|7|8|9]");
    std::map<char, int> firsts;
    constexpr int draws = 4000;
    for (int seed = 0; seed < draws; ++seed)
        ++firsts[draw(compiled, 1, {}, seed).at(0).at(0)];
    double chiSquare = 0;
    for (const char letter : { 'a', 'b', 'c', 'd' }) {
        const double expected = draws / 4.0;
        chiSquare += (firsts[letter] - expected) * (firsts[letter] - expected) / expected;
    }
    // 3 degrees of freedom: 16.27 is exceeded with probability 0.001.
    EXPECT_LT(chiSquare, 16.27) << "a " << firsts['a'] << ", b " << firsts['b'] << ", c " << firsts['c'] << ", d "
                                << firsts['d'];
}

// A seed gives the same sample everywhere and in every version: the first
// variants of a seed, for counts whose halves in the permutation take part of
// a word, a whole word and more than a word.
struct SeededCase
{
    const char *name;
    const char *group;
    int times;
    std::vector<std::string> expected;
};

class SeededSample : public testing::TestWithParam<SeededCase>
{
};

TEST_P(SeededSample, GivesTheSameVariants)
{
    const SeededCase &row = GetParam();
    std::string text;
    for (int i = 0; i < row.times; ++i)
        text += row.group;
    EXPECT_EQ(draw(razmnozhator::CompiledTemplate::compile(text), 2, {}, 11), row.expected);
}

const SeededCase seededCases[] = {
    { "halves_of_34_bits", "[0|1|2|3|4|5|6|7|8|9]", 20, { "43789690211482610206", "89189498209581832927" } },
    { "halves_of_64_bits", "[0|1]", 128,
        { "1000110001011111101111000110000001101011100100011101010000110010"
          "0111110110110111010000011111110111010000101100100111001000111100",
            "0111011111001000001111110000010001110111010110011110110100101101"
            "1101011101000110101100001111001010000001011100111110101101000011" } },
    { "halves_of_65_bits", "[0|1|2|3|4|5|6|7|8|9]", 39,
        { "911003733349484365052888651020567860929", "895446160594554311981111112957231638658" } },
};

INSTANTIATE_TEST_SUITE_P(Seeds, SeededSample, testing::ValuesIn(seededCases),
    [](const testing::TestParamInfo<SeededCase> &row) { return std::string(row.param.name); });

// A smaller sample is the start of a larger one with the same seed, whatever
// way of drawing the share kept calls for (here a sixth of the variants).
TEST(Sample, SmallerSampleStartsTheLargerOne)
{
    const auto compiled = razmnozhator::CompiledTemplate::compile(
        "[0|1|2|3|4|5|6|7|8|9][0|1|2|3|4|5|6|7|8|9][a|bb|ccc|dddd|eeeee|ffffff]");
    const razmnozhator::LengthRange fourLetters { 6, 6 };
    const std::vector<std::string> whole = draw(compiled, 1000, fourLetters, 4);
    ASSERT_EQ(whole.size(), 100u);
    for (const unsigned long size : { 1ul, 2ul, 15ul, 16ul, 99ul })
        EXPECT_EQ(draw(compiled, size, fourLetters, 4), std::vector<std::string>(whole.begin(), whole.begin() + size))
            << size;
}

// Beyond a million the ranks stream through a permutation instead of being held.
TEST(Sample, StreamsLargeSamplesWithoutRepeats)
{
    const auto compiled = razmnozhator::CompiledTemplate::compile(
        "[0|1|2|3|4|5|6|7|8|9][0|1|2|3|4|5|6|7|8|9][0|1|2|3|4|5|6|7|8|9][0|1|2|3|4|5|6|7|8|9][0|1|2|3|4|5|6|7|8|9]"
        "[0|1|2|3|4|5|6|7|8|9][0|1|2|3]");
    for (const Sample::Order order : { Sample::Order::Random, Sample::Order::Template }) {
        Sample sample(compiled, 1'500'000, {}, 9, order);
        std::vector<std::uint32_t> numbers;
        while (sample.next())
            numbers.push_back(static_cast<std::uint32_t>(std::stoul(std::string(sample.current()))));
        ASSERT_EQ(numbers.size(), 1'500'000u);
        ASSERT_EQ(std::is_sorted(numbers.begin(), numbers.end()), order == Sample::Order::Template);
        std::sort(numbers.begin(), numbers.end());
        EXPECT_EQ(std::adjacent_find(numbers.begin(), numbers.end()), numbers.end());
    }
}

// Each way of drawing, chosen by the share the bounds keep, the sample's
// size and the rule: a variant is made again from its draw number, and the
// draw numbers in template order give the sample in template order.
struct WayCase
{
    const char *name;
    std::string text;
    razmnozhator::LengthRange range;
    unsigned long size;
    std::type_index way;
    std::size_t kept;
    // At most one comma, and commas uncounted.
    bool commaRule = false;
};

void PrintTo(const WayCase &row, std::ostream *out)
{
    *out << row.name;
}

class DrawingWay : public testing::TestWithParam<WayCase>
{
};

TEST_P(DrawingWay, RedrawsAndOrdersWhatItDrew)
{
    using namespace razmnozhator::detail;
    const WayCase &row = GetParam();
    razmnozhator::LengthRule rule;
    if (row.commaRule) {
        rule.uncounted.set(',');
        rule.limited.set(',');
        rule.mostLimited = 1;
    }
    const auto compiled = razmnozhator::CompiledTemplate::compile(row.text, rule);
    const std::unique_ptr<Draws> draws = makeDraws(compiled, row.size, row.range, 5, Sample::Order::Random);
    const Draws &way = *draws;
    ASSERT_EQ(std::type_index(typeid(way)), row.way);
    std::vector<std::pair<std::uint64_t, std::string>> drawn;
    while (draws->next())
        drawn.emplace_back(draws->currentDraw(), std::string(draws->current()));
    ASSERT_EQ(drawn.size(), row.kept);
    for (std::size_t k = 0; k < drawn.size(); k += 7) {
        draws->redraw(drawn[k].first);
        EXPECT_EQ(draws->current(), drawn[k].second) << k;
    }
    std::sort(drawn.begin(), drawn.end(),
        [&draws](const auto &a, const auto &b) { return draws->drawnBefore(a.first, b.first); });
    std::vector<std::string> inOrder;
    for (const auto &[number, variant] : drawn)
        inOrder.push_back(variant);
    EXPECT_EQ(draw(compiled, row.size, row.range, 5, Sample::Order::Template), inOrder);
}

const std::string sixGroups
    = "[a|bb|ccc|dddd][a|bb|ccc|dddd][a|bb|ccc|dddd][a|bb|ccc|dddd][a|bb|ccc|dddd][a|bb|ccc|dddd]";
const std::string tenCommas = "[a|bb][,|][c|dd][,|][e|ff][,|][g|hh][,|][i|jj][,|]";

const WayCase wayCases[] = {
    { "ranks_of_every_length", sixGroups, {}, 40, typeid(razmnozhator::detail::RankDraws), 40 },
    { "ranks_sought_within_a_small_share", sixGroups, { 8, 8 }, 10, typeid(razmnozhator::detail::RankDraws), 10 },
    { "ranks_by_digits_within_a_small_share", sixGroups, { 8, 8 }, 30, typeid(razmnozhator::detail::DigitDraws), 21 },
    { "positions_passed_over_within_a_large_share", sixGroups, { 12, 18 }, 50,
        typeid(razmnozhator::detail::PassingOver), 50 },
    { "ranks_within_the_limit_on_commas", tenCommas, { 6, 10 }, 1000, typeid(razmnozhator::detail::WithinLimit), 186,
        true },
};

INSTANTIATE_TEST_SUITE_P(Ways, DrawingWay, testing::ValuesIn(wayCases),
    [](const testing::TestParamInfo<WayCase> &row) { return std::string(row.param.name); });

} // namespace
