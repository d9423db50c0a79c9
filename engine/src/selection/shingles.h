#pragma once

// How many shingles a variant of a template can have at most, from its
// structure: what the pool of the most different variants is sized by
// before a single variant is drawn.

#include "razmnozhator/diversity.h"

#include <cstddef>
#include <cstdint>
#include <string_view>
#include <vector>

namespace razmnozhator {

// The shingles of a line, hashed, sorted, without repeats.
std::vector<std::uint64_t> shingles(std::string_view line, const WordBytes &letters);

} // namespace razmnozhator

namespace razmnozhator::detail {

struct Program;

// The most words a variant can have: a literal gives its runs of letters, a
// sequence the sum of its parts (two parts that meet inside a word make one
// word, never more), alternatives their largest, pairs the separator and
// their two largest items.
std::uint64_t mostWords(const Program &program, const WordBytes &letters);

// The most shingles of a line of at most `words` words.
inline std::uint64_t mostShingles(std::uint64_t words) noexcept
{
    return words > 3 ? words - 2 : words == 0 ? 0 : 1;
}

// How many candidates a choice of n most different lines compares.
std::size_t diversePoolSize(std::size_t n);

} // namespace razmnozhator::detail
