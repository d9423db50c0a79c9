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
           "leave out --shuffle to stream them, use --sample for random ones, or narrow the template")
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

} // namespace

// A length in characters: in UTF-8 every character has exactly one byte that
// is not a continuation byte; in CP1251 a byte is a character.
Restriction::LengthOf characterLength(Encoding encoding)
{
    if (encoding == Encoding::Cp1251)
        return nullptr;
    return [](std::string_view variant) {
        return static_cast<std::size_t>(std::count_if(variant.begin(), variant.end(),
            [](char byte) { return (static_cast<unsigned char>(byte) & 0xC0) != 0x80; }));
    };
}

Shuffled::Shuffled(const RestrictRules &rules, Restriction::Holding holding, Restriction::LengthOf lengthOf)
    : restriction(rules, holding, lengthOf)
{
}

std::unique_ptr<Shuffled> holdShuffled(const CompiledTemplate &outputTemplate, const Options &options)
{
    const std::uint64_t available = availableMemory();
    const bool fitsWhole = fits(outputTemplate, available);
    if (!options.lengthBounds && !fitsWhole)
        throw tooBigToShuffle(outputTemplate, available);
    try {
        std::unique_ptr<Shuffled> shuffled;
        if (!options.lengthBounds) {
            // Nothing is dropped: the whole list is made at once and the
            // shuffle orders its positions.
            shuffled = std::make_unique<Shuffled>(options.rules, Restriction::Holding::Positions, nullptr);
            shuffled->all = outputTemplate.expand();
            for (const std::string_view variant : shuffled->all)
                shuffled->restriction.offer(variant);
        } else {
            // The bounds may drop most variants; only the survivors are held,
            // and holding stops as soon as they would not fit after all.
            shuffled = std::make_unique<Shuffled>(
                options.rules, Restriction::Holding::Copies, characterLength(options.encoding));
            const std::uint64_t budget = fitsWhole ? UINT64_MAX : figures::usableMemory(available);
            Enumerator enumerator(outputTemplate);
            while (enumerator.next()) {
                shuffled->restriction.offer(enumerator.current());
                if (shuffled->restriction.memoryUsage() > budget)
                    throw tooBigToShuffle(outputTemplate, available);
            }
        }
        if (options.seed)
            std::srand(*options.seed);
        shuffled->restriction.shuffleHeld();
        return shuffled;
    } catch (const std::bad_alloc &) {
        throw tooBigToShuffle(outputTemplate, available);
    } catch (const std::length_error &) {
        throw tooBigToShuffle(outputTemplate, available);
    }
}

} // namespace razmnozhator::cli
