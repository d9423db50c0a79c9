#pragma once

// The template's own groups as digits of a position, and the length of each
// of their variants.
//
// A variant's length is the sum of its literals' and its groups' lengths, and
// the choice of each group of the template's own sequence is one digit of
// the position (the leftmost group changes slowest). When those groups have
// few variants each, their lengths are noted once, by writing each of them.
// A position outside a length range is then passed over for the cost of
// splitting it into its digits, and a variant within a range is found by
// choosing the digits one by one (RangeDecoder::rootDigits()).

#include "access/positions.h"

#include <gmpxx.h>

#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

namespace razmnozhator::detail {

class RootLengths
{
public:
    using LengthOf = std::function<std::uint64_t(const mpz_class &position)>;
    // What is measured, when not the program's own lengths: a literal's
    // measure, and the least of a group's variants.
    struct Measure
    {
        std::function<std::uint64_t(std::uint32_t literal)> literal;
        std::function<std::uint64_t(std::uint32_t group)> least;
    };
    // Null when a group of the template's own sequence has too many
    // variants, or noting their lengths would write too much; lengthOf
    // writes the variant at a position and gives its length.
    static std::unique_ptr<RootLengths> make(const Program &program, const LengthOf &lengthOf);
    static std::unique_ptr<RootLengths> make(const Program &program, const LengthOf &lengthOf, const Measure &measure);

    // The length of the variant at `position` (below the count), in
    // characters of the text as written.
    std::uint64_t lengthAt(const mpz_class &position);
    // The length of the variant whose digits these are.
    std::uint64_t lengthOf(const std::uint64_t *digits) const;

    std::size_t groups() const { return begin_.size() - 1; }
    // The lengths of group i's variants, in order, and how many there are.
    const std::uint64_t *lengths(std::size_t group) const { return lengths_.data() + begin_[group]; }
    std::uint64_t count(std::size_t group) const { return begin_[group + 1] - begin_[group]; }
    // The length of the literals of the template's own sequence.
    std::uint64_t literals() const { return literals_; }
    // The position whose digits these are.
    void position(const std::uint64_t *digits, mpz_class &out) const;

private:
    explicit RootLengths(const Program &program);

    const Program &program_;
    PositionDecoder positions_;
    // Per group of the template's own sequence, where its variants' lengths
    // start in `lengths_`.
    std::vector<std::size_t> begin_;
    std::vector<std::uint64_t> lengths_;
    // The literals of the template's own sequence.
    std::uint64_t literals_ = 0;
};

} // namespace razmnozhator::detail
