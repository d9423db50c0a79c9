#include "shuffle.h"

#include <algorithm>
#include <cstdlib>
#include <new>
#include <stdexcept>

#include <QLocale>

#include "failure.h"
#include "figures.h"
#include "options.h"
#include "razmnozhator/memorybudget.h"
#include "razmnozhator/restriction.h"
#include "razmnozhator/variantlist.h"

namespace razmnozhator::cli {

namespace {

// The figures of a refusal: the exact count, shown shortened when long.
Failure tooBigToShuffle(const CompiledTemplate &compiled, std::uint64_t available)
{
    const mpz_class &count = compiled.count();
    // memoryToHoldLines() in numbers of any size.
    const mpz_class needed = compiled.totalBytes() + count * static_cast<unsigned long>(memoryPerHeldLine);
    const QLocale c = QLocale::c();
    return Failure(UsageFailure,
        tr("--shuffle must hold all %1 variants in memory, %2, more than the %3 available; "
           "leave out --shuffle to stream them, use --sample for random ones, or narrow the template")
            .arg(figures::formatNumber(count), figures::aboutDataSize(needed, c),
                figures::formatDataSize(figures::usableMemory(available), c)));
}

// The kept variants held, and the order the shuffle gives them.
class Shuffled final : public Selection
{
public:
    Shuffled(const RestrictRules &rules, Restriction::Holding holding, Restriction::LengthOf lengthOf)
        : restriction(rules, holding, lengthOf)
    {
    }

    bool next() override
    {
        const std::vector<std::size_t> &order = restriction.order();
        if (next_ >= order.size())
            return false;
        current_ = held()[order[next_++]];
        return true;
    }
    std::string_view current() const override { return current_; }
    QString totalText() const override { return QString::number(restriction.order().size()); }
    double fraction(std::uint64_t written) const override
    {
        return double(written) / double(std::max<std::size_t>(restriction.order().size(), 1));
    }

    // Every variant, when no length bound drops any; otherwise empty, and
    // the restriction holds copies of the kept ones.
    VariantList all;
    Restriction restriction;

private:
    const VariantList &held() const { return all.empty() ? restriction.held() : all; }

    std::size_t next_ = 0;
    std::string_view current_;
};

} // namespace

std::unique_ptr<Selection> shuffleVariants(
    const CompiledTemplate &compiled, const Options &options, const choice::Shuffle &shuffle)
{
    const std::uint64_t available = availableMemory();
    // Instant figures: a count beyond 64 bits saturates, and so does the cost.
    const bool fitsWhole = figures::fitsInMemory(
        mpz_class(std::to_string(memoryToHoldLines(compiled.countOrMax(), compiled.totalBytesOrMax()))), available);
    const bool bounded = options.lengths.bounds();
    if (!bounded && !fitsWhole)
        throw tooBigToShuffle(compiled, available);
    const RestrictRules rules { options.lengths, shuffle.maxCount, true };
    try {
        std::unique_ptr<Shuffled> shuffled;
        if (!bounded) {
            // Nothing is dropped: the whole list is made at once and the
            // shuffle orders its positions.
            shuffled = std::make_unique<Shuffled>(rules, Restriction::Holding::Positions, nullptr);
            shuffled->all = compiled.expand();
            for (const std::string_view variant : shuffled->all)
                shuffled->restriction.offer(variant);
        } else {
            // The bounds may drop most variants; only the survivors are held,
            // and holding stops as soon as they would not fit after all.
            shuffled
                = std::make_unique<Shuffled>(rules, Restriction::Holding::Copies, characterLength(options.encoding));
            const std::uint64_t budget = fitsWhole ? UINT64_MAX : figures::usableMemory(available);
            Enumerator enumerator(compiled);
            while (enumerator.next()) {
                shuffled->restriction.offer(enumerator.current());
                if (shuffled->restriction.memoryUsage() > budget)
                    throw tooBigToShuffle(compiled, available);
            }
        }
        if (shuffle.seed)
            std::srand(*shuffle.seed);
        shuffled->restriction.shuffleHeld();
        return shuffled;
    } catch (const std::bad_alloc &) {
        throw tooBigToShuffle(compiled, available);
    } catch (const std::length_error &) {
        throw tooBigToShuffle(compiled, available);
    }
}

} // namespace razmnozhator::cli
