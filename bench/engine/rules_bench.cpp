// What counting lengths by the Direct rule, and limiting "!" to one as
// Google does in a description, cost against counting every character, for
// every figure and choice, on the same template and bounds: the times and
// their ratios to the plain one, printed.
//
// Templates (Python for the last two, as CP1251 here):
//   advert     24 phrases, each followed by [,|.|!|] (benchtemplates.h),
//              bounds 367..399
//   words      100 places of five words, each followed by [,|]: 10^100
//              lines, bounds 647..842
//   mixed200   ''.join('[%s|%s][,|.|]' % ('a'*(i%13+1), 'слово'*(i*7%9+1))
//              for i in range(200)), bounds 3800..3900
//   phrases24  ''.join('[слово%d|фраза%d длиннее][,|.|!|] ' % (i, i)
//              for i in range(24)), bounds 250..300
// Questions, each on a freshly compiled template, as the tool asks them:
//   count, stats (count and bytes), chart (200 columns of the spectrum),
//   nth (the variant at 37 % of those kept), sample 1000 and 20000, list
//   (the first 2,000,000 kept lines or 256 MiB of them, written to memory).
// Each figure is the median of five runs, or one run where that takes
// over half a second.
// Run from a Release build: build/release/bench/engine/rules_bench

#include "benchtemplates.h"
#include "razmnozhator/engine.h"
#include "razmnozhator/sample.h"

#include <gmpxx.h>

#include <algorithm>
#include <cstdio>
#include <functional>
#include <memory>
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

std::string mixedTemplate()
{
    std::string text;
    for (int i = 0; i < 200; ++i)
        text += '[' + std::string(i % 13 + 1, 'a') + '|' + bench::repeated(bench::cp1251("слово"), i * 7 % 9 + 1)
            + "][,|.|]";
    return text;
}

std::string phrasesTemplate()
{
    std::string text;
    for (int i = 0; i < 24; ++i)
        text += bench::cp1251("[слово" + std::to_string(i) + "|фраза" + std::to_string(i) + " длиннее][,|.|!|] ");
    return text;
}

// A question that takes over half a second is asked once.
double medianSeconds(int runs, const std::function<void()> &question)
{
    std::vector<double> seconds;
    for (int run = 0; run < runs && (seconds.empty() || seconds.front() < 0.5); ++run) {
        const auto start = Clock::now();
        question();
        seconds.push_back(secondsSince(start));
    }
    std::ranges::sort(seconds);
    return seconds[seconds.size() / 2];
}

// Keeps the optimizer from dropping what a question computed.
std::size_t sink = 0;

void sample(const std::string &text, const LengthRule &rule, LengthRange range, unsigned size)
{
    razmnozhator::Sample drawn(CompiledTemplate::compile(text, rule), size, range, 1);
    while (drawn.next())
        sink += drawn.current().size();
}

void list(const std::string &text, const LengthRule &rule, LengthRange range)
{
    razmnozhator::BoundedEnumerator kept(CompiledTemplate::compile(text, rule), range);
    std::vector<char> buffer(std::size_t(1) << 20);
    std::uint64_t left = 2'000'000;
    std::size_t bytes = 0;
    while (left > 0 && bytes < (std::size_t(256) << 20)) {
        const razmnozhator::WrittenLines written = kept.writeLines(buffer.data(), buffer.size(), '\n', left);
        if (written.lines == 0) {
            if (!kept.next())
                break;
            --left;
            continue;
        }
        left -= written.lines;
        bytes += written.bytes;
        sink += written.lines;
    }
}

struct Question
{
    const char *name;
    std::function<void(const std::string &, const LengthRule &, LengthRange)> ask;
};

} // namespace

int main()
{
    struct Case
    {
        const char *name;
        std::string text;
        LengthRange plain;
        LengthRange direct;
    };
    const Case cases[] = {
        { "advert", bench::advertTemplate(), { 374, 418 }, { 367, 399 } },
        { "words", bench::punctuatedWordsTemplate(), { 672, 917 }, { 647, 842 } },
        { "mixed200", mixedTemplate(), { 3800, 3900 }, { 3800, 3900 } },
        { "phrases24", phrasesTemplate(), { 250, 300 }, { 250, 300 } },
    };
    const Question questions[] = {
        { "count",
            [](auto &text, auto &rule, auto range) {
                sink += CompiledTemplate::compile(text, rule).countInRange(range).get_ui();
            } },
        { "stats",
            [](auto &text, auto &rule, auto range) {
                sink += CompiledTemplate::compile(text, rule).figuresInRange(range).totalBytes.get_ui();
            } },
        { "chart",
            [](auto &text, auto &rule, auto) {
                sink += CompiledTemplate::compile(text, rule).lengthColumns(200).columns.size();
            } },
        { "nth",
            [](auto &text, auto &rule, auto range) {
                const CompiledTemplate compiled = CompiledTemplate::compile(text, rule);
                const mpz_class rank = compiled.countInRange(range) * 37 / 100;
                sink += compiled.variantInRange(rank, range).size();
            } },
        { "sample1k", [](auto &text, auto &rule, auto range) { sample(text, rule, range, 1000); } },
        { "sample20k", [](auto &text, auto &rule, auto range) { sample(text, rule, range, 20000); } },
        { "list2M", [](auto &text, auto &rule, auto range) { list(text, rule, range); } },
    };
    // Every byte counted, at most one "!".
    LengthRule oneExclamation;
    oneExclamation.limited.set('!');
    oneExclamation.mostLimited = 1;
    std::printf("%-10s %-10s %10s %10s %8s %10s %8s\n", "template", "question", "plain ms", "direct ms", "ratio",
        "one ! ms", "ratio");
    for (const Case &row : cases) {
        for (const Question &question : questions) {
            const auto time = [&](const LengthRule &rule, LengthRange range) {
                return medianSeconds(5, [&] { question.ask(row.text, rule, range); }) * 1e3;
            };
            const double plain = time({}, row.plain);
            const double direct = time(directRule(), row.direct);
            const double exclamation = time(oneExclamation, row.plain);
            std::printf("%-10s %-10s %10.2f %10.2f %8.2f %10.2f %8.2f\n", row.name, question.name, plain, direct,
                direct / plain, exclamation, exclamation / plain);
            std::fflush(stdout);
        }
    }
    return sink == 42 ? 1 : 0;
}
