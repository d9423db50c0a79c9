// The most different lines: the choice on templates whose best sets are
// known, seeds, pools, stopping, the order of the output, the bound that
// sizes the pool, and the indexed sweep on sets whose figures are worked out
// by hand. The measure's own table, on CP1251 words, is in the codec tests,
// where the real letter table lives.

#include "razmnozhator/diversity.h"

#include "program/templateaccess.h"
#include "razmnozhator/memorybudget.h"
#include "selection/shingles.h"
#include "testtext.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <set>
#include <string>
#include <vector>

namespace {

using namespace razmnozhator;

// ASCII letters and digits are enough here.
WordBytes asciiLetters()
{
    WordBytes table {};
    for (int byte = 0; byte < 256; ++byte) {
        if ((byte >= 'a' && byte <= 'z') || (byte >= '0' && byte <= '9'))
            table[std::size_t(byte)] = static_cast<unsigned char>(byte);
        else if (byte >= 'A' && byte <= 'Z')
            table[std::size_t(byte)] = static_cast<unsigned char>(byte - 'A' + 'a');
    }
    return table;
}

const WordBytes letters = asciiLetters();

std::vector<std::string> chosenLines(const std::string &text, std::size_t n, std::uint64_t seed, LengthRange range = {},
    Sample::Order order = Sample::Order::Random, Diversity *diversity = nullptr)
{
    auto chosen = chooseDiverseVariants(CompiledTemplate::compile(text), n, range, seed, letters, order);
    EXPECT_TRUE(chosen.has_value());
    if (diversity)
        *diversity = chosen->diversity();
    std::vector<std::string> lines;
    while (chosen->next())
        lines.emplace_back(chosen->current());
    return lines;
}

// Lines "F k l m L": two that share their first word differ by 1/2, as do two
// that share their last; two that share neither differ by 4/5. The best three
// share neither, which a random three seldom do.
TEST(Diversity, FindsTheKnownBestSet)
{
    const std::string text = "[a|b|c] k l m [x|y|z]";
    for (std::uint64_t seed = 0; seed < 20; ++seed) {
        SCOPED_TRACE(seed);
        Diversity diversity;
        const std::vector<std::string> lines = chosenLines(text, 3, seed, {}, Sample::Order::Random, &diversity);
        ASSERT_EQ(lines.size(), 3u);
        std::set<char> firsts, lasts;
        for (const std::string &line : lines) {
            firsts.insert(line.front());
            lasts.insert(line.back());
        }
        EXPECT_EQ(firsts.size(), 3u);
        EXPECT_EQ(lasts.size(), 3u);
        EXPECT_DOUBLE_EQ(diversity.smallest, 0.8);
        EXPECT_DOUBLE_EQ(diversity.mean, 0.8);
    }
}

TEST(Diversity, OneSeedGivesOneChoice)
{
    const std::string text = "[a|b|c|d] [k|l] m n [o|p] [x|y|z|w] q [r|s]";
    std::set<std::vector<std::string>> seen;
    for (std::uint64_t seed = 0; seed < 8; ++seed) {
        const std::vector<std::string> lines = chosenLines(text, 10, seed);
        EXPECT_EQ(lines, chosenLines(text, 10, seed));
        seen.insert(lines);
    }
    EXPECT_GT(seen.size(), 1u);
}

TEST(Diversity, TakesAllWhenThereAreNoMore)
{
    Diversity diversity;
    // Lengths 5, 6, 7, 8: only the three from 6 on are kept, in template order.
    EXPECT_EQ(chosenLines("[a|bb|ccc|dddd] k l", 5, 1, { 6, 100 }, Sample::Order::Template, &diversity),
        (std::vector<std::string> { "bb k l", "ccc k l", "dddd k l" }));
    EXPECT_DOUBLE_EQ(diversity.smallest, 1);
    EXPECT_TRUE(chosenLines("[a|b] c", 0, 1).empty());
    // One line: nothing to be alike.
    EXPECT_EQ(chosenLines("[a|b] c", 1, 1, {}, Sample::Order::Random, &diversity).size(), 1u);
    EXPECT_DOUBLE_EQ(diversity.smallest, 1);
}

TEST(Diversity, ListKeepsItsOrderWhenAllAreTaken)
{
    const std::vector<std::string_view> lines { "a b c", "a b c", "d e f", "", "!" };
    const auto all = chooseDiverse(lines, 9, 3, letters);
    ASSERT_TRUE(all);
    EXPECT_EQ(all->chosen, (std::vector<std::size_t> { 0, 1, 2, 3, 4 }));
    // Equal lines, and two lines without words, do not differ at all.
    EXPECT_DOUBLE_EQ(all->diversity.smallest, 0);
    const auto two = chooseDiverse(lines, 2, 3, letters);
    ASSERT_TRUE(two);
    ASSERT_EQ(two->chosen.size(), 2u);
    EXPECT_DOUBLE_EQ(two->diversity.smallest, 1);
}

TEST(Diversity, StopsWhenAsked)
{
    const std::vector<std::string_view> lines { "a b c", "d e f", "g h i" };
    std::uint64_t calls = 0;
    const auto stopped = chooseDiverse(lines, 2, 1, letters, [&](std::uint64_t done, std::uint64_t total) {
        ++calls;
        EXPECT_EQ(total, 2u);
        return done < 2;
    });
    EXPECT_FALSE(stopped);
    EXPECT_EQ(calls, 2u);
}

TEST(Diversity, PoolGrowsWithTheCountUpToItsCap)
{
    EXPECT_EQ(detail::diversePoolSize(0), 0u);
    EXPECT_EQ(detail::diversePoolSize(300), 2400u);
    EXPECT_EQ(detail::diversePoolSize(2500), 20'000u);
    EXPECT_EQ(detail::diversePoolSize(6000), 40'000u);
    EXPECT_EQ(detail::diversePoolSize(50'000), 50'000u);
}

// Farthest-first must give the same choice for a seed as it always has:
// users keep seeds to make a set again.
const std::string eightGroups = "[a|b|c|d] [k|l] m n [o|p] [x|y|z|w] q [r|s]";
const std::vector<std::string> fiveOfSeedFour { "a l m n p w q s", "c k m n o z q s", "d l m n o w q r",
    "a k m n p x q r", "c l m n p z q r" };

TEST(Diversity, OneSeedKeepsItsLines)
{
    EXPECT_EQ(chosenLines(eightGroups, 5, 4), fiveOfSeedFour);
    EXPECT_EQ(chosenLines("[a|bb|ccc|dddd] k l [x|yy|zzz]", 4, 2, { 8, UINT64_MAX }),
        (std::vector<std::string> { "ccc k l x", "a k l zzz", "dddd k l yy", "dddd k l zzz" }));
}

// A slice of the choice is those lines of the whole, in their places.
TEST(Diversity, KeepsASliceOfTheChoice)
{
    const auto &all = fiveOfSeedFour;
    const struct
    {
        std::size_t begin, end;
        std::vector<std::string> lines;
    } rows[] = { { 0, 2, { all[0], all[1] } }, { 3, 5, { all[3], all[4] } }, { 2, 3, { all[2] } }, { 4, 9, { all[4] } },
        { 6, 9, {} }, { 3, 1, {} } };
    for (const auto &row : rows) {
        SCOPED_TRACE(testing::Message() << row.begin << ".." << row.end);
        auto chosen = chooseDiverseVariants(CompiledTemplate::compile(eightGroups), 5, {}, 4, letters);
        ASSERT_TRUE(chosen);
        chosen->keepSlice(row.begin, row.end);
        EXPECT_EQ(chosen->size(), row.lines.size());
        std::vector<std::string> lines;
        while (chosen->next())
            lines.emplace_back(chosen->current());
        EXPECT_EQ(lines, row.lines);
    }
}

struct OrderCase
{
    const char *name;
    const char *text;
    std::size_t n;
    LengthRange range;
};

class DiverseOrder : public testing::TestWithParam<OrderCase>
{
};

// Template order only orders the chosen ones: the same variants as in the
// order chosen, whichever way the sample finds them.
TEST_P(DiverseOrder, InOrderWritesTheSameVariants)
{
    const OrderCase &row = GetParam();
    std::map<std::string, std::size_t> place;
    const VariantList all = CompiledTemplate::compile(row.text).expand();
    for (std::size_t i = 0; i < all.size(); ++i)
        place.emplace(all[i], i);
    ASSERT_EQ(place.size(), all.size()) << "the rows need variants that differ";
    for (std::uint64_t seed = 0; seed < 6; ++seed) {
        SCOPED_TRACE(seed);
        std::vector<std::string> random = chosenLines(row.text, row.n, seed, row.range);
        const std::vector<std::string> inOrder = chosenLines(row.text, row.n, seed, row.range, Sample::Order::Template);
        std::sort(random.begin(), random.end(),
            [&](const std::string &a, const std::string &b) { return place.at(a) < place.at(b); });
        EXPECT_EQ(inOrder, random);
        EXPECT_FALSE(random.empty());
    }
}

INSTANTIATE_TEST_SUITE_P(Diversity, DiverseOrder,
    testing::Values(OrderCase { "Unbounded", eightGroups.c_str(), 7, {} },
        // Most lengths kept: the sample passes over the positions outside.
        OrderCase { "MostLengthsKept", "[a|bb|ccc|dddd] k l [x|yy|zzz] [p|q|r]", 20, { 10, UINT64_MAX } },
        // Few kept: the sample finds them by rank among the kept ones.
        OrderCase { "FewLengthsKept", "[a|bb|ccc|dddd] [k|ll|mmm] [x|yy|zzz] [p|qq|rrr] [s|tt|uuu]", 5, { 12, 12 } },
        OrderCase { "FewerThanAsked", "[a|bb|ccc] k [x|yy]", 50, { 6, 7 } }),
    [](const testing::TestParamInfo<OrderCase> &row) { return std::string(row.param.name); });

struct WordsCase
{
    const char *name;
    std::string text;
    std::uint64_t words;
};

class MostWords : public testing::TestWithParam<WordsCase>
{
};

// The pool is sized by this bound before anything is drawn: it must never be
// below a real variant's words, and not count a word as many where parts
// meet inside it.
TEST_P(MostWords, BoundsTheWordsOfEveryVariant)
{
    const WordsCase &row = GetParam();
    const CompiledTemplate compiled = CompiledTemplate::compile(row.text);
    EXPECT_EQ(detail::mostWords(detail::programOf(compiled), letters), row.words);
}

INSTANTIATE_TEST_SUITE_P(Diversity, MostWords,
    testing::Values(WordsCase { "NoWords", "", 0 }, WordsCase { "OnlySeparators", "[!|?] ,", 0 },
        WordsCase { "GroupsInsideOneWord", testtext::times("[a|b]", 1000), 1 },
        WordsCase { "GroupsApart", testtext::times("[a|b] ", 5), 5 }, WordsCase { "ASpaceThatMaySplit", "x[a| ]y", 2 },
        WordsCase { "LongestAlternativeWins", "[a|b c]d e", 3 },
        WordsCase { "NestedAlternatives", "[[a|b c]|d e f] g", 4 }, WordsCase { "PairsMeetInsideAWord", "{|a|b}", 1 },
        WordsCase { "PairsJoinedBySeparator", "{-|ab|cd}", 2 },
        // The largest item twice: a bound, wider than the best pair's 5.
        WordsCase { "PairsOfManyWords", "{, |one two|three|four five six}", 6 },
        // Read as an item, the separator "ab" would join the items' words.
        WordsCase { "SeparatorBetweenTheItems", "{ |ab|c d e}", 6 },
        // Its largest item twice, then one more word.
        WordsCase { "PairsInsideAlternatives", "[x|{ |a|b c}] d", 5 }),
    [](const testing::TestParamInfo<WordsCase> &row) { return std::string(row.param.name); });

// A pool of 40,000 lines of 100,000 words each: refused before the first
// draw, with what its shingles would need (56 bytes a line and 32 a
// shingle, and one line's words while they are hashed).
TEST(Diversity, RefusesAPoolThatCannotFit)
{
    const std::uint64_t needed = 128'001'280'000;
    if (availableMemory() / 2 >= needed)
        GTEST_SKIP() << "this machine could hold the pool";
    const CompiledTemplate compiled = CompiledTemplate::compile(testtext::times("[a|b] ", 100'000));
    std::uint64_t calls = 0;
    try {
        chooseDiverseVariants(compiled, 5000, {}, 1, letters, Sample::Order::Random, [&](std::uint64_t, std::uint64_t) {
            ++calls;
            return true;
        });
        FAIL() << "the pool was not refused";
    } catch (const LimitError &error) {
        EXPECT_EQ(error.task(), LimitError::Task::DiversePool);
        EXPECT_EQ(error.resource(), LimitError::Resource::Memory);
        EXPECT_EQ(error.needed(), needed);
    }
    EXPECT_EQ(calls, 0u);
}

struct SweepCase
{
    const char *name;
    std::vector<std::string_view> lines;
    double smallest;
    double mean;
};

class IndexedSweep : public testing::TestWithParam<SweepCase>
{
};

// The sweep over the shingle index, with shingles that most lines hold
// listed by the lines that lack them, finds every line's nearest other.
TEST_P(IndexedSweep, FindsTheNearestDifferences)
{
    const SweepCase &row = GetParam();
    for (std::uint64_t seed = 0; seed < 3; ++seed) {
        const auto all = chooseDiverse(row.lines, row.lines.size(), seed, letters);
        ASSERT_TRUE(all);
        EXPECT_DOUBLE_EQ(all->diversity.smallest, row.smallest);
        EXPECT_DOUBLE_EQ(all->diversity.mean, row.mean);
    }
}

INSTANTIATE_TEST_SUITE_P(Diversity, IndexedSweep,
    testing::Values(
        // 1 and 2 share one of three shingles: 2/3 apart; 3 shares nothing.
        SweepCase { "OneSharedShingle", { "a b c d", "a b c e", "x y z" }, 2.0 / 3, (2.0 / 3 + 2.0 / 3 + 1) / 3 },
        // "a b c" is held by four lines of five, so it is listed by the one
        // that lacks it: every one of the four is 1/2 from the first.
        SweepCase { "ShingleMostLinesHold", { "a b c", "a b c d", "a b c e", "a b c f", "x y" }, 0.5, 0.6 },
        SweepCase { "CaseAndPunctuationIgnored", { "A, b c", "a b C!", "" }, 0, 1.0 / 3 },
        SweepCase { "NoWordsAtAll", { "", "!" }, 0, 0 },
        // One, two and three words make shingles that never meet.
        SweepCase { "ShortLinesApart", { "a b", "a b c", "b" }, 1, 1 }),
    [](const testing::TestParamInfo<SweepCase> &row) { return std::string(row.param.name); });

} // namespace
