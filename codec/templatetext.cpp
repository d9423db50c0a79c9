#include "templatetext.h"

#include <algorithm>

#include "cp1251.h"

namespace razmnozhator::cp1251 {

namespace {

constexpr char16_t lineFeed = u'\n';
constexpr char16_t carriageReturn = u'\r';

bool startsPair(QStringView text, qsizetype i)
{
    return text[i].isHighSurrogate() && i + 1 < text.size() && text[i + 1].isLowSurrogate();
}

// The index just past the line break at i (CR LF is one break).
qsizetype pastLineBreak(QStringView text, qsizetype i)
{
    if (text[i] == carriageReturn && i + 1 < text.size() && text[i + 1] == lineFeed)
        return i + 2;
    return i + 1;
}

} // namespace

bool isLineBreak(char16_t unit) noexcept
{
    return unit == lineFeed || unit == carriageReturn || unit == 0x2028 || unit == 0x2029;
}

TextPosition positionIn(QStringView text, qsizetype utf16Index)
{
    TextPosition position;
    qsizetype i = 0;
    while (i < utf16Index && i < text.size()) {
        if (isLineBreak(text[i].unicode())) {
            i = pastLineBreak(text, i);
            ++position.line;
            position.column = 1;
        } else {
            i += startsPair(text, i) ? 2 : 1;
            ++position.column;
        }
    }
    position.utf16Index = utf16Index;
    return position;
}

TemplateText TemplateText::fromText(const QString &text)
{
    TemplateText result;
    result.lines_.push_back({ 0, 1, 0 });

    // Lines are encoded one by one, so that a problem is found in the line it
    // is on and the offsets of the line starts come for free.
    QString joined;
    joined.reserve(text.size());
    const QStringView view(text);
    qsizetype lineStart = 0;
    qsizetype line = 1;
    for (qsizetype i = 0; i <= view.size(); ++i) {
        if (i < view.size() && !isLineBreak(view[i].unicode()))
            continue;
        joined += view.mid(lineStart, i - lineStart);
        if (i == view.size())
            break;
        i = pastLineBreak(view, i) - 1;
        lineStart = i + 1;
        ++line;
        result.lines_.push_back({ static_cast<std::size_t>(joined.size()), line, lineStart });
    }

    const qsizetype nul = joined.indexOf(QChar(u'\0'));
    EncodeResult encoded = encode(nul < 0 ? joined : joined.left(nul));
    if (encoded.unencodable) {
        const UnencodableCharacter &character = *encoded.unencodable;
        result.problem_ = TextProblem { TextProblem::Kind::Unencodable, character.codePoint,
            result.positionOf(static_cast<std::size_t>(character.utf16Index)) };
    } else if (nul >= 0) {
        result.problem_ = TextProblem { TextProblem::Kind::Nul, 0, result.positionOf(static_cast<std::size_t>(nul)) };
    }
    if (result.problem_) {
        // positionOf() counted UTF-16 units; a surrogate pair before the
        // problem on its line counts once as a column.
        TextPosition &position = result.problem_->position;
        const qsizetype start = position.utf16Index - (position.column - 1);
        position.column = positionIn(view.mid(start, position.utf16Index - start), position.utf16Index - start).column;
        return result;
    }
    result.bytes_ = std::move(encoded.bytes);
    return result;
}

TextPosition TemplateText::positionOf(std::size_t offset) const
{
    // The last line that starts at or before offset; an empty line shares its
    // offset with the next one, and the later of them holds the byte.
    const auto after = std::upper_bound(lines_.begin(), lines_.end(), offset,
        [](std::size_t value, const LineStart &start) { return value < start.offset; });
    const LineStart &start = *std::prev(after);
    const auto within = static_cast<qsizetype>(offset - start.offset);
    return { start.line, within + 1, start.utf16Index + within };
}

std::optional<std::size_t> firstInvalidUtf8(std::string_view bytes) noexcept
{
    const auto *data = reinterpret_cast<const unsigned char *>(bytes.data());
    const std::size_t size = bytes.size();
    std::size_t i = 0;
    while (i < size) {
        const unsigned char lead = data[i];
        if (lead < 0x80) {
            ++i;
            continue;
        }
        // The lead byte fixes the length and the range of the second byte.
        std::size_t length = 0;
        unsigned char low = 0x80;
        unsigned char high = 0xBF;
        if (lead >= 0xC2 && lead <= 0xDF) {
            length = 2;
        } else if (lead >= 0xE0 && lead <= 0xEF) {
            length = 3;
            if (lead == 0xE0)
                low = 0xA0;
            else if (lead == 0xED)
                high = 0x9F;
        } else if (lead >= 0xF0 && lead <= 0xF4) {
            length = 4;
            if (lead == 0xF0)
                low = 0x90;
            else if (lead == 0xF4)
                high = 0x8F;
        } else {
            return i;
        }
        if (i + length > size)
            return i;
        if (data[i + 1] < low || data[i + 1] > high)
            return i;
        for (std::size_t k = 2; k < length; ++k) {
            if ((data[i + k] & 0xC0) != 0x80)
                return i;
        }
        i += length;
    }
    return std::nullopt;
}

} // namespace razmnozhator::cp1251
