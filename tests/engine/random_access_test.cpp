// Random access against the reference expander: the variant at every position
// of thousands of small random templates, seeking and going on from there,
// and positions far beyond 64 bits in templates made of a known big prefix.

#include "differential.h"
#include "random_templates.h"

#include "razmnozhator/engine.h"
#include "razmnozhator/sample.h"

#include "testtext.h"

#include <gtest/gtest.h>

#include <gmpxx.h>

#include <algorithm>
#include <random>
#include <stdexcept>
#include <string>
#include <tuple>
#include <vector>

namespace {

using testtext::times;

constexpr reference::Budget budget { 20'000, 400'000 };

// Valid templates of the structured generator with their reference variants.
template <class Check> int forRandomTemplates(std::uint32_t seed, int tries, std::size_t maxLength, Check check)
{
    differential::TemplateGenerator generator(seed);
    int checked = 0;
    for (int i = 0; i < tries; ++i) {
        const std::string text = generator.structured(maxLength);
        const auto expected = differential::referenceOutcome(differential::Entry::Template, text, budget);
        if (!expected || expected->failed)
            continue;
        SCOPED_TRACE("template " + differential::quoted(text));
        check(text, expected->variants);
        if (testing::Test::HasFatalFailure())
            return checked;
        ++checked;
    }
    return checked;
}

TEST(RandomAccess, EveryPositionOfRandomTemplates)
{
    const int checked = forRandomTemplates(21, 20000, 16, [](const std::string &text, const auto &variants) {
        const auto compiled = razmnozhator::CompiledTemplate::compile(text);
        for (std::size_t i = 0; i < variants.size(); ++i) {
            ASSERT_EQ(compiled.variantAt(i), variants[i]) << "position " << i;
            // A seek goes on in order from where it lands.
            razmnozhator::Enumerator enumerator(compiled, i);
            ASSERT_TRUE(enumerator.next());
            ASSERT_EQ(enumerator.current(), variants[i]);
            ASSERT_EQ(enumerator.next(), i + 1 < variants.size());
            if (i + 1 < variants.size()) {
                ASSERT_EQ(enumerator.current(), variants[i + 1]);
            }
        }
        razmnozhator::Enumerator atEnd(compiled, variants.size());
        ASSERT_FALSE(atEnd.next());
        ASSERT_THROW((void)compiled.variantAt(variants.size()), std::out_of_range);
    });
    EXPECT_GE(checked, 5000);
}

// Twenty digit groups make 10^20 variants, past 64 bits. Alone, as one
// alternative beside "x", or as an item of a pairs group beside "y", before a
// random template of n variants: the variant at position p starts with what
// the big group gives at p / n, in twenty digits.
struct BigGroupCase
{
    const char *name;
    std::string (*wrap)(const std::string &digits);
    mpz_class count;
    std::string (*expected)(const mpz_class &variant);
};

std::string twentyDigits(const mpz_class &number)
{
    std::string text = number.get_str();
    return std::string(20 - text.size(), '0') + text;
}

const mpz_class tenToTheTwenty("100000000000000000000");

const BigGroupCase bigGroupCases[] = {
    { "sequence", [](const std::string &digits) { return digits; }, tenToTheTwenty,
        [](const mpz_class &variant) { return twentyDigits(variant); } },
    { "alternative", [](const std::string &digits) { return "[" + digits + "|x]"; }, tenToTheTwenty + 1,
        [](const mpz_class &variant) { return variant < tenToTheTwenty ? twentyDigits(variant) : std::string("x"); } },
    { "pairs item", [](const std::string &digits) { return "{-|" + digits + "|y}"; }, 2 * tenToTheTwenty,
        [](const mpz_class &variant) {
            return variant < tenToTheTwenty ? twentyDigits(variant) + "-y"
                                            : "y-" + twentyDigits(mpz_class(variant - tenToTheTwenty));
        } },
};

class PositionsBeyondSixtyFourBits : public testing::TestWithParam<BigGroupCase>
{
};

TEST_P(PositionsBeyondSixtyFourBits, SplitOverTheGroups)
{
    const BigGroupCase &shape = GetParam();
    const std::string digits = times("[0|1|2|3|4|5|6|7|8|9]", 20);
    std::mt19937_64 random(5);
    const int checked = forRandomTemplates(22, 300, 14, [&](const std::string &text, const auto &variants) {
        const auto compiled = razmnozhator::CompiledTemplate::compile(shape.wrap(digits) + text);
        const mpz_class n = static_cast<unsigned long>(variants.size());
        ASSERT_EQ(compiled.count(), shape.count * n);
        for (int draw = 0; draw < 20; ++draw) {
            mpz_class position = mpz_class(static_cast<unsigned long>(random())) * 100000 + random() % 100000;
            position %= compiled.count();
            const std::size_t rest = mpz_class(position % n).get_ui();
            const std::string head = shape.expected(position / n);
            ASSERT_EQ(compiled.variantAt(position), head + variants[rest]) << "position " << position;
            razmnozhator::Enumerator enumerator(compiled, position);
            ASSERT_TRUE(enumerator.next() && enumerator.next());
            if (rest + 1 < variants.size()) {
                ASSERT_EQ(enumerator.current(), head + variants[rest + 1]);
            }
        }
    });
    EXPECT_GE(checked, 70);
}

INSTANTIATE_TEST_SUITE_P(BigGroups, PositionsBeyondSixtyFourBits, testing::ValuesIn(bigGroupCases),
    [](const testing::TestParamInfo<BigGroupCase> &row) {
        std::string name = row.param.name;
        std::replace(name.begin(), name.end(), ' ', '_');
        return name;
    });

// Groups whose counts are all powers of two: the variant at p is p written
// in their base, one digit per group (pairs of "0" and "1" give "01" for 0
// and "10" for 1); three-bit digits straddle the words of p.
struct PowerOfTwoCase
{
    const char *name;
    const char *group;
    int groups;
    int base;
    std::vector<std::string> digitText;
};

class PowerOfTwoCounts : public testing::TestWithParam<PowerOfTwoCase>
{
};

TEST_P(PowerOfTwoCounts, DigitsAreThePositionInTheirBase)
{
    const PowerOfTwoCase &row = GetParam();
    std::string text;
    for (int i = 0; i < row.groups; ++i)
        text += row.group;
    const auto compiled = razmnozhator::CompiledTemplate::compile(text);
    std::mt19937_64 random(11);
    std::vector<mpz_class> positions { 0, compiled.count() - 1 };
    for (int i = 0; i < 20; ++i) {
        mpz_class position = 0;
        for (int word = 0; word < 4; ++word)
            position = (position << 64) + mpz_class(static_cast<unsigned long>(random()));
        positions.push_back(position % compiled.count());
    }
    for (const mpz_class &position : positions) {
        const std::string digits = position.get_str(row.base);
        std::string expected;
        for (std::size_t i = digits.size(); i < std::size_t(row.groups); ++i)
            expected += row.digitText[0];
        for (const char digit : digits)
            expected += row.digitText[std::size_t(digit - '0')];
        EXPECT_EQ(compiled.variantAt(position), expected) << "position " << position;
    }
}

INSTANTIATE_TEST_SUITE_P(RandomAccess, PowerOfTwoCounts,
    testing::Values(PowerOfTwoCase { "TwoWay", "[0|1]", 130, 2, { "0", "1" } },
        PowerOfTwoCase { "FourWay", "[0|1|2|3]", 70, 4, { "0", "1", "2", "3" } },
        PowerOfTwoCase {
            "EightWayAcrossWords", "[0|1|2|3|4|5|6|7]", 50, 8, { "0", "1", "2", "3", "4", "5", "6", "7" } },
        PowerOfTwoCase { "PairsOfTwoItems", "{|0|1}", 100, 2, { "01", "10" } }),
    [](const testing::TestParamInfo<PowerOfTwoCase> &row) { return std::string(row.param.name); });

// Length ranges around the template's own lengths: empty, partial, whole.
std::vector<razmnozhator::LengthRange> rangesFor(const std::vector<std::string> &variants)
{
    const std::uint64_t shortest = differential::shortest(variants);
    const std::uint64_t longest = differential::longest(variants);
    const std::uint64_t middle = (shortest + longest) / 2;
    return { { shortest, longest }, { middle, middle }, { shortest + 1, longest }, { 0, middle },
        { middle + 1, UINT64_MAX }, { longest + 1, longest + 5 }, { longest, shortest } };
}

TEST(RandomAccess, CountsAndRanksWithinLengthRanges)
{
    const int checked = forRandomTemplates(23, 12000, 16, [](const std::string &text, const auto &variants) {
        const auto compiled = razmnozhator::CompiledTemplate::compile(text);
        for (const razmnozhator::LengthRange range : rangesFor(variants)) {
            SCOPED_TRACE("lengths " + std::to_string(range.min) + " to " + std::to_string(range.max));
            std::vector<std::size_t> kept;
            std::size_t bytes = 0;
            for (std::size_t i = 0; i < variants.size(); ++i) {
                if (range.contains(variants[i].size())) {
                    kept.push_back(i);
                    bytes += variants[i].size();
                }
            }
            const razmnozhator::RangeFigures figures = compiled.figuresInRange(range);
            ASSERT_EQ(figures.count, static_cast<unsigned long>(kept.size()));
            ASSERT_EQ(figures.totalBytes, static_cast<unsigned long>(bytes));
            for (std::size_t rank = 0; rank < kept.size(); ++rank) {
                ASSERT_EQ(compiled.variantInRange(rank, range), variants[kept[rank]]) << "rank " << rank;
                // Seeking by rank lands on the variant's position in the full order.
                razmnozhator::Enumerator enumerator(compiled);
                enumerator.seekInRange(rank, range);
                ASSERT_TRUE(enumerator.next());
                ASSERT_EQ(enumerator.next(), kept[rank] + 1 < variants.size());
                if (kept[rank] + 1 < variants.size()) {
                    ASSERT_EQ(enumerator.current(), variants[kept[rank] + 1]);
                }
            }
            ASSERT_THROW((void)compiled.variantInRange(kept.size(), range), std::out_of_range);
        }
    });
    EXPECT_GE(checked, 3000);
}

// "[a|bb|ccc]" 45 times: 3^45 variants, past 64 bits. How many sequences of g
// choices have each length is a small table, so the rank of a variant among
// those in a range can be worked out choice by choice, independently.
TEST(RandomAccess, RanksWithinLengthRangesBeyondSixtyFourBits)
{
    constexpr int groups = 45;
    const std::string text = times("[a|bb|ccc]", groups);
    // ways[g][l]: sequences of g choices of total length l.
    std::vector<std::vector<mpz_class>> ways(groups + 1, std::vector<mpz_class>(3 * groups + 1));
    ways[0][0] = 1;
    for (int g = 1; g <= groups; ++g)
        for (int l = 0; l <= 3 * g; ++l)
            for (int c = 1; c <= 3 && c <= l; ++c)
                ways[g][l] += ways[g - 1][l - c];
    const auto within = [&](int g, int low, int high) {
        mpz_class sum;
        for (int l = std::max(low, 0); l <= std::min(high, 3 * g); ++l)
            sum += ways[g][l];
        return sum;
    };
    const auto rankOf = [&](const std::string &variant, int low, int high) {
        mpz_class rank;
        std::size_t at = 0;
        int used = 0;
        for (int g = 0; g < groups; ++g) {
            const int chosen = variant[at] - 'a' + 1;
            for (int c = 1; c < chosen; ++c)
                rank += within(groups - g - 1, low - used - c, high - used - c);
            at += chosen;
            used += chosen;
        }
        return rank;
    };

    // Alone; as an alternative beside "z", which no range below keeps; and
    // as both items of "{|...|...}", which gives every variant twice.
    struct Shape
    {
        std::string text;
        int copies;
    };
    // How many variants each range keeps: the lengths 45 to 60 and 120 to 135
    // mirror each other around 90.
    const std::tuple<int, int, mpz_class> ranges[] = { { 45, 60, mpz_class("26378019132381") },
        { 90, 90, mpz_class("214285636273290835239") }, { 120, 135, mpz_class("26378019132381") } };
    std::mt19937_64 random(7);
    for (const Shape &shape : { Shape { text, 1 }, Shape { "[" + text + "|z]", 1 }, Shape { "{|" + text + "|}", 2 } }) {
        SCOPED_TRACE(shape.text.substr(0, 12));
        const auto compiled = razmnozhator::CompiledTemplate::compile(shape.text);
        for (const auto &[low, high, kept] : ranges) {
            ASSERT_EQ(compiled.figuresInRange({ std::uint64_t(low), std::uint64_t(high) }).count, shape.copies * kept);
            for (int draw = 0; draw < 50; ++draw) {
                mpz_class rank = mpz_class(static_cast<unsigned long>(random())) * random();
                rank %= shape.copies * kept;
                const std::string variant = compiled.variantInRange(rank, { std::uint64_t(low), std::uint64_t(high) });
                ASSERT_GE(int(variant.size()), low);
                ASSERT_LE(int(variant.size()), high);
                ASSERT_EQ(rankOf(variant, low, high), mpz_class(rank % kept)) << variant;
            }
        }
    }
}

TEST(RandomAccess, RefusesCountsBeyondItsBudget)
{
    // A hundred thousand nested pairs groups: the counts of all levels would
    // take about 5 * 10^9 bits. The count itself stays exact and quick.
    const std::size_t depth = 100000;
    std::string text;
    for (std::size_t i = 0; i < depth; ++i)
        text += "{-|";
    text += "b" + std::string(depth, '}');
    const auto compiled = razmnozhator::CompiledTemplate::compile(text);
    EXPECT_EQ(mpz_sizeinbase(compiled.count().get_mpz_t(), 2), depth + 1);
    EXPECT_THROW((void)compiled.variantAt(0), razmnozhator::LimitError);
}

// Faults of random access on big templates: each row once aborted the
// program or held gigabytes. A refusal comes as LimitError when the object
// is made, never later from a worker; an answer comes within the budget.
struct FaultCase
{
    const char *name;
    std::string text;
    void (*check)(const razmnozhator::CompiledTemplate &compiled);
};

TEST(RandomAccess, FaultsOfBigTemplates)
{
    const FaultCase faults[] = {
        // The first of length 1,400: as many x as the rest can still make up for.
        { "by length among 700 groups of four lengths", times("[x|yy|zzz|]", 700),
            [](const razmnozhator::CompiledTemplate &compiled) {
                EXPECT_EQ(compiled.variantInRange(0, { 1400, 1400 }), std::string(350, 'x') + times("zzz", 350));
            } },
        { "sample of deep pairs, counts beyond the budget", times("{", 100000) + "x" + times("}", 100000),
            [](const razmnozhator::CompiledTemplate &compiled) {
                EXPECT_THROW(razmnozhator::Sample(compiled, 1, {}, 1), razmnozhator::LimitError);
            } },
        // Its whole spectrum would be one number of seven million words: half
        // a minute of multiplying before the first answer. Cut at length 20,
        // it is a few words: each group is 1 + z + 2z^3 + 6z^4 + 2z^5, and
        // the coefficients of z^10 to z^20 in its 5,000th power add up to
        // the count below.
        { "by length among 5,000 nested groups", times("[q|{-|x|yy|[z|ww]}|]", 5000),
            [](const razmnozhator::CompiledTemplate &compiled) {
                const mpz_class kept("37908747626255639740965910790259077772895388768021431000");
                EXPECT_EQ(compiled.figuresInRange({ 10, 20 }).count, kept);
                EXPECT_THROW((void)compiled.figuresInRange({ 10, compiled.maxLength() - 1 }), razmnozhator::LimitError);
            } },
        { "last variant of 400,000 groups in sequence", times("[a|b]", 400000),
            [](const razmnozhator::CompiledTemplate &compiled) {
                EXPECT_EQ(compiled.variantAt(compiled.count() - 1), std::string(400000, 'b'));
            } },
    };
    for (const FaultCase &fault : faults) {
        SCOPED_TRACE(fault.name);
        fault.check(razmnozhator::CompiledTemplate::compile(fault.text));
    }
}

} // namespace
