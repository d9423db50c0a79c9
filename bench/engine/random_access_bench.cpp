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
// Run from a Release build: build/release/bench/engine/random_access_bench

#include "razmnozhator/engine.h"
#include "razmnozhator/sample.h"

#include <gmpxx.h>

#include <chrono>
#include <cstdio>
#include <random>
#include <string>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

double secondsSince(Clock::time_point start)
{
    return std::chrono::duration<double>(Clock::now() - start).count();
}

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
    return bytes > 0 ? 0 : 1;
}
