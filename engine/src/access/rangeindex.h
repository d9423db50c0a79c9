#pragma once

// What choosing variants by length reads: the spectra of what follows each
// group, and counts within a window of lengths read off running totals.

#include "access/runningtotals.h"
#include "figures/lengthcounts.h"

#include <gmpxx.h>

#include <cstdint>
#include <memory>
#include <vector>

namespace razmnozhator::detail {

// The spectra that choosing by length needs beyond the nodes' own, cut as
// the nodes' are. What follows a part is cut lower still: after the
// shortest that can come before it, only so much length is left.
class RangeIndex
{
public:
    // Throws LimitError beyond its memory budget.
    explicit RangeIndex(std::shared_ptr<const SpectrumIndex> spectra);

    // The spectra it reads, held as long as it lives.
    const std::shared_ptr<const SpectrumIndex> held;
    const SpectrumIndex &spectra;
    // Per Program::groupRefs entry outside the template's own sequence: the
    // spectrum of what follows the group in its sequence (the literals and
    // groups after it).
    std::vector<Poly> suffix;
    // For the template's own sequence, the same summed from the shortest
    // length up, ready for counting within a window, each in slots only as
    // wide as its own count needs (rootSuffixWidth words); and of the whole.
    std::vector<Poly> rootSuffixTotals;
    std::vector<std::size_t> rootSuffixWidth;
    Poly rootTotals;
    // Per pairs group: the sum of its items' spectra.
    std::vector<Poly> itemSum;
};

// Built once per program and cut, as the spectra are.
std::shared_ptr<const RangeIndex> rangeIndex(const Program &program, std::uint64_t max = noCut);

} // namespace razmnozhator::detail
