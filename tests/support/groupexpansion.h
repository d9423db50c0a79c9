#pragma once

// The two inner expansion functions of the grammar, as whole lists: the inside
// of a "[...]" group and of a "{...}" group, with error offsets relative to
// their argument. Users expand whole templates; the tests check each function
// of the grammar on its own against the reference expander.

#include "razmnozhator/variantlist.h"

#include <string_view>

namespace razmnozhator {

VariantList expandAlternatives(std::string_view inner);
VariantList expandPairs(std::string_view inner);

} // namespace razmnozhator
