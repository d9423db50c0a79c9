#pragma once

// Choosing variants by length without enumerating them.
//
// Walking a variant in output order, everything still to be written is the
// rest of the current group's content followed by the rest of every enclosing
// sequence. A length window on that remainder and a rank among the remainders
// that fit are all the walk needs: a literal narrows the window, and a group
// picks the first choice whose remainders that fit outnumber the rank, after
// subtracting those of the choices before it. How many remainders fit is read
// off the spectrum of what follows the group, summed over the window.

#include "lengthcounts.h"

#include <cstdint>
#include <mutex>
#include <vector>

namespace razmnozhator::detail {

// The spectra that choosing by length needs beyond the nodes' own.
class RangeIndex
{
public:
    // Throws LimitError beyond its memory budget.
    explicit RangeIndex(const SpectrumIndex &spectra);

    const SpectrumIndex &spectra;
    // Per Program::groupRefs entry: the spectrum of what follows the group in
    // its sequence (the literals and groups after it).
    std::vector<Poly> suffix;
    // For the template's own sequence, the same summed from the shortest
    // length up, ready for counting within a window.
    std::vector<Poly> rootSuffixTotals;
    // And of each of its groups followed by what follows it.
    std::vector<Poly> rootGroupTotals;
    // Per pairs group: the sum of its items' spectra.
    std::vector<Poly> itemSum;
};

const RangeIndex &rangeIndex(const Program &program);

// A window of lengths; lengths before the window has moved may go negative.
struct Window
{
    std::int64_t low;
    std::int64_t high;
};

// The number of variants of a spectrum, given as running totals from its
// shortest length up, whose length lies in the window.
void countInWindow(const SpectrumIndex &spectra, const Poly &totals, Window window, mpz_class &out);
// Running totals of a spectrum.
Poly runningTotals(const SpectrumIndex &spectra, const Poly &poly);
// Sum over lengths l of poly[l] times the count of `totals` in window - l: how
// many variants of poly followed by the rest fit the window.
void weightInWindow(const SpectrumIndex &spectra, const Poly &poly, const Poly &totals, Window window, mpz_class &out);

} // namespace razmnozhator::detail
