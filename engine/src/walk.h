#pragma once

// The two ways of computing a statistic over a compiled template.
//
// A statistic is an algebra over the values of nodes: a literal's value, and
// how a sequence, an alternatives group and a pairs group combine the values
// of their parts. Counts, byte totals, lengths and length spectra are all such
// algebras, so the arithmetic of each lives in one place, and these walks
// decide only the order in which nodes are combined.
//
// walkPostorder visits every node once, children first, and can hand every
// node's value to a caller that keeps them. evaluateByHeavyPaths gives only the
// template's value, for algebras that are commutative rings: there a parent's
// value is an affine function a*x + b of any one child's value x, so a chain of
// a million nested groups is a composition of a million affine maps, which is
// composed as a balanced tree instead of one level at a time. Following each
// node's largest child (its heavy path) and treating the others recursively
// makes that quasi-linear for every shape of template.

#include "program.h"

#include <cstddef>
#include <cstdint>
#include <span>
#include <unordered_map>
#include <utility>
#include <vector>

namespace razmnozhator::detail {

// Combines values pairwise, like a balanced tree, so that large operands meet
// operands of similar size, where multiplication is fastest.
template <class Value, class Combine> Value combineBalanced(std::vector<Value> &values, Combine combine)
{
    while (values.size() > 1) {
        std::size_t kept = 0;
        for (std::size_t i = 0; i + 1 < values.size(); i += 2)
            values[kept++] = combine(values[i], values[i + 1]);
        if (values.size() % 2 == 1)
            values[kept++] = std::move(values.back());
        values.resize(kept);
    }
    return std::move(values.front());
}

// Pieces of a pairs group are compiled in the order 2, 0, 1, 3, 4, ...: the
// order in which the expansion meets them. Returns their values in piece order.
template <class Value> void piecesInOrder(GroupKind kind, std::span<Value> compiled, std::vector<Value> &ordered)
{
    ordered.clear();
    if (kind == GroupKind::Alternatives) {
        for (Value &value : compiled)
            ordered.push_back(std::move(value));
        return;
    }
    ordered.push_back(std::move(compiled[1]));
    ordered.push_back(std::move(compiled[2]));
    ordered.push_back(std::move(compiled[0]));
    for (std::size_t i = 3; i < compiled.size(); ++i)
        ordered.push_back(std::move(compiled[i]));
}

// Algebra: Value, text(characters, bytes) for plain text, sequence(text,
// groups) for a sequence whose literals together make `text`, alternatives
// (pieces), pairs(separator, items). Every statistic here is commutative under
// concatenation, so a sequence's literals count as one text. keep(node, value)
// sees every node's value; node is a sequence index, or a group index | groupTag.

// A sequence's literals taken together.
template <class Algebra>
typename Algebra::Value sequenceText(const Program &program, const Sequence &sequence, const Algebra &algebra)
{
    std::uint64_t characters = 0;
    std::uint64_t bytes = 0;
    for (std::uint32_t i = 0; i <= sequence.groupCount; ++i) {
        characters += program.characters(sequence.literalBegin + i);
        bytes += program.literals[sequence.literalBegin + i].length;
    }
    return algebra.text(characters, bytes);
}
template <class Algebra, class Keep>
typename Algebra::Value walkPostorder(const Program &program, const Algebra &algebra, Keep &&keep)
{
    using Value = typename Algebra::Value;
    std::vector<Value> stack;
    std::vector<Value> parts;
    for (const std::uint32_t node : program.postorder) {
        Value value;
        std::size_t taken = 0;
        if (node & groupTag) {
            const Group &group = program.groups[node & ~groupTag];
            taken = group.pieceCount;
            piecesInOrder(group.kind, std::span(stack).last(taken), parts);
            value = group.kind == GroupKind::Alternatives
                ? algebra.alternatives(std::span<Value>(parts))
                : algebra.pairs(parts[0], std::span<const Value>(parts).subspan(1));
        } else {
            const Sequence &sequence = program.sequences[node];
            taken = sequence.groupCount;
            value = algebra.sequence(sequenceText(program, sequence, algebra), std::span(stack).last(taken));
        }
        stack.resize(stack.size() - taken);
        keep(node, value);
        stack.push_back(std::move(value));
    }
    return std::move(stack.back());
}

// The arithmetic of a template in a commutative ring with one(), mul, add and
// sub: a sequence is the product of its parts, alternatives the sum of their
// pieces, and a pairs group separator * (S^2 - Q), S the sum of its items and
// Q the sum of their squares, since the ordered pairs of two different items
// are all pairs less the pairs of an item with itself.
template <class Ring> struct RingAlgebra
{
    using Value = typename Ring::Value;
    const Ring &ring;

    Value text(std::uint64_t characters, std::uint64_t bytes) const { return ring.text(characters, bytes); }

    Value sequence(const Value &text, std::span<Value> groups) const
    {
        std::vector<Value> values { text };
        values.insert(values.end(), std::make_move_iterator(groups.begin()), std::make_move_iterator(groups.end()));
        return combineBalanced(values, [this](const Value &a, const Value &b) { return ring.mul(a, b); });
    }

    Value alternatives(std::span<Value> pieces) const
    {
        Value sum = ring.zero();
        for (const Value &piece : pieces)
            sum = ring.add(sum, piece);
        return sum;
    }

    Value pairs(const Value &separator, std::span<const Value> items) const
    {
        Value sum = ring.zero();
        Value squares = ring.zero();
        for (const Value &item : items) {
            sum = ring.add(sum, item);
            squares = ring.add(squares, ring.mul(item, item));
        }
        return ring.mul(separator, ring.sub(ring.mul(sum, sum), squares));
    }
};

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

    std::uint32_t id(std::uint32_t entry) const { return entry & groupTag ? groupBase + (entry & ~groupTag) : entry; }
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

// x -> a * x + b; b absent stands for zero, which saves a product per level of
// the sequences and separators that make up most chains.
template <class Value> struct Affine
{
    Value a;
    Value b;
    bool hasB = false;
};

} // namespace heavypaths

template <class Ring> typename Ring::Value evaluateByHeavyPaths(const Program &program, const Ring &ring)
{
    using Value = typename Ring::Value;
    using Map = heavypaths::Affine<Value>;
    const heavypaths::Tree tree(program);
    const RingAlgebra<Ring> algebra { ring };
    // Values of the tops of heavy paths, waiting for their parent's path.
    std::unordered_map<std::uint32_t, Value> waiting;
    // A child that is plain text is valued on the spot; most light children are.
    const auto isLeaf
        = [&](std::uint32_t node) { return !tree.isGroup(node) && program.sequences[node].groupCount == 0; };
    const auto take = [&](std::uint32_t node) {
        if (isLeaf(node))
            return sequenceText(program, program.sequences[node], ring);
        auto found = waiting.find(node);
        Value value = std::move(found->second);
        waiting.erase(found);
        return value;
    };

    // The map of one node on a heavy path, as a function of its heavy child.
    const auto mapOf = [&](std::uint32_t node, std::uint32_t heavyChild) {
        Map map;
        if (!tree.isGroup(node)) {
            const Sequence &sequence = program.sequences[node];
            std::vector<Value> groups;
            for (std::uint32_t i = 0; i < sequence.groupCount; ++i) {
                const std::uint32_t child = tree.groupBase + program.groupRefs[sequence.groupBegin + i];
                if (child != heavyChild)
                    groups.push_back(take(child));
            }
            map.a = algebra.sequence(sequenceText(program, sequence, ring), std::span<Value>(groups));
            return map;
        }
        const Group &group = program.groups[node - tree.groupBase];
        const std::uint32_t *pieces = program.pieces.data() + group.pieceBegin;
        if (group.kind == GroupKind::Alternatives) {
            std::vector<Value> others;
            for (std::uint32_t i = 0; i < group.pieceCount; ++i) {
                if (pieces[i] != heavyChild)
                    others.push_back(take(pieces[i]));
            }
            map.a = ring.one();
            map.b = algebra.alternatives(std::span<Value>(others));
            map.hasB = true;
            return map;
        }
        // Pairs: with the separator as the child, x * (S^2 - Q); with an item
        // as the child, s * ((C + x)^2 - (Q + x^2)) = 2sC * x + s(C^2 - Q),
        // C and Q over the other items.
        const bool separatorIsChild = pieces[0] == heavyChild;
        const Value separator = separatorIsChild ? Value() : take(pieces[0]);
        Value sum = ring.zero();
        Value squares = ring.zero();
        for (std::uint32_t i = 1; i < group.pieceCount; ++i) {
            if (pieces[i] == heavyChild)
                continue;
            const Value item = take(pieces[i]);
            sum = ring.add(sum, item);
            squares = ring.add(squares, ring.mul(item, item));
        }
        const Value pairsOfOthers = ring.sub(ring.mul(sum, sum), squares);
        if (separatorIsChild) {
            map.a = pairsOfOthers;
            return map;
        }
        const Value twiceSum = ring.add(sum, sum);
        map.a = ring.mul(separator, twiceSum);
        map.b = ring.mul(separator, pairsOfOthers);
        map.hasB = true;
        return map;
    };

    // outer(inner(x)) = a_o a_i x + a_o b_i + b_o
    const auto compose = [&ring](const Map &outer, const Map &inner) {
        Map map;
        map.a = ring.mul(outer.a, inner.a);
        if (inner.hasB) {
            map.b = ring.mul(outer.a, inner.b);
            if (outer.hasB)
                map.b = ring.add(map.b, outer.b);
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
        Value value = sequenceText(program, program.sequences[node], ring);
        if (!maps.empty()) {
            const Map path = combineBalanced(maps, compose);
            value = ring.mul(path.a, value);
            if (path.hasB)
                value = ring.add(value, path.b);
        }
        if (top == root)
            return value;
        waiting.emplace(top, std::move(value));
    }
    return ring.one();
}

} // namespace razmnozhator::detail
