#include "groupexpansion.h"

#include "program/program.h"
#include "program/templateaccess.h"

#include <string>

namespace razmnozhator {

namespace {

// The inside of a group compiled on its own, with error offsets relative to
// it.
VariantList expandInside(std::string_view inner, detail::EntryPoint entry)
{
    return detail::TemplateAccess::make(detail::compileProgram(std::string(inner), entry, nullptr)).expand();
}

} // namespace

VariantList expandAlternatives(std::string_view inner)
{
    return expandInside(inner, detail::EntryPoint::AlternativesInner);
}

VariantList expandPairs(std::string_view inner)
{
    return expandInside(inner, detail::EntryPoint::PairsInner);
}

} // namespace razmnozhator
