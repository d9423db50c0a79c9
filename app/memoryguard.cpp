#include "memoryguard.h"

#include "figures.h"
#include "razmnozhator/memorybudget.h"

using namespace razmnozhator;

namespace memoryguard {

namespace {

// The list reads its rows from the lines themselves, so a line costs what
// the lines hold: its bytes and an end offset, with room for the allocator.
constexpr figures::HoldingCost windowCost { 16, 1 };

} // namespace

mpz_class memoryNeeded(const mpz_class &count, const mpz_class &totalBytes)
{
    return figures::memoryNeeded(count, totalBytes, windowCost);
}

bool fits(std::uint64_t count, std::uint64_t totalBytes, std::uint64_t available)
{
    const std::uint64_t needed = memoryToHoldLines(count, totalBytes);
    return needed != UINT64_MAX && needed <= figures::usableMemory(available);
}

QString formatCount(const mpz_class &count)
{
    return figures::formatCountRussian(count);
}

QString formatBytes(const mpz_class &bytes)
{
    return figures::formatDataSizeRussian(bytes);
}

} // namespace memoryguard
