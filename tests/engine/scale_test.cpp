// Templates far bigger than anyone types: a million levels of nesting, a
// million groups in a row, and ten megabytes of text. The engine must give the
// exact answer without overflowing the stack; how long it takes is the
// benchmarks' business, not these tests'.

#include "reference_expander.h"

#include "razmnozhator/engine.h"
#include "razmnozhator/memorybudget.h"

#include "testtext.h"

#include <gtest/gtest.h>

#include <gmpxx.h>

#include <algorithm>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include <sys/resource.h>

namespace {

using testtext::times;

constexpr std::size_t million = 1'000'000;

#if defined(__SANITIZE_ADDRESS__)
#define RAZMNOZHATOR_ASAN 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define RAZMNOZHATOR_ASAN 1
#endif
#endif

// None of these templates needs more than a few hundred megabytes. An engine
// that keeps, say, a big number per nesting level would need tens of
// gigabytes here; the cap turns that into std::bad_alloc and a failed test
// instead of a machine that runs out of memory. AddressSanitizer reserves
// terabytes of address space up front, so under it the limit comes from
// ASAN_OPTIONS (hard_rss_limit_mb) set by the build instead.
class AddressSpaceCap : public testing::Environment
{
public:
    static constexpr rlim_t capBytes = rlim_t { 4 } << 30;

    void SetUp() override
    {
#ifndef RAZMNOZHATOR_ASAN
        const rlimit limit { capBytes, capBytes };
        ASSERT_EQ(setrlimit(RLIMIT_AS, &limit), 0);
#endif
    }
};

[[maybe_unused]] testing::Environment *const addressSpaceCap = testing::AddGlobalTestEnvironment(new AddressSpaceCap);
constexpr const char *square = "Incomplete number of '[]'s";
constexpr const char *curly = "Incomplete number of '{}'s";

mpz_class power(unsigned long base, unsigned long exponent)
{
    mpz_class result;
    mpz_ui_pow_ui(result.get_mpz_t(), base, exponent);
    return result;
}

// Numbers with hundreds of thousands of digits are useless in a failure
// message; their size and last digits say enough.
testing::AssertionResult sameNumber(const mpz_class &got, const mpz_class &expected)
{
    if (got == expected)
        return testing::AssertionSuccess();
    const auto describe = [](const mpz_class &n) {
        const mpz_class low = n % 1'000'000'000;
        return std::to_string(mpz_sizeinbase(n.get_mpz_t(), 2)) + " bits, ending ..." + low.get_str();
    };
    return testing::AssertionFailure() << "got " << describe(got) << ", expected " << describe(expected);
}

std::vector<std::string> firstVariants(const razmnozhator::CompiledTemplate &compiled, std::size_t limit)
{
    std::vector<std::string> variants;
    razmnozhator::Enumerator enumerator(compiled);
    while (variants.size() < limit && enumerator.next())
        variants.emplace_back(enumerator.current());
    return variants;
}

TEST(Scale, MillionNestedSquareGroups)
{
    const std::string text = times("[", million) + "a" + times("]", million);
    EXPECT_EQ(testtext::toStrings(razmnozhator::expandTemplate(text)), std::vector<std::string> { "a" });
    const auto compiled = razmnozhator::CompiledTemplate::compile(text);
    EXPECT_TRUE(sameNumber(compiled.count(), mpz_class(1)));
    EXPECT_TRUE(sameNumber(compiled.totalBytes(), mpz_class(1)));
    EXPECT_EQ(compiled.maxLength(), 1u);
    EXPECT_EQ(firstVariants(compiled, 2), std::vector<std::string> { "a" });
}

TEST(Scale, MillionSquareGroupsInSequence)
{
    const std::string text = times("[a]", million);
    const std::vector<std::string> expected { std::string(million, 'a') };
    EXPECT_TRUE(testtext::toStrings(razmnozhator::expandTemplate(text)) == expected);
    const auto compiled = razmnozhator::CompiledTemplate::compile(text);
    EXPECT_TRUE(sameNumber(compiled.count(), mpz_class(1)));
    EXPECT_EQ(compiled.maxLength(), million);
    EXPECT_TRUE(firstVariants(compiled, 2) == expected);
}

// 2^1000000 variants: only the compiled figures and the first few variants.
TEST(Scale, MillionTwoWayGroupsInSequence)
{
    const auto compiled = razmnozhator::CompiledTemplate::compile(times("[a|bc]", million));
    EXPECT_TRUE(sameNumber(compiled.count(), power(2, million)));
    // Each group puts 1 byte into half of the variants and 2 into the other half.
    EXPECT_TRUE(sameNumber(compiled.totalBytes(), mpz_class(3 * million) * power(2, million - 1)));
    EXPECT_EQ(compiled.maxLength(), 2 * million);
    const std::vector<std::string> first = firstVariants(compiled, 3);
    ASSERT_EQ(first.size(), 3u);
    EXPECT_TRUE(first[0] == std::string(million, 'a'));
    EXPECT_TRUE(first[1] == std::string(million - 1, 'a') + "bc");
    EXPECT_TRUE(first[2] == std::string(million - 2, 'a') + "bca");
}

// Every level of "{...}" doubles the count and keeps the one byte. Exact
// counts of such chains are composed level by level as a balanced tree, so a
// million levels are counted exactly in about a second.
TEST(Scale, MillionNestedPairsGroups)
{
    const auto compiled = razmnozhator::CompiledTemplate::compile(times("{", million) + "a" + times("}", million));
    EXPECT_EQ(compiled.countOrMax(), UINT64_MAX);
    EXPECT_EQ(compiled.totalBytesOrMax(), UINT64_MAX);
    EXPECT_EQ(compiled.maxLength(), 1u);
    EXPECT_EQ(firstVariants(compiled, 3), std::vector<std::string>(3, "a"));
    EXPECT_TRUE(sameNumber(compiled.count(), power(2, million)));
    EXPECT_TRUE(sameNumber(compiled.totalBytes(), power(2, million)));
}

// "{-|{-|b}}": each level puts its child beside an empty item, both ways round.
TEST(Scale, MillionNestedPairsWithSeparators)
{
    const auto compiled = razmnozhator::CompiledTemplate::compile(times("{-|", million) + "b" + times("}", million));
    EXPECT_TRUE(sameNumber(compiled.count(), power(2, million)));
    EXPECT_TRUE(sameNumber(compiled.totalBytes(), mpz_class(million + 1) * power(2, million)));
    EXPECT_EQ(compiled.maxLength(), million + 1);
    EXPECT_EQ(compiled.minLength(), million + 1);
}

TEST(Scale, MillionNestedAlternatives)
{
    const auto compiled = razmnozhator::CompiledTemplate::compile(times("[a|", million) + "b" + times("]", million));
    EXPECT_TRUE(sameNumber(compiled.count(), mpz_class(million + 1)));
    EXPECT_TRUE(sameNumber(compiled.totalBytes(), mpz_class(million + 1)));
}

TEST(Scale, MillionNestedMixedGroups)
{
    // "[{[{...a...}]}]": each curly level doubles the count.
    const std::size_t pairs = million / 2;
    const std::string text = times("[{", pairs) + "a" + times("}]", pairs);
    const auto compiled = razmnozhator::CompiledTemplate::compile(text);
    EXPECT_EQ(compiled.countOrMax(), UINT64_MAX);
    EXPECT_EQ(compiled.maxLength(), 1u);
    EXPECT_EQ(firstVariants(compiled, 2), std::vector<std::string>(2, "a"));
}

// The 64-bit figures are exact up to the limit and saturate past it, never wrap.
struct SaturationCase
{
    const char *name;
    std::string text;
    const char *count;
    const char *totalBytes;
};

void PrintTo(const SaturationCase &c, std::ostream *out)
{
    *out << c.name;
}

const SaturationCase saturationCases[] = {
    { "BothFit", times("[|a]", 59), "576460752303423488", "17005592192950992896" },
    { "BytesOverflow", times("[|a]", 60), "1152921504606846976", "34587645138205409280" },
    { "CountJustFits", times("[a|b]", 63), "9223372036854775808", "581072438321850875904" },
    { "CountOverflows", times("[a|b]", 64), "18446744073709551616", "1180591620717411303424" },
    { "TenToTheNineteenFits", times("[0|1|2|3|4|5|6|7|8|9]", 19), "10000000000000000000", "190000000000000000000" },
    { "NestedPairsJustFit", times("{", 63) + "a" + times("}", 63), "9223372036854775808", "9223372036854775808" },
    { "NestedPairsOverflow", times("{", 64) + "a" + times("}", 64), "18446744073709551616", "18446744073709551616" },
};

class SaturatedFigures : public testing::TestWithParam<SaturationCase>
{
};

TEST_P(SaturatedFigures, ExactOrMax)
{
    const SaturationCase &c = GetParam();
    const auto compiled = razmnozhator::CompiledTemplate::compile(c.text);
    const mpz_class count(c.count);
    const mpz_class totalBytes(c.totalBytes);
    EXPECT_EQ(compiled.count(), count);
    EXPECT_EQ(compiled.totalBytes(), totalBytes);
    const auto saturated = [](const mpz_class &n) {
        return mpz_sizeinbase(n.get_mpz_t(), 2) <= 64 ? static_cast<std::uint64_t>(mpz_get_ui(n.get_mpz_t()))
                                                      : UINT64_MAX;
    };
    EXPECT_EQ(compiled.countOrMax(), saturated(count));
    EXPECT_EQ(compiled.totalBytesOrMax(), saturated(totalBytes));
}

INSTANTIATE_TEST_SUITE_P(NearTwoToTheSixtyFour, SaturatedFigures, testing::ValuesIn(saturationCases),
    [](const testing::TestParamInfo<SaturationCase> &row) { return std::string(row.param.name); });

// The budget the window and the tool check a result against must see the
// limit this test runs under.
TEST(MemoryBudget, NoMoreThanTheAddressSpaceCap)
{
    const std::uint64_t available = razmnozhator::availableMemory();
    EXPECT_GT(available, 0u);
#ifndef RAZMNOZHATOR_ASAN
    EXPECT_LE(available, AddressSpaceCap::capBytes);
#endif
}

#ifndef RAZMNOZHATOR_ASAN
// Under the cap, what the process already holds is no longer available.
TEST(MemoryBudget, ShrinksWithWhatIsHeld)
{
    const std::uint64_t before = razmnozhator::availableMemory();
    constexpr std::size_t held = std::size_t(512) << 20;
    const auto block = std::make_unique<char[]>(held);
    const std::uint64_t after = razmnozhator::availableMemory();
    EXPECT_LE(after + held - (std::size_t(16) << 20), before) << "before " << before << ", after " << after;
    block[held - 1] = 1;
}
#endif

struct HugeErrorCase
{
    const char *name;
    std::function<std::string()> text;
    const char *message;
    std::size_t offset;
};

void PrintTo(const HugeErrorCase &c, std::ostream *out)
{
    *out << c.name;
}

const HugeErrorCase hugeErrorCases[] = {
    { "NestedSquareWithoutClosers", [] { return times("[", million) + "a"; }, square, 0 },
    { "NestedSquareOneCloserShort", [] { return times("[", million) + "a" + times("]", million - 1); }, square, 0 },
    { "SequenceThenUnclosed", [] { return times("[a]", million) + "[a"; }, square, 3 * million },
    { "UnclosedInMiddleOfSequence", [] { return times("[a]", million / 2) + "[" + times("[a]", million / 2); }, square,
        3 * million / 2 },
    { "UnclosedCurlyAtBottomOfNesting", [] { return times("[", million) + "{a" + times("]", million); }, curly,
        million },
    { "NestedCurlyOneCloserShort", [] { return times("{", million) + "a" + times("}", million - 1); }, curly, 0 },
    { "UnclosedSquareAtBottomOfNestedPairs", [] { return times("{", million) + "[a" + times("}", million); }, square,
        million },
};

class HugeTemplateErrors : public testing::TestWithParam<HugeErrorCase>
{
};

TEST_P(HugeTemplateErrors, ReportedAtTheOpener)
{
    const HugeErrorCase &c = GetParam();
    const std::string text = c.text();
    try {
        (void)razmnozhator::CompiledTemplate::compile(text);
        FAIL() << "compile() accepted it";
    } catch (const razmnozhator::TemplateError &error) {
        EXPECT_STREQ(error.what(), c.message);
        EXPECT_EQ(error.offset(), c.offset);
    }
    try {
        (void)razmnozhator::expandTemplate(text);
        FAIL() << "expandTemplate() accepted it";
    } catch (const razmnozhator::TemplateError &error) {
        EXPECT_STREQ(error.what(), c.message);
        EXPECT_EQ(error.offset(), c.offset);
    }
}

INSTANTIATE_TEST_SUITE_P(Huge, HugeTemplateErrors, testing::ValuesIn(hugeErrorCases),
    [](const testing::TestParamInfo<HugeErrorCase> &row) { return std::string(row.param.name); });

// Ten megabytes of one block repeated: the figures follow from the block's own
// (small enough for the reference) since a sequence multiplies counts.
TEST(Scale, TenMegabyteTemplateCompiles)
{
    const std::string block = "x{, |[a|bb]|c}y[[p|q]|{r}] ";
    const reference::VariantList blockVariants = reference::expandTemplate(block);
    const std::size_t blockCount = blockVariants.size();
    std::size_t blockBytes = 0;
    std::size_t blockLongest = 0;
    for (const std::string &variant : blockVariants) {
        blockBytes += variant.size();
        blockLongest = std::max(blockLongest, variant.size());
    }
    const std::size_t repeats = 10 * million / block.size();
    const auto compiled = razmnozhator::CompiledTemplate::compile(times(block, repeats));

    EXPECT_TRUE(sameNumber(compiled.count(), power(blockCount, repeats)));
    // Each block position contributes blockBytes once for every choice of the others.
    EXPECT_TRUE(sameNumber(compiled.totalBytes(), mpz_class(repeats) * blockBytes * power(blockCount, repeats - 1)));
    EXPECT_EQ(compiled.maxLength(), repeats * blockLongest);
    const std::vector<std::string> first = firstVariants(compiled, 2);
    ASSERT_EQ(first.size(), 2u);
    EXPECT_TRUE(first[0] == times(blockVariants[0], repeats));
    EXPECT_TRUE(first[1] == times(blockVariants[0], repeats - 1) + blockVariants[1]);
}

TEST(Scale, TenMegabytesOfPlainText)
{
    std::string text(10 * million, 'z');
    for (std::size_t i = 0; i < text.size(); i += 97)
        text[i] = "]}|\xE0"[i % 4]; // stray closers and bars are literal outside groups
    const auto compiled = razmnozhator::CompiledTemplate::compile(text);
    EXPECT_TRUE(sameNumber(compiled.count(), mpz_class(1)));
    EXPECT_TRUE(sameNumber(compiled.totalBytes(), mpz_class(text.size())));
    const razmnozhator::VariantList list = compiled.expand();
    ASSERT_EQ(list.size(), 1u);
    EXPECT_TRUE(list[0] == text) << "the only variant differs from the text";
}

} // namespace
