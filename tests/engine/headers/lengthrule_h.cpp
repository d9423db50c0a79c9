// Included first and alone: the header must bring everything it uses.
#include "razmnozhator/lengthrule.h"

#include "public_headers.h"

bool plainRuleCountsEveryByte()
{
    return razmnozhator::LengthRule {}.plain() && razmnozhator::LengthRule {}.lengthOf("a,b") == 3u;
}
