// The spectrum indexes a program keeps, whole or cut at the end of the
// questions asked last, and which of them serves a question.

#include "figures/lengthcounts.h"

#include "razmnozhator/engine.h"

namespace razmnozhator::detail {

std::shared_ptr<const SpectrumIndex> keptSpectrumIndex(const Program &program, std::uint64_t max)
{
    std::lock_guard lock(program.indexMutex);
    return servingIndex(
        program.spectrumIndex, program.cutSpectrumIndexes, max, [](const SpectrumIndex &index) { return index.cut; });
}

std::atomic<bool> cutAtEveryEnd { false };

std::shared_ptr<const SpectrumIndex> spectrumIndex(const Program &program, std::uint64_t max, bool cutAtMax)
{
    cutAtMax = cutAtMax || cutAtEveryEnd;
    std::lock_guard lock(program.indexMutex);
    const bool whole = max >= program.figures.longest;
    if (!cutAtMax || whole) {
        if (auto served = servingIndex(program.spectrumIndex, program.cutSpectrumIndexes, max,
                [](const SpectrumIndex &index) { return index.cut; }))
            return served;
    } else {
        for (const auto &index : program.cutSpectrumIndexes) {
            if (index->cut == max)
                return index;
        }
    }
    // A cut that keeps much of the template's own spectrum, the biggest, is
    // not worth an index of its own: the whole one serves every question.
    const Figures &figures = program.figures;
    const auto span = [&figures](std::uint64_t longest) {
        return longest < figures.shortest ? 0 : double(longest - figures.shortest) + 1;
    };
    if (whole || (!cutAtMax && 4 * span(max) > span(figures.longest))) {
        try {
            program.spectrumIndex = std::make_shared<const SpectrumIndex>(program, noCut);
            return program.spectrumIndex;
        } catch (const LimitError &) {
            if (whole)
                throw;
        }
    }
    auto &kept = program.cutSpectrumIndexes;
    if (kept.size() == cutIndexesKept)
        kept.erase(kept.begin());
    kept.push_back(std::make_shared<const SpectrumIndex>(program, max));
    return kept.back();
}

} // namespace razmnozhator::detail
