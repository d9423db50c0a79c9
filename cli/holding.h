#pragma once

// --shuffle: the kept variants are held in memory, in a VariantList, and
// written in the order the shuffle gives them. Holding is refused up front
// when it cannot fit, before the output is touched.

#include <cstddef>
#include <string_view>
#include <vector>

#include "razmnozhator/engine.h"
#include "razmnozhator/variantlist.h"

namespace razmnozhator::cli {

struct Options;
enum class Encoding;
class VariantWriter;
class Progress;

// A length in characters of a variant written in the given encoding.
std::size_t characterCount(std::string_view variant, Encoding encoding);

// The kept variants and the order in which the shuffle puts them.
struct Shuffled
{
    VariantList held;
    std::vector<std::size_t> order;
};

// Throws Failure when the kept variants cannot be held.
Shuffled holdShuffled(const CompiledTemplate &outputTemplate, const Options &options);
void writeShuffled(const Shuffled &shuffled, VariantWriter &writer, Progress &progress);

} // namespace razmnozhator::cli
