// The numbers of variants by length, for a front end that shows them all.
//
// Counting within bounds builds the template's counts by length anyway;
// reading them here shares that work. A bounded question may build them only
// up to its upper bound, so this reader asks for every length.

#include "razmnozhator/engine.h"

#include "figures/lengthcounts.h"
#include "program/program.h"

#include <algorithm>
#include <memory>
#include <optional>
#include <vector>

namespace razmnozhator {

LengthColumns CompiledTemplate::lengthColumns(std::size_t maxColumns) const
{
    const detail::RuleLengths &rule = program_->ruleLengths;
    LengthColumns result;
    result.shortest = minLength();
    result.longest = maxLength();
    result.mostFrequent = result.shortest;
    const std::uint64_t lengths = result.longest - result.shortest + 1;
    const std::uint64_t columns = std::max<std::uint64_t>(1, maxColumns);
    result.lengthsPerColumn = lengths / columns + (lengths % columns != 0);
    result.columns.resize(lengths / result.lengthsPerColumn + (lengths % result.lengthsPerColumn != 0));
    if (rule.keepsNone)
        return result;
    if (lengths == 1 && !rule.weighted) {
        // Every variant has the one length: no counts by length needed, however many there are.
        result.columns[0] = count();
        result.mostFrequentCount = count();
        return result;
    }

    // Under a length rule that refuses some variants, the counts by length
    // sum a row per number of limited bytes, read off two factors where
    // that is cheaper than making the template's own spectrum.
    std::optional<std::vector<mpz_class>> byRule;
    if (rule.weighted && !detail::keptSpectrumIndex(*program_, rule.base + rule.period * rule.repeats - 1))
        byRule = detail::countsByRuleLength(*program_, result.shortest, result.longest);
    std::shared_ptr<const detail::SpectrumIndex> index;
    if (!byRule) {
        // Every length: a chart shows them all, whatever a bounded question
        // cut. Under a length rule that refuses some variants, lengths inside
        // the engine go up to the last of its windows (see RuleLengths).
        index = detail::spectrumIndex(
            *program_, rule.weighted ? rule.base + rule.period * rule.repeats - 1 : detail::noCut);
    }
    mpz_class value;
    const auto countOf = [&](std::uint64_t length) {
        if (byRule) {
            value = (*byRule)[length - result.shortest];
            return value;
        }
        value = 0;
        const detail::Poly &whole = index->sequenceSpectrum[program_->root];
        for (std::uint32_t k = 0; k < rule.repeats; ++k) {
            // Read-only views into the index, which outlives them.
            mpz_t coefficient;
            index->coefficient(whole, length + k * rule.period, coefficient);
            mpz_add(value.get_mpz_t(), value.get_mpz_t(), coefficient);
        }
        return value;
    };
    result.mostFrequentCount = countOf(result.shortest);
    for (std::uint64_t length = result.shortest; length <= result.longest; ++length) {
        countOf(length);
        result.columns[(length - result.shortest) / result.lengthsPerColumn] += value;
        if (value > result.mostFrequentCount) {
            result.mostFrequentCount = value;
            result.mostFrequent = length;
        }
    }
    return result;
}

} // namespace razmnozhator
