#pragma once

// The most different lines: n lines that differ from each other as much as
// possible, for boards and search engines that set near-duplicates aside.
//
// How two lines differ. Words are the maximal runs of letters and digits,
// lowercased. A line's shingles are its runs of three consecutive words; a
// line of one or two words has one shingle, all its words, and a line
// without words has none. The difference of two lines is
// 1 - |A ∩ B| / |A ∪ B| over their shingle sets, 0 when both are empty. The
// smallest difference of a set of lines is, over every line, the difference
// to its nearest other line, the smallest of these; the mean is the mean of
// the same nearest differences.
//
// How they are chosen: greedy farthest-first. The first line is a random one;
// each next one is the line farthest from all those chosen so far. It runs
// over a uniform pool of the candidates, eight times n (capped), since a pool
// much larger buys little and costs time in proportion; all of them when
// they are fewer. Shingles are hashed to 64-bit numbers, and each new choice
// is compared with the whole pool at once through an index from shingle to
// the lines that hold it, so the figures reported are exact.
//
// The engine knows no code page: the caller says which bytes are letters or
// digits and what their lowercase is.

#include "razmnozhator/engine.h"
#include "razmnozhator/sample.h"
#include "razmnozhator/variantlist.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string_view>
#include <vector>

namespace razmnozhator {

// For every byte of a single-byte encoding: its lowercase form when it is a
// letter or a digit, 0 when it separates words.
using WordBytes = std::array<unsigned char, 256>;

struct Diversity
{
    // Both are 1 when there are fewer than two lines: nothing is alike.
    double smallest = 1;
    double mean = 1;
};

// Called after each step with the steps done and their total; false stops
// the choice, which then gives nothing.
using DiverseProgress = std::function<bool(std::uint64_t done, std::uint64_t total)>;

struct DiverseChoice
{
    // Indexes into the lines, in the order chosen; all of the lines, in
    // their order, when they are at most n.
    std::vector<std::size_t> chosen;
    Diversity diversity;
};

// Chooses up to n of lines; one seed gives one choice. Nothing when stopped.
std::optional<DiverseChoice> chooseDiverse(const std::vector<std::string_view> &lines, std::size_t n,
    std::uint64_t seed, const WordBytes &letters, const DiverseProgress &progress = {});

class DiverseVariants;

// Chooses up to n of the template's variants within the length range, from
// a uniform Sample of them in random order; in the order chosen, or in
// template order. The order does not change which are chosen. Throws
// LimitError like Sample, and before drawing anything when the shingles of
// the pool could take more memory than there is to spare. Nothing when
// stopped.
std::optional<DiverseVariants> chooseDiverseVariants(const CompiledTemplate &compiled, std::size_t n, LengthRange range,
    std::uint64_t seed, const WordBytes &letters, Sample::Order order = Sample::Order::Random,
    const DiverseProgress &progress = {});

// The variants chosen from a template. The pool keeps of every candidate
// only the number the sample drew it by and its shingles, so that lines of
// millions of characters cost no more than short ones with as many words;
// the chosen ones are written again from those numbers, one at a time.
class DiverseVariants
{
public:
    ~DiverseVariants();
    DiverseVariants(DiverseVariants &&) noexcept;
    DiverseVariants &operator=(DiverseVariants &&) noexcept;

    // How many were chosen.
    std::size_t size() const noexcept { return draws_.size(); }
    const Diversity &diversity() const noexcept { return diversity_; }
    // Keeps only those from place `begin` to `end` (0-based, end excluded)
    // in the order they are written, without writing the others; the figures
    // stay those of the whole choice.
    void keepSlice(std::size_t begin, std::size_t end);

    // Moves to the next chosen variant; false once all are given. The view
    // stays valid until the next call.
    bool next();
    std::string_view current() const noexcept;

private:
    friend std::optional<DiverseVariants> chooseDiverseVariants(const CompiledTemplate &compiled, std::size_t n,
        LengthRange range, std::uint64_t seed, const WordBytes &letters, Sample::Order order,
        const DiverseProgress &progress);
    DiverseVariants(std::unique_ptr<detail::Draws> sample, std::vector<std::uint64_t> draws, Diversity diversity);

    std::unique_ptr<detail::Draws> sample_;
    std::vector<std::uint64_t> draws_;
    std::size_t next_ = 0;
    Diversity diversity_;
};

} // namespace razmnozhator
