#pragma once

// A CompiledTemplate made of a compiled form that the engine's parts, or
// the tests of one expansion function of the grammar, compiled themselves.

#include "razmnozhator/engine.h"

#include "program/program.h"

#include <memory>
#include <utility>

namespace razmnozhator::detail {

struct TemplateAccess
{
    static CompiledTemplate make(std::shared_ptr<const Program> program)
    {
        return CompiledTemplate(std::move(program));
    }
};

} // namespace razmnozhator::detail
