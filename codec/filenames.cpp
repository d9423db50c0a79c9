#include "filenames.h"

#include "templatetext.h"

#include <optional>
#include <string_view>

namespace razmnozhator::filenames {

namespace {

constexpr char32_t escapeBase = 0xDC00;

} // namespace

bool isEscapedByte(char32_t codePoint) noexcept
{
    return codePoint >= escapeBase + 0x80 && codePoint <= escapeBase + 0xFF;
}

unsigned char escapedByte(char32_t codePoint) noexcept
{
    return static_cast<unsigned char>(codePoint - escapeBase);
}

QString fromNative(const QByteArray &bytes)
{
    QString text;
    std::string_view rest(bytes.constData(), static_cast<std::size_t>(bytes.size()));
    while (const std::optional<std::size_t> invalid = cp1251::firstInvalidUtf8(rest)) {
        text += QString::fromUtf8(rest.data(), static_cast<qsizetype>(*invalid));
        text += QChar(char16_t(escapeBase + static_cast<unsigned char>(rest[*invalid])));
        rest.remove_prefix(*invalid + 1);
    }
    text += QString::fromUtf8(rest.data(), static_cast<qsizetype>(rest.size()));
    return text;
}

QByteArray toNative(const QString &text)
{
    QByteArray bytes;
    qsizetype start = 0;
    for (qsizetype i = 0; i < text.size(); ++i) {
        if (!isEscapedByte(text[i].unicode()))
            continue;
        bytes += QStringView(text).mid(start, i - start).toUtf8();
        bytes += char(escapedByte(text[i].unicode()));
        start = i + 1;
    }
    bytes += QStringView(text).mid(start).toUtf8();
    return bytes;
}

QString printable(const QString &text)
{
    QString shown;
    shown.reserve(text.size());
    for (const QChar c : text) {
        if (isEscapedByte(c.unicode()))
            shown += QStringLiteral("\\x") + QString::number(escapedByte(c.unicode()), 16).toUpper();
        else
            shown += c;
    }
    return shown;
}

} // namespace razmnozhator::filenames
