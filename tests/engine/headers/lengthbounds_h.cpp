// Included first and alone: the header must bring everything it uses.
#include "razmnozhator/lengthbounds.h"

#include "public_headers.h"

bool unboundedRangeBoundsNothing()
{
    return !razmnozhator::LengthRange {}.bounds() && razmnozhator::LengthRange { 2, 3 }.contains(3);
}
