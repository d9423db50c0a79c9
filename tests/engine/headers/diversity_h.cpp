// Included first and alone: the header must bring everything it uses.
#include "razmnozhator/diversity.h"

#include "public_headers.h"

std::size_t chosenOfThreeLines()
{
    razmnozhator::WordBytes letters {};
    for (unsigned char byte = 'a'; byte <= 'z'; ++byte)
        letters[byte] = byte;
    const std::vector<std::string_view> lines { "a b c d", "a b c e", "x y z" };
    return razmnozhator::chooseDiverse(lines, 2, 1, letters)->chosen.size();
}
