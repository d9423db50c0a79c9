#include "selection/permutation.h"

#include "figures/multiword.h"

#include <algorithm>

namespace razmnozhator::detail {

Permutation::Permutation(const mpz_class &size, Random &random, Domain domain)
{
    const std::size_t bits = size <= 1 ? 2 : mpz_sizeinbase(mpz_class(size - 1).get_mpz_t(), 2);
    half_ = (bits + 1) / 2;
    low_ = domain == Domain::PowerOfTwo && half_ <= 64 ? bits - half_ : half_;
    for (std::uint64_t &key : keys_)
        key = random.word();
    small_ = half_ <= 31;
    if (small_) {
        smallSize_ = size.get_ui();
        return;
    }
    const std::size_t halfWords = (half_ + 63) / 64;
    left_.resize(halfWords);
    right_.resize(halfWords);
    hashed_.resize(halfWords);
    topMask_ = half_ % 64 == 0 ? ~std::uint64_t(0) : (std::uint64_t(1) << (half_ % 64)) - 1;
    value_.resize((2 * half_ + 63) / 64);
    sizeAbove_ = mpz_size(size.get_mpz_t()) > value_.size();
    sizeLimbs_.assign(value_.size(), 0);
    if (!sizeAbove_)
        std::copy_n(mpz_limbs_read(size.get_mpz_t()), mpz_size(size.get_mpz_t()), sizeLimbs_.begin());
}

mpz_class Permutation::at(const mpz_class &index) const
{
    if (small_)
        return static_cast<unsigned long>(at(std::uint64_t(index.get_ui())));
    if (half_ <= 64)
        return atOnTwoWords(index);
    std::fill(value_.begin(), value_.end(), 0);
    std::copy_n(mpz_limbs_read(index.get_mpz_t()), mpz_size(index.get_mpz_t()), value_.begin());
    do
        round();
    while (!sizeAbove_ && !multiword::less(value_.data(), sizeLimbs_.data(), value_.size()));
    mpz_class result;
    std::copy(value_.begin(), value_.end(), mpz_limbs_write(result.get_mpz_t(), mp_size_t(value_.size())));
    mpz_limbs_finish(result.get_mpz_t(), mp_size_t(value_.size()));
    return result;
}

// The same network for halves of one word each (sizes below 2^128), in
// registers.
mpz_class Permutation::atOnTwoWords(const mpz_class &index) const
{
    using multiword::Wide;
    const auto wide = [](const mp_limb_t *limbs, std::size_t size) {
        return (size > 0 ? Wide(limbs[0]) : 0) | (size > 1 ? Wide(limbs[1]) << 64 : 0);
    };
    const Wide size = wide(sizeLimbs_.data(), sizeLimbs_.size());
    Wide value = wide(mpz_limbs_read(index.get_mpz_t()), mpz_size(index.get_mpz_t()));
    do {
        std::uint64_t right = std::uint64_t(value) & maskOf(low_);
        std::uint64_t left = std::uint64_t(value >> low_) & maskOf(half_);
        std::size_t leftBits = half_;
        std::size_t rightBits = low_;
        for (const std::uint64_t key : keys_) {
            const std::uint64_t state = right != 0 ? mix(key ^ right) : key;
            const std::uint64_t hashed = (mix(state) ^ left) & maskOf(leftBits);
            left = right;
            right = hashed;
            std::swap(leftBits, rightBits);
        }
        value = Wide(left) << rightBits | right;
    } while (!sizeAbove_ && value >= size);
    mpz_class result;
    mp_limb_t *limbs = mpz_limbs_write(result.get_mpz_t(), 2);
    limbs[0] = mp_limb_t(value);
    limbs[1] = mp_limb_t(value >> 64);
    mpz_limbs_finish(result.get_mpz_t(), 2);
    return result;
}

// One pass of the network over value_, on machine words: the halves are
// the low and the high half_ bits, and each key's round hashes the
// significant words of the right half into as many words as a half
// takes.
void Permutation::round() const
{
    split(0, right_);
    split(half_, left_);
    for (const std::uint64_t key : keys_) {
        std::size_t significant = right_.size();
        while (significant > 0 && right_[significant - 1] == 0)
            --significant;
        std::uint64_t state = key;
        for (std::size_t i = 0; i < significant; ++i)
            state = mix(state ^ right_[i]);
        for (std::size_t j = 0; j < hashed_.size(); ++j)
            hashed_[j] = mix(state + j * 0xD1B54A32D192ED03ull) ^ left_[j];
        hashed_.back() &= topMask_;
        left_.swap(right_);
        right_.swap(hashed_);
    }
    std::fill(value_.begin(), value_.end(), 0);
    join(0, right_);
    join(half_, left_);
}

// The half_ bits of value_ from bit `from` on.
void Permutation::split(std::size_t from, std::vector<std::uint64_t> &half) const
{
    for (std::size_t j = 0; j < half.size(); ++j) {
        const std::size_t word = from / 64 + j;
        const unsigned shift = from % 64;
        std::uint64_t bits = word < value_.size() ? value_[word] >> shift : 0;
        if (shift != 0 && word + 1 < value_.size())
            bits |= value_[word + 1] << (64 - shift);
        half[j] = bits;
    }
    half.back() &= topMask_;
}

// Adds a half of half_ bits into value_ from bit `from` on.
void Permutation::join(std::size_t from, const std::vector<std::uint64_t> &half) const
{
    for (std::size_t j = 0; j < half.size(); ++j) {
        const std::size_t word = from / 64 + j;
        const unsigned shift = from % 64;
        value_[word] |= half[j] << shift;
        if (shift != 0 && word + 1 < value_.size())
            value_[word + 1] |= half[j] >> (64 - shift);
    }
}

} // namespace razmnozhator::detail
