// Listing within length ranges against the reference expander's list filtered
// by length, and the ranges that used to walk every variant: they must look
// at about as many variants as they keep.

#include "differential.h"
#include "random_templates.h"

#include "razmnozhator/engine.h"

#include "program/templateaccess.h"

#include "testtext.h"

#include <gtest/gtest.h>

#include <cctype>
#include <string>
#include <vector>

namespace {

using testtext::times;

using razmnozhator::BoundedEnumerator;
using razmnozhator::CompiledTemplate;
using razmnozhator::LengthRange;

std::vector<std::string> listed(BoundedEnumerator &lines, std::size_t limit = SIZE_MAX)
{
    std::vector<std::string> variants;
    while (variants.size() < limit && lines.next())
        variants.emplace_back(lines.current());
    return variants;
}

// Every byte doubled: lengths in characters stay those of the text as written.
std::string doubled(std::string_view text)
{
    std::string out;
    for (const char c : text)
        out.append(2, c);
    return out;
}

TEST(Listing, WithinLengthRangesOfRandomTemplates)
{
    differential::TemplateGenerator generator(31);
    int checked = 0;
    for (int i = 0; i < 6000; ++i) {
        const std::string text = generator.structured(18);
        const auto expected = differential::referenceOutcome(
            differential::Entry::Template, text, reference::Budget { 20'000, 400'000 });
        if (!expected || expected->failed)
            continue;
        SCOPED_TRACE("template " + differential::quoted(text));
        const std::vector<std::string> &variants = expected->variants;
        const auto compiled = CompiledTemplate::compile(text);
        const auto mapped = compiled.withLiteralsMapped(doubled);
        const std::uint64_t shortest = differential::shortest(variants);
        const std::uint64_t longest = differential::longest(variants);
        const std::uint64_t middle = (shortest + longest) / 2;
        for (const LengthRange range : { LengthRange { middle, middle }, LengthRange { middle, longest },
                 LengthRange { 0, middle }, LengthRange { shortest + 1, longest - 1 }, LengthRange { 0, longest } }) {
            SCOPED_TRACE("lengths " + std::to_string(range.min) + " to " + std::to_string(range.max));
            std::vector<std::string> kept;
            for (const std::string &variant : variants) {
                if (range.contains(variant.size()))
                    kept.push_back(variant);
            }
            for (const std::size_t first : { std::size_t { 0 }, kept.size() / 3 }) {
                const std::vector<std::string> from(kept.begin() + std::ptrdiff_t(first), kept.end());
                BoundedEnumerator lines(compiled, range, first);
                ASSERT_EQ(listed(lines), from);
                ASSERT_LE(razmnozhator::detail::TemplateAccess::visited(lines), variants.size() + 1);
                BoundedEnumerator inLines(compiled, range, first);
                ASSERT_EQ(differential::listInLines(inLines, { 9, 2, 3 }), from);
            }
            BoundedEnumerator mappedLines(mapped, range);
            std::vector<std::string> keptMapped;
            for (const std::string &variant : kept)
                keptMapped.push_back(doubled(variant));
            ASSERT_EQ(listed(mappedLines), keptMapped);
        }
        ++checked;
    }
    EXPECT_GE(checked, 2000);
}

// Listings that used to look at every variant, 10^100 of them or 2^40, to keep
// few or none: each must look at no more than a few per line it keeps.
struct Fault
{
    const char *name;
    std::string text;
    LengthRange range;
    std::vector<std::string> firstLines;
    std::uint64_t maxVisited;
};

TEST(Listing, RangesThatKeepLittleEndAtOnce)
{
    const Fault faults[] = {
        { "100 digit groups, at most 99 characters", times("[0|1|2|3|4|5|6|7|8|9]", 100), { 0, 99 }, {}, 0 },
        { "40 groups [bb|a], at most 40 characters", times("[bb|a]", 40), { 0, 40 }, { std::string(40, 'a') }, 2 },
        { "200 groups [x|yy|zzz|], at most 133 characters", times("[x|yy|zzz|]", 200), { 0, 133 },
            { std::string(133, 'x'), std::string(133, 'x'), std::string(133, 'x') }, 4 },
        // Length spectra of 700 such groups are refused: the listing filters,
        // passing over every choice that cannot fit.
        { "700 groups [x|yy|zzz|], at most 5 characters", times("[x|yy|zzz|]", 700), { 0, 5 }, { "xxxxx", "xxxxx" },
            2 },
        { "pairs nested 40 deep, exactly 3 characters", times("{a|", 40) + "b" + times("}", 40), { 3, 3 }, {}, 0 },
    };
    for (const Fault &fault : faults) {
        SCOPED_TRACE(fault.name);
        BoundedEnumerator lines(CompiledTemplate::compile(fault.text), fault.range);
        EXPECT_EQ(listed(lines, fault.firstLines.size() + (fault.firstLines.size() < 2 ? 1 : 0)), fault.firstLines);
        EXPECT_LE(razmnozhator::detail::TemplateAccess::visited(lines), fault.maxVisited);
    }
}

TEST(Listing, StartsPastTheEndOnlyAtTheEnd)
{
    const auto compiled = CompiledTemplate::compile("[a|bb|ccc][x|yy]");
    BoundedEnumerator atEnd(compiled, { 3, 3 }, 2);
    EXPECT_FALSE(atEnd.next());
    EXPECT_THROW(BoundedEnumerator(compiled, { 3, 3 }, 3), std::out_of_range);
    EXPECT_THROW(BoundedEnumerator(compiled, { 9, 9 }, 1), std::out_of_range);
}

} // namespace
