#pragma once

// The ways a Sample draws its variants, behind one interface.
//
// Every way takes the values of one keyed permutation (permutation.h) at 0,
// 1, ... and turns each into a variant; they differ in what the values
// number and how a variant is found from one:
// - ranks among the kept variants, found by a seek within the lengths
//   (rankdraws.cpp), or a batch at a time from the digits of the template's
//   own groups (digitdraws.cpp);
// - positions among all the variants, passing over those outside the range
//   (passingover.cpp), or ranks among the variants within a rule's limit on
//   uncounted bytes, turned into positions (withinlimit.cpp).
// sample.cpp chooses the way; the choice makes drawing cheaper, and one
// seed with one way gives one sample.

#include "razmnozhator/sample.h"

#include "access/rootlengths.h"
#include "selection/permutation.h"
#include "selection/random.h"

#include <gmpxx.h>

#include <cstdint>
#include <memory>
#include <string_view>

namespace razmnozhator::detail {

class WithinLimitRanks;

// What every way of drawing starts from.
struct DrawPlan
{
    CompiledTemplate compiled;
    LengthRange range;
    Sample::Order order;
    Random random;
    mpz_class kept; // how many variants the range keeps
    mpz_class size; // how many the sample holds
    // The lengths of the template's own groups, when noted (see sample.cpp).
    std::unique_ptr<RootLengths> rootLengths;
};

class Draws
{
public:
    explicit Draws(DrawPlan plan);
    virtual ~Draws();

    const mpz_class &size() const noexcept { return plan_.size; }
    // Passes over the next `count` variants of the sample; before the first next().
    virtual void skip(mpz_class count) = 0;
    virtual bool next() = 0;
    std::string_view current() const noexcept { return walker_.current(); }

    // In random order: a number for the variant current() gives, small
    // whatever the template, from which redraw() makes it again, so that a
    // caller that keeps many variants keeps these instead of their text.
    std::uint64_t currentDraw() const noexcept { return draw_; }
    // current() gives again the variant numbered `draw`; next() goes on
    // with the sample where it was.
    void redraw(std::uint64_t draw);
    // Whether the variant drawn as `a` comes before the one drawn as `b` in
    // template order.
    bool drawnBefore(std::uint64_t a, std::uint64_t b);

protected:
    // A value of the permutation as a position, in template order.
    virtual mpz_class positionOf(const mpz_class &value) { return value; }
    // Makes the walker give the variant a value of the permutation stands for.
    virtual void show(const mpz_class &value);
    // Whether the range keeps a variant of this length inside the engine.
    bool keeps(std::uint64_t length) const;

    DrawPlan plan_;
    Enumerator walker_;
    std::unique_ptr<Permutation> permutation_;
    std::uint64_t draw_ = 0;
};

// The sample of that size; throws LimitError like Sample.
std::unique_ptr<Draws> makeDraws(const CompiledTemplate &compiled, const mpz_class &size, LengthRange range,
    std::uint64_t seed, Sample::Order order);

// Each way, from a plan that keeps at least one variant.
std::unique_ptr<Draws> drawByRank(DrawPlan plan);
std::unique_ptr<Draws> drawByDigits(DrawPlan plan);
std::unique_ptr<Draws> drawPassingOver(DrawPlan plan);
std::unique_ptr<Draws> drawWithinLimit(DrawPlan plan, std::unique_ptr<WithinLimitRanks> ranks);

} // namespace razmnozhator::detail
