// The figures of a whole template: how many variants, how many bytes they
// hold, and how short and how long they are.
//
// Two statistics over the same walk. The saturated figures are computed for
// every template right after compiling, in 64-bit arithmetic that sticks at
// its largest value: instant, and enough to decide whether a result can be
// held at all. The exact count and byte total, which can have millions of
// digits, are computed on request by following heavy paths, as dual numbers
// count + bytes * e with e * e = 0: joining two parts end to end multiplies
// them, (c1 + b1 e)(c2 + b2 e) = c1 c2 + (c1 b2 + b1 c2) e, which is exactly
// how counts and byte totals of a concatenation combine.

#include "program.h"
#include "saturating.h"
#include "walk.h"

#include <algorithm>
#include <array>
#include <memory>

namespace razmnozhator::detail {

namespace {

struct SaturatedFigures
{
    using Value = Figures;
    const Program &program;

    static Value text(std::uint64_t characters, std::uint64_t bytes)
    {
        return { 1, bytes, characters, characters, bytes };
    }

    // Concatenation: counts multiply, and each part's bytes appear once for
    // every variant of the other parts.
    static Value join(const Value &a, const Value &b)
    {
        return { saturatingMul(a.count, b.count),
            saturatingAdd(saturatingMul(a.bytes, b.count), saturatingMul(a.count, b.bytes)), a.shortest + b.shortest,
            a.longest + b.longest, a.longestBytes + b.longestBytes };
    }

    static Value sequence(const Value &text, std::span<Value> groups)
    {
        Value value = text;
        for (const Value &group : groups)
            value = join(value, group);
        return value;
    }

    Value alternatives(std::span<Value> pieces) const
    {
        Value value { 0, 0, UINT64_MAX, 0, 0 };
        for (const Value &piece : pieces) {
            value.count = saturatingAdd(value.count, piece.count);
            value.bytes = saturatingAdd(value.bytes, piece.bytes);
            value.shortest = std::min(value.shortest, piece.shortest);
            value.longest = std::max(value.longest, piece.longest);
            value.longestBytes = std::max(value.longestBytes, piece.longestBytes);
        }
        return value;
    }

    // The two largest (or smallest) of a field over the items: a pair joins
    // two different items.
    template <class Better>
    static std::uint64_t twoBest(std::span<const Value> items, std::uint64_t Value::*field, Better better)
    {
        std::array<std::uint64_t, 2> best { items[0].*field, items[1].*field };
        if (better(best[1], best[0]))
            std::swap(best[0], best[1]);
        for (std::size_t i = 2; i < items.size(); ++i) {
            const std::uint64_t value = items[i].*field;
            if (better(value, best[0])) {
                best[1] = best[0];
                best[0] = value;
            } else if (better(value, best[1])) {
                best[1] = value;
            }
        }
        return best[0] + best[1];
    }

    Value pairs(const Value &separator, std::span<const Value> items) const
    {
        // Over ordered pairs r != f: the sum of c_r c_f is the sum of
        // c_r (C - c_r), and of b_r c_f + c_r b_f twice the sum of b_r (C - c_r).
        // A saturated C saturates both: every count is at least 1, so with two
        // or more items the pairs number at least C.
        std::uint64_t total = 0;
        for (const Value &item : items)
            total = saturatingAdd(total, item.count);
        std::uint64_t pairCount = 0;
        std::uint64_t pairBytes = 0;
        if (total == saturated) {
            pairCount = pairBytes = saturated;
        } else {
            for (const Value &item : items) {
                pairCount = saturatingAdd(pairCount, saturatingMul(item.count, total - item.count));
                pairBytes = saturatingAdd(pairBytes, saturatingMul(2, saturatingMul(item.bytes, total - item.count)));
            }
        }
        Value value;
        value.count = saturatingMul(separator.count, pairCount);
        value.bytes
            = saturatingAdd(saturatingMul(separator.bytes, pairCount), saturatingMul(separator.count, pairBytes));
        value.shortest = separator.shortest + twoBest(items, &Value::shortest, std::less<>());
        value.longest = separator.longest + twoBest(items, &Value::longest, std::greater<>());
        value.longestBytes = separator.longestBytes + twoBest(items, &Value::longestBytes, std::greater<>());
        return value;
    }
};

// count + bytes * e. Most values met on the way are small, so they stay in
// machine words and take the big-number path only once they no longer fit:
// a chain of a million levels then allocates little but its large results.
class Dual
{
public:
    Dual() = default;
    Dual(std::uint64_t count, std::uint64_t bytes)
        : count_(count)
        , bytes_(bytes)
    {
    }
    Dual(mpz_class count, mpz_class bytes)
        : big_(std::make_unique<Big>(Big { std::move(count), std::move(bytes) }))
    {
    }
    Dual(const Dual &other)
        : count_(other.count_)
        , bytes_(other.bytes_)
        , big_(other.big_ ? std::make_unique<Big>(*other.big_) : nullptr)
    {
    }
    Dual(Dual &&) noexcept = default;
    Dual &operator=(Dual other) noexcept
    {
        count_ = other.count_;
        bytes_ = other.bytes_;
        big_ = std::move(other.big_);
        return *this;
    }

    bool isSmall() const { return !big_; }
    mpz_class count() const { return big_ ? big_->count : mpz_class(static_cast<unsigned long>(count_)); }
    mpz_class bytes() const { return big_ ? big_->bytes : mpz_class(static_cast<unsigned long>(bytes_)); }
    std::uint64_t smallCount() const { return count_; }
    std::uint64_t smallBytes() const { return bytes_; }

private:
    struct Big
    {
        mpz_class count;
        mpz_class bytes;
    };
    std::uint64_t count_ = 0;
    std::uint64_t bytes_ = 0;
    std::unique_ptr<Big> big_;
};

struct DualRing
{
    using Value = Dual;
    const Program &program;

    static Value text(std::uint64_t, std::uint64_t bytes) { return { 1, bytes }; }
    static Value one() { return { 1, 0 }; }
    static Value zero() { return { 0, 0 }; }

    static Value add(const Value &a, const Value &b)
    {
        std::uint64_t count, bytes;
        if (a.isSmall() && b.isSmall() && !__builtin_add_overflow(a.smallCount(), b.smallCount(), &count)
            && !__builtin_add_overflow(a.smallBytes(), b.smallBytes(), &bytes))
            return { count, bytes };
        return { a.count() + b.count(), a.bytes() + b.bytes() };
    }

    static Value sub(const Value &a, const Value &b)
    {
        if (a.isSmall() && b.isSmall() && a.smallCount() >= b.smallCount() && a.smallBytes() >= b.smallBytes())
            return { a.smallCount() - b.smallCount(), a.smallBytes() - b.smallBytes() };
        return { a.count() - b.count(), a.bytes() - b.bytes() };
    }

    static Value mul(const Value &a, const Value &b)
    {
        std::uint64_t count, left, right, bytes;
        if (a.isSmall() && b.isSmall() && !__builtin_mul_overflow(a.smallCount(), b.smallCount(), &count)
            && !__builtin_mul_overflow(a.smallCount(), b.smallBytes(), &left)
            && !__builtin_mul_overflow(a.smallBytes(), b.smallCount(), &right)
            && !__builtin_add_overflow(left, right, &bytes))
            return { count, bytes };
        const mpz_class aCount = a.count();
        const mpz_class bCount = b.count();
        return { aCount * bCount, aCount * b.bytes() + a.bytes() * bCount };
    }
};

} // namespace

Figures computeFigures(const Program &program)
{
    return walkPostorder(program, SaturatedFigures { program }, [](std::uint32_t, const Figures &) {});
}

namespace {

const Program &withExactFigures(const Program &program)
{
    std::call_once(program.exactOnce, [&program] {
        const Figures &figures = program.figures;
        if (figures.count != saturated && figures.bytes != saturated) {
            program.exactCount = static_cast<unsigned long>(figures.count);
            program.exactTotalBytes = static_cast<unsigned long>(figures.bytes);
            return;
        }
        const Dual value = evaluateByHeavyPaths(program, DualRing { program });
        program.exactCount = value.count();
        program.exactTotalBytes = value.bytes();
    });
    return program;
}

} // namespace

const mpz_class &exactCount(const Program &program)
{
    return withExactFigures(program).exactCount;
}

const mpz_class &exactTotalBytes(const Program &program)
{
    return withExactFigures(program).exactTotalBytes;
}

double spectrumSlots(const Program &program)
{
    double slots = 0;
    walkPostorder(program, SaturatedFigures { program },
        [&slots](std::uint32_t, const Figures &figures) { slots += double(figures.longest - figures.shortest + 1); });
    return slots;
}

NodeLengths nodeLengths(const Program &program)
{
    NodeLengths lengths;
    lengths.sequences.resize(program.sequences.size());
    lengths.groups.resize(program.groups.size());
    walkPostorder(program, SaturatedFigures { program }, [&lengths](std::uint32_t node, const Figures &figures) {
        const NodeLengths::Bounds bounds { figures.shortest, figures.longest };
        if (node & groupTag)
            lengths.groups[node & ~groupTag] = bounds;
        else
            lengths.sequences[node] = bounds;
    });
    return lengths;
}

} // namespace razmnozhator::detail
