// Listing figures of the engine, printed: deep nesting, and listing within a
// length range, where only the kept variants should cost time.
//
// Templates:
//   deep alternatives  "[a|" x 10^6 "]" x 10^6: 10^6 + 1 lines, a million levels
//   deep pairs         "{" x 10^5 "x" "}" x 10^5: 2^100000 lines of "x"
//   pairs              130 groups "[a|ah|{+|n0|t|hh}]", each with other letters:
//                      8^130 variants of 130 to 650 characters
//   digits             100 groups [0|1|...|9], --max-length 99 keeps nothing
//   bb|a               40 groups [bb|a], --max-length 40 keeps the last line only
//   x|yy|zzz|          200 groups [x|yy|zzz|], --max-length 133 keeps 10^96
//                      lines, none of them near the first variant
// Run from a Release build: build/release/bench/engine/listing_bench

#include "benchtemplates.h"
#include "program/templateaccess.h"
#include "razmnozhator/engine.h"

#include <chrono>
#include <cstdio>
#include <ctime>
#include <string>

namespace {

using bench::Clock;
using bench::pairsTemplate;
using bench::secondsSince;
using razmnozhator::BoundedEnumerator;
using razmnozhator::CompiledTemplate;
using razmnozhator::LengthRange;

struct Listed
{
    std::size_t lines = 0;
    std::size_t bytes = 0;
    double seconds = 0;
    double firstLine = -1;
    std::uint64_t visited = 0;
};

// Lists up to `limit` lines within the range.
Listed list(const CompiledTemplate &compiled, LengthRange range, std::size_t limit)
{
    Listed listed;
    const auto start = Clock::now();
    BoundedEnumerator lines(compiled, range);
    while (listed.lines < limit && lines.next()) {
        if (listed.lines++ == 0)
            listed.firstLine = secondsSince(start);
        listed.bytes += lines.current().size();
    }
    listed.seconds = secondsSince(start);
    listed.visited = razmnozhator::detail::TemplateAccess::visited(lines);
    return listed;
}

void print(const char *figure, const Listed &listed, const char *goal)
{
    std::printf("%-58s %.3f s, %zu lines, first after %.3f s, %llu visited (%s)\n", figure, listed.seconds,
        listed.lines, listed.firstLine, static_cast<unsigned long long>(listed.visited), goal);
}

} // namespace

int main()
{
    std::printf("%-58s %s\n", "figure", "result");

    {
        const std::string text = bench::repeated("[a|", 1'000'000) + bench::repeated("]", 1'000'000);
        const std::clock_t processor = std::clock();
        const auto start = Clock::now();
        const auto deep = CompiledTemplate::compile(text);
        const double compiled = secondsSince(start);
        const Listed listed = list(deep, {}, SIZE_MAX);
        std::printf("%-58s %.3f s (compile %.3f s; processor %.3f s), %zu lines (goal < 5 s)\n",
            "listing deep alternatives, 10^6 levels", compiled + listed.seconds, compiled,
            double(std::clock() - processor) / CLOCKS_PER_SEC, listed.lines);
    }
    {
        const auto deep
            = CompiledTemplate::compile(bench::repeated("{", 100'000) + "x" + bench::repeated("}", 100'000));
        razmnozhator::Enumerator lines(deep);
        std::size_t count = 0;
        const auto start = Clock::now();
        while (secondsSince(start) < 1.0) {
            for (int i = 0; i < 10'000 && lines.next(); ++i)
                ++count;
        }
        std::printf(
            "%-58s %.0f lines/s (was 1,800)\n", "listing deep pairs, 10^5 levels", double(count) / secondsSince(start));
    }
    {
        const auto pairs = CompiledTemplate::compile(pairsTemplate());
        const std::uint64_t median = 471;
        print("pairs: 10^5 lines of length 471", list(pairs, { median, median }, 100'000), "goal < 2 s");
        print("pairs: 10^5 lines within 466..476 (±1 % of the span)", list(pairs, { median - 5, median + 5 }, 100'000),
            "goal < 2 s");
        print("pairs: 10^5 lines of at least 600", list(pairs, { 600, UINT64_MAX }, 100'000), "goal < 2 s");
    }
    {
        const auto digits = CompiledTemplate::compile(bench::repeated("[0|1|2|3|4|5|6|7|8|9]", 100));
        print("digits x 100, at most 99 characters", list(digits, { 0, 99 }, SIZE_MAX), "keeps nothing");
        const auto twoOrOne = CompiledTemplate::compile(bench::repeated("[bb|a]", 40));
        print("[bb|a] x 40, at most 40 characters", list(twoOrOne, { 0, 40 }, SIZE_MAX), "keeps one");
        const auto xyz = CompiledTemplate::compile(bench::repeated("[x|yy|zzz|]", 200));
        print("[x|yy|zzz|] x 200, at most 133 characters: 10^4 lines", list(xyz, { 0, 133 }, 10'000), "starts at once");
    }
    return 0;
}
