#pragma once

// Arithmetic on numbers of n machine words, lowest word first, modulo
// 2^(64 n) like GMP's mpn functions, but inline: the counts that choosing by
// length and sampling meet are a few words long, where a call costs more
// than the work.

#include <gmp.h>

#include <algorithm>
#include <cstddef>

namespace razmnozhator::detail::multiword {

static_assert(GMP_NUMB_BITS == 64 && sizeof(mp_limb_t) == 8, "words of 64 bits without nails");

__extension__ using Wide = unsigned __int128;

// Words that hold a number of that many bits.
constexpr std::size_t wordsFor(std::size_t bits)
{
    return (bits + GMP_NUMB_BITS - 1) / GMP_NUMB_BITS;
}

// out = a - b; the borrow out of the top word. Out may be a or b.
inline mp_limb_t subtract(mp_limb_t *out, const mp_limb_t *a, const mp_limb_t *b, std::size_t n)
{
    mp_limb_t borrow = 0;
    for (std::size_t i = 0; i < n; ++i) {
        const Wide d = Wide(a[i]) - b[i] - borrow;
        out[i] = mp_limb_t(d);
        borrow = mp_limb_t(d >> 64) & 1;
    }
    return borrow;
}

inline void add(mp_limb_t *out, const mp_limb_t *a, const mp_limb_t *b, std::size_t n)
{
    mp_limb_t carry = 0;
    for (std::size_t i = 0; i < n; ++i) {
        const Wide s = Wide(a[i]) + b[i] + carry;
        out[i] = mp_limb_t(s);
        carry = mp_limb_t(s >> 64);
    }
}

// out += a * factor
inline void addProduct(mp_limb_t *out, const mp_limb_t *a, std::size_t n, mp_limb_t factor)
{
    mp_limb_t carry = 0;
    for (std::size_t i = 0; i < n; ++i) {
        const Wide s = Wide(a[i]) * factor + out[i] + carry;
        out[i] = mp_limb_t(s);
        carry = mp_limb_t(s >> 64);
    }
}

inline void decrement(mp_limb_t *a, std::size_t n)
{
    for (std::size_t i = 0; i < n && a[i]-- == 0; ++i) { }
}

inline bool less(const mp_limb_t *a, const mp_limb_t *b, std::size_t n)
{
    for (std::size_t i = n; i-- > 0;) {
        if (a[i] != b[i])
            return a[i] < b[i];
    }
    return false;
}

// a < floor(b / 2)
inline bool lessThanHalf(const mp_limb_t *a, const mp_limb_t *b, std::size_t n)
{
    for (std::size_t i = n; i-- > 0;) {
        const mp_limb_t half = (b[i] >> 1) | (i + 1 < n ? b[i + 1] << 63 : 0);
        if (a[i] != half)
            return a[i] < half;
    }
    return false;
}

// A rank counted from the other end of `total` ranks: total - 1 - a. Out
// may be a.
inline void fromOtherEnd(mp_limb_t *out, const mp_limb_t *total, const mp_limb_t *a, std::size_t n)
{
    subtract(out, total, a, n);
    decrement(out, n);
}

// a - b, where a null number stands for zero and b <= a.
inline void difference(const mp_limb_t *a, const mp_limb_t *b, std::size_t n, mp_limb_t *out)
{
    if (!a)
        std::fill_n(out, n, 0);
    else if (!b)
        std::copy_n(a, n, out);
    else
        subtract(out, a, b, n);
}

// The words of the first `size` that are left without the zeros on top.
inline std::size_t trimmedSize(const mp_limb_t *words, std::size_t size)
{
    while (size > 0 && words[size - 1] == 0)
        --size;
    return size;
}

} // namespace razmnozhator::detail::multiword
