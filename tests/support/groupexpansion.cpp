#include "groupexpansion.h"

#include "razmnozhator/engine.h"

namespace razmnozhator {

VariantList expandAlternatives(std::string_view inner)
{
    return detail::compileGroupInside(inner, false).expand();
}

VariantList expandPairs(std::string_view inner)
{
    return detail::compileGroupInside(inner, true).expand();
}

} // namespace razmnozhator
