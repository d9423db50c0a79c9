#pragma once

// The rules that cut a result down after generation: length bounds,
// optional shuffle, then a cap on the count. Shared by the window and the
// command-line tool so that both cut exactly alike.
//
// Their order lives in one place, Restriction, which takes the variants one
// at a time as they are enumerated: without a shuffle it passes the kept
// ones straight on and says when the cap makes the rest useless, so a
// result of any size is cut in flat memory; with a shuffle it holds the kept
// ones, since the order of all of them is drawn before the cut.

#include "razmnozhator/lengthbounds.h"
#include "razmnozhator/lengthrule.h"
#include "razmnozhator/variantlist.h"

#include <cstddef>
#include <cstdint>
#include <string_view>
#include <vector>

namespace razmnozhator {

struct RestrictRules
{
    // A variant's length, by default in bytes.
    LengthRange lengths;
    std::uint64_t maxCount = UINT64_MAX;
    // Fisher-Yates driven by std::rand(): for i = 1..n-1, swap items i and
    // rand() % (i+1), n-1 draws in all. The caller decides whether the
    // generator is seeded.
    bool shuffle = false;
    // How a variant's length is counted. Under any rule but the plain one the
    // variants are measured as they are given, which must then be the bytes
    // of the text as written, and those it refuses are never kept.
    LengthRule rule {};
};

class Restriction
{
public:
    // A variant's length as the bounds count it; bytes unless the variants
    // are in an encoding with several bytes per character.
    using LengthOf = std::size_t (*)(std::string_view variant);
    // What a shuffle holds: copies of the kept variants, when they live only
    // until the next one is enumerated, or only their positions among those
    // offered, when the caller keeps them anyway.
    enum class Holding { Copies, Positions };

    explicit Restriction(const RestrictRules &rules, Holding holding = Holding::Copies, LengthOf lengthOf = nullptr);

    // Takes the next variant in order. True when it is kept and, without a
    // shuffle, is to be written now; with a shuffle a kept variant is held
    // and the answer is always false.
    bool offer(std::string_view variant)
    {
        const std::size_t position = offered_++;
        if (!wantsMore())
            return false;
        // Without bounds a variant's length is not needed, and measuring it
        // in characters would cost a pass over every variant.
        if (bounded_ && !withinLengths(variant))
            return false;
        if (rules_.shuffle) {
            hold(variant, position);
            return false;
        }
        ++passed_;
        return true;
    }
    // False once nothing offered later can change the result.
    bool wantsMore() const noexcept { return rules_.shuffle || passed_ < rules_.maxCount; }

    // With a shuffle, after the last offer: draws the order of the held
    // variants from std::rand() and cuts it at the cap.
    void shuffleHeld();
    // The result's order after shuffleHeld(): indexes into held() when
    // holding copies, positions among the offered variants otherwise.
    const std::vector<std::size_t> &order() const noexcept { return order_; }
    const VariantList &held() const noexcept { return held_; }
    // What holding has taken so far.
    std::size_t memoryUsage() const noexcept
    {
        return held_.memoryUsage() + (held_.size() + positions_.size()) * sizeof(std::size_t);
    }

private:
    bool withinLengths(std::string_view variant) const
    {
        if (!rules_.rule.plain()) {
            const std::optional<std::uint64_t> length = rules_.rule.lengthOf(variant);
            return length && rules_.lengths.contains(*length);
        }
        return rules_.lengths.contains(lengthOf_ ? lengthOf_(variant) : variant.size());
    }
    void hold(std::string_view variant, std::size_t position);

    RestrictRules rules_;
    bool bounded_;
    Holding holding_;
    LengthOf lengthOf_;
    std::uint64_t offered_ = 0;
    std::uint64_t passed_ = 0;
    VariantList held_;
    std::vector<std::size_t> positions_;
    std::vector<std::size_t> order_;
};

// Keeps the variants within the length bounds (in order), shuffles them when
// asked, then keeps the first maxCount.
VariantList restrictVariants(const VariantList &variants, const RestrictRules &rules);

} // namespace razmnozhator
