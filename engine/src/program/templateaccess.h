#pragma once

// The engine's own way into its public classes: the compiled form of a
// CompiledTemplate, a CompiledTemplate of a compiled form that a part (or a
// test of one expansion function of the grammar) compiled itself, and what
// an Enumerator or a BoundedEnumerator keeps from its users.

#include "razmnozhator/engine.h"

#include "program/program.h"

#include <cstdint>
#include <memory>
#include <utility>

namespace razmnozhator::detail {

struct TemplateAccess
{
    static CompiledTemplate make(std::shared_ptr<const Program> program)
    {
        return CompiledTemplate(std::move(program));
    }
    static const std::shared_ptr<const Program> &shared(const CompiledTemplate &compiled) noexcept
    {
        return compiled.program_;
    }

    // From here on the enumerator counts currentLength(), the length of the
    // current variant inside the engine (a literal map makes it differ from
    // current().size()); passOverLengthsOutside() also passes over variants
    // that the range rules out by the lengths of their groups, though next()
    // may still give some outside it. Both before anything is written.
    static void countLengths(Enumerator &enumerator);
    static void passOverLengthsOutside(Enumerator &enumerator, LengthRange range);
    static std::uint64_t currentLength(const Enumerator &enumerator) noexcept;
    // Variants a bounded listing looked at so far, kept or not, a jump
    // counting as one: what the cost of listing within lengths follows.
    static std::uint64_t visited(const BoundedEnumerator &lines) noexcept;
};

// The compiled form, for the engine's readers.
inline const Program &programOf(const CompiledTemplate &compiled) noexcept
{
    return *TemplateAccess::shared(compiled);
}

// CompiledTemplate::keepsEveryLength(), for the readers that hold a Program.
inline bool keepsEveryLength(const Program &program, LengthRange range) noexcept
{
    return !program.ruleLengths.weighted && range.min <= program.figures.shortest
        && range.max >= program.figures.longest;
}

} // namespace razmnozhator::detail
