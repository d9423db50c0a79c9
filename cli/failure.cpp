#include "failure.h"

#include "refusals.h"

namespace razmnozhator::cli {

QString limitText(const LimitError &error)
{
    return refusals::toolText(error);
}

} // namespace razmnozhator::cli
