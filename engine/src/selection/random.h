#pragma once

// The engine's randomness: std::mt19937_64, whose output the standard fixes,
// so that one seed gives the same samples and choices on every machine, and
// one mixing function for hashes and the permutation's rounds.

#include <bit>
#include <cstdint>
#include <random>

namespace razmnozhator::detail {

class Random
{
public:
    explicit Random(std::uint64_t seed)
        : engine_(seed)
    {
    }

    std::uint64_t word() { return engine_(); }
    // A value below the bound, by rejection: the same everywhere.
    std::uint64_t below(std::uint64_t bound)
    {
        const std::uint64_t mask = bound <= 1 ? 0 : std::bit_ceil(bound) - 1;
        for (;;) {
            const std::uint64_t value = engine_() & mask;
            if (value < bound)
                return value;
        }
    }

private:
    std::mt19937_64 engine_;
};

// SplitMix64's finalizer: every bit of the result depends on every bit of z.
inline std::uint64_t mix(std::uint64_t z)
{
    z += 0x9E3779B97F4A7C15ull;
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
    return z ^ (z >> 31);
}

} // namespace razmnozhator::detail
