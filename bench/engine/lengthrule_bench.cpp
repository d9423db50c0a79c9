// What counting lengths by a rule costs against counting every character,
// printed: the same question asked of the same template under each rule.
//
// The rule leaves the narrow characters . , ! : ; " « » uncounted and keeps
// no line with more than 15 of them. Templates:
//   advert  24 phrases, each followed by [,|.|!|] (benchtemplates.h)
//   words   10^100 lines: 100 places of five words, each followed by [,|]
// Questions, each on a freshly compiled template, so that building the
// length spectra is timed too:
//   count   the number of lines within bounds
//   sample  20,000 lines drawn within bounds
// The bounds keep the middle half of the lengths each rule counts. Each
// figure is the median of several runs; the ratio is the rule's against
// the plain one's.
// Run from a Release build: build/release/bench/engine/lengthrule_bench

#include "benchtemplates.h"
#include "figures/lengthcounts.h"
#include "program/program.h"
#include "program/templateaccess.h"
#include "razmnozhator/engine.h"
#include "razmnozhator/sample.h"

#include <gmpxx.h>

#include <algorithm>
#include <cstdio>
#include <string>
#include <string_view>
#include <vector>

namespace {

using bench::Clock;
using bench::directRule;
using bench::secondsSince;
using razmnozhator::CompiledTemplate;
using razmnozhator::LengthRange;
using razmnozhator::LengthRule;

constexpr int runs = 7;

CompiledTemplate compiled(const std::string &text, const LengthRule &rule)
{
    return CompiledTemplate::compile(text, rule);
}

// The middle half of the lengths the rule counts.
LengthRange middleHalf(const CompiledTemplate &compiled)
{
    const std::uint64_t span = compiled.maxLength() - compiled.minLength();
    return { compiled.minLength() + span / 4, compiled.maxLength() - span / 4 };
}

template <class Question> double medianSeconds(Question question)
{
    std::vector<double> seconds;
    for (int run = 0; run < runs; ++run) {
        const auto start = Clock::now();
        question();
        seconds.push_back(secondsSince(start));
    }
    std::ranges::sort(seconds);
    return seconds[seconds.size() / 2];
}

struct Figures
{
    double countSeconds = 0;
    double sampleSeconds = 0;
    mpz_class kept;
    double slots = 0; // coefficients in the length spectra the count built
};

Figures measure(const std::string &text, const LengthRule &rule)
{
    Figures figures;
    const LengthRange range = middleHalf(compiled(text, rule));
    figures.countSeconds = medianSeconds([&] { figures.kept = compiled(text, rule).countInRange(range); });
    figures.sampleSeconds = medianSeconds([&] {
        razmnozhator::Sample sample(compiled(text, rule), 20000, range, 1);
        std::size_t bytes = 0;
        while (sample.next())
            bytes += sample.current().size();
        if (bytes == 0)
            std::printf("no sample drawn\n");
    });
    const auto once = compiled(text, rule);
    const auto &program = razmnozhator::detail::programOf(once);
    const std::uint64_t cut = program.ruleLengths.weighted
        ? range.max + program.ruleLengths.period * (program.ruleLengths.repeats - 1)
        : range.max;
    figures.slots = razmnozhator::detail::spectrumSlots(program, cut);
    return figures;
}

} // namespace

int main()
{
    std::printf(
        "%-10s %-8s %12s %12s %8s %14s\n", "template", "question", "plain ms", "rule ms", "rule/plain", "kept (rule)");
    struct Case
    {
        const char *name;
        std::string text;
    };
    const Case cases[] = { { "advert", bench::advertTemplate() }, { "words", bench::punctuatedWordsTemplate() } };
    for (const Case &row : cases) {
        const Figures plain = measure(row.text, {});
        const Figures rule = measure(row.text, directRule());
        std::printf("%-10s %-8s %12.3f %12.3f %8.2f %14.3g\n", row.name, "count", plain.countSeconds * 1e3,
            rule.countSeconds * 1e3, rule.countSeconds / plain.countSeconds, rule.kept.get_d());
        std::printf("%-10s %-8s %12.3f %12.3f %8.2f\n", row.name, "sample", plain.sampleSeconds * 1e3,
            rule.sampleSeconds * 1e3, rule.sampleSeconds / plain.sampleSeconds);
        std::printf("%-10s %-8s %12.0f %12.0f %8.2f  (spectrum coefficients: memory)\n", row.name, "slots", plain.slots,
            rule.slots, rule.slots / plain.slots);
    }
}
