#pragma once

// One algebra for every figure of a template.
//
// A figure (how many variants, how many bytes they hold, the shortest and the
// longest, how many there are of each length) is a value of a commutative
// semiring: plain text has a value, joining parts end to end multiplies their
// values, and choosing one part of several adds them. A semiring here is a
// type with Value, add(a, b), mul(a, b) and text(characters, bytes), and
// one() where the heavy paths of walk.h need it. Every group has at least two
// pieces and every pairs group at least two items, so no sum starts empty and
// no semiring needs a zero.
//
// A pairs group joins every ordered pair (r, f) of two different items with
// its separator s, so its value is s * sum over r != f of x_r x_f, which is
// s * 2 * e2 with e2 = sum over f of x_f (x_1 + ... + x_{f-1}). Written so,
// without a subtraction, it holds in every semiring here: counts, counts with
// byte totals, length spectra, and the shortest and longest lengths as
// (min, +) and (max, +), where 2 = one + one is one itself.

#include <cstddef>
#include <cstdint>
#include <span>
#include <utility>
#include <vector>

namespace razmnozhator::detail {

// Combines values pairwise, like a balanced tree, so that large operands meet
// operands of similar size, where multiplication is fastest: down to
// `remaining` of them, or to one.
template <class Value, class Combine>
void combineBalancedTo(std::vector<Value> &values, Combine combine, std::size_t remaining)
{
    while (values.size() > remaining) {
        std::size_t kept = 0;
        for (std::size_t i = 0; i + 1 < values.size(); i += 2)
            values[kept++] = combine(values[i], values[i + 1]);
        if (values.size() % 2 == 1)
            values[kept++] = std::move(values.back());
        values.resize(kept);
    }
}

template <class Value, class Combine> Value combineBalanced(std::vector<Value> &values, Combine combine)
{
    combineBalancedTo(values, combine, 1);
    return std::move(values.front());
}

template <class Semiring> typename Semiring::Value twice(const Semiring &semiring, const typename Semiring::Value &x)
{
    return semiring.add(x, x);
}

// The elementary symmetric sums e1 and e2 of a pairs group's items, or of all
// of them but one. The group's value, and its value as an affine function of
// any one piece, are read from them. The sums of two runs of items make those
// of both, e2 = e2(left) + e2(right) + e1(left) e1(right), so they are merged
// like a balanced tree: a group of many items then costs a few products of
// balanced size, not one product per item.
template <class Semiring> class PairSums
{
public:
    using Value = typename Semiring::Value;

    // At least one item.
    PairSums(const Semiring &semiring, std::span<const Value> items)
        : semiring_(semiring)
        , sums_(of(items))
    {
    }

    // At least two items: e2 is not empty.
    bool hasPairs() const { return sums_.hasE2; }

    // The group's value: s * 2 e2.
    Value pairs(const Value &separator) const { return semiring_.mul(separator, twice(semiring_, sums_.e2)); }
    // With one more item x, the value is s * 2 e1 * x + s * 2 e2: the factor
    // of x, and the constant term, pairs(s), when hasPairs().
    Value itemFactor(const Value &separator) const { return semiring_.mul(separator, twice(semiring_, sums_.e1)); }
    // As a function of the separator s: s * 2 e2.
    Value separatorFactor() const { return twice(semiring_, sums_.e2); }

private:
    struct Sums
    {
        Value e1;
        Value e2;
        bool hasE2;
    };

    Sums of(std::span<const Value> items) const
    {
        if (items.size() == 1)
            return { items[0], {}, false };
        const Sums left = of(items.first(items.size() / 2));
        const Sums right = of(items.subspan(items.size() / 2));
        Sums both { semiring_.add(left.e1, right.e1), semiring_.mul(left.e1, right.e1), true };
        if (left.hasE2)
            both.e2 = semiring_.add(both.e2, left.e2);
        if (right.hasE2)
            both.e2 = semiring_.add(both.e2, right.e2);
        return both;
    }

    const Semiring &semiring_;
    Sums sums_;
};

// Sequence, alternatives and pairs in any semiring.
template <class Semiring> class Algebra
{
public:
    using Value = typename Semiring::Value;

    explicit Algebra(const Semiring &semiring)
        : semiring_(semiring)
    {
    }

    // A sequence's literals count as one text, since the product commutes.
    Value sequence(const Value &text, std::span<Value> groups) const
    {
        if (groups.size() <= 1)
            return groups.empty() ? text : semiring_.mul(text, groups[0]);
        factors_.clear();
        factors_.push_back(text);
        for (Value &group : groups)
            factors_.push_back(std::move(group));
        return combineBalanced(factors_, [this](const Value &a, const Value &b) { return semiring_.mul(a, b); });
    }

    // A semiring whose sums are cheaper taken all at once says so with
    // sum(pieces).
    Value alternatives(std::span<const Value> pieces) const
    {
        if constexpr (requires { semiring_.sum(pieces); }) {
            return semiring_.sum(pieces);
        } else {
            Value sum = pieces[0];
            for (std::size_t i = 1; i < pieces.size(); ++i)
                sum = semiring_.add(sum, pieces[i]);
            return sum;
        }
    }

    Value pairs(const Value &separator, std::span<const Value> items) const
    {
        return PairSums<Semiring>(semiring_, items).pairs(separator);
    }

private:
    const Semiring &semiring_;
    mutable std::vector<Value> factors_;
};

} // namespace razmnozhator::detail
