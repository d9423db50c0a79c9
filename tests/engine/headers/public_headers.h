#pragma once

// One function per public header, each defined in a source that includes that
// header before anything else.

#include <cstddef>
#include <cstdint>

std::size_t variantsOfTwoAlternatives();
std::size_t itemsAfterSelfAppend();
std::size_t survivorsOfLengthCut();
bool someMemoryIsAvailable();
std::uint64_t memoryToHoldTwoLines();
bool unboundedRangeBoundsNothing();
std::size_t marksOfOneGroup();
std::size_t sizeOfWholeSample();
std::size_t chosenOfThreeLines();
bool plainRuleCountsEveryByte();
