#pragma once

// --shuffle: the kept variants are held in memory, in a VariantList, and
// written in the order the shuffle gives them. Holding is refused up front
// when it cannot fit, before the output is touched.

#include <memory>

#include "razmnozhator/engine.h"
#include "razmnozhator/restriction.h"
#include "razmnozhator/variantlist.h"

namespace razmnozhator::cli {

struct Options;
enum class Encoding;

// How the length bounds measure a variant written in the given encoding:
// in characters.
Restriction::LengthOf characterLength(Encoding encoding);

// The kept variants held for a shuffle, and the order it gives them.
struct Shuffled
{
    Shuffled(const RestrictRules &rules, Restriction::Holding holding, Restriction::LengthOf lengthOf);
    const VariantList &held() const { return all.empty() ? restriction.held() : all; }

    // Every variant, when no length bound drops any; otherwise empty, and
    // the restriction holds copies of the kept ones.
    VariantList all;
    Restriction restriction;
};

// Throws Failure when the kept variants cannot be held.
std::unique_ptr<Shuffled> holdShuffled(const CompiledTemplate &outputTemplate, const Options &options);

} // namespace razmnozhator::cli
