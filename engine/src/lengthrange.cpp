#include "lengthrange.h"

#include "razmnozhator/engine.h"
#include "razmnozhator/memorybudget.h"
#include "saturating.h"

#include <algorithm>
#include <string>

namespace razmnozhator::detail {

namespace {

constexpr double budgetCap = 512.0 * 1024 * 1024;

} // namespace

RangeIndex::RangeIndex(const SpectrumIndex &spectrumIndex)
    : spectra(spectrumIndex)
{
    const Program &program = spectra.program;
    // Each suffix is no wider than its sequence's spectrum.
    double words = 0;
    for (const Sequence &sequence : program.sequences) {
        const Poly &whole = spectra.sequenceSpectrum[&sequence - program.sequences.data()];
        words += double(sequence.groupCount) * double(whole.limbs.size());
    }
    words += 2 * double(spectra.sequenceSpectrum[program.root].limbs.size())
        * double(program.sequences[program.root].groupCount);
    const double bytes = words * sizeof(mp_limb_t);
    const double budget = std::min(budgetCap, double(availableMemory()) / 2);
    if (!(bytes <= budget))
        throw LimitError(
            LimitError::Task::LengthChoice, LimitError::Resource::Memory, wholeAmount(bytes), wholeAmount(budget));

    suffix.resize(program.groupRefs.size());
    for (std::size_t s = 0; s < program.sequences.size(); ++s) {
        const Sequence &sequence = program.sequences[s];
        if (sequence.groupCount == 0)
            continue;
        Poly after = spectra.monomial(program.characters(sequence.literalBegin + sequence.groupCount));
        for (std::uint32_t i = sequence.groupCount; i-- > 0;) {
            suffix[sequence.groupBegin + i] = after;
            if (i == 0)
                break;
            const std::uint32_t group = program.groupRefs[sequence.groupBegin + i];
            after = spectra.multiply(after, spectra.groupSpectrum[group]);
            after = spectra.multiply(after, spectra.monomial(program.characters(sequence.literalBegin + i)));
        }
    }
    itemSum.resize(program.groups.size());
    for (std::size_t g = 0; g < program.groups.size(); ++g) {
        const Group &group = program.groups[g];
        if (group.kind != GroupKind::Pairs)
            continue;
        std::vector<Poly> items;
        for (std::uint32_t i = 1; i < group.pieceCount; ++i)
            items.push_back(spectra.sequenceSpectrum[program.pieces[group.pieceBegin + i]]);
        itemSum[g] = spectra.sum(items);
    }
    const Sequence &root = program.sequences[program.root];
    for (std::uint32_t i = 0; i < root.groupCount; ++i) {
        const Poly &after = suffix[root.groupBegin + i];
        rootSuffixTotals.push_back(runningTotals(spectra, after));
        rootGroupTotals.push_back(runningTotals(
            spectra, spectra.multiply(spectra.groupSpectrum[program.groupRefs[root.groupBegin + i]], after)));
    }
}

const RangeIndex &rangeIndex(const Program &program)
{
    const SpectrumIndex &spectra = spectrumIndex(program);
    std::lock_guard lock(program.indexMutex);
    if (!program.rangeIndex)
        program.rangeIndex = std::make_shared<const RangeIndex>(spectra);
    return *program.rangeIndex;
}

Poly runningTotals(const SpectrumIndex &spectra, const Poly &poly)
{
    Poly totals = poly;
    const std::size_t width = spectra.width;
    for (std::size_t at = width; at < totals.limbs.size(); at += width)
        mpn_add_n(totals.limbs.data() + at, totals.limbs.data() + at, totals.limbs.data() + at - width,
            static_cast<mp_size_t>(width));
    return totals;
}

namespace {

// The running total up to and including `length`.
void totalUpTo(const SpectrumIndex &spectra, const Poly &totals, std::int64_t length, mpz_t out)
{
    static const mp_limb_t zero = 0;
    if (length < std::int64_t(totals.offset)) {
        mpz_roinit_n(out, &zero, 0);
        return;
    }
    const std::uint64_t slots = totals.slots(spectra.width);
    const std::uint64_t slot = std::min<std::uint64_t>(std::uint64_t(length) - totals.offset, slots - 1);
    mpz_roinit_n(out, totals.limbs.data() + slot * spectra.width, static_cast<mp_size_t>(spectra.width));
}

} // namespace

void countInWindow(const SpectrumIndex &spectra, const Poly &totals, Window window, mpz_class &out)
{
    if (window.high < window.low || window.high < std::int64_t(totals.offset)) {
        out = 0;
        return;
    }
    mpz_t upper, lower;
    totalUpTo(spectra, totals, window.high, upper);
    totalUpTo(spectra, totals, window.low - 1, lower);
    mpz_sub(out.get_mpz_t(), upper, lower);
}

void weightInWindow(const SpectrumIndex &spectra, const Poly &poly, const Poly &totals, Window window, mpz_class &out)
{
    // Plain text: one length, one variant.
    if (poly.limbs.size() == spectra.width && poly.limbs[0] == 1
        && std::all_of(poly.limbs.begin() + 1, poly.limbs.end(), [](mp_limb_t limb) { return limb == 0; })) {
        const auto length = std::int64_t(poly.offset);
        countInWindow(spectra, totals, { window.low - length, window.high - length }, out);
        return;
    }
    out = 0;
    mpz_class fits;
    const std::size_t width = spectra.width;
    for (std::size_t slot = 0; slot < poly.slots(width); ++slot) {
        const mp_limb_t *limbs = poly.limbs.data() + slot * width;
        if (std::all_of(limbs, limbs + width, [](mp_limb_t limb) { return limb == 0; }))
            continue;
        const std::int64_t length = std::int64_t(poly.offset + slot);
        countInWindow(spectra, totals, { window.low - length, window.high - length }, fits);
        mpz_t coefficient;
        mpz_roinit_n(coefficient, limbs, static_cast<mp_size_t>(width));
        mpz_addmul(out.get_mpz_t(), coefficient, fits.get_mpz_t());
    }
}

} // namespace razmnozhator::detail
