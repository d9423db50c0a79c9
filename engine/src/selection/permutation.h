#pragma once

// A keyed pseudo-random permutation of [0, size), for samples in random
// order: a balanced Feistel network on the smallest power of four that holds
// size, applied again while the result falls outside (cycle walking), which
// keeps it a permutation. One seed gives the same order everywhere.

#include "selection/random.h"

#include <gmpxx.h>

#include <array>
#include <cstddef>
#include <cstdint>
#include <vector>

namespace razmnozhator::detail {

class Permutation
{
public:
    // How many values the network runs on: the smallest power of four that
    // holds the size, or, below 2^128, the smallest power of two, whose
    // halves then differ by a bit. Values outside the size are walked past,
    // twice as often on average for the power of four; samples drawn so far
    // keep the power of four so that a seed gives the lines it always gave.
    enum class Domain { PowerOfFour, PowerOfTwo };

    Permutation(const mpz_class &size, Random &random, Domain domain = Domain::PowerOfFour);

    mpz_class at(const mpz_class &index) const;

    // For sizes below 2^62, on one word.
    std::uint64_t at(std::uint64_t index) const
    {
        std::uint64_t value = index;
        do {
            std::uint64_t left = value >> low_;
            std::uint64_t right = value & maskOf(low_);
            std::size_t leftBits = half_;
            std::size_t rightBits = low_;
            for (const std::uint64_t key : keys_) {
                const std::uint64_t next = left ^ (mix(key ^ right) & maskOf(leftBits));
                left = right;
                right = next;
                std::swap(leftBits, rightBits);
            }
            value = (left << rightBits) | right;
        } while (value >= smallSize_);
        return value;
    }

private:
    static std::uint64_t maskOf(std::size_t bits)
    {
        return bits >= 64 ? ~std::uint64_t(0) : (std::uint64_t(1) << bits) - 1;
    }
    mpz_class atOnTwoWords(const mpz_class &index) const;
    void round() const;
    void split(std::size_t from, std::vector<std::uint64_t> &half) const;
    void join(std::size_t from, const std::vector<std::uint64_t> &half) const;

    mutable std::vector<std::uint64_t> value_, left_, right_, hashed_;
    // The size in as many words as value_, unless it takes more, when every
    // value of 2 half_ bits is below it.
    std::vector<std::uint64_t> sizeLimbs_;
    bool sizeAbove_ = false;
    std::uint64_t topMask_ = 0;
    std::uint64_t smallSize_ = 0;
    // The bits of the left and of the right half as the network starts; an
    // even number of rounds ends with them so again.
    std::size_t half_;
    std::size_t low_;
    bool small_;
    std::array<std::uint64_t, 8> keys_ {};
};

} // namespace razmnozhator::detail
