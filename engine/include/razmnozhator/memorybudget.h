#pragma once

// How much memory a result may take. A template of a few dozen characters
// can describe more variants than any machine holds; the compiled template
// knows the size of its result before a single variant is made, and callers
// compare it with this budget before they decide to hold the result.

#include <cstdint>

namespace razmnozhator {

// Bytes this process can still take without pushing the machine into swap:
// the kernel's estimate of available memory, lowered by the room left under
// the control group's memory limit and under the process's address-space
// limit. UINT64_MAX when none of them can be read.
std::uint64_t availableMemory();

// Bytes that count lines of bytes characters in all take when held as a
// VariantList: their text plus an end offset each, with room for the
// allocator. UINT64_MAX when that does not fit in 64 bits.
std::uint64_t memoryToHoldLines(std::uint64_t count, std::uint64_t bytes);

} // namespace razmnozhator
