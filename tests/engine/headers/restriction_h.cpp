// Included first and alone: the header must bring everything it uses.
#include "razmnozhator/restriction.h"

#include "public_headers.h"

std::size_t survivorsOfLengthCut()
{
    razmnozhator::RestrictRules rules;
    rules.lengths.min = 2;
    return razmnozhator::restrictVariants(razmnozhator::VariantList { "a", "bb", "ccc" }, rules).size();
}
