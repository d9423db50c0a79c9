#pragma once

// Drawing positions and passing over the variants outside the range: when
// the range keeps a good share of what the permutation runs over, a random
// order of it whose first kept values are taken is as uniform a sample of
// the kept variants, and cheaper than finding them by rank. The k-th
// variant then depends on every one before it, so the way is taken only for
// samples small enough to pass over; in template order they are held, sorted.

#include "selection/draws.h"

#include <gmpxx.h>

#include <cstddef>
#include <vector>

namespace razmnozhator::detail {

class PassingOver : public Draws
{
public:
    // The permutation runs over `values`: all the positions, or the ranks
    // that nextCandidate() turns into positions.
    PassingOver(DrawPlan plan, const mpz_class &values, Permutation::Domain domain);
    // Takes the sample in template order; called once the way is made.
    void start();

    void skip(mpz_class count) override;
    bool next() override;

protected:
    // What a candidate is known to be before the walker writes it.
    enum class Candidate { Kept, Unknown, Outside };
    // The permutation's next candidate, as a position.
    virtual Candidate nextCandidate(mpz_class &position);

    mpz_class nextIndex_;

private:
    mpz_class nextPosition();

    mpz_class given_;
    std::vector<mpz_class> held_;
    std::size_t nextHeld_ = 0;
};

} // namespace razmnozhator::detail
