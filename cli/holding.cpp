#include "holding.h"

#include <algorithm>
#include <cstdlib>
#include <new>
#include <numeric>
#include <stdexcept>

#include <QLocale>

#include "failure.h"
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

QString memorySize(const mpz_class &bytes)
{
    if (bytes.fits_slong_p())
        return QLocale::c().formattedDataSize(bytes.get_si());
    return tr("%1 bytes").arg(QString::fromStdString(bytes.get_str()));
}

Failure tooBigToShuffle(const mpz_class &count, const mpz_class &needed, const mpz_class &limit)
{
    return Failure(UsageFailure,
        tr("--shuffle must hold all %1 variants in memory, about %2, more than the %3 available; "
           "leave out --shuffle to stream them, or narrow the template")
            .arg(QString::fromStdString(count.get_str()), memorySize(needed), memorySize(limit)));
}

// Each held variant costs its bytes, its end offset in the list and its place
// in the shuffled order.
constexpr unsigned long heldCostPerVariant = sizeof(std::uint64_t) + sizeof(std::size_t);

mpz_class memoryToHold(const CompiledTemplate &output, const mpz_class &count)
{
    return output.totalBytes() + count * heldCostPerVariant;
}

Failure tooBigToShuffle(const CompiledTemplate &output, const mpz_class &count)
{
    return tooBigToShuffle(count, memoryToHold(output, count), static_cast<unsigned long>(availableMemory()));
}

VariantList holdVariants(const CompiledTemplate &output, const Options &options, const mpz_class &count)
{
    const mpz_class limit = static_cast<unsigned long>(availableMemory());
    const mpz_class needed = memoryToHold(output, count);
    if (!options.lengthBounds) {
        if (needed > limit)
            throw tooBigToShuffle(count, needed, limit);
        return output.expand();
    }

    // The bounds may drop most variants; only the survivors are held, and
    // holding stops as soon as they would not fit after all.
    const bool mayOverflow = needed > limit;
    const std::size_t budget = mayOverflow ? limit.get_ui() : SIZE_MAX;
    VariantList held;
    Enumerator enumerator(output);
    while (enumerator.next()) {
        const std::string_view variant = enumerator.current();
        if (!lengthAllowed(characterCount(variant, options.encoding), options.rules))
            continue;
        held.push_back(variant);
        if (mayOverflow && held.memoryUsage() + held.size() * sizeof(std::size_t) > budget)
            throw tooBigToShuffle(count, needed, limit);
    }
    return held;
}

} // namespace

Shuffled holdShuffled(const CompiledTemplate &output, const Options &options, const mpz_class &count)
{
    Shuffled shuffled;
    try {
        shuffled.held = holdVariants(output, options, count);
        shuffled.order.resize(shuffled.held.size());
    } catch (const std::bad_alloc &) {
        throw tooBigToShuffle(output, count);
    } catch (const std::length_error &) {
        throw tooBigToShuffle(output, count);
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
