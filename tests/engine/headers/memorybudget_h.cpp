// Included first and alone: the header must bring everything it uses.
#include "razmnozhator/memorybudget.h"

#include "public_headers.h"

bool someMemoryIsAvailable()
{
    return razmnozhator::availableMemory() > 0;
}

std::uint64_t memoryToHoldTwoLines()
{
    return razmnozhator::memoryToHoldLines(2, 10);
}
