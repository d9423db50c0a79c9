// The numbers of variants by length, for a front end that shows them all.
//
// Counting within bounds builds the template's counts by length anyway;
// reading them here shares that work. A bounded question may build them only
// up to its upper bound, so this reader asks for every length.

#include "razmnozhator/engine.h"

#include "lengthcounts.h"
#include "program.h"

#include <algorithm>

namespace razmnozhator {

LengthColumns CompiledTemplate::lengthColumns(std::size_t maxColumns) const
{
    const detail::Figures &figures = program_->figures;
    LengthColumns result;
    result.shortest = figures.shortest;
    result.longest = figures.longest;
    result.mostFrequent = figures.shortest;
    const std::uint64_t lengths = figures.longest - figures.shortest + 1;
    const std::uint64_t columns = std::max<std::uint64_t>(1, maxColumns);
    result.lengthsPerColumn = lengths / columns + (lengths % columns != 0);
    result.columns.resize(lengths / result.lengthsPerColumn + (lengths % result.lengthsPerColumn != 0));
    if (lengths == 1) {
        // Every variant has the one length: no counts by length needed, however many there are.
        result.columns[0] = count();
        result.mostFrequentCount = count();
        return result;
    }

    // Every length: a chart shows them all, whatever a bounded question cut.
    const auto index = detail::spectrumIndex(*program_);
    const detail::PolyArithmetic &counts = *index;
    const detail::Poly &whole = index->sequenceSpectrum[program_->root];
    // Read-only views into the index, which outlives them.
    mpz_t mostFrequent;
    counts.coefficient(whole, figures.shortest, mostFrequent);
    for (std::uint64_t length = figures.shortest; length <= figures.longest; ++length) {
        mpz_t value;
        counts.coefficient(whole, length, value);
        mpz_class &column = result.columns[(length - figures.shortest) / result.lengthsPerColumn];
        mpz_add(column.get_mpz_t(), column.get_mpz_t(), value);
        if (mpz_cmp(value, mostFrequent) > 0) {
            counts.coefficient(whole, length, mostFrequent);
            result.mostFrequent = length;
        }
    }
    result.mostFrequentCount = mpz_class(mostFrequent);
    return result;
}

} // namespace razmnozhator
