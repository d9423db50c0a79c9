#pragma once

// The syntax of a template as the expansion reads it, for showing it to the
// user: which brackets open and close groups, which bars split them, how
// deeply each is nested, and the first error. Stray closers and bars that
// split nothing are plain text and get no mark.

#include "razmnozhator/engine.h"

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string_view>
#include <vector>

namespace razmnozhator {

struct SyntaxMark
{
    enum class Kind : std::uint8_t { Opener, Closer, Bar };

    std::size_t offset; // byte offset in the analyzed text
    Kind kind;
    // 0 for a top-level group's brackets and the bars that split it, 1 one
    // group further in, and so on.
    std::uint32_t depth;
    // An opener's closer, a closer's opener, a bar's group opener.
    std::size_t partner;
};

struct TemplateSyntax
{
    std::vector<SyntaxMark> marks; // in text order
    // The error compiling reports; marks then cover what was read before it.
    std::optional<TemplateError> error;
};

TemplateSyntax analyzeSyntax(std::string_view text);

} // namespace razmnozhator
