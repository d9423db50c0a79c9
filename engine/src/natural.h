#pragma once

// A non-negative integer that stays a plain 64-bit word until it overflows.
// Counts and byte totals are tracked for every group while compiling; almost
// all of them are small, and a GMP number each would cost an allocation.

#include <gmpxx.h>

#include <cstdint>
#include <memory>

namespace razmnozhator::detail {

class Natural
{
public:
    Natural(std::uint64_t value = 0) : small_(value) {}
    Natural(const Natural &other) : small_(other.small_)
    {
        if (other.big_)
            big_ = std::make_unique<mpz_class>(*other.big_);
    }
    Natural(Natural &&) noexcept = default;
    Natural &operator=(const Natural &other)
    {
        if (this != &other) {
            small_ = other.small_;
            big_ = other.big_ ? std::make_unique<mpz_class>(*other.big_) : nullptr;
        }
        return *this;
    }
    Natural &operator=(Natural &&) noexcept = default;

    bool isOne() const noexcept { return !big_ && small_ == 1; }

    Natural &operator+=(const Natural &other)
    {
        if (!big_ && !other.big_ && !__builtin_add_overflow(small_, other.small_, &small_))
            return *this;
        promote();
        *big_ += other.toMpz();
        return *this;
    }

    Natural &operator*=(const Natural &other)
    {
        if (!big_ && !other.big_) {
            std::uint64_t product;
            if (!__builtin_mul_overflow(small_, other.small_, &product)) {
                small_ = product;
                return *this;
            }
        }
        promote();
        *big_ *= other.toMpz();
        return *this;
    }

    friend Natural operator*(Natural a, const Natural &b) { return a *= b; }
    friend Natural operator+(Natural a, const Natural &b) { return a += b; }

    mpz_class toMpz() const
    {
        if (big_)
            return *big_;
        mpz_class value;
        mpz_import(value.get_mpz_t(), 1, -1, sizeof small_, 0, 0, &small_);
        return value;
    }

private:
    void promote()
    {
        if (!big_)
            big_ = std::make_unique<mpz_class>(toMpz());
    }

    std::uint64_t small_;
    std::unique_ptr<mpz_class> big_;
};

} // namespace razmnozhator::detail
