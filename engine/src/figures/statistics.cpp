// The figures of a whole template: how many variants, how many bytes they
// hold, and how short and how long they are.
//
// The saturated figures are computed for every template right after
// compiling, in 64-bit arithmetic that sticks at its largest value: instant,
// and enough to decide whether a result can be held at all. The exact count
// and byte total, which can have millions of digits, are computed on request
// by following heavy paths.

#include "figures/semirings.h"
#include "figures/walk.h"
#include "program/nodes.h"
#include "program/program.h"

#include <algorithm>
#include <tuple>

namespace razmnozhator::detail {

namespace {

using Lengths = Product<Shortest<Measure::Characters>, Longest<Measure::Characters>>;
using SaturatedFigures = Product<SaturatingDual, Lengths, Longest<Measure::Bytes>>;

const Program &withExactFigures(const Program &program)
{
    std::call_once(program.exactOnce, [&program] {
        const Figures &figures = program.figures;
        if (figures.count != saturated && figures.bytes != saturated) {
            program.exactCount = static_cast<unsigned long>(figures.count);
            program.exactTotalBytes = static_cast<unsigned long>(figures.bytes);
            return;
        }
        const Dual value = evaluateByHeavyPaths(program, ExactDual {});
        program.exactCount = value.count();
        program.exactTotalBytes = value.bytes();
    });
    return program;
}

} // namespace

Figures computeFigures(const Program &program)
{
    const auto [dual, lengths, longestBytes]
        = walkPostorder(program, SaturatedFigures {}, [](std::uint32_t, const SaturatedFigures::Value &) {});
    const auto [shortest, longest] = lengths;
    return { dual.count, dual.bytes, shortest, longest, longestBytes };
}

const mpz_class &exactCount(const Program &program)
{
    return withExactFigures(program).exactCount;
}

const mpz_class &exactTotalBytes(const Program &program)
{
    return withExactFigures(program).exactTotalBytes;
}

double spectrumSlots(const Program &program, std::uint64_t cut)
{
    const RuleLengths &rule = program.ruleLengths;
    double slots = 0;
    walkPostorder(program, Lengths {}, [&](std::uint32_t node, const Lengths::Value &lengths) {
        const std::uint64_t shortest = std::get<0>(lengths);
        const std::uint64_t longest = std::min(std::get<1>(lengths), cut);
        if (longest < shortest)
            return;
        double held = double(longest - shortest + 1);
        if (rule.weighted) {
            // Short runs are held packed (see Poly), the rows the cut keeps.
            const RuleLengths::Runs &runs = rule.nodeRuns[nodeIndex(program, node)];
            const std::uint64_t rows = std::min(runs.rows, (longest - shortest) / rule.period + 2);
            held = std::min(held, double(rows) * double(std::min(runs.span, rule.period)));
        }
        slots += held;
    });
    return slots;
}

NodeLengths nodeLengths(const Program &program)
{
    NodeLengths lengths;
    lengths.sequences.resize(program.sequences.size());
    lengths.groups.resize(program.groups.size());
    walkPostorder(program, Lengths {}, [&lengths](std::uint32_t node, const Lengths::Value &value) {
        const NodeLengths::Bounds bounds { std::get<0>(value), std::get<1>(value) };
        if (isGroupNode(node))
            lengths.groups[nodeGroup(node)] = bounds;
        else
            lengths.sequences[node] = bounds;
    });
    return lengths;
}

} // namespace razmnozhator::detail
