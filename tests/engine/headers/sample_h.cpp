// Included first and alone: the header must bring everything it uses.
#include "razmnozhator/sample.h"

#include "public_headers.h"

std::size_t sizeOfWholeSample()
{
    const auto compiled = razmnozhator::CompiledTemplate::compile("[a|b|c]");
    return razmnozhator::Sample(compiled, 5, {}, 1).size().get_ui();
}
