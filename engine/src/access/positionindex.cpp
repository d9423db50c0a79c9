#include "access/positionindex.h"

#include "figures/indexbudget.h"
#include "figures/semirings.h"
#include "figures/walk.h"
#include "program/choicearithmetic.h"
#include "razmnozhator/engine.h"

#include <algorithm>
#include <cmath>

namespace razmnozhator::detail {

namespace {

// Bytes of one big number of that many bits, with its header and the
// allocator's.
double bigBytes(double bits)
{
    return bits / 8 + 48;
}

// What the index will take, from the bounds of the nodes' counts.
double estimatedBytes(const Program &program)
{
    double bytes = 8.0
            * double(program.sequences.size() + program.groups.size() + program.choicePieces.size()
                + 1.5 * double(program.groupRefs.size()))
        + 16.0 * double(program.pieces.size());
    walkPostorder(program, LogCount {}, [&](std::uint32_t node, double bits) {
        if (bits < 63)
            return;
        // Values met while computing the counts, and the count kept.
        bytes += 3 * bigBytes(bits);
        if (isGroupNode(node)) {
            const Group &group = program.groups[nodeGroup(node)];
            const double entries
                = visitKind(group, [&](auto kind) { return double(decltype(kind)::prefixSize(group)); });
            bytes += entries * bigBytes(bits);
            return;
        }
        // Every level of the product tree holds about the sequence's bits.
        const double groups = program.sequences[node].groupCount;
        bytes += (std::log2(groups + 1) + 2) * bigBytes(bits) + 4 * groups * bigBytes(0);
    });
    return bytes;
}

} // namespace

mpz_class PositionIndex::countOf(std::uint32_t node) const
{
    if (isBig(node))
        return big.at(node);
    return mpz_class(static_cast<unsigned long>(count[node]));
}

PositionIndex::PositionIndex(const Program &compiled)
    : program(compiled)
{
    if (program.figures.count == saturated)
        checkIndexBudget(LimitError::Task::PositionIndex, estimatedBytes(program));

    count.assign(program.sequences.size() + program.groups.size(), 0);
    walkPostorder(program, ExactDual { .countsOnly = true }, [&](std::uint32_t entry, const Dual &value) {
        const auto node = static_cast<std::uint32_t>(nodeIndex(program, entry));
        if (value.isSmall() && value.smallCount() != bigCount)
            count[node] = value.smallCount();
        else {
            count[node] = bigCount;
            big.emplace(node, value.count());
        }
    });

    reciprocal.resize(program.groups.size());
    for (std::uint32_t g = 0; g < program.groups.size(); ++g)
        reciprocal[g] = radixOf(count[groupNode(g)]).reciprocal;

    countAfter.assign(program.groupRefs.size(), 0);
    plainChoices.resize(program.groupRefs.size());
    for (std::size_t i = 0; i < program.groupRefs.size(); ++i) {
        const Group &group = program.groups[program.groupRefs[i]];
        plainChoices[i] = visitKind(
            group, [&](auto kind) { return decltype(kind)::choiceIsPiece ? group.pieceLiteralsBegin : noLiterals; });
    }
    for (std::uint32_t s = 0; s < program.sequences.size(); ++s) {
        if (isBig(s))
            continue;
        const Sequence &sequence = program.sequences[s];
        suffixFigures(
            sequence.groupCount, std::uint64_t { 1 },
            [&](std::size_t i) { return count[groupNode(program.groupRefs[sequence.groupBegin + i])]; },
            [](std::uint64_t after, std::uint64_t group) { return after * group; },
            [&](std::size_t i, std::uint64_t after) { countAfter[sequence.groupBegin + i] = after; });
    }

    flat.assign(program.sequences.size(), 0);
    for (std::uint32_t s = 0; s < program.sequences.size(); ++s) {
        const Sequence &sequence = program.sequences[s];
        const std::uint32_t *const refs = program.groupRefs.data() + sequence.groupBegin;
        flat[s] = !isBig(s) && std::all_of(refs, refs + sequence.groupCount, [&](std::uint32_t group) {
            return program.groups[group].pieceLiteralsBegin != noLiterals;
        });
    }

    prefix.assign(program.choicePieces.size() + 2 * program.pieces.size(), 0);
    for (std::uint32_t g = 0; g < program.groups.size(); ++g) {
        const Group &group = program.groups[g];
        visitKind(group, [&](auto kind) {
            using Kind = decltype(kind);
            if (!isBig(groupNode(g))) {
                Kind::prefixes(
                    program, group, [this](std::uint32_t node) { return count[node]; },
                    prefix.data() + Kind::prefixBegin(program, group));
                return;
            }
            std::vector<mpz_class> &tables = bigPrefix[g];
            tables.resize(Kind::prefixSize(group));
            Kind::prefixes(
                program, group, [this](std::uint32_t node) { return countOf(node); }, tables.data());
        });
    }

    for (std::uint32_t s = 0; s < program.sequences.size(); ++s) {
        if (!isBig(s))
            continue;
        const Sequence &sequence = program.sequences[s];
        BigSequence &tree = bigSequences[s];
        // Blocks: runs of groups whose product stays below blockLimit, and
        // each group of a larger count on its own.
        std::vector<mpz_class> leaves;
        std::uint64_t product = 1;
        for (std::uint32_t i = 0; i < sequence.groupCount; ++i) {
            const std::uint32_t node = groupNode(program.groupRefs[sequence.groupBegin + i]);
            std::uint64_t next = 0;
            if (!isBig(node) && !__builtin_mul_overflow(product, count[node], &next) && next < blockLimit) {
                product = next;
                continue;
            }
            if (i > 0 && (tree.blockEnd.empty() || tree.blockEnd.back() != i)) {
                tree.blockEnd.push_back(i);
                tree.blockCount.push_back(product);
                leaves.emplace_back(static_cast<unsigned long>(product));
            }
            product = 1;
            if (isBig(node)) {
                tree.hasBigGroups = true;
                tree.blockEnd.push_back(i + 1);
                tree.blockCount.push_back(0);
                leaves.push_back(big.at(node));
            } else {
                product = count[node];
            }
        }
        if (tree.blockEnd.empty() || tree.blockEnd.back() != sequence.groupCount) {
            tree.blockEnd.push_back(sequence.groupCount);
            tree.blockCount.push_back(product);
            leaves.emplace_back(static_cast<unsigned long>(product));
        }
        tree.product.resize(4 * leaves.size());
        const auto build = [&](auto &self, std::size_t node, std::uint32_t low, std::uint32_t high) -> void {
            if (high - low == 1) {
                tree.product[node] = std::move(leaves[low]);
                return;
            }
            const std::uint32_t middle = low + (high - low) / 2;
            self(self, 2 * node, low, middle);
            self(self, 2 * node + 1, middle, high);
            tree.product[node] = tree.product[2 * node] * tree.product[2 * node + 1];
        };
        build(build, 1, 0, static_cast<std::uint32_t>(leaves.size()));
        tree.powerOfTwo = !tree.hasBigGroups && mpz_popcount(tree.product[1].get_mpz_t()) == 1;
    }
}

const PositionIndex &positionIndex(const Program &program)
{
    std::lock_guard lock(program.indexMutex);
    if (!program.positionIndex)
        program.positionIndex = std::make_shared<const PositionIndex>(program);
    return *program.positionIndex;
}

} // namespace razmnozhator::detail
