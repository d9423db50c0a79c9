#pragma once

// Drawing ranks among the kept variants: in random order the permutation's
// values at 0, 1, ...; in template order the sample's ranks that fall into
// one slice of [0, kept) at a time, sorted, in about the same memory
// whatever the size of the sample.

#include "selection/draws.h"

#include <gmpxx.h>

#include <cstddef>
#include <cstdint>
#include <vector>

namespace razmnozhator::detail {

class RankDraws : public Draws
{
public:
    explicit RankDraws(DrawPlan plan);

    void skip(mpz_class count) override;
    bool next() override;

protected:
    void show(const mpz_class &rank) override;
    // The next rank of the sample; false once all are given.
    bool nextRank(mpz_class &rank);
    // Numbers the variant that next() moves to, in random order.
    void countDraw() { draw_ = drawn_++; }

private:
    void fillSlice();

    mpz_class nextIndex_;
    std::uint64_t drawn_ = 0;
    std::vector<mpz_class> held_;
    std::size_t nextHeld_ = 0;
    std::uint64_t slices_ = 1;
    std::uint64_t slice_ = 0;
};

} // namespace razmnozhator::detail
