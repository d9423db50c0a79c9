// Included first and alone: the header must bring everything it uses.
#include "razmnozhator/engine.h"

#include "public_headers.h"

std::size_t variantsOfTwoAlternatives()
{
    return razmnozhator::expandTemplate("[a|b]").size();
}
