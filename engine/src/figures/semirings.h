#pragma once

// The figures of a template as semirings (see algebra.h): counts with byte
// totals, saturated or exact; shortest and longest lengths; an estimate of
// the size of a count; and the product of several of them, for computing
// them in one walk.

#include "figures/saturating.h"

#include <gmpxx.h>

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <tuple>
#include <utility>

namespace razmnozhator::detail {

// Counts and byte totals go together as dual numbers count + bytes * e with
// e * e = 0: joining two parts end to end multiplies them,
// (c1 + b1 e)(c2 + b2 e) = c1 c2 + (c1 b2 + b1 c2) e, which is how counts
// and byte totals of a concatenation combine.
struct WordDual
{
    std::uint64_t count = 0;
    std::uint64_t bytes = 0;
};

// Dual numbers in 64 bits that stick at their largest value: every result is
// exact or saturated, and saturated only when the exact value does not fit,
// since nothing is ever taken away.
struct SaturatingDual
{
    using Value = WordDual;

    static Value text(std::uint64_t, std::uint64_t bytes) { return { 1, bytes }; }
    static Value add(const Value &a, const Value &b)
    {
        return { saturatingAdd(a.count, b.count), saturatingAdd(a.bytes, b.bytes) };
    }
    static Value mul(const Value &a, const Value &b)
    {
        return { saturatingMul(a.count, b.count),
            saturatingAdd(saturatingMul(a.count, b.bytes), saturatingMul(a.bytes, b.count)) };
    }
};

// What a length is measured in: characters of the text as written, or bytes
// of the variants after the literal map.
enum class Measure { Characters, Bytes };
enum class Extreme { Shortest, Longest };

// The shortest or the longest variant: (min, +) or (max, +).
template <Extreme extreme, Measure measure> struct Tropical
{
    using Value = std::uint64_t;
    static Value text(std::uint64_t characters, std::uint64_t bytes)
    {
        return measure == Measure::Characters ? characters : bytes;
    }
    static Value add(Value a, Value b) { return extreme == Extreme::Shortest ? std::min(a, b) : std::max(a, b); }
    static Value mul(Value a, Value b) { return a + b; }
};
template <Measure measure> using Shortest = Tropical<Extreme::Shortest, measure>;
template <Measure measure> using Longest = Tropical<Extreme::Longest, measure>;

// log2 of a count, from above, to tell how large a count is before computing
// it: add is log2(2^a + 2^b), mul is +. The little slack added to every sum
// keeps rounding from taking an estimate below the exact value.
struct LogCount
{
    using Value = double;
    static Value text(std::uint64_t, std::uint64_t) { return 0; }
    static Value add(Value a, Value b)
    {
        const auto [low, high] = std::minmax(a, b);
        return high + std::log2(1 + std::exp2(low - high)) + 1e-9;
    }
    static Value mul(Value a, Value b) { return a + b; }
};

// Several semirings at once, component by component.
template <class... Parts> struct Product
{
    using Value = std::tuple<typename Parts::Value...>;
    std::tuple<Parts...> parts;

    Value text(std::uint64_t characters, std::uint64_t bytes) const
    {
        return std::apply([&](const auto &...part) { return Value(part.text(characters, bytes)...); }, parts);
    }
    Value add(const Value &a, const Value &b) const
    {
        return zip(a, b, [](const auto &part, const auto &x, const auto &y) { return part.add(x, y); });
    }
    Value mul(const Value &a, const Value &b) const
    {
        return zip(a, b, [](const auto &part, const auto &x, const auto &y) { return part.mul(x, y); });
    }

private:
    template <class F> Value zip(const Value &a, const Value &b, F f) const
    {
        return [&]<std::size_t... i>(std::index_sequence<i...>)
        {
            return Value(f(std::get<i>(parts), std::get<i>(a), std::get<i>(b))...);
        }
        (std::index_sequence_for<Parts...>());
    }
};

// An exact dual number. Most values met on the way are small, so they stay in
// machine words and take the big-number path only once they no longer fit: a
// chain of a million levels then allocates little but its large results.
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
    // Apart, to keep the values of long chains small.
    std::unique_ptr<Big> big_;
};

// Exact counts with byte totals; with countsOnly, the byte totals stay zero
// and cost next to nothing.
struct ExactDual
{
    using Value = Dual;
    bool countsOnly = false;

    Value text(std::uint64_t, std::uint64_t bytes) const { return { 1, countsOnly ? 0 : bytes }; }
    static Value one() { return { 1, 0 }; }

    static Value add(const Value &a, const Value &b)
    {
        std::uint64_t count, bytes;
        if (a.isSmall() && b.isSmall() && !__builtin_add_overflow(a.smallCount(), b.smallCount(), &count)
            && !__builtin_add_overflow(a.smallBytes(), b.smallBytes(), &bytes))
            return { count, bytes };
        return { a.count() + b.count(), a.bytes() + b.bytes() };
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

} // namespace razmnozhator::detail
