#pragma once

// A template as the user wrote it, in lines, and as the engine reads it: one
// run of CP1251 bytes with the line breaks removed, so that a template file
// expands as the same text typed in the window's editor. Messages about the
// template point into the text as written (line and column), and the window
// selects the offending character by its index; TemplateText keeps what is
// needed to go from an offset in the bytes back to both.

#include <QString>

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace razmnozhator::cp1251 {

// Line breaks are LF, CR LF and a lone CR, and the line and paragraph
// separators (U+2028, U+2029) that a text editor's raw text uses.
bool isLineBreak(char16_t unit) noexcept;

// A place in a text as written.
struct TextPosition
{
    // 1-based; a column counts characters, a surrogate pair once.
    qsizetype line = 1;
    qsizetype column = 1;
    // 0-based index of the character's first UTF-16 unit in the text.
    qsizetype utf16Index = 0;

    friend bool operator==(const TextPosition &, const TextPosition &) = default;
};

// The line and column of the character that starts at utf16Index (or of the
// end of the text when utf16Index is its size).
TextPosition positionIn(QStringView text, qsizetype utf16Index);

// A character the template may not hold: one that CP1251 lacks, or NUL, which
// would end up inside variants and break NUL-separated output.
struct TextProblem
{
    enum class Kind { Unencodable, Nul };
    Kind kind = Kind::Unencodable;
    char32_t codePoint = 0;
    TextPosition position;
};

class TemplateText
{
public:
    // Removes the line breaks and encodes the rest; problem() is the first
    // character that cannot be part of a template, in the order of the text.
    static TemplateText fromText(const QString &text);

    // Empty when problem() is set.
    const std::string &bytes() const noexcept { return bytes_; }
    const std::optional<TextProblem> &problem() const noexcept { return problem_; }

    // Where the byte at offset in bytes() was written; an offset equal to the
    // size of bytes() gives the end of the text.
    TextPosition positionOf(std::size_t offset) const;

private:
    struct LineStart
    {
        std::size_t offset; // in bytes()
        qsizetype line;
        qsizetype utf16Index; // in the text as written
    };

    std::string bytes_;
    std::optional<TextProblem> problem_;
    std::vector<LineStart> lines_;
};

// The byte offset of the first invalid or incomplete UTF-8 sequence, in the
// strict sense of the Unicode standard: no overlong forms, no surrogates,
// nothing above U+10FFFF, no sequence cut off at the end.
std::optional<std::size_t> firstInvalidUtf8(std::string_view bytes) noexcept;

} // namespace razmnozhator::cp1251
