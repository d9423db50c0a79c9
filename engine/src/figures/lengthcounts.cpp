// The spectrum index: the length spectrum of every node, and the figures
// within a range of lengths read off the template's own.

#include "figures/lengthcounts.h"

#include "figures/indexbudget.h"
#include "figures/polysemiring.h"
#include "figures/saturating.h"
#include "figures/walk.h"
#include "program/nodes.h"
#include "razmnozhator/engine.h"

#include <algorithm>

namespace razmnozhator::detail {

namespace {

void addRange(const PolyArithmetic &math, const Poly &poly, std::uint64_t min, std::uint64_t max, mpz_class &total,
    mpz_class *lengthTotal)
{
    total = 0;
    if (lengthTotal)
        *lengthTotal = 0;
    if (poly.limbs.empty())
        return;
    const std::uint64_t first = std::max(min, poly.offset);
    const std::uint64_t last = std::min<std::uint64_t>(max, poly.offset + poly.slots(math.width) - 1);
    for (std::uint64_t length = first; length <= last && first <= last; ++length) {
        mpz_t value;
        math.coefficient(poly, length, value);
        mpz_add(total.get_mpz_t(), total.get_mpz_t(), value);
        if (lengthTotal)
            mpz_addmul_ui(lengthTotal->get_mpz_t(), value, static_cast<unsigned long>(length));
    }
}

} // namespace

mpz_class SpectrumIndex::rangeCount(std::uint64_t min, std::uint64_t max) const
{
    const RuleLengths &rule = program.ruleLengths;
    mpz_class count, windowCount;
    for (std::uint32_t j = 0; j < rule.repeats; ++j) {
        addRange(
            *this, sequenceSpectrum[program.root], min - j * rule.period, max - j * rule.period, windowCount, nullptr);
        count += windowCount;
    }
    return count;
}

void SpectrumIndex::rangeFigures(std::uint64_t min, std::uint64_t max, mpz_class &count, mpz_class &bytes) const
{
    const Poly &whole = sequenceSpectrum[program.root];
    const RuleLengths &rule = program.ruleLengths;
    count = 0;
    bytes = 0;
    mpz_class windowCount, windowTotal;
    // Window j holds the variants with repeats - 1 - j limited bytes.
    const auto eachWindow = [&](auto &&add) {
        for (std::uint32_t j = 0; j < rule.repeats; ++j)
            add(min - j * rule.period, max - j * rule.period, std::uint64_t(rule.repeats - 1 - j));
    };
    if (!program.literalMap && (program.literalCharacters.empty() || rule.bytesDropPerLimited)) {
        // Every character is one byte: with k limited bytes, a length l by
        // the engine holds l - k drop bytes.
        const std::uint64_t drop = rule.bytesDropPerLimited.value_or(0);
        eachWindow([&](std::uint64_t low, std::uint64_t high, std::uint64_t limited) {
            addRange(*this, whole, low, high, windowCount, &windowTotal);
            count += windowCount;
            bytes += windowTotal;
            if (rule.weighted)
                bytes -= windowCount * mpz_class(static_cast<unsigned long>(limited * drop));
        });
        return;
    }
    count = rangeCount(min, max);
    bytes = bytesWithinWindows(program, cut, min, max);
}

SpectrumIndex::SpectrumIndex(const Program &compiled, std::uint64_t kept)
    : program(compiled)
{
    const Figures &figures = program.figures;
    cut = kept < figures.longest ? kept : noCut;
    period = program.ruleLengths.weighted ? program.ruleLengths.period : 0;
    // Wide enough for the template's whole count; the coefficients of cut
    // spectra may need fewer words (see below).
    width = spectraWidth(program);
    const double slots = spectrumSlots(program, cut);
    const auto bytesAt = [slots](std::size_t words) { return slots * double(words) * sizeof(mp_limb_t); };
    checkSpectraBudget(cut, width, slots, rootWords(program, cut, width));
    sequenceSpectrum.resize(program.sequences.size());
    groupSpectrum.resize(program.groups.size());
    const auto place = [this](std::uint32_t node) -> Poly & {
        return isGroupNode(node) ? groupSpectrum[nodeGroup(node)] : sequenceSpectrum[node];
    };
    if (cut == noCut) {
        walkPostorder(
            program, Spectra { width * GMP_NUMB_BITS, noCut, period }, [&](std::uint32_t node, const Packed &value) {
                place(node) = repacked(value.poly, multiword::wordsFor(value.bits), width);
            });
        return;
    }
    // Every coefficient of a node is at most the number of its variants that
    // the cut keeps, and every count a query meets is at most the number of
    // the template's that it keeps. Two bits more leave room for the sums of
    // a pairs group's items (see RangeIndex).
    std::vector<std::size_t> bits(program.sequences.size() + program.groups.size());
    std::size_t widest = 1;
    const double budget = indexBudget();
    walkPostorder(
        program, Spectra { width * GMP_NUMB_BITS, cut, period }, [&](std::uint32_t node, const Packed &value) {
            place(node) = value.poly;
            bits[nodeIndex(program, node)] = value.bits;
            if (multiword::wordsFor(value.bits + 2) > multiword::wordsFor(widest + 2)
                && !(bytesAt(multiword::wordsFor(value.bits + 2)) <= budget))
                throw LimitError(LimitError::Task::LengthCounts, LimitError::Resource::Memory,
                    wholeAmount(bytesAt(multiword::wordsFor(value.bits + 2))), wholeAmount(budget));
            widest = std::max(widest, value.bits);
        });
    width = multiword::wordsFor(widest + 2);
    for (std::size_t s = 0; s < sequenceSpectrum.size(); ++s)
        sequenceSpectrum[s] = repacked(sequenceSpectrum[s], multiword::wordsFor(bits[s]), width);
    for (std::size_t g = 0; g < groupSpectrum.size(); ++g)
        groupSpectrum[g] = repacked(groupSpectrum[g], multiword::wordsFor(bits[sequenceSpectrum.size() + g]), width);
}

} // namespace razmnozhator::detail
