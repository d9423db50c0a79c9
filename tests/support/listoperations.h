#pragma once

// The five list operations of the expansion algorithm on the engine's
// VariantList. The engine enumerates instead of building lists, so only the
// tests use them, to aim at the list's value semantics: operands may be the
// same list, and each result is computed from the operands as they were at
// the call.

#include "razmnozhator/variantlist.h"

#include <string_view>

namespace razmnozhator {

// Items of a, then items of b.
VariantList concatVariants(const VariantList &a, const VariantList &b);
// a becomes concatVariants(a, b); returns a.
VariantList &appendVariants(VariantList &a, const VariantList &b);
// For each item x of a (slowest), each item y of b: x followed by y.
VariantList combineVariants(const VariantList &a, const VariantList &b);
// a becomes combineVariants(a, b); returns a.
VariantList &combineInPlace(VariantList &a, const VariantList &b);
// Every item of list with prefix in front, in the order of list.
VariantList prefixVariants(std::string_view prefix, const VariantList &list);

} // namespace razmnozhator
