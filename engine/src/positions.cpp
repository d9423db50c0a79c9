#include "positions.h"

#include "razmnozhator/engine.h"
#include "razmnozhator/memorybudget.h"
#include "saturating.h"
#include "walk.h"

#include <algorithm>
#include <cmath>
#include <string>

namespace razmnozhator::detail {

namespace {

struct WordRing
{
    using Value = std::uint64_t;
    static Value text(std::uint64_t, std::uint64_t) { return 1; }
    static Value one() { return 1; }
    static Value zero() { return 0; }
    static Value add(Value a, Value b) { return a + b; }
    static Value sub(Value a, Value b) { return a - b; }
    static Value mul(Value a, Value b) { return a * b; }
};

struct BigRing
{
    using Value = mpz_class;
    static Value text(std::uint64_t, std::uint64_t) { return 1; }
    static Value one() { return 1; }
    static Value zero() { return 0; }
    static Value add(const Value &a, const Value &b) { return a + b; }
    static Value sub(const Value &a, const Value &b) { return a - b; }
    static Value mul(const Value &a, const Value &b) { return a * b; }
};

// An upper bound of log2 of every node's count, to tell what the tables
// would take before making them.
struct LogBound
{
    using Value = double;
    static Value text(std::uint64_t, std::uint64_t) { return 0; }
    static Value sequence(const Value &text, std::span<Value> groups)
    {
        double sum = text;
        for (const double group : groups)
            sum += group;
        return sum;
    }
    static Value alternatives(std::span<Value> pieces) { return logSum(pieces); }
    // The ordered pairs number sum c_r (C - c_r) <= 2 C (C - c_max): the
    // largest item pairs only with the rest.
    static Value pairs(const Value &separator, std::span<const Value> items)
    {
        std::vector<Value> others(items.begin(), items.end());
        others.erase(std::max_element(others.begin(), others.end()));
        return separator + 1 + logSum(items) + logSum(others);
    }
    static double logSum(std::span<const Value> values)
    {
        const double largest = *std::max_element(values.begin(), values.end());
        double sum = 0;
        for (const double value : values)
            sum += std::exp2(value - largest);
        return largest + std::log2(sum);
    }
};

// Bytes of one table entry of a count of that many bits, with GMP's header.
double bigEntryBytes(double bits)
{
    return bits / 8 + 24;
}

constexpr double budgetCap = 1024.0 * 1024 * 1024;

template <class Ring> PositionTables<typename Ring::Value> buildTables(const Program &program)
{
    using Number = typename Ring::Value;
    PositionTables<Number> tables;
    std::vector<Number> groupCount(program.groups.size());
    tables.sequenceCount.resize(program.sequences.size());
    const Ring ring;
    walkPostorder(program, RingAlgebra<Ring> { ring }, [&](std::uint32_t node, const Number &value) {
        if (node & groupTag)
            groupCount[node & ~groupTag] = value;
        else
            tables.sequenceCount[node] = value;
    });

    tables.suffix.resize(program.groupRefs.size());
    for (const Sequence &sequence : program.sequences) {
        Number product = 1;
        for (std::uint32_t i = sequence.groupCount; i-- > 0;) {
            tables.suffix[sequence.groupBegin + i] = product;
            product = product * groupCount[program.groupRefs[sequence.groupBegin + i]];
        }
    }

    tables.choicePrefix.resize(program.choicePieces.size());
    tables.itemPrefix.resize(program.pieces.size());
    tables.pairPrefix.resize(program.pieces.size());
    for (const Group &group : program.groups) {
        if (group.kind == GroupKind::Alternatives) {
            Number sum = 0;
            for (std::uint64_t i = 0; i < group.choices; ++i) {
                tables.choicePrefix[group.choiceBegin + i] = sum;
                sum = sum + tables.sequenceCount[program.choicePieces[group.choiceBegin + i]];
            }
            continue;
        }
        const std::uint32_t *pieces = program.pieces.data() + group.pieceBegin;
        Number total = 0;
        for (std::uint32_t i = 1; i < group.pieceCount; ++i)
            total = total + tables.sequenceCount[pieces[i]];
        const Number &separator = tables.sequenceCount[pieces[0]];
        Number items = 0;
        Number blocks = 0;
        for (std::uint32_t i = 1; i < group.pieceCount; ++i) {
            const Number &count = tables.sequenceCount[pieces[i]];
            tables.itemPrefix[group.pieceBegin + i] = items;
            tables.pairPrefix[group.pieceBegin + i] = blocks;
            items = items + count;
            blocks = blocks + separator * count * (total - count);
        }
    }
    return tables;
}

template <class Number> Number divide(const Number &a, const Number &b, Number &remainder)
{
    if constexpr (std::is_same_v<Number, std::uint64_t>) {
        remainder = a % b;
        return a / b;
    } else {
        Number quotient;
        mpz_tdiv_qr(quotient.get_mpz_t(), remainder.get_mpz_t(), a.get_mpz_t(), b.get_mpz_t());
        return quotient;
    }
}

} // namespace

PositionIndex::PositionIndex(const Program &compiled)
    : program(compiled)
{
    if (program.figures.count != saturated) {
        small = buildTables<WordRing>(program);
        return;
    }
    double bytes = 0;
    walkPostorder(program, LogBound {}, [&bytes](std::uint32_t, double bits) { bytes += 4 * bigEntryBytes(bits); });
    const double budget = std::min(budgetCap, double(availableMemory()) / 2);
    if (!(bytes <= budget))
        throw LimitError(
            LimitError::Task::PositionIndex, LimitError::Resource::Memory, wholeAmount(bytes), wholeAmount(budget));
    big = buildTables<BigRing>(program);
}

const PositionIndex &positionIndex(const Program &program)
{
    std::lock_guard lock(program.indexMutex);
    if (!program.positionIndex)
        program.positionIndex = std::make_shared<const PositionIndex>(program);
    return *program.positionIndex;
}

template <class Number>
std::uint64_t PositionDecoder<Number>::alternativesChoice(const Group &group, Number &residual) const
{
    const auto first = tables.choicePrefix.begin() + group.choiceBegin;
    const auto chosen = std::upper_bound(first, first + group.choices, residual) - 1;
    residual -= *chosen;
    return static_cast<std::uint64_t>(chosen - first);
}

template <class Number>
PairChoice PositionDecoder<Number>::pairsChoice(
    const Group &group, const Number &variant, std::array<Number, 3> &slots) const
{
    const std::uint32_t items = group.pieceCount - 1;
    const std::uint32_t *pieces = program.pieces.data() + group.pieceBegin;
    const auto itemPrefix = tables.itemPrefix.begin() + group.pieceBegin + 1;
    const auto pairPrefix = tables.pairPrefix.begin() + group.pieceBegin + 1;
    const auto count
        = [this, pieces](std::uint32_t item) -> const Number & { return tables.sequenceCount[pieces[1 + item]]; };
    const Number &separator = tables.sequenceCount[pieces[0]];

    const auto first
        = static_cast<std::uint32_t>(std::upper_bound(pairPrefix, pairPrefix + items, variant) - pairPrefix - 1);
    const Number inBlock = variant - pairPrefix[first];
    // Within the block of the first item, each second item f takes
    // c_first * s * c_f positions, in item order with the first item left out.
    const Number unit = count(first) * separator;
    Number unused;
    const Number step = divide(inBlock, unit, unused);
    std::uint32_t second;
    Number before;
    if (step < itemPrefix[first]) {
        second = static_cast<std::uint32_t>(std::upper_bound(itemPrefix, itemPrefix + first, step) - itemPrefix - 1);
        before = itemPrefix[second];
    } else {
        const Number shifted = step + count(first);
        second = static_cast<std::uint32_t>(
            std::upper_bound(itemPrefix + first + 1, itemPrefix + items, shifted) - itemPrefix - 1);
        before = itemPrefix[second] - count(first);
    }
    const Number inPair = inBlock - unit * before;
    const Number tail = separator * count(second);
    Number rest;
    slots[0] = divide(inPair, tail, rest);
    slots[1] = divide(rest, count(second), slots[2]);
    return { first, second };
}

template struct PositionDecoder<std::uint64_t>;
template struct PositionDecoder<mpz_class>;

} // namespace razmnozhator::detail
