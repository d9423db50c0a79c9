// Enumeration speed and memory of the engine, printed as figures.
//
// Three template shapes, each at about 10^5, 10^6 and 10^7 variants:
//   alternatives  groups of ten alternatives in sequence; every variant is 110 bytes
//   nested        alternatives that hold nested groups and sequences of their own
//   pairs         pairs groups of 5 to 30 items in sequence
// For each one: expansion into a VariantList, streaming through an Enumerator
// into a reused 1 MiB buffer, the naive reference expander (up to 10^6), and
// two memcpy baselines that write the same number of bytes from a touched
// 1 MiB source in 1 MiB chunks: "memcpy_whole" into one preallocated, already
// touched buffer as large as the whole output (what a list has to do), and
// "memcpy_1MiB" into a single 1 MiB buffer over and over (what a stream does).
// A third, "memcpy_fresh", copies into newly allocated memory, to show how much
// of a list's time goes to the system handing out fresh pages.
// A summary at the end sets the figures against the goals.

#include "reference_expander.h"

#include "razmnozhator/engine.h"

#include <benchmark/benchmark.h>

#include <gmpxx.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <map>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include <unistd.h>

namespace {

constexpr std::size_t chunk = std::size_t { 1 } << 20;

struct Workload
{
    std::string shape;
    std::string size; // "1e5", "1e6", "1e7"
    std::string text;
    std::size_t variants = 0;
    std::size_t bytes = 0;
};

std::string word(char letter, std::size_t length, std::size_t index)
{
    std::string text(length, letter);
    text[length - 1] = static_cast<char>('0' + index % 10);
    if (length > 1)
        text[length - 2] = static_cast<char>('0' + index / 10 % 10);
    return text;
}

// k groups of ten 10-byte alternatives, joined by spaces after a head that
// brings every variant to 110 bytes.
std::string alternativesTemplate(int groups)
{
    std::string text(110 - static_cast<std::size_t>(groups) * 11, 'h');
    for (int g = 0; g < groups; ++g) {
        text += " [";
        for (std::size_t i = 0; i < 10; ++i) {
            if (i > 0)
                text += '|';
            text += word(static_cast<char>('a' + g), 10, i);
        }
        text += ']';
    }
    return text;
}

// level(0) is ten digits as nested groups; level(d) = "[w level(d-1) D|v D]",
// which gives (10^(d+2) - 10) / 9 variants.
std::string nestedTemplate(int depth)
{
    const std::string digits = "[[0|1]|[2|[3|4]]|[5|6|[7|8|9]]]";
    std::string text = digits;
    for (int d = 1; d <= depth; ++d) {
        const char letter = static_cast<char>('a' + d);
        std::string level = "[";
        level.append(word(letter, 8, 1)).append(" ").append(text).append(" ").append(digits);
        level.append("|").append(word(letter, 12, 2)).append(" ").append(digits).append("]");
        text = std::move(level);
    }
    return std::string("nested: ").append(text);
}

std::string pairsGroup(std::size_t items, char letter)
{
    std::string text = "{, ";
    for (std::size_t i = 0; i < items; ++i)
        text.append("|").append(word(letter, 6, i));
    return text.append("}");
}

std::string pairsTemplate(const std::vector<std::size_t> &itemCounts)
{
    std::string text = "pairs:";
    char letter = 'p';
    for (const std::size_t items : itemCounts)
        text.append(" ").append(pairsGroup(items, letter++));
    return text;
}

std::vector<Workload> workloads()
{
    std::vector<Workload> list = {
        { "alternatives", "1e5", alternativesTemplate(5) },
        { "alternatives", "1e6", alternativesTemplate(6) },
        { "alternatives", "1e7", alternativesTemplate(7) },
        { "nested", "1e5", nestedTemplate(4) },
        { "nested", "1e6", nestedTemplate(5) },
        { "nested", "1e7", nestedTemplate(6) },
        { "pairs", "1e5", pairsTemplate({ 11, 30 }) },
        { "pairs", "1e6", pairsTemplate({ 5, 8, 30 }) },
        { "pairs", "1e7", pairsTemplate({ 6, 20, 30 }) },
    };
    for (Workload &w : list) {
        const auto compiled = razmnozhator::CompiledTemplate::compile(w.text);
        w.variants = compiled.count().get_ui();
        w.bytes = compiled.totalBytes().get_ui();
    }
    return list;
}

void setThroughput(benchmark::State &state, const Workload &w)
{
    const double iterations = static_cast<double>(state.iterations());
    state.counters["variants/s"]
        = benchmark::Counter(static_cast<double>(w.variants) * iterations, benchmark::Counter::kIsRate);
    state.counters["bytes/s"]
        = benchmark::Counter(static_cast<double>(w.bytes) * iterations, benchmark::Counter::kIsRate);
    state.counters["variants"] = static_cast<double>(w.variants);
    state.counters["MB"] = static_cast<double>(w.bytes) / 1e6;
}

void expandToList(benchmark::State &state, const Workload &w)
{
    const auto compiled = razmnozhator::CompiledTemplate::compile(w.text);
    for (auto _ : state) {
        razmnozhator::VariantList list = compiled.expand();
        benchmark::DoNotOptimize(list.byteSize());
    }
    setThroughput(state, w);
}

void streamToBuffer(benchmark::State &state, const Workload &w)
{
    const auto compiled = razmnozhator::CompiledTemplate::compile(w.text);
    std::vector<char> buffer(chunk);
    for (auto _ : state) {
        std::size_t used = 0;
        razmnozhator::Enumerator enumerator(compiled);
        while (enumerator.next()) {
            const std::string_view variant = enumerator.current();
            if (used + variant.size() > buffer.size()) {
                benchmark::DoNotOptimize(buffer.data());
                benchmark::ClobberMemory();
                used = 0;
            }
            std::memcpy(buffer.data() + used, variant.data(), variant.size());
            used += variant.size();
        }
        benchmark::DoNotOptimize(buffer.data());
        benchmark::ClobberMemory();
    }
    setThroughput(state, w);
}

void referenceExpander(benchmark::State &state, const Workload &w)
{
    for (auto _ : state) {
        reference::VariantList list = reference::expandTemplate(w.text);
        benchmark::DoNotOptimize(list.data());
    }
    setThroughput(state, w);
}

void copyBytes(benchmark::State &state, const Workload &w, bool whole)
{
    std::vector<char> source(chunk, 'x');
    std::vector<char> target(whole ? w.bytes : chunk, 'y');
    for (auto _ : state) {
        for (std::size_t done = 0; done < w.bytes; done += chunk) {
            const std::size_t length = std::min(chunk, w.bytes - done);
            std::memcpy(target.data() + (whole ? done : 0), source.data(), length);
            benchmark::ClobberMemory();
        }
        benchmark::DoNotOptimize(target.data());
    }
    setThroughput(state, w);
}

// The same copy into memory fresh from the system, as a list's buffer is:
// the first write to every page costs a page fault, which a list cannot avoid.
void copyBytesToFreshMemory(benchmark::State &state, const Workload &w)
{
    std::vector<char> source(chunk, 'x');
    for (auto _ : state) {
        const std::unique_ptr<char[]> target(new char[w.bytes]);
        for (std::size_t done = 0; done < w.bytes; done += chunk) {
            std::memcpy(target.get() + done, source.data(), std::min(chunk, w.bytes - done));
            benchmark::ClobberMemory();
        }
        benchmark::DoNotOptimize(target.get());
    }
    setThroughput(state, w);
}

void listMemory(benchmark::State &state, const Workload &w)
{
    const auto compiled = razmnozhator::CompiledTemplate::compile(w.text);
    std::size_t usage = 0;
    for (auto _ : state) {
        const razmnozhator::VariantList list = compiled.expand();
        usage = list.memoryUsage();
    }
    const double bound = static_cast<double>(w.bytes) + 16.0 * static_cast<double>(w.variants);
    state.counters["memoryUsage_MB"] = static_cast<double>(usage) / 1e6;
    state.counters["S+16N_MB"] = bound / 1e6;
    state.counters["usage/bound"] = static_cast<double>(usage) / bound;
}

std::string tenMegabytes(std::string_view block)
{
    std::string text;
    text.reserve(10'000'000 + block.size());
    while (text.size() + block.size() <= 10'000'000)
        text += block;
    return text;
}

void compileTenMegabytes(benchmark::State &state, const std::string &text, bool withFigures)
{
    for (auto _ : state) {
        const auto compiled = razmnozhator::CompiledTemplate::compile(text);
        if (withFigures) {
            benchmark::DoNotOptimize(compiled.count().get_mpz_t());
            benchmark::DoNotOptimize(compiled.totalBytes().get_mpz_t());
        }
        benchmark::DoNotOptimize(compiled.maxLength());
    }
    state.counters["MB"] = static_cast<double>(text.size()) / 1e6;
}

// Prints what the console reporter prints, and keeps each run's time per
// iteration so the summary can put the figures side by side.
class SummaryReporter : public benchmark::ConsoleReporter
{
public:
    // Colours only on a terminal, so that the figures can be piped to a file.
    SummaryReporter()
        : ConsoleReporter(isatty(STDOUT_FILENO) ? OO_ColorTabular : OO_Tabular)
    {
    }

    void ReportRuns(const std::vector<Run> &runs) override
    {
        ConsoleReporter::ReportRuns(runs);
        for (const Run &run : runs)
            millis_[run.run_name.function_name] = run.GetAdjustedRealTime();
    }

    void Finalize() override
    {
        ConsoleReporter::Finalize();
        if (find("list/" + megabytes_.front().first) < 0 && find("list/" + megabytes_.back().first) < 0)
            return; // a filtered run without the enumerations
        std::printf("\nSummary: ms per whole enumeration, MB/s of variant bytes, and the ratios the goals are about\n"
                    "(reference/list >= 5 at 1e6; list/memcpy_whole <= 3; stream/memcpy_1MiB <= 2)\n\n");
        std::printf("%-18s %9s %9s %9s %9s %9s %9s %8s %8s %9s %9s %9s %9s\n", "template", "list", "stream",
            "reference", "memcpy_w", "memcpy_1M", "memcpy_fr", "list", "stream", "ref/list", "list/mcpy", "strm/mcpy",
            "list/fresh");
        std::printf("%-18s %9s %9s %9s %9s %9s %9s %8s %8s\n", "", "ms", "ms", "ms", "ms", "ms", "ms", "MB/s", "MB/s");
        for (const auto &[key, megabytes] : megabytes_) {
            const double list = find("list/" + key);
            const double stream = find("stream/" + key);
            const double ref = find("reference/" + key);
            const double whole = find("memcpy_whole/" + key);
            const double small = find("memcpy_1MiB/" + key);
            const double fresh = find("memcpy_fresh/" + key);
            if (list <= 0 || stream <= 0 || whole <= 0 || small <= 0 || fresh <= 0)
                continue;
            char refText[32] = "-";
            char ratioText[32] = "-";
            if (ref > 0) {
                std::snprintf(refText, sizeof refText, "%.1f", ref);
                std::snprintf(ratioText, sizeof ratioText, "%.1f", ref / list);
            }
            std::printf("%-18s %9.2f %9.2f %9s %9.2f %9.2f %9.2f %8.0f %8.0f %9s %9.2f %9.2f %9.2f\n", key.c_str(),
                list, stream, refText, whole, small, fresh, megabytes / list * 1e3, megabytes / stream * 1e3, ratioText,
                list / whole, stream / small, list / fresh);
        }
    }

    void expect(const std::string &key, double megabytes) { megabytes_.emplace_back(key, megabytes); }

private:
    double find(const std::string &name) const
    {
        const auto it = millis_.find(name);
        return it == millis_.end() ? -1.0 : it->second;
    }

    std::map<std::string, double> millis_;
    std::vector<std::pair<std::string, double>> megabytes_;
};

} // namespace

int main(int argc, char **argv)
{
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv))
        return 1;

    SummaryReporter reporter;
    static const std::vector<Workload> all = workloads();
    for (const Workload &w : all) {
        const std::string key = w.shape + "/" + w.size;
        reporter.expect(key, static_cast<double>(w.bytes) / 1e6);
        const bool big = w.size == "1e7";
        // Enumerations of a gigabyte are timed twice; smaller ones for half a second.
        const auto tune = [big](benchmark::internal::Benchmark *b, int iterations = 0) {
            b->Unit(benchmark::kMillisecond)->UseRealTime();
            if (iterations > 0)
                b->Iterations(iterations);
            else if (big)
                b->Iterations(2);
            else
                b->MinTime(0.5);
        };
        tune(benchmark::RegisterBenchmark(("list/" + key).c_str(), expandToList, w));
        tune(benchmark::RegisterBenchmark(("stream/" + key).c_str(), streamToBuffer, w));
        if (!big)
            tune(benchmark::RegisterBenchmark(("reference/" + key).c_str(), referenceExpander, w), 3);
        tune(benchmark::RegisterBenchmark(("memcpy_whole/" + key).c_str(), copyBytes, w, true));
        tune(benchmark::RegisterBenchmark(("memcpy_1MiB/" + key).c_str(), copyBytes, w, false));
        tune(benchmark::RegisterBenchmark(("memcpy_fresh/" + key).c_str(), copyBytesToFreshMemory, w));
    }
    for (const Workload &w : all) {
        if (w.size == "1e6")
            benchmark::RegisterBenchmark(("memory/" + w.shape + "/1e6").c_str(), listMemory, w)
                ->Unit(benchmark::kMillisecond)
                ->Iterations(1);
    }

    static const std::string sequenceText = tenMegabytes(" [ab|cd|[ef|gh]]");
    static const std::string mixedText = tenMegabytes("x{, |[a|bb]|c}y[[p|q]|{r}] ");
    static const std::string nestedText = [] {
        std::string text(5'000'000, '[');
        return text + "a" + std::string(5'000'000, ']');
    }();
    for (const auto &[name, text] : { std::pair { "sequence", &sequenceText }, std::pair { "mixed", &mixedText },
             std::pair { "nested", &nestedText } }) {
        benchmark::RegisterBenchmark((std::string("compile_10MB/") + name).c_str(), compileTenMegabytes, *text, false)
            ->Unit(benchmark::kMillisecond)
            ->Iterations(3);
        benchmark::RegisterBenchmark(
            (std::string("compile_10MB_exact_figures/") + name).c_str(), compileTenMegabytes, *text, true)
            ->Unit(benchmark::kMillisecond)
            ->Iterations(1);
    }

    benchmark::RunSpecifiedBenchmarks(&reporter);
    benchmark::Shutdown();
    return 0;
}
