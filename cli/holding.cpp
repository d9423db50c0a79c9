#include "holding.h"

#include <algorithm>
#include <cstdlib>
#include <new>
#include <numeric>
#include <stdexcept>

#include <QLocale>

#include "failure.h"
#include "figures.h"
#include "options.h"
#include "output.h"
#include "progress.h"
#include "razmnozhator/memorybudget.h"
#include "run.h"

namespace razmnozhator::cli {

// A length in characters: CP1251 has one byte per character, and in UTF-8
// every character has exactly one byte that is not a continuation byte.
std::size_t characterCount(std::string_view variant, Encoding encoding)
{
    if (encoding == Encoding::Cp1251)
        return variant.size();
    return static_cast<std::size_t>(std::count_if(
        variant.begin(), variant.end(), [](char byte) { return (static_cast<unsigned char>(byte) & 0xC0) != 0x80; }));
}

namespace {

// Each held variant costs its bytes, its end offset in the list and its place
// in the shuffled order.
constexpr figures::HoldingCost heldCost { sizeof(std::uint64_t) + sizeof(std::size_t), 1 };

// The figures of a refusal: the exact count, shown shortened when long.
Failure tooBigToShuffle(const CompiledTemplate &outputTemplate, std::uint64_t available)
{
    const mpz_class &count = outputTemplate.count();
    const mpz_class needed = figures::memoryNeeded(count, outputTemplate.totalBytes(), heldCost);
    const QLocale c = QLocale::c();
    return Failure(UsageFailure,
        tr("--shuffle must hold all %1 variants in memory, about %2, more than the %3 available; "
           "leave out --shuffle to stream them, or narrow the template")
            .arg(figures::formatNumber(count), figures::formatDataSize(needed, c),
                figures::formatDataSize(figures::usableMemory(available), c)));
}

bool fits(const CompiledTemplate &outputTemplate, std::uint64_t available)
{
    // Instant figures first: a count beyond 64 bits can never be held.
    const std::uint64_t count = outputTemplate.countOrMax();
    const std::uint64_t bytes = outputTemplate.totalBytesOrMax();
    if (count == UINT64_MAX || bytes == UINT64_MAX)
        return false;
    return figures::fitsInMemory(
        figures::memoryNeeded(static_cast<unsigned long>(count), static_cast<unsigned long>(bytes), heldCost),
        available);
}

VariantList holdVariants(const CompiledTemplate &outputTemplate, const Options &options, std::uint64_t available)
{
    const bool fitsWhole = fits(outputTemplate, available);
    if (!options.lengthBounds) {
        if (!fitsWhole)
            throw tooBigToShuffle(outputTemplate, available);
        return outputTemplate.expand();
    }

    // The bounds may drop most variants; only the survivors are held, and
    // holding stops as soon as they would not fit after all.
    const std::uint64_t budget = fitsWhole ? UINT64_MAX : figures::usableMemory(available);
    VariantList held;
    Enumerator enumerator(outputTemplate);
    while (enumerator.next()) {
        const std::string_view variant = enumerator.current();
        if (!lengthAllowed(characterCount(variant, options.encoding), options.rules))
            continue;
        held.push_back(variant);
        if (held.memoryUsage() + held.size() * sizeof(std::size_t) > budget)
            throw tooBigToShuffle(outputTemplate, available);
    }
    return held;
}

} // namespace

Shuffled holdShuffled(const CompiledTemplate &outputTemplate, const Options &options)
{
    const std::uint64_t available = availableMemory();
    Shuffled shuffled;
    try {
        shuffled.held = holdVariants(outputTemplate, options, available);
        shuffled.order.resize(shuffled.held.size());
    } catch (const std::bad_alloc &) {
        throw tooBigToShuffle(outputTemplate, available);
    } catch (const std::length_error &) {
        throw tooBigToShuffle(outputTemplate, available);
    }
    std::iota(shuffled.order.begin(), shuffled.order.end(), std::size_t(0));
    if (options.seed)
        std::srand(*options.seed);
    shuffleWithRand(shuffled.order);
    shuffled.order.resize(std::min<std::size_t>(shuffled.order.size(), options.rules.maxCount));
    return shuffled;
}

void writeShuffled(const Shuffled &shuffled, VariantWriter &writer, Progress &progress)
{
    const std::size_t kept = shuffled.order.size();
    for (std::size_t i = 0; i < kept; ++i) {
        writer.put(shuffled.held[shuffled.order[i]]);
        if ((i & 0xFFFF) == 0xFFFF)
            progress.update(i + 1, double(i + 1) / double(kept));
    }
}

} // namespace razmnozhator::cli
