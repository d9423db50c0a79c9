// The most different lines: the choice on templates whose best sets are
// known, seeds, pools, stopping, and the indexed sweep against the plain
// pairwise measure. The measure's own table, on CP1251 words, is in the
// codec tests, where the real letter table lives.

#include "razmnozhator/diversity.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <random>
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
    EXPECT_EQ(diversePoolSize(0), 0u);
    EXPECT_EQ(diversePoolSize(300), 2400u);
    EXPECT_EQ(diversePoolSize(2500), 20'000u);
    EXPECT_EQ(diversePoolSize(6000), 40'000u);
    EXPECT_EQ(diversePoolSize(50'000), 50'000u);
}

// The sweep over the shingle index, with shingles that most lines hold listed
// by the lines that lack them, must find the same nearest differences as
// comparing every pair.
TEST(Diversity, IndexedSweepAgreesWithPairwiseMeasure)
{
    std::mt19937_64 random(5);
    const std::vector<std::string> words { "a", "b", "c", "d", "e", "f", "g" };
    for (int round = 0; round < 30; ++round) {
        SCOPED_TRACE(round);
        std::vector<std::string> lines(2 + random() % 40);
        const std::size_t length = random() % 7;
        for (std::string &line : lines) {
            // Few words, so that some shingles are held by most lines.
            for (std::size_t w = 0; w < length + random() % 2; ++w)
                line += words[random() % (2 + round % 5)] + (random() % 3 == 0 ? ", " : " ");
        }
        const std::vector<std::string_view> views(lines.begin(), lines.end());
        const auto all = chooseDiverse(views, lines.size(), round, letters);
        ASSERT_TRUE(all);
        double smallest = 1;
        double sum = 0;
        for (std::size_t i = 0; i < lines.size(); ++i) {
            double nearest = 2;
            for (std::size_t j = 0; j < lines.size(); ++j) {
                if (j != i)
                    nearest = std::min(nearest, difference(lines[i], lines[j], letters));
            }
            smallest = std::min(smallest, nearest);
            sum += nearest;
        }
        EXPECT_DOUBLE_EQ(all->diversity.smallest, smallest);
        EXPECT_NEAR(all->diversity.mean, sum / double(lines.size()), 1e-12);
    }
}

} // namespace
