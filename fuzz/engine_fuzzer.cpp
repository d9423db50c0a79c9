// libFuzzer target: every input is a template (and, separately, the inside of
// a "[...]" and of a "{...}" group). The engine must agree with the reference
// expander on the variants in order, or on the first error and its offset;
// the compiled figures, random access, figures within a length range,
// listing within one and listing many lines at a time must match the list;
// and nothing may crash or trip a sanitizer. A disagreement is printed and
// aborts, which libFuzzer records as a crash with the input saved beside it.

#include "differential.h"

#include "razmnozhator/engine.h"
#include "razmnozhator/sample.h"

#include <gmpxx.h>

#include <algorithm>
#include <cctype>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <optional>
#include <sstream>
#include <string>
#include <string_view>
#include <vector>

namespace {

using differential::Entry;
using differential::Outcome;

// Longer inputs add little that shorter ones do not already reach, and keep
// the reference (which recurses once per group) cheap.
constexpr std::size_t maxInput = 64;
constexpr reference::Budget budget { 5'000, 250'000 };
// The engine alone is still checked against itself up to this many variants.
constexpr unsigned long selfCheckVariants = 5'000;
constexpr unsigned long selfCheckBytes = 250'000;

[[noreturn]] void disagree(std::string_view what, std::string_view text, const std::string &details)
{
    std::fprintf(stderr, "\n%.*s\ninput: %s\n%s\n", static_cast<int>(what.size()), what.data(),
        differential::quoted(text).c_str(), details.c_str());
    std::abort();
}

template <typename Got, typename Expected>
void expectEqual(const Got &got, const Expected &expected, std::string_view what, std::string_view text)
{
    if (got == expected)
        return;
    std::ostringstream details;
    details << "engine:    " << got << "\nreference: " << expected;
    disagree(what, text, details.str());
}

std::string mapBytes(std::string_view text)
{
    std::string out;
    for (const char c : text) {
        if (c == '\xE0')
            out += "\xD0\xB0";
        else
            out += static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    }
    return out;
}

struct Figures
{
    mpz_class count;
    mpz_class totalBytes;
    std::size_t maxLength;
    std::uint64_t countOrMax;
    std::uint64_t totalBytesOrMax;

    friend bool operator==(const Figures &, const Figures &) = default;
    friend std::ostream &operator<<(std::ostream &out, const Figures &f)
    {
        return out << "count " << f.count << " (" << f.countOrMax << "), bytes " << f.totalBytes << " ("
                   << f.totalBytesOrMax << "), longest " << f.maxLength;
    }
};

Figures figuresOf(const razmnozhator::CompiledTemplate &compiled)
{
    return { compiled.count(), compiled.totalBytes(), compiled.maxLength(), compiled.countOrMax(),
        compiled.totalBytesOrMax() };
}

Figures figuresOf(const std::vector<std::string> &variants)
{
    return { mpz_class(variants.size()), mpz_class(differential::totalLength(variants)),
        differential::longest(variants), variants.size(), differential::totalLength(variants) };
}

// The variant at a position, and the ranks and figures within a length
// range, against the reference's list; a few dozen positions at most.
void checkRandomAccess(
    const razmnozhator::CompiledTemplate &compiled, std::string_view text, const std::vector<std::string> &variants)
{
    const std::size_t step = variants.size() / 40 + 1;
    for (std::size_t i = 0; i < variants.size(); i += step)
        expectEqual(compiled.variantAt(i), variants[i], "variantAt(" + std::to_string(i) + ")", text);
    const std::size_t middle = (differential::shortest(variants) + differential::longest(variants)) / 2;
    const razmnozhator::LengthRange range { middle, middle + 2 };
    std::vector<std::string> kept;
    std::size_t bytes = 0;
    for (const std::string &variant : variants) {
        if (range.contains(variant.size())) {
            kept.push_back(variant);
            bytes += variant.size();
        }
    }
    const razmnozhator::RangeFigures figures = compiled.figuresInRange(range);
    expectEqual(figures.count, mpz_class(kept.size()), "figuresInRange().count", text);
    expectEqual(figures.totalBytes, mpz_class(bytes), "figuresInRange().totalBytes", text);
    const std::size_t rankStep = kept.size() / 20 + 1;
    for (std::size_t rank = 0; rank < kept.size(); rank += rankStep)
        expectEqual(
            compiled.variantInRange(rank, range), kept[rank], "variantInRange(" + std::to_string(rank) + ")", text);
}

// Listing within length ranges, of the template and of its mapped form
// (lengths stay in characters), from the first kept variant and from one in
// the middle, against the reference's list filtered by length.
void checkBoundedListing(const razmnozhator::CompiledTemplate &compiled, const razmnozhator::CompiledTemplate &mapped,
    std::string_view text, const std::vector<std::string> &variants)
{
    const std::uint64_t shortest = differential::shortest(variants);
    const std::uint64_t longest = differential::longest(variants);
    const std::uint64_t middle = (shortest + longest) / 2;
    const razmnozhator::LengthRange ranges[] = { { middle, middle + 2 }, { shortest, shortest }, { longest, longest },
        { middle + 1, UINT64_MAX }, { 0, middle }, { longest + 1, UINT64_MAX } };
    for (const razmnozhator::LengthRange range : ranges) {
        std::vector<std::string> kept;
        std::vector<std::string> keptMapped;
        for (const std::string &variant : variants) {
            if (range.contains(variant.size())) {
                kept.push_back(variant);
                keptMapped.push_back(mapBytes(variant));
            }
        }
        const std::string name = "BoundedEnumerator " + std::to_string(range.min) + ".." + std::to_string(range.max);
        for (const std::size_t first : { std::size_t { 0 }, kept.size() / 2 }) {
            for (const bool isMapped : { false, true }) {
                razmnozhator::BoundedEnumerator lines(isMapped ? mapped : compiled, range, first);
                Outcome listed;
                while (lines.next())
                    listed.variants.emplace_back(lines.current());
                Outcome expected;
                const std::vector<std::string> &all = isMapped ? keptMapped : kept;
                expected.variants.assign(all.begin() + std::ptrdiff_t(first), all.end());
                expectEqual(
                    listed, expected, name + (isMapped ? " mapped" : "") + " from " + std::to_string(first), text);
            }
        }
    }
}

Outcome linesOutcome(std::vector<std::string> lines)
{
    Outcome outcome;
    outcome.variants = std::move(lines);
    return outcome;
}

// A shuffle within a length range (a sample of every kept variant) is a
// random order of exactly the kept ones; a slice of it, started by skip(),
// is the same run of lines as in the whole; a sample in template order holds
// the same lines as in random order, in the list's order.
void checkShufflesWithinBounds(
    const razmnozhator::CompiledTemplate &compiled, std::string_view text, const std::vector<std::string> &variants)
{
    const std::uint64_t middle = (differential::shortest(variants) + differential::longest(variants)) / 2;
    const razmnozhator::LengthRange ranges[] = { { 0, middle }, { middle, UINT64_MAX }, { middle, middle + 1 } };
    const auto drawn = [&](const mpz_class &size, razmnozhator::LengthRange range, razmnozhator::Sample::Order order,
                           const mpz_class &skipped) {
        razmnozhator::Sample sample(compiled, size, range, 17, order);
        sample.skip(skipped);
        std::vector<std::string> lines;
        while (sample.next())
            lines.emplace_back(sample.current());
        return lines;
    };
    const auto sorted = [](std::vector<std::string> lines) {
        std::sort(lines.begin(), lines.end());
        return lines;
    };
    for (const razmnozhator::LengthRange range : ranges) {
        std::vector<std::string> kept;
        for (const std::string &variant : variants) {
            if (range.contains(variant.size()))
                kept.push_back(variant);
        }
        const std::string name = "shuffle within " + std::to_string(range.min) + ".." + std::to_string(range.max);
        const mpz_class all(std::to_string(kept.size()));
        const std::vector<std::string> shuffled = drawn(all, range, razmnozhator::Sample::Order::Random, 0);
        expectEqual(linesOutcome(sorted(shuffled)), linesOutcome(sorted(kept)), name, text);
        const std::size_t half = kept.size() / 2;
        const std::vector<std::string> tail
            = drawn(all, range, razmnozhator::Sample::Order::Random, mpz_class(std::to_string(half)));
        expectEqual(linesOutcome(tail),
            linesOutcome(std::vector<std::string>(shuffled.begin() + std::ptrdiff_t(half), shuffled.end())),
            name + " from the middle", text);
        const mpz_class some(std::to_string(half + 1));
        const std::vector<std::string> inOrder = drawn(some, range, razmnozhator::Sample::Order::Template, 0);
        const std::vector<std::string> random = drawn(some, range, razmnozhator::Sample::Order::Random, 0);
        expectEqual(
            linesOutcome(sorted(inOrder)), linesOutcome(sorted(random)), name + ": a sample in template order", text);
        std::size_t at = 0;
        for (const std::string &line : inOrder) {
            while (at < kept.size() && kept[at] != line)
                ++at;
            if (at++ == kept.size())
                disagree(name + ": a sample in template order out of order", text, line);
        }
    }
}

// Lengths by a rule that leaves the space, the comma and the input's last
// byte uncounted and keeps at most 0 to 3 limited bytes: every figure and
// choice within a few ranges, against the reference's list filtered by the
// rule.
void checkLengthRule(
    const razmnozhator::CompiledTemplate &plain, std::string_view text, const std::vector<std::string> &variants)
{
    razmnozhator::LengthRule rule;
    for (const unsigned char uncounted : { ' ', ',', text.empty() ? 'a' : text.back() })
        rule.uncounted.set(uncounted);
    // The limited bytes: the uncounted ones, or "!" and the comma, or "!"
    // alone with every byte counted.
    switch (text.size() % 3) {
    case 0:
        rule.limited = rule.uncounted;
        break;
    case 1:
        rule.limited.set('!');
        rule.limited.set(',');
        break;
    default:
        rule.uncounted.reset();
        rule.limited.set('!');
        break;
    }
    rule.mostLimited = static_cast<std::uint32_t>(text.size() % 4);
    const razmnozhator::CompiledTemplate compiled = plain.withLengthRule(rule);
    std::uint64_t shortest = UINT64_MAX;
    std::uint64_t longest = 0;
    for (const std::string &variant : variants) {
        if (const std::optional<std::uint64_t> length = rule.lengthOf(variant)) {
            shortest = std::min(shortest, *length);
            longest = std::max(longest, *length);
        }
    }
    expectEqual(compiled.keepsNone(), shortest == UINT64_MAX, "keepsNone() by the rule", text);
    if (shortest == UINT64_MAX)
        shortest = longest = 0;
    expectEqual(compiled.minLength(), shortest, "minLength() by the rule", text);
    expectEqual(compiled.maxLength(), longest, "maxLength() by the rule", text);
    const std::uint64_t middle = (shortest + longest) / 2;
    const razmnozhator::LengthRange ranges[] = { {}, { middle, middle + 1 }, { 0, middle }, { longest, longest } };
    for (const razmnozhator::LengthRange range : ranges) {
        const std::string name = " by the rule within " + std::to_string(range.min) + ".." + std::to_string(range.max);
        Outcome kept;
        std::size_t bytes = 0;
        for (const std::string &variant : variants) {
            const std::optional<std::uint64_t> length = rule.lengthOf(variant);
            if (length && range.contains(*length)) {
                kept.variants.push_back(variant);
                bytes += variant.size();
            }
        }
        const razmnozhator::RangeFigures figures = compiled.figuresInRange(range);
        expectEqual(figures.count, mpz_class(kept.variants.size()), "figuresInRange().count" + name, text);
        expectEqual(figures.totalBytes, mpz_class(bytes), "figuresInRange().totalBytes" + name, text);
        const std::size_t rankStep = kept.variants.size() / 10 + 1;
        for (std::size_t rank = 0; rank < kept.variants.size(); rank += rankStep)
            expectEqual(compiled.variantInRange(rank, range), kept.variants[rank],
                "variantInRange(" + std::to_string(rank) + ")" + name, text);
        razmnozhator::BoundedEnumerator lines(compiled, range);
        Outcome listed;
        while (lines.next())
            listed.variants.emplace_back(lines.current());
        expectEqual(listed, kept, "BoundedEnumerator" + name, text);
        razmnozhator::Sample sample(compiled, 5, range, text.size(), razmnozhator::Sample::Order::Template);
        Outcome drawn;
        while (sample.next())
            drawn.variants.emplace_back(sample.current());
        auto at = kept.variants.begin();
        for (const std::string &variant : drawn.variants) {
            at = std::find(at, kept.variants.end(), variant);
            if (at == kept.variants.end())
                disagree("Sample in template order" + name, text, "drew " + differential::quoted(variant));
            ++at;
        }
        expectEqual(drawn.variants.size(), std::min<std::size_t>(5, kept.variants.size()), "Sample size" + name, text);
    }
}

void checkTemplate(std::string_view text)
{
    const std::optional<Outcome> expected = differential::referenceOutcome(Entry::Template, text, budget);

    std::optional<razmnozhator::CompiledTemplate> compiled;
    try {
        compiled = razmnozhator::CompiledTemplate::compile(text);
    } catch (const razmnozhator::TemplateError &error) {
        if (expected)
            expectEqual(differential::fromError(error.what(), error.offset()), *expected, "compile() error", text);
        return;
    }
    if (expected && expected->failed) {
        std::ostringstream details;
        details << "reference: " << *expected;
        disagree("compile() accepted an invalid template", text, details.str());
    }

    if (expected) {
        const std::vector<std::string> &variants = expected->variants;
        expectEqual(figuresOf(*compiled), figuresOf(variants), "compiled figures", text);
        expectEqual(differential::fromList(compiled->expand()), *expected, "expand()", text);
        expectEqual(differential::engineOutcome(Entry::Template, text), *expected, "expandTemplate()", text);
        Outcome enumerated;
        enumerated.variants = differential::enumerateAll(*compiled);
        expectEqual(enumerated, *expected, "Enumerator", text);
        // Many lines at a time, cut at a terminator that the template does not hold.
        char terminator = '\n';
        while (text.find(terminator) != std::string_view::npos)
            ++terminator;
        for (const differential::LineBuffers buffers : { differential::LineBuffers { 4096, UINT64_MAX, 0, terminator },
                 differential::LineBuffers { 7, 3, 2, terminator } }) {
            razmnozhator::Enumerator lines(*compiled);
            Outcome listed;
            listed.variants = differential::listInLines(lines, buffers);
            expectEqual(listed, *expected, "writeLines() into " + std::to_string(buffers.capacity) + " bytes", text);
        }

        Outcome mapped;
        for (const std::string &variant : variants)
            mapped.variants.push_back(mapBytes(variant));
        const auto remapped = compiled->withLiteralsMapped([](std::string_view run) { return mapBytes(run); });
        expectEqual(differential::fromList(remapped.expand()), mapped, "withLiteralsMapped()", text);
        Figures mappedFigures = figuresOf(mapped.variants);
        mappedFigures.maxLength = differential::longest(variants); // lengths stay in characters
        expectEqual(figuresOf(remapped), mappedFigures, "mapped figures", text);
        checkRandomAccess(*compiled, text, variants);
        checkBoundedListing(*compiled, remapped, text, variants);
        checkShufflesWithinBounds(*compiled, text, variants);
        checkLengthRule(*compiled, text, variants);
        return;
    }

    // Too big for the reference: the engine must at least agree with itself.
    const auto saturated = [](const mpz_class &n) {
        return mpz_sizeinbase(n.get_mpz_t(), 2) <= 64 ? static_cast<std::uint64_t>(mpz_get_ui(n.get_mpz_t()))
                                                      : UINT64_MAX;
    };
    if (compiled->countOrMax() != saturated(compiled->count())
        || compiled->totalBytesOrMax() != saturated(compiled->totalBytes())) {
        std::ostringstream details;
        details << figuresOf(*compiled);
        disagree("64-bit figures against exact ones", text, details.str());
    }
    if (compiled->countOrMax() > selfCheckVariants || compiled->totalBytesOrMax() > selfCheckBytes)
        return;
    const std::vector<std::string> enumerated = differential::enumerateAll(*compiled);
    expectEqual(figuresOf(enumerated), figuresOf(*compiled), "figures against own enumeration", text);
    Outcome listed = differential::fromList(compiled->expand());
    Outcome walked;
    walked.variants = enumerated;
    expectEqual(listed, walked, "expand() against Enumerator", text);
}

// The inner functions have no compiled form to size them first, so they are
// only run where the reference proved the result small.
void checkInner(Entry entry, std::string_view text)
{
    const std::optional<Outcome> expected = differential::referenceOutcome(entry, text, budget);
    if (expected)
        expectEqual(differential::engineOutcome(entry, text), *expected, differential::entryName(entry), text);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    if (size > maxInput)
        return 0;
    const std::string_view text(reinterpret_cast<const char *>(data), size);
    checkTemplate(text);
    checkInner(Entry::Alternatives, text);
    checkInner(Entry::Pairs, text);
    return 0;
}
