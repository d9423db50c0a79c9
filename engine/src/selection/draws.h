#pragma once

// The ways a Sample draws its variants, behind one interface. Each takes
// the values of one keyed permutation at 0, 1, ... and turns each into a
// variant; they differ in what the values number:
// - RankDraws: ranks among the kept variants, found by a seek within the
//   lengths; DigitDraws: the same a batch at a time, from the digits of the
//   template's own groups (RangeDecoder::rootDigits());
// - PassingOver: positions among all the variants, passing over those
//   outside the range; WithinLimit: ranks among the variants within a
//   rule's limit on limited bytes, turned into positions.
// makeDraws() (sample.cpp) chooses; each way has a file of its own.

#include "razmnozhator/sample.h"

#include "access/rangedecoder.h"
#include "access/rootlengths.h"
#include "selection/permutation.h"
#include "selection/random.h"

#include <gmpxx.h>

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string_view>
#include <vector>

namespace razmnozhator::detail {

class WithinLimitRanks;

// What every way starts from.
struct DrawPlan
{
    CompiledTemplate compiled;
    LengthRange range;
    Sample::Order order;
    Random random;
    mpz_class kept; // how many variants the range keeps
    mpz_class size; // how many the sample holds
    std::unique_ptr<RootLengths> rootLengths; // when the lengths were noted
};

class Draws
{
public:
    explicit Draws(DrawPlan plan);
    virtual ~Draws();

    const mpz_class &size() const noexcept { return plan_.size; }
    virtual void skip(mpz_class count) = 0; // before the first next()
    virtual bool next() = 0;
    std::string_view current() const noexcept { return walker_.current(); }
    // In random order: a number for the current variant, small whatever the
    // template, from which redraw() makes it again, next() going on where it
    // was; callers that keep many variants keep these instead of their text.
    std::uint64_t currentDraw() const noexcept { return draw_; }
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

// In template order, the ranks that fall into one slice of [0, kept) at a
// time, sorted: about the same memory whatever the size of the sample.
class RankDraws : public Draws
{
public:
    explicit RankDraws(DrawPlan plan);
    void skip(mpz_class count) override;
    bool next() override;

protected:
    void show(const mpz_class &rank) override;
    bool nextRank(mpz_class &rank); // false once all are given
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

class DigitDraws final : public RankDraws
{
public:
    explicit DigitDraws(DrawPlan plan);
    bool next() override;

private:
    bool fillBatch();

    RangeDecoder ranks_;
    std::vector<std::uint64_t> digits_;
    std::vector<mpz_class> batch_;
    std::vector<mpz_class> positions_;
    std::size_t nextInBatch_ = 0;
    bool batchByDigits_ = false;
};

// When the range keeps a good share of what the permutation runs over, its
// first kept values are as uniform a sample, and cheaper than ranks. The
// k-th variant then depends on all before it, so this is only for samples
// small enough to pass over; in template order they are held, sorted.
class PassingOver : public Draws
{
public:
    // The permutation runs over `values`: all the positions, or what
    // nextCandidate() turns into positions. start() is called once made.
    PassingOver(DrawPlan plan, const mpz_class &values, Permutation::Domain domain);
    void start();
    void skip(mpz_class count) override;
    bool next() override;

protected:
    // What the permutation's next candidate is known to be before the
    // walker writes it.
    enum class Candidate { Kept, Unknown, Outside };
    virtual Candidate nextCandidate(mpz_class &position);

    mpz_class nextIndex_;

private:
    mpz_class nextPosition();

    mpz_class given_;
    std::vector<mpz_class> held_;
    std::size_t nextHeld_ = 0;
};

// Ranks within the limit do not follow the expansion order: the sample is as
// uniform, and template order sorts positions.
class WithinLimit final : public PassingOver
{
public:
    WithinLimit(DrawPlan plan, std::unique_ptr<WithinLimitRanks> ranks);
    ~WithinLimit() override;

protected:
    mpz_class positionOf(const mpz_class &rank) override;
    Candidate nextCandidate(mpz_class &position) override;

private:
    std::unique_ptr<WithinLimitRanks> ranks_;
    std::vector<mpz_class> batch_;
    std::vector<std::uint64_t> digits_;
    std::size_t next_ = 0;
    std::size_t filled_ = 0;
};

// Ranks turned into digits or positions at once.
inline constexpr std::size_t drawBatch = 64;

// The sample of that size; throws LimitError like Sample.
std::unique_ptr<Draws> makeDraws(const CompiledTemplate &compiled, const mpz_class &size, LengthRange range,
    std::uint64_t seed, Sample::Order order);

} // namespace razmnozhator::detail
