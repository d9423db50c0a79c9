// The numbers of variants by length, for a front end that shows them all.
//
// They are the coefficients of the template's own spectrum, which counting
// within bounds builds anyway; reading them here shares that work. Questions
// about bounds may answer from part of the figures, so this reader asks for
// the whole spectrum and reads every length of it.

#include "razmnozhator/engine.h"

#include "lengthcounts.h"
#include "program.h"

#include <algorithm>

namespace razmnozhator {

LengthSpectrum CompiledTemplate::lengthSpectrum(std::size_t maxColumns) const
{
    const detail::Figures &figures = program_->figures;
    LengthSpectrum result;
    result.shortest = figures.shortest;
    result.longest = figures.longest;
    result.mostFrequent = figures.shortest;
    const std::uint64_t lengths = figures.longest - figures.shortest + 1;
    const std::uint64_t columns = std::max<std::uint64_t>(1, maxColumns);
    result.lengthsPerColumn = lengths / columns + (lengths % columns != 0);
    result.columns.resize(lengths / result.lengthsPerColumn + (lengths % result.lengthsPerColumn != 0));
    if (lengths == 1) {
        // Every variant has the one length: no spectrum needed, however many there are.
        result.columns[0] = count();
        result.mostFrequentCount = count();
        return result;
    }

    // The whole spectrum: a chart shows every length, whatever a question cuts.
    const std::shared_ptr<const detail::SpectrumIndex> index = detail::spectrumIndex(*program_);
    const detail::SpectrumIndex &spectra = *index;
    const detail::Poly &whole = spectra.sequenceSpectrum[program_->root];
    // Read-only views into the spectrum, which outlives them.
    mpz_t mostFrequent;
    spectra.coefficient(whole, figures.shortest, mostFrequent);
    for (std::uint64_t length = figures.shortest; length <= figures.longest; ++length) {
        mpz_t value;
        spectra.coefficient(whole, length, value);
        mpz_class &column = result.columns[(length - figures.shortest) / result.lengthsPerColumn];
        mpz_add(column.get_mpz_t(), column.get_mpz_t(), value);
        if (mpz_cmp(value, mostFrequent) > 0) {
            spectra.coefficient(whole, length, mostFrequent);
            result.mostFrequent = length;
        }
    }
    result.mostFrequentCount = mpz_class(mostFrequent);
    return result;
}

} // namespace razmnozhator
