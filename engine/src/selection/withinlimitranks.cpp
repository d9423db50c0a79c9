#include "selection/withinlimitranks.h"

#include "figures/lengthcounts.h"

#include "razmnozhator/engine.h"

namespace razmnozhator::detail {

WithinLimitRanks::WithinLimitRanks(const Program &measured, std::uint64_t limit)
    : ranks_(measured)
    , window_ { 0, std::int64_t(limit) }
{
}

std::unique_ptr<WithinLimitRanks> WithinLimitRanks::make(
    const Program &measured, std::uint64_t limit, const RootLengths::LengthOf &lengthOf)
{
    std::unique_ptr<WithinLimitRanks> made(new WithinLimitRanks(measured, limit));
    made->lengths_ = RootLengths::make(measured, lengthOf);
    if (!made->lengths_)
        return nullptr;
    try {
        made->count_ = spectrumIndex(measured, limit)->rangeCount(0, limit);
        if (made->count_ == 0)
            return nullptr;
        // Builds the look-ups now: a template beyond their budget keeps to
        // the other ways of drawing.
        std::vector<std::uint64_t> digits(made->groups());
        const mpz_class first = 0;
        if (!made->ranks_.rootDigits({ &first, 1 }, made->window_, *made->lengths_, digits.data()))
            return nullptr;
    } catch (const LimitError &) {
        return nullptr;
    }
    return made;
}

void WithinLimitRanks::digitsOf(std::span<const mpz_class> ranks, std::uint64_t *digits)
{
    // The look-ups fit the budget: make() found them built.
    ranks_.rootDigits(ranks, window_, *lengths_, digits);
}

} // namespace razmnozhator::detail
