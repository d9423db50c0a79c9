#pragma once

// 64-bit arithmetic that sticks at the largest value instead of wrapping.
// Compiling tracks counts and byte totals this way: it costs nothing for the
// everyday template and still tells reliably that a result is too large to
// hold. The exact values, which can have millions of digits, are computed
// separately and only when asked for.

#include <cstdint>
#include <limits>

namespace razmnozhator::detail {

inline constexpr std::uint64_t saturated = std::numeric_limits<std::uint64_t>::max();

inline std::uint64_t saturatingAdd(std::uint64_t a, std::uint64_t b)
{
    std::uint64_t sum;
    return __builtin_add_overflow(a, b, &sum) ? saturated : sum;
}

inline std::uint64_t saturatingMul(std::uint64_t a, std::uint64_t b)
{
    std::uint64_t product;
    return __builtin_mul_overflow(a, b, &product) ? saturated : product;
}

// An estimate made in floating point, as a whole amount for a LimitError.
inline std::uint64_t wholeAmount(double estimate)
{
    return estimate >= 18446744073709551615.0 ? saturated : estimate > 0 ? static_cast<std::uint64_t>(estimate) : 0;
}

} // namespace razmnozhator::detail
