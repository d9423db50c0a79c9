// Included first and alone: the header must bring everything it uses.
#include "razmnozhator/variantlist.h"

#include "public_headers.h"

std::size_t itemsAfterSelfAppend()
{
    razmnozhator::VariantList list { "x", "y" };
    for (std::size_t i = 0, size = list.size(); i < size; ++i)
        list.push_back(list[i]);
    return list.size();
}
