// Random access against the reference expander: the variant at every position
// of thousands of small random templates, seeking and going on from there,
// and positions far beyond 64 bits in templates made of a known big prefix.

#include "differential.h"
#include "random_templates.h"

#include "razmnozhator/engine.h"

#include <gtest/gtest.h>

#include <gmpxx.h>

#include <random>
#include <stdexcept>
#include <string>
#include <vector>

namespace {

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

// Twenty digit groups make 10^20 variants, past 64 bits, and the variant at
// position p starts with p / n written in twenty digits, where n is the count
// of the random template after them.
TEST(RandomAccess, PositionsBeyondSixtyFourBits)
{
    const std::string digits = [] {
        std::string text;
        for (int i = 0; i < 20; ++i)
            text += "[0|1|2|3|4|5|6|7|8|9]";
        return text;
    }();
    std::mt19937_64 random(5);
    const int checked = forRandomTemplates(22, 600, 14, [&](const std::string &text, const auto &variants) {
        const auto compiled = razmnozhator::CompiledTemplate::compile(digits + text);
        const mpz_class n = static_cast<unsigned long>(variants.size());
        ASSERT_EQ(compiled.count(), mpz_class("100000000000000000000") * n);
        for (int draw = 0; draw < 20; ++draw) {
            mpz_class position = mpz_class(static_cast<unsigned long>(random())) * 10000 + random() % 10000;
            position %= compiled.count();
            const mpz_class prefix = position / n;
            const std::size_t rest = mpz_class(position % n).get_ui();
            std::string prefixDigits = prefix.get_str();
            prefixDigits.insert(0, 20 - prefixDigits.size(), '0');
            ASSERT_EQ(compiled.variantAt(position), prefixDigits + variants[rest]) << "position " << position;
            razmnozhator::Enumerator enumerator(compiled, position);
            ASSERT_TRUE(enumerator.next() && enumerator.next());
            const std::size_t following = (rest + 1) % variants.size();
            ASSERT_EQ(enumerator.current().substr(20), variants[following]);
        }
    });
    EXPECT_GE(checked, 150);
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

} // namespace
