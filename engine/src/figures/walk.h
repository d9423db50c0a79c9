#pragma once

// The two ways of computing a figure over a compiled template, in any of the
// semirings of algebra.h; they decide only the order in which nodes are
// combined.
//
// walkPostorder visits every node once, children first, and can hand every
// node's value to a caller that keeps them; walkNodes, the same walk, also
// serves figures that are no semiring, such as the most words of a variant,
// whose parts do not commute. evaluateByHeavyPaths gives only the
// template's value: a parent's value is an affine function a*x + b of any one
// child's value x, so a chain of a million nested groups is a composition of a
// million affine maps, which is composed as a balanced tree instead of one
// level at a time. Following each node's largest child (its heavy path) and
// treating the others recursively makes that quasi-linear for every shape of
// template.

#include "figures/algebra.h"
#include "program/choicearithmetic.h"
#include "program/nodes.h"
#include "program/program.h"

#include <cstddef>
#include <cstdint>
#include <span>
#include <type_traits>
#include <utility>
#include <vector>

namespace razmnozhator::detail {

// A group's pieces are compiled in the order in which the expansion meets
// them (pieceCompiled()). Returns their values in piece order.
template <class Kind, class Value> void piecesInOrder(std::span<Value> compiled, std::vector<Value> &ordered)
{
    ordered.resize(compiled.size());
    for (std::size_t started = 0; started < compiled.size(); ++started)
        ordered[Kind::pieceCompiled(started)] = std::move(compiled[started]);
}

// A group's value from its pieces' values, in piece order.
template <class Combine, class Value>
Value groupValue(Alternatives, const Combine &combine, std::span<const Value> pieces)
{
    return combine.alternatives(pieces);
}
template <class Combine, class Value> Value groupValue(Pairs, const Combine &combine, std::span<const Value> pieces)
{
    return combine.pairs(pieces[Pairs::separatorPiece], pieces.subspan(Pairs::itemPiece(0)));
}

// A sequence's literals taken together.
template <class Semiring>
typename Semiring::Value sequenceText(const Program &program, const Sequence &sequence, const Semiring &semiring)
{
    std::uint64_t characters = 0;
    std::uint64_t bytes = 0;
    for (std::uint32_t i = 0; i <= sequence.groupCount; ++i) {
        characters += program.characters(sequence.literalBegin + i);
        bytes += program.literals[sequence.literalBegin + i].length;
    }
    return semiring.text(characters, bytes);
}

// Walks `nodes`, a stretch of the postorder, children before parents: a
// node's value is made from its children's values in order, a sequence's by
// combine.sequence(sequence, groups), a group's by
// combine.alternatives(pieces) or combine.pairs(separator, items), and
// keep(node, value) sees each (program/nodes.h names the nodes). Gives the
// values of the nodes whose parents lie outside the stretch.
template <class Value, class Combine, class Keep>
std::vector<Value> walkNodes(
    const Program &program, std::span<const std::uint32_t> nodes, const Combine &combine, Keep &&keep)
{
    std::vector<Value> stack;
    std::vector<Value> parts;
    for (const std::uint32_t node : nodes) {
        Value value;
        std::size_t taken = 0;
        if (isGroupNode(node)) {
            const Group &group = program.groups[nodeGroup(node)];
            taken = group.pieceCount;
            value = visitKind(group, [&](auto kind) {
                piecesInOrder<decltype(kind)>(std::span(stack).last(taken), parts);
                return groupValue(kind, combine, std::span<const Value>(parts));
            });
        } else {
            const Sequence &sequence = program.sequences[node];
            taken = sequence.groupCount;
            value = combine.sequence(sequence, std::span(stack).last(taken));
        }
        stack.resize(stack.size() - taken);
        keep(node, value);
        stack.push_back(std::move(value));
    }
    return stack;
}

// The algebra of a semiring over the nodes of a program.
template <class Semiring> struct NodeAlgebra : Algebra<Semiring>
{
    using Value = typename Semiring::Value;
    const Program &program;
    const Semiring &semiring;

    NodeAlgebra(const Program &compiled, const Semiring &ring)
        : Algebra<Semiring>(ring)
        , program(compiled)
        , semiring(ring)
    {
    }
    Value sequence(const Sequence &sequence, std::span<Value> groups) const
    {
        return Algebra<Semiring>::sequence(sequenceText(program, sequence, semiring), groups);
    }
};

// keep(node, value) sees every node's value but the template's own
// sequence's. Gives the values of the groups of the template's own
// sequence, which comes last.
template <class Semiring, class Keep>
std::vector<typename Semiring::Value> walkBelowRoot(const Program &program, const Semiring &semiring, Keep &&keep)
{
    return walkNodes<typename Semiring::Value>(program,
        std::span(program.postorder).first(program.postorder.size() - 1), NodeAlgebra<Semiring>(program, semiring),
        keep);
}

// keep(node, value) sees every node's value; gives the template's own.
template <class Semiring, class Keep>
typename Semiring::Value walkPostorder(const Program &program, const Semiring &semiring, Keep &&keep)
{
    return std::move(
        walkNodes<typename Semiring::Value>(program, program.postorder, NodeAlgebra<Semiring>(program, semiring), keep)
            .back());
}

namespace heavypaths {

// Nodes are numbered sequences first, then groups.
struct Tree
{
    explicit Tree(const Program &compiled)
        : program(compiled)
        , groupBase(static_cast<std::uint32_t>(compiled.sequences.size()))
    {
        const std::size_t nodes = program.sequences.size() + program.groups.size();
        std::vector<std::uint32_t> size(nodes, 1);
        heavy.assign(nodes, none);
        isHeavy.assign(nodes, false);
        for (const std::uint32_t entry : program.postorder) {
            const std::uint32_t node = id(entry);
            std::uint32_t largest = 0;
            forEachChild(node, [&](std::uint32_t child) {
                size[node] += size[child];
                if (size[child] > largest) {
                    largest = size[child];
                    heavy[node] = child;
                }
            });
            if (heavy[node] != none)
                isHeavy[heavy[node]] = true;
        }
    }

    std::uint32_t id(std::uint32_t entry) const { return static_cast<std::uint32_t>(nodeIndex(program, entry)); }
    bool isGroup(std::uint32_t node) const { return node >= groupBase; }

    template <class F> void forEachChild(std::uint32_t node, F f) const
    {
        if (isGroup(node)) {
            const Group &group = program.groups[node - groupBase];
            for (std::uint32_t i = 0; i < group.pieceCount; ++i)
                f(program.pieces[group.pieceBegin + i]);
        } else {
            const Sequence &sequence = program.sequences[node];
            for (std::uint32_t i = 0; i < sequence.groupCount; ++i)
                f(groupBase + program.groupRefs[sequence.groupBegin + i]);
        }
    }

    static constexpr std::uint32_t none = UINT32_MAX;
    const Program &program;
    std::uint32_t groupBase;
    std::vector<std::uint32_t> heavy;
    std::vector<bool> isHeavy;
};

// x -> a * x + b, b absent where nothing is added: the sequences and
// separators that make up most chains, and a pairs group of two items whose
// other item is the child.
template <class Value> struct Affine
{
    Value a;
    Value b;
    bool hasB = false;
};

} // namespace heavypaths

template <class Semiring>
typename Semiring::Value evaluateByHeavyPaths(const Program &program, const Semiring &semiring)
{
    using Value = typename Semiring::Value;
    using Map = heavypaths::Affine<Value>;
    const heavypaths::Tree tree(program);
    const Algebra<Semiring> algebra(semiring);
    // Values of the tops of heavy paths, waiting for their parent's path, in
    // slots that are used again once taken: a flat sequence of a million
    // groups keeps a million of them waiting, and a hash map would spend
    // more on them than the arithmetic does.
    std::vector<std::uint32_t> slotOf(tree.heavy.size(), heavypaths::Tree::none);
    std::vector<Value> waiting;
    std::vector<std::uint32_t> freeSlots;
    const auto wait = [&](std::uint32_t node, Value value) {
        if (freeSlots.empty()) {
            slotOf[node] = static_cast<std::uint32_t>(waiting.size());
            waiting.push_back(std::move(value));
            return;
        }
        slotOf[node] = freeSlots.back();
        freeSlots.pop_back();
        waiting[slotOf[node]] = std::move(value);
    };
    // A child that is plain text is valued on the spot; most light children are.
    const auto isLeaf
        = [&](std::uint32_t node) { return !tree.isGroup(node) && program.sequences[node].groupCount == 0; };
    const auto take = [&](std::uint32_t node) {
        if (isLeaf(node))
            return sequenceText(program, program.sequences[node], semiring);
        freeSlots.push_back(slotOf[node]);
        return std::move(waiting[slotOf[node]]);
    };

    // The map of one node on a heavy path, as a function of its heavy child.
    std::vector<Value> others;
    const auto mapOf = [&](std::uint32_t node, std::uint32_t heavyChild) {
        Map map;
        others.clear();
        if (!tree.isGroup(node)) {
            const Sequence &sequence = program.sequences[node];
            for (std::uint32_t i = 0; i < sequence.groupCount; ++i) {
                const std::uint32_t child = tree.groupBase + program.groupRefs[sequence.groupBegin + i];
                if (child != heavyChild)
                    others.push_back(take(child));
            }
            map.a = algebra.sequence(sequenceText(program, sequence, semiring), others);
            return map;
        }
        const Group &group = program.groups[node - tree.groupBase];
        const std::uint32_t *pieces = program.pieces.data() + group.pieceBegin;
        const auto takeOthers = [&](std::uint32_t from) {
            for (std::uint32_t i = from; i < group.pieceCount; ++i) {
                if (pieces[i] != heavyChild)
                    others.push_back(take(pieces[i]));
            }
        };
        return visitKind(group, [&]<class Kind>(Kind) {
            if constexpr (std::is_same_v<Kind, Alternatives>) {
                takeOthers(0);
                return Map { semiring.one(), algebra.alternatives(others), true };
            } else {
                takeOthers(Pairs::itemPiece(0));
                const PairSums<Semiring> sums(semiring, others);
                if (pieces[Pairs::separatorPiece] == heavyChild)
                    return Map { sums.separatorFactor(), {}, false };
                const Value separator = take(pieces[Pairs::separatorPiece]);
                return sums.hasPairs() ? Map { sums.itemFactor(separator), sums.pairs(separator), true }
                                       : Map { sums.itemFactor(separator), {}, false };
            }
        });
    };

    // outer(inner(x)) = a_o a_i x + a_o b_i + b_o
    const auto compose = [&semiring](const Map &outer, const Map &inner) {
        Map map;
        map.a = semiring.mul(outer.a, inner.a);
        if (inner.hasB) {
            map.b = semiring.mul(outer.a, inner.b);
            if (outer.hasB)
                map.b = semiring.add(map.b, outer.b);
            map.hasB = true;
        } else if (outer.hasB) {
            map.b = outer.b;
            map.hasB = true;
        }
        return map;
    };

    const std::uint32_t root = tree.id(program.root);
    std::vector<Map> maps;
    for (const std::uint32_t entry : program.postorder) {
        const std::uint32_t top = tree.id(entry);
        if (tree.isHeavy[top] || (top != root && isLeaf(top)))
            continue;
        maps.clear();
        std::uint32_t node = top;
        while (tree.heavy[node] != heavypaths::Tree::none) {
            maps.push_back(mapOf(node, tree.heavy[node]));
            node = tree.heavy[node];
        }
        // The bottom of a path has no children: a sequence of one literal.
        Value value = sequenceText(program, program.sequences[node], semiring);
        if (!maps.empty()) {
            const Map path = combineBalanced(maps, compose);
            value = semiring.mul(path.a, value);
            if (path.hasB)
                value = semiring.add(value, path.b);
        }
        if (top == root)
            return value;
        wait(top, std::move(value));
    }
    return semiring.one();
}

} // namespace razmnozhator::detail
