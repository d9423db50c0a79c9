// Exact variant counts and byte totals, which can have millions of digits.
//
// Multiplying a growing number by one factor at a time would be quadratic in
// its length; a sequence's parts are combined as a balanced tree instead, so
// the large multiplications fall on operands of similar size, where GMP is
// fastest. The program is walked in post-order with a stack of values.

#include "program.h"

#include <cstddef>
#include <vector>

namespace razmnozhator::detail {

namespace {

struct Value
{
    mpz_class count;
    mpz_class bytes;
};

// Joining a with b end to end: every variant of a before every variant of b.
Value join(const Value &a, const Value &b)
{
    return Value{a.count * b.count, a.bytes * b.count + a.count * b.bytes};
}

Value joinAll(std::vector<Value> &parts)
{
    while (parts.size() > 1) {
        std::size_t kept = 0;
        for (std::size_t i = 0; i + 1 < parts.size(); i += 2)
            parts[kept++] = join(parts[i], parts[i + 1]);
        if (parts.size() % 2 == 1)
            parts[kept++] = std::move(parts.back());
        parts.resize(kept);
    }
    return std::move(parts.front());
}

Value literalValue(const Program &program, std::uint32_t literal)
{
    return Value{1, static_cast<unsigned long>(program.literals[literal].length)};
}

Value alternativesValue(std::vector<Value>::iterator pieces, std::size_t count)
{
    Value total{0, 0};
    for (std::size_t i = 0; i < count; ++i) {
        total.count += pieces[i].count;
        total.bytes += pieces[i].bytes;
    }
    return total;
}

// Pieces arrive in the order they were compiled: 2, 0, 1, 3, 4, ...
Value pairsValue(std::vector<Value>::iterator pieces, std::size_t count)
{
    const Value &separator = pieces[1];
    mpz_class countSum, bytesSum, countSquares, bytesTimesCount;
    for (std::size_t i = 0; i < count; ++i) {
        if (i == 1)
            continue;
        countSum += pieces[i].count;
        bytesSum += pieces[i].bytes;
        countSquares += pieces[i].count * pieces[i].count;
        bytesTimesCount += pieces[i].bytes * pieces[i].count;
    }
    // Sums over ordered pairs r != f of c_r c_f, and of b_r c_f + c_r b_f.
    const mpz_class pairCount = countSum * countSum - countSquares;
    const mpz_class pairBytes = 2 * (bytesSum * countSum - bytesTimesCount);
    return Value{separator.count * pairCount, separator.bytes * pairCount + separator.count * pairBytes};
}

} // namespace

void computeExactStatistics(const Program &program)
{
    std::vector<Value> stack;
    std::vector<Value> parts;
    for (const std::uint32_t node : program.postorder) {
        if (node & groupTag) {
            const Group &group = program.groups[node & ~groupTag];
            const auto first = stack.end() - group.pieceCount;
            Value value = group.kind == GroupKind::Alternatives ? alternativesValue(first, group.pieceCount)
                                                                : pairsValue(first, group.pieceCount);
            stack.erase(first, stack.end());
            stack.push_back(std::move(value));
            continue;
        }
        const Sequence &sequence = program.sequences[node];
        if (sequence.groupCount == 0) {
            stack.push_back(literalValue(program, sequence.literalBegin));
            continue;
        }
        const auto groups = stack.end() - sequence.groupCount;
        parts.clear();
        for (std::uint32_t i = 0; i < sequence.groupCount; ++i) {
            parts.push_back(literalValue(program, sequence.literalBegin + i));
            parts.push_back(std::move(groups[i]));
        }
        parts.push_back(literalValue(program, sequence.literalBegin + sequence.groupCount));
        stack.erase(groups, stack.end());
        stack.push_back(joinAll(parts));
    }
    program.exactCount = std::move(stack.back().count);
    program.exactTotalBytes = std::move(stack.back().bytes);
}

} // namespace razmnozhator::detail
