#pragma once

// How much memory a result may take. A template of a few dozen characters
// can describe more variants than any machine holds; the compiled template
// knows the size of its result before a single variant is made, and callers
// compare it with this budget before they decide to hold the result.

#include <cstdint>

namespace razmnozhator {

// What every held line costs beyond its text: its end offset in the list and
// its place in an order.
inline constexpr std::uint64_t memoryPerHeldLine = 16;

// What holding `count` lines of `bytes` bytes in all costs. Saturates at
// UINT64_MAX, which no machine has.
inline std::uint64_t memoryToHoldLines(std::uint64_t count, std::uint64_t bytes) noexcept
{
    std::uint64_t perLine = 0;
    std::uint64_t total = 0;
    if (__builtin_mul_overflow(count, memoryPerHeldLine, &perLine) || __builtin_add_overflow(bytes, perLine, &total))
        return UINT64_MAX;
    return total;
}

// Bytes this process can still take without pushing the machine into swap:
// the kernel's estimate of available memory, lowered by the room left under
// the control group's memory limit and under the process's address-space
// limit. UINT64_MAX when none of them can be read.
std::uint64_t availableMemory();

} // namespace razmnozhator
