// Included first and alone: the header must bring everything it uses.
#include "razmnozhator/variantlist.h"

#include "public_headers.h"

std::size_t itemsAfterSelfAppend()
{
    razmnozhator::VariantList list { "x", "y" };
    razmnozhator::appendVariants(list, list);
    return list.size();
}
