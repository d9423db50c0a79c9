#pragma once

// Uniform random samples of the variants, without listing them.
//
// A sample is n distinct positions among the variants whose length lies in a
// range, every set of n equally likely, as if the kept variants were listed,
// shuffled and cut to n; equal variants at different positions count as
// different, as in the list. Positions are drawn as ranks among the kept
// variants and turned into variants by random access, so a sample of a few
// thousand from 10^100 variants costs a few thousand look-ups.
//
// The ranks stream in flat memory for any n through a keyed pseudo-random
// permutation of all the ranks (a Feistel network over the next power of
// four, walking cycles back into range), whose first n values are the sample;
// in template order they are sorted one slice of the ranks at a time. When
// the range keeps a large part of the variants, the permutation runs over all
// positions instead and passes over the variants outside the range.
//
// The permutation's keys come from std::mt19937_64 seeded with the given
// seed, so one seed gives one sample on every machine and standard library.

#include "razmnozhator/engine.h"

#include <gmpxx.h>

#include <cstdint>
#include <memory>
#include <string_view>

namespace razmnozhator {

namespace detail {
class Draws;
} // namespace detail

class Sample
{
public:
    enum class Order { Random, Template };

    // Throws LimitError, here and never later, when the index that random
    // access needs exceeds its budget (see CompiledTemplate::variantAt() and
    // figuresInRange()).
    Sample(const CompiledTemplate &compiled, const mpz_class &size, LengthRange range, std::uint64_t seed,
        Order order = Order::Random);
    ~Sample();
    Sample(Sample &&) noexcept;
    Sample &operator=(Sample &&) noexcept;

    // How many variants the sample holds: the size asked for, or all the
    // variants within the range when they are fewer.
    const mpz_class &size() const noexcept;

    // Passes over the next `count` variants of the sample, at the cost of
    // finding their ranks, not of writing them: a slice of a sample starts
    // where the slices before it end. Called before the first next().
    void skip(const mpz_class &count);

    // Moves to the next variant of the sample; false once all are given. The
    // view stays valid until the next call.
    bool next();
    std::string_view current() const noexcept;

private:
    std::unique_ptr<detail::Draws> draws_;
};

} // namespace razmnozhator
