#pragma once

// Choosing variants by length without enumerating them.
//
// Walking a variant in output order, everything still to be written is the
// rest of the current group's content followed by the rest of every enclosing
// sequence. A length window on that remainder and a rank among the remainders
// that fit are all the walk needs: a literal narrows the window, and a group
// picks the first choice whose remainders that fit outnumber the rank, after
// subtracting those of the choices before it. How many remainders fit is read
// off the spectrum of what follows the group, summed over the window.

#include "access/rangeindex.h"
#include "access/rootlengths.h"
#include "figures/multiword.h"
#include "program/choices.h"

#include <gmpxx.h>

#include <array>
#include <cstdint>
#include <deque>
#include <span>
#include <utility>
#include <vector>

namespace razmnozhator::detail {

// A rank of `words` machine words, as chooseByWeight() keeps it. With a
// spare of as many words, taking a weight off is one pass, into the spare,
// which becomes the rank: `left` then moves between the two.
struct WordsRank
{
    mp_limb_t *left;
    mp_limb_t *spare;
    std::size_t words;

    bool within(const mp_limb_t *weight)
    {
        if (spare) {
            if (multiword::subtract(spare, left, weight, words) != 0)
                return true;
            std::swap(left, spare);
            return false;
        }
        if (multiword::less(left, weight, words))
            return true;
        multiword::subtract(left, left, weight, words);
        return false;
    }
    void flip(const mp_limb_t *weight) { multiword::fromOtherEnd(left, weight, left, words); }
    bool upperHalf(const mp_limb_t *total) const { return !multiword::lessThanHalf(left, total, words); }
};

// Gives the odometer the choices of the rank-th variant in order among those
// whose length lies in a window.
class RangeDecoder final : public ChoiceSource
{
public:
    explicit RangeDecoder(const Program &program);

    // The next walk from the template's start writes the rank-th variant
    // within the window (below their number). Throws LimitError like
    // RangeIndex, for the index cut at the window's end.
    void start(const mpz_class &rank, Window window);

    // The choices of the template's own groups alone, as the digits of the
    // positions of the variants of these ranks within the window (digits of
    // rank k from digits + k * groups on), when those groups' lengths are
    // known: without writing anything. False when the window's look-ups
    // would take too much memory; the variants are then to be found by a walk.
    bool rootDigits(std::span<const mpz_class> ranks, Window window, const RootLengths &lengths, std::uint64_t *digits);

    static constexpr bool readsLiterals = true;
    void literal(std::uint32_t literal) override
    {
        const auto characters = static_cast<std::int64_t>(program_.characters(literal));
        window_.low -= characters;
        window_.high -= characters;
    }
    GroupChoice open(std::uint32_t group, std::uint32_t frame, const GroupPlace &at) override;

private:
    // The ways to finish the variant after some point, by the length
    // written up to it: slot t - low for length t, below low + size, once
    // known. They come from the running totals of the template's rest, from
    // a part's spectrum and the ways to finish after it, or as the
    // difference of two others.
    struct Ends
    {
        std::int64_t low = 0;
        std::size_t size = 0;
        std::vector<mp_limb_t> limbs; // size slots of the spectra's width
        std::vector<std::uint64_t> known;
        std::uint64_t stamp = 0;
        const Poly *totals = nullptr;
        std::size_t totalsWidth = 0; // words per slot of totals
        const Poly *poly = nullptr;
        Ends *after = nullptr;
        Ends *less = nullptr;
        // Every slot worked out beforehand (see Rows).
        bool complete = false;
        std::size_t stride = 0; // words per slot
    };

    // For the window of the last start: the ways to finish after each group
    // of the template's own sequence, for every length its end can have in
    // a variant that fits. Samples and listing within lengths query one
    // window again and again, and most of a query's look-ups fall here.
    struct Rows
    {
        Window window {};
        bool built = false;
        std::vector<Ends> ends; // per group of the template's own sequence
        std::vector<mp_limb_t> kept; // the number within the window
    };

    void useIndexFor(Window window);
    void weigh(const Poly &poly, Ends &ends, std::int64_t at, mp_limb_t *out);
    const mp_limb_t *value(Ends &ends, std::int64_t t);
    // The ways to fit of a choice whose variants are `content`, written from
    // length `at` on and followed by `ends`, in weight_.
    const mp_limb_t *weighed(const Poly &content, Ends &ends, std::int64_t at);
    WordsRank rank() { return WordsRank { rank_.data(), nullptr, active_ }; }
    GroupChoice choose(Alternatives, const Group &group, Ends &ends, std::int64_t written, const mp_limb_t *total,
        std::array<Ends *, mostSlots> &slotEnds);
    GroupChoice choose(Pairs, const Group &group, Ends &ends, std::int64_t written, const mp_limb_t *total,
        std::array<Ends *, mostSlots> &slotEnds);
    Ends &fresh(std::int64_t low, std::int64_t high);
    Ends *before(const Poly &poly, Ends &after, std::int64_t low, std::int64_t high);
    std::uint64_t plainTextChoice(const Group &group, Ends &after, std::int64_t written, const mp_limb_t *total);
    void buildRows(Window window);

    const Program &program_;
    std::shared_ptr<const RangeIndex> index_;
    const SpectrumIndex *spectra_ = nullptr;
    std::vector<mp_limb_t> rank_; // in the spectra's width
    Window window_ {};
    Window start_ {};
    // Per frame and slot, the ways to finish after the slot's sequence. Only
    // lengths that the group's own variants can reach are kept, so a query
    // costs what its groups' spread of lengths costs, not the template's.
    std::vector<std::array<Ends *, mostSlots>> slotEnds_;
    std::deque<Ends> made_;
    std::size_t used_ = 0;
    std::uint64_t stamp_ = 0;
    std::vector<mp_limb_t> weight_;
    std::vector<mp_limb_t> scratch_;
    Rows rows_;
    // Words that the counts of the current group need (see open()), and
    // with rows, how many ways there are to finish from its start.
    std::size_t active_ = 0;
    const mp_limb_t *rootTotal_ = nullptr;
    // Per group of the template's own sequence: the shortest and longest
    // length at its end.
    std::vector<std::int64_t> rootEndShortest_;
    std::vector<std::int64_t> rootEndLongest_;
};

} // namespace razmnozhator::detail
