#pragma once

// The one memory budget of the indexes that random access and counting by
// length build per template: half of what the machine can still give, and
// never more than a fixed cap, so that an index of a huge template is refused
// with a clear message before it takes the memory, rather than ending the
// process when an allocation fails.

#include "figures/saturating.h"
#include "razmnozhator/engine.h"
#include "razmnozhator/memorybudget.h"

#include <algorithm>

namespace razmnozhator::detail {

inline constexpr double indexBudgetCap = 1024.0 * 1024 * 1024;

inline double indexBudget()
{
    return std::min(indexBudgetCap, double(availableMemory()) / 2);
}

// Throws LimitError for `task` when an index of `bytes` bytes does not fit.
inline void checkIndexBudget(LimitError::Task task, double bytes)
{
    const double budget = indexBudget();
    if (!(bytes <= budget))
        throw LimitError(task, LimitError::Resource::Memory, wholeAmount(bytes), wholeAmount(budget));
}

} // namespace razmnozhator::detail
