#include "counting.h"

#include <algorithm>
#include <cstdint>

#include "failure.h"
#include "options.h"

namespace razmnozhator::cli {

namespace {

// The longest (or shortest) length within the range that some variant has:
// the figures of a range grow with it, so a binary search over them finds it.
std::uint64_t extremeLengthIn(const CompiledTemplate &compiled, LengthRange range, bool longest)
{
    std::uint64_t low = std::max<std::uint64_t>(range.min, compiled.minLength());
    std::uint64_t high = std::min<std::uint64_t>(range.max, compiled.maxLength());
    while (low < high) {
        if (longest) {
            const std::uint64_t middle = low + (high - low + 1) / 2;
            if (compiled.countInRange({ middle, high }) > 0)
                low = middle;
            else
                high = middle - 1;
        } else {
            const std::uint64_t middle = low + (high - low) / 2;
            if (compiled.countInRange({ low, middle }) > 0)
                high = middle;
            else
                low = middle + 1;
        }
    }
    return low;
}

} // namespace

std::string figuresText(const std::optional<CompiledTemplate> &compiled, const Options &options, bool statistics)
{
    RangeFigures kept { 0, 0 };
    std::uint64_t longest = 0;
    std::uint64_t shortest = 0;
    if (compiled) {
        const LengthRange range = options.lengths;
        // Within bounds that keep every length the extremes are the template's.
        const bool bounded = !compiled->keepsEveryLength(range);
        try {
            if (!statistics)
                kept.count = compiled->countInRange(range);
            else
                kept = compiled->figuresInRange(range);
            if (statistics && kept.count > 0) {
                longest = bounded ? extremeLengthIn(*compiled, range, true) : compiled->maxLength();
                shortest = bounded ? extremeLengthIn(*compiled, range, false) : compiled->minLength();
            }
        } catch (const LimitError &error) {
            throw Failure(UsageFailure, tr("cannot count by length here: %1").arg(limitText(error)));
        }
    }
    if (!statistics)
        return kept.count.get_str() + '\n';
    const mpz_class bytesWritten = kept.totalBytes + kept.count;
    const QString counts
        = tr("variants: %1\nbytes: %2\n")
              .arg(QString::fromStdString(kept.count.get_str()), QString::fromStdString(bytesWritten.get_str()));
    // With nothing kept there is no longest or shortest line: a 0 there would
    // read like an empty one.
    if (kept.count == 0)
        return counts.toStdString();
    return (counts + tr("longest: %1\nshortest: %2\n").arg(longest).arg(shortest)).toStdString();
}

} // namespace razmnozhator::cli
