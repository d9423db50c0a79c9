#include "razmnozhator/syntax.h"

#include "program/program.h"

#include <algorithm>
#include <string>

namespace razmnozhator {

TemplateSyntax analyzeSyntax(std::string_view text)
{
    TemplateSyntax syntax;
    detail::SyntaxRecorder recorder;
    try {
        (void)detail::compileProgram(std::string(text), detail::EntryPoint::Template, nullptr, &recorder);
    } catch (const TemplateError &error) {
        syntax.error = error;
    }
    std::vector<detail::SyntaxRecorder::Mark> &marks = recorder.marks;
    std::sort(marks.begin(), marks.end(), [](const auto &a, const auto &b) { return a.offset < b.offset; });

    // Groups that compiled nest properly, so a stack of open groups gives
    // every mark its depth.
    std::vector<std::size_t> open;
    syntax.marks.reserve(marks.size());
    for (const auto &mark : marks) {
        SyntaxMark out { mark.offset, SyntaxMark::Kind::Bar, 0, mark.opener };
        switch (mark.kind) {
        case detail::SyntaxRecorder::Opener:
            out.kind = SyntaxMark::Kind::Opener;
            out.partner = mark.offset; // until its closer is met
            out.depth = static_cast<std::uint32_t>(open.size());
            open.push_back(syntax.marks.size());
            break;
        case detail::SyntaxRecorder::Closer:
            out.kind = SyntaxMark::Kind::Closer;
            syntax.marks[open.back()].partner = mark.offset;
            open.pop_back();
            out.depth = static_cast<std::uint32_t>(open.size());
            break;
        case detail::SyntaxRecorder::Bar:
            out.depth = static_cast<std::uint32_t>(open.size() - 1);
            break;
        }
        syntax.marks.push_back(out);
    }
    return syntax;
}

} // namespace razmnozhator
