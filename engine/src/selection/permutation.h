#pragma once

// A keyed pseudo-random permutation of [0, size), for samples in random
// order: a balanced Feistel network on the smallest power of four that holds
// size, applied again while the result falls outside (cycle walking), which
// keeps it a permutation. One seed gives the same order everywhere.

#include <gmpxx.h>

#include <array>
#include <cstddef>
#include <cstdint>
#include <random>
#include <vector>

namespace razmnozhator::detail {

// std::mt19937_64's output is fixed by the standard, so one seed gives the
// same keys everywhere.
class Random
{
public:
    explicit Random(std::uint64_t seed)
        : engine_(seed)
    {
    }

    std::uint64_t word() { return engine_(); }

private:
    std::mt19937_64 engine_;
};

inline std::uint64_t mix(std::uint64_t z)
{
    z += 0x9E3779B97F4A7C15ull;
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
    return z ^ (z >> 31);
}

class Permutation
{
public:
    Permutation(const mpz_class &size, Random &random);

    mpz_class at(const mpz_class &index) const;

    // For sizes below 2^62, on one word.
    std::uint64_t at(std::uint64_t index) const
    {
        std::uint64_t value = index;
        const std::uint64_t mask = (std::uint64_t(1) << half_) - 1;
        do {
            std::uint64_t left = value >> half_;
            std::uint64_t right = value & mask;
            for (const std::uint64_t key : keys_) {
                const std::uint64_t next = left ^ (mix(key ^ right) & mask);
                left = right;
                right = next;
            }
            value = (left << half_) | right;
        } while (value >= smallSize_);
        return value;
    }

private:
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
    std::size_t half_;
    bool small_;
    std::array<std::uint64_t, 8> keys_ {};
};

} // namespace razmnozhator::detail
