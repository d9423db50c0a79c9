#pragma once

// --shuffle: the kept variants are held in memory and written in the order
// the window's shuffle gives them. Holding is refused up front when it
// cannot fit, before the output is touched.

#include <memory>

#include "razmnozhator/engine.h"
#include "selection.h"

namespace razmnozhator::cli {

struct Options;
namespace choice {
struct Shuffle;
}

// Throws Failure when the kept variants cannot be held.
std::unique_ptr<Selection> shuffleVariants(
    const CompiledTemplate &compiled, const Options &options, const choice::Shuffle &shuffle);

} // namespace razmnozhator::cli
