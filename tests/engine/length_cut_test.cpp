// Questions whose lengths end below the longest variant read length spectra
// cut at that end, and nodes whose every variant is longer have none. Every
// figure, rank and sample they give is checked against the reference
// expander's list, filtered, for every end from nothing kept to everything.

#include "differential.h"
#include "drawncheck.h"
#include "figures/lengthcounts.h"
#include "random_templates.h"

#include "razmnozhator/engine.h"
#include "razmnozhator/sample.h"

#include "testtext.h"

#include <gtest/gtest.h>

#include <gmpxx.h>

#include <algorithm>
#include <string>
#include <string_view>
#include <vector>

namespace {

using razmnozhator::CompiledTemplate;
using razmnozhator::LengthRange;

struct CutCase
{
    const char *name;
    std::string text;
};

const CutCase cutCases[] = {
    { "alternatives_and_pairs", "[a|bb|ccc]{-|x|yy|[z|]}" },
    { "nested_pairs", "{-|{+|a|bb}|[c|dd]}x" },
    { "empty_pieces", "[|a|]{|[|b]|}[]" },
    { "pairs_inside_alternatives", "x[a|{|bb|[c|]}]yy[|z]" },
    { "chain_of_pairs_in_alternatives", "[x|{-|[x|{-|[x|{-|}]}]}]" },
    { "separator_with_choices", "{[a|bbb]|[|c]|dd|}" },
    { "own_sequence_of_groups", "[a|bb][a|bb][a|bb][a|bb][ccc|]x" },
    { "literals_longer_than_small_ends", "abcdef[gh|i]{,|j|kk}" },
    { "groups_longer_than_small_ends", "[a|b]{-|[xxxxx|yyyyyy]|zzzzzzz}[c|]" },
};

class LengthCut : public testing::TestWithParam<CutCase>
{
};

// Spectra cut at the end of every question, rather than only where that
// saves much, as long as the test runs.
class CutAtEveryEnd
{
public:
    CutAtEveryEnd() { razmnozhator::detail::cutAtEveryEnd = true; }
    ~CutAtEveryEnd() { razmnozhator::detail::cutAtEveryEnd = false; }
};

TEST_P(LengthCut, AgreesWithTheFilteredList)
{
    const auto expected = differential::referenceOutcome(differential::Entry::Template, GetParam().text);
    ASSERT_TRUE(expected && !expected->failed);
    const std::vector<std::string> &variants = expected->variants;
    const CutAtEveryEnd cut;
    // Ends from the top down: one program and enumerator for all, whose
    // index cut at a higher end serves the lower ones, beside a fresh
    // program for each end, whose index is cut there.
    const auto shared = CompiledTemplate::compile(GetParam().text);
    razmnozhator::Enumerator reused(shared);
    for (std::uint64_t max = differential::longest(variants) + 1; max-- > 0;) {
        const auto compiled = CompiledTemplate::compile(GetParam().text);
        // Lengths count the characters as written, bytes what the map made.
        const auto mapped = compiled.withLiteralsMapped(testtext::doubled);
        for (const std::uint64_t min : { std::uint64_t(0), max / 3, max / 2, max }) {
            const LengthRange range { min, max };
            SCOPED_TRACE("lengths " + std::to_string(min) + " to " + std::to_string(max));
            std::vector<std::string> kept;
            for (const std::string &variant : variants) {
                if (range.contains(variant.size()))
                    kept.push_back(variant);
            }
            const std::size_t bytes = differential::totalLength(kept);
            // Counted alone, before any index is kept, and with one.
            ASSERT_EQ(CompiledTemplate::compile(GetParam().text).countInRange(range), kept.size());
            ASSERT_EQ(shared.countInRange(range), kept.size());
            for (const CompiledTemplate *program : { &compiled, &shared, &mapped }) {
                const razmnozhator::RangeFigures figures = program->figuresInRange(range);
                ASSERT_EQ(figures.count, static_cast<unsigned long>(kept.size()));
                ASSERT_EQ(figures.totalBytes, static_cast<unsigned long>(program == &mapped ? 2 * bytes : bytes));
            }
            for (std::size_t rank = 0; rank < kept.size(); ++rank) {
                ASSERT_EQ(compiled.variantInRange(rank, range), kept[rank]) << "rank " << rank;
                ASSERT_EQ(shared.variantInRange(rank, range), kept[rank]) << "rank " << rank << ", shared";
                ASSERT_EQ(mapped.variantInRange(rank, range), testtext::doubled(kept[rank])) << "rank " << rank;
                reused.seekInRange(rank, range);
                ASSERT_TRUE(reused.next());
                ASSERT_EQ(reused.current(), kept[rank]) << "rank " << rank << " by the reused enumerator";
            }
            ASSERT_THROW((void)compiled.variantInRange(kept.size(), range), std::out_of_range);

            std::vector<std::string> listed;
            razmnozhator::BoundedEnumerator bounded(compiled, range);
            while (bounded.next())
                listed.emplace_back(bounded.current());
            ASSERT_EQ(listed, kept);

            expectSamplesDrawnFrom(compiled, range, max, kept);
        }
    }
}

INSTANTIATE_TEST_SUITE_P(Templates, LengthCut, testing::ValuesIn(cutCases),
    [](const testing::TestParamInfo<CutCase> &row) { return std::string(row.param.name); });

// Templates whose whole spectra would take gigabytes, with ends that keep
// few lengths.
TEST(LengthCut, DeepTemplatesWithShortEnds)
{
    // 3,000 levels of "x", or "-" before or after the level below: of length
    // l there are 2^(l-1) variants.
    const auto deep = CompiledTemplate::compile(testtext::times("[x|{-|", 3000) + testtext::times("}]", 3000));
    EXPECT_EQ(deep.countInRange({ 3, 9 }), 511 - 3);
    const razmnozhator::RangeFigures deepFigures = deep.figuresInRange({ 0, 9 });
    EXPECT_EQ(deepFigures.count, 511);
    EXPECT_EQ(deepFigures.totalBytes, 4097);
    EXPECT_EQ(deep.variantInRange(0, { 0, 9 }), "x");
    EXPECT_EQ(deep.variantInRange(510, { 0, 9 }), "--------x");
    // Its counts up to 300 take five words, not the 48 of its whole count.
    EXPECT_EQ(deep.figuresInRange({ 0, 300 }).count, (mpz_class(1) << 300) - 1);

    // 3,000 groups of "a" or "bb" up to 3,010 characters: at most ten "bb".
    const auto wide = CompiledTemplate::compile(testtext::times("[a|bb]", 3000));
    EXPECT_EQ(wide.countInRange({ 0, 3010 }), mpz_class("16083559017877134440241045926"));
    const razmnozhator::RangeFigures wideFigures = wide.figuresInRange({ 0, 3010 });
    EXPECT_EQ(wideFigures.count, mpz_class("16083559017877134440241045926"));
    EXPECT_EQ(wideFigures.totalBytes, mpz_class("48411458726632788604022764578000"));
    EXPECT_EQ(wide.variantInRange(0, { 0, 3010 }), std::string(3000, 'a'));
    EXPECT_EQ(
        wide.variantInRange(wideFigures.count - 1, { 0, 3010 }), testtext::times("bb", 10) + std::string(2990, 'a'));
}

} // namespace
