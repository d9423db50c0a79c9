#pragma once

// The length of the variant at a position, told from the choices of the
// template's own groups alone, without writing the variant.
//
// A variant's length is the sum of its literals' and its groups' lengths, and
// the choice of each group of the template's own sequence is one digit of
// the position. When those groups have few variants each, their lengths are
// noted once, by writing each of them; a position outside a length range is
// then passed over for the cost of splitting it into its digits.

#include "positions.h"

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
    // Null when a group of the template's own sequence has too many
    // variants, or noting their lengths would write too much; lengthOf
    // writes the variant at a position and gives its length.
    static std::unique_ptr<RootLengths> make(const Program &program, const LengthOf &lengthOf);

    // The length of the variant at `position` (below the count), in
    // characters of the text as written.
    std::uint64_t lengthAt(const mpz_class &position);

private:
    explicit RootLengths(const Program &program);

    const Program &program_;
    PositionDecoder positions_;
    // Per group of the template's own sequence, where its variants' lengths
    // start in `lengths_`: each the length of the variant that takes it and
    // the first variant of every other group, less that of the first variant.
    std::vector<std::size_t> begin_;
    std::vector<std::int64_t> lengths_;
    std::uint64_t first_ = 0;
};

} // namespace razmnozhator::detail
