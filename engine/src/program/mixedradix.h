#pragma once

// A position as one digit per group: in a sequence the leftmost group changes
// slowest, so a residual is a number in mixed radix whose digits, most
// significant first, are its groups' variant indexes and whose radixes are
// their counts. Splitting it is a division per digit; a division of a number
// below 2^32 by a radix below 2^32 is two multiplications by the radix's
// reciprocal (Lemire's), several times faster.

#include <gmpxx.h>

#include <cstddef>
#include <cstdint>

namespace razmnozhator::detail {

// A radix, and 2^64 / radix rounded up when it is below 2^32, else 0.
struct Radix
{
    std::uint64_t radix;
    std::uint64_t reciprocal;
};

inline constexpr std::uint64_t reciprocalLimit = std::uint64_t(1) << 32;

constexpr Radix radixOf(std::uint64_t radix)
{
    return Radix { radix, radix < reciprocalLimit ? UINT64_MAX / radix + 1 : 0 };
}

// The lowest digit of a residual, which is left divided by the radix.
[[gnu::always_inline]] inline std::uint64_t takeDigit(std::uint64_t &residual, Radix radix)
{
    __extension__ using Wide = unsigned __int128;
    if (residual < reciprocalLimit && radix.reciprocal != 0) {
        const auto digit = static_cast<std::uint64_t>(Wide(radix.reciprocal * residual) * radix.radix >> 64);
        residual = static_cast<std::uint64_t>(Wide(radix.reciprocal) * residual >> 64);
        return digit;
    }
    const std::uint64_t digit = residual % radix.radix;
    residual /= radix.radix;
    return digit;
}

// Splits a residual into `count` digits, place(i) giving the Radix of digit
// i, put(i, digit) taking it, from the last one up; the first digit takes
// what is left.
template <class Place, class Put>
[[gnu::always_inline]] inline void splitMixedRadix(std::uint64_t residual, std::size_t count, Place place, Put put)
{
    if (count == 0)
        return;
    for (std::size_t i = count; i-- > 1;)
        put(i, takeDigit(residual, place(i)));
    put(0, residual);
}

// The number whose `count` digits are digit(i), of radix radix(i), the
// first most significant: Horner's rule, a machine word of digits at a time.
template <class RadixOf, class Digit>
void joinMixedRadix(std::size_t count, RadixOf radixOf, Digit digit, mpz_class &out)
{
    out = 0;
    std::uint64_t block = 0;
    std::uint64_t radix = 1;
    for (std::size_t i = 0; i < count; ++i) {
        const std::uint64_t next = radixOf(i);
        if (radix > UINT64_MAX / next) {
            mpz_mul_ui(out.get_mpz_t(), out.get_mpz_t(), radix);
            mpz_add_ui(out.get_mpz_t(), out.get_mpz_t(), block);
            block = 0;
            radix = 1;
        }
        block = block * next + digit(i);
        radix *= next;
    }
    mpz_mul_ui(out.get_mpz_t(), out.get_mpz_t(), radix);
    mpz_add_ui(out.get_mpz_t(), out.get_mpz_t(), block);
}

} // namespace razmnozhator::detail
