// Included first and alone: the header must bring everything it uses.
#include "razmnozhator/diversity.h"

#include "public_headers.h"

std::size_t shinglesOfFourWords()
{
    razmnozhator::WordBytes letters {};
    for (unsigned char byte = 'a'; byte <= 'z'; ++byte)
        letters[byte] = byte;
    return razmnozhator::shingles("a b c d", letters).size();
}
