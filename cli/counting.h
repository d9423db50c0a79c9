#pragma once

// --count and --stats: exact figures of the kept variants, from the compiled
// template alone, without making any variant.

#include <optional>
#include <string>

#include "razmnozhator/engine.h"

namespace razmnozhator::cli {

struct Options;

// The text to write; nothing counts for an empty template. Throws Failure
// when counting by length would cost too much.
std::string figuresText(const std::optional<CompiledTemplate> &compiled, const Options &options, bool statistics);

} // namespace razmnozhator::cli
