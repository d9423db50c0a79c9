// Random access figures of the engine, printed: the variant at a position,
// seeking, length spectra and samples within a length range.
//
// Templates:
//   words64   19 groups of ten alternatives of 1 to 10 letters: 10^19 variants,
//             a count that fits in 64 bits
//   words100  100 groups of ten alternatives of 1 to 19 letters, each followed
//             by a space: 10^100 variants, the longest of 2,000 characters
//   digits7   seven digit groups: 10^7 variants, for shards
//   spectra   words100 with longer words, and with more groups
//   digits100 100 digit groups: 10^100 variants
//   pairs     130 alternatives, each holding a pairs group: "[a|ab|{+|x0|y|zz}]"
//             with other letters
//   article   nested_article.txt: 40 sentences, alternatives three deep, pairs
//             of alternatives, 10^90 variants of 2,218 to 3,091 characters
// Run from a Release build: build/release/bench/engine/random_access_bench

#include "benchtemplates.h"
#include "razmnozhator/engine.h"
#include "razmnozhator/sample.h"

#include <gmpxx.h>

#include <chrono>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <random>
#include <string>
#include <vector>

namespace {

using bench::Clock;
using bench::pairsTemplate;
using bench::peakMegabytes;
using bench::repeated;
using bench::secondsSince;

std::string wordGroups(int groups, int alternatives, int step, bool spaced)
{
    std::string text;
    for (int g = 0; g < groups; ++g) {
        text += '[';
        for (int j = 0; j < alternatives; ++j) {
            if (j > 0)
                text += '|';
            text += std::string(std::size_t(step * j + 1), char('a' + j));
        }
        text += spaced ? "] " : "]";
    }
    return text;
}

// Positions per second over about a second of seeks to random positions,
// drawn beforehand so that only the look-ups are timed.
double positionsPerSecond(const razmnozhator::CompiledTemplate &compiled)
{
    gmp_randclass random(gmp_randinit_mt);
    random.seed(1);
    std::vector<mpz_class> positions;
    for (int i = 0; i < 4096; ++i)
        positions.push_back(random.get_z_range(compiled.count()));
    razmnozhator::Enumerator enumerator(compiled);
    std::size_t done = 0;
    std::size_t bytes = 0;
    const auto start = Clock::now();
    while (secondsSince(start) < 1.0) {
        for (const mpz_class &position : positions) {
            enumerator.seek(position);
            enumerator.next();
            bytes += enumerator.current().size();
        }
        done += positions.size();
    }
    return bytes > 0 ? double(done) / secondsSince(start) : 0;
}

// Seconds to draw a sample, as the tool's --sample does.
double sampleSeconds(
    const razmnozhator::CompiledTemplate &compiled, unsigned long size, razmnozhator::LengthRange range)
{
    const auto start = Clock::now();
    std::size_t bytes = 0;
    razmnozhator::Sample sample(compiled, size, range, 1);
    while (sample.next())
        bytes += sample.current().size();
    return bytes > 0 ? secondsSince(start) : 0;
}

// The median length: the shortest length up to which half the variants reach.
std::uint64_t medianLength(const razmnozhator::CompiledTemplate &compiled)
{
    const mpz_class half = compiled.count() / 2;
    std::uint64_t low = compiled.minLength();
    std::uint64_t high = compiled.maxLength();
    while (low < high) {
        const std::uint64_t middle = (low + high) / 2;
        if (compiled.figuresInRange({ 0, middle }).count < half)
            low = middle + 1;
        else
            high = middle;
    }
    return low;
}

void printRandomAccessGoals()
{
    std::printf("\n%-58s %s\n", "random access on every shape", "result");
    std::ifstream file(RAZMNOZHATOR_ARTICLE);
    const std::string article((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
    struct Shape
    {
        const char *name;
        std::string text;
    };
    const Shape shapes[] = { { "digits100", repeated("[0|1|2|3|4|5|6|7|8|9]", 100) }, { "pairs", pairsTemplate() },
        { "article", article } };
    for (const Shape &shape : shapes) {
        const auto compiled = razmnozhator::CompiledTemplate::compile(shape.text);
        const double unbounded = sampleSeconds(compiled, 50000, {});
        std::printf(
            "%-58s %.0f /s (goal 10^5)\n", (std::string("sample 50,000, ") + shape.name).c_str(), 50000 / unbounded);
        // From the median length up: at least half the variants, and little more.
        const std::uint64_t median = medianLength(compiled);
        const razmnozhator::LengthRange half { median, compiled.maxLength() };
        const mpz_class kept = compiled.figuresInRange(half).count;
        const double bounded = sampleSeconds(compiled, 50000, half);
        std::printf("%-58s %.2f x unbounded, keeps %.0f %% (goal 2)\n",
            (std::string("sample 50,000 within ") + std::to_string(half.min) + ".." + std::to_string(half.max) + ", "
                + shape.name)
                .c_str(),
            bounded / unbounded, 100 * mpq_class(kept, compiled.count()).get_d());
        if (shape.name == std::string("pairs")) {
            const std::uint64_t narrow = (compiled.maxLength() - compiled.minLength()) / 100;
            std::printf("%-58s %.3f s (goal 1)\n", "sample 100,000 of pairs within 1 % of the span around the median",
                sampleSeconds(compiled, 100000, { median - narrow, median + narrow }));
        }
    }

    const auto bits = razmnozhator::CompiledTemplate::compile(repeated("[0|1]", 30000));
    std::printf("%-58s %.3f s, peak %.0f MB so far (goals 2 s, 100 MB)\n", "sample 5,000 of [0|1] x 30,000",
        sampleSeconds(bits, 5000, {}), peakMegabytes());
    auto start = Clock::now();
    const auto lengths = razmnozhator::CompiledTemplate::compile(repeated("[x|yy|zzz|]", 700));
    try {
        sampleSeconds(lengths, 1, { 10, UINT64_MAX });
        std::printf("%-58s %.3f s, peak %.0f MB so far (goal: answered)\n",
            "sample 1 of [x|yy|zzz|] x 700 within lengths >= 10", secondsSince(start), peakMegabytes());
    } catch (const razmnozhator::LimitError &error) {
        std::printf(
            "%-58s refused: %s (goal: answered)\n", "sample 1 of [x|yy|zzz|] x 700 within lengths >= 10", error.what());
    }
    start = Clock::now();
    const auto pairsLong = razmnozhator::CompiledTemplate::compile(repeated("[a|b]", 1000000));
    const std::string first = pairsLong.variantAt(0);
    std::printf("%-58s %.3f s, peak %.0f MB so far (goals 5 s, 500 MB)\n", "variant 1 of [a|b] x 10^6",
        secondsSince(start), peakMegabytes());
    start = Clock::now();
    const auto deep = razmnozhator::CompiledTemplate::compile(repeated("{-|", 1000000) + "b" + repeated("}", 1000000));
    const std::size_t digits = mpz_sizeinbase(deep.count().get_mpz_t(), 10);
    std::printf("%-58s %.3f s, %zu digits\n", "exact count of {-| x 10^6 b } x 10^6", secondsSince(start), digits);
    std::printf("%s", first.size() == 1000000 ? "" : "wrong variant\n");
}

} // namespace

int main()
{
    std::printf("%-58s %s\n", "figure", "result");

    const auto words64 = razmnozhator::CompiledTemplate::compile(wordGroups(19, 10, 1, false));
    std::printf("%-58s %.0f /s (goal 10^6)\n", "variant at a position, words64", positionsPerSecond(words64));
    const auto words100 = razmnozhator::CompiledTemplate::compile(wordGroups(100, 10, 2, true));
    std::printf("%-58s %.0f /s (goal 10^5)\n", "variant at a position, words100", positionsPerSecond(words100));

    auto start = Clock::now();
    const auto fresh = razmnozhator::CompiledTemplate::compile(wordGroups(100, 10, 2, true));
    (void)fresh.figuresInRange({ 0, 1500 });
    std::printf(
        "%-58s %.3f s (goal 0.2)\n", "spectrum, words100 (10^100 variants, longest 2,000)", secondsSince(start));

    // Longer variants at the same count (longer words), then more groups,
    // whose counts have more digits as well.
    struct SpectrumCase
    {
        int groups;
        int step;
    };
    for (const SpectrumCase c : { SpectrumCase { 100, 1 }, { 100, 11 }, { 100, 111 }, { 500, 2 }, { 5000, 2 } }) {
        const auto big = razmnozhator::CompiledTemplate::compile(wordGroups(c.groups, 10, c.step, true));
        const std::string name = "spectrum, longest " + std::to_string(big.maxLength()) + " characters, 10^"
            + std::to_string(c.groups) + " variants";
        start = Clock::now();
        try {
            (void)big.figuresInRange({ 0, big.maxLength() / 2 });
            std::printf("%-58s %.3f s\n", name.c_str(), secondsSince(start));
        } catch (const razmnozhator::LimitError &error) {
            std::printf("%-58s refused after %.3f s: %s\n", name.c_str(), secondsSince(start), error.what());
        }
    }

    // The shortest length from which one variant in a million is kept.
    const mpz_class wanted = words100.count() / 1000000;
    std::uint64_t low = words100.minLength();
    std::uint64_t high = words100.maxLength();
    while (low < high) {
        const std::uint64_t middle = (low + high) / 2;
        if (words100.figuresInRange({ middle, UINT64_MAX }).count > wanted)
            low = middle + 1;
        else
            high = middle;
    }
    const mpz_class kept = words100.figuresInRange({ low, UINT64_MAX }).count;
    const mpz_class ratio = words100.count() / kept;
    start = Clock::now();
    std::size_t bytes = 0;
    razmnozhator::Sample sample(words100, 100000, { low, UINT64_MAX }, 1);
    while (sample.next())
        bytes += sample.current().size();
    const std::string name
        = "sample 100,000 of words100, lengths >= " + std::to_string(low) + " (1 in " + ratio.get_str() + ")";
    std::printf("%-58s %.3f s (goal 1)\n", name.c_str(), secondsSince(start));

    std::string digits;
    for (int i = 0; i < 7; ++i)
        digits += "[0|1|2|3|4|5|6|7|8|9]";
    const auto digits7 = razmnozhator::CompiledTemplate::compile(digits);
    razmnozhator::Enumerator shard(digits7);
    start = Clock::now();
    for (int i = 0; i < 1000; ++i)
        shard.seek(mpz_class(6666667 - i));
    std::printf("%-58s %.2f us\n", "seek to the last of three shards of digits7", secondsSince(start) * 1000);
    printRandomAccessGoals();
    return bytes > 0 ? 0 : 1;
}
