// Included first and alone: the header must bring everything it uses.
#include "razmnozhator/syntax.h"

#include "public_headers.h"

std::size_t marksOfOneGroup()
{
    return razmnozhator::analyzeSyntax("[a|b]").marks.size();
}
