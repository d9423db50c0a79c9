#include "cp1251.h"

#include <algorithm>
#include <array>

#include <QString>
#include <QStringDecoder>
#include <QStringEncoder>

namespace razmnozhator::cp1251 {

namespace {

constexpr const char *codecName = "windows-1251";

// The encoder substitutes unencodable characters and only reports that it did;
// finding which one needs a second, per-character pass that runs only then.
UnencodableCharacter locateUnencodable(const QString &text)
{
    QStringEncoder encoder(codecName, QStringConverter::Flag::Stateless);
    qsizetype characterIndex = 0;
    for (qsizetype i = 0; i < text.size(); ++characterIndex) {
        const bool pair = text.at(i).isHighSurrogate() && i + 1 < text.size() && text.at(i + 1).isLowSurrogate();
        const qsizetype units = pair ? 2 : 1;
        const QStringView character = QStringView(text).mid(i, units);
        encoder.resetState();
        (void)QByteArray(encoder.encode(character));
        if (encoder.hasError() || (text.at(i).isSurrogate() && !pair)) {
            const char32_t codePoint = pair ? QChar::surrogateToUcs4(text.at(i), text.at(i + 1)) : text.at(i).unicode();
            return { codePoint, characterIndex, i };
        }
        i += units;
    }
    return {};
}

// Decoding runs once per result line, millions of times per refresh; a
// converter per call would dominate, so the decoder fills a table once.
const std::array<char16_t, 256> &decodeTable()
{
    static const std::array<char16_t, 256> table = [] {
        QByteArray everyByte(256, Qt::Uninitialized);
        for (int i = 0; i < 256; ++i)
            everyByte[i] = static_cast<char>(i);
        QStringDecoder decoder(codecName, QStringConverter::Flag::Stateless);
        const QString decoded = decoder.decode(everyByte);
        std::array<char16_t, 256> result {};
        for (int i = 0; i < 256; ++i)
            result[i] = i < decoded.size() ? decoded.at(i).unicode() : char16_t(0xFFFD);
        return result;
    }();
    return table;
}

} // namespace

EncodeResult encode(const QString &text)
{
    QStringEncoder encoder(codecName, QStringConverter::Flag::Stateless);
    const QByteArray bytes = encoder.encode(text);
    EncodeResult result;
    if (encoder.hasError()) {
        result.unencodable = locateUnencodable(text);
        return result;
    }
    result.bytes.assign(bytes.constData(), static_cast<std::size_t>(bytes.size()));
    return result;
}

QString decode(std::string_view bytes)
{
    const auto &table = decodeTable();
    QString text(static_cast<qsizetype>(bytes.size()), Qt::Uninitialized);
    char16_t *out = reinterpret_cast<char16_t *>(text.data());
    for (const char byte : bytes)
        *out++ = table[static_cast<unsigned char>(byte)];
    return text;
}

void appendUtf8(std::string &out, std::string_view bytes)
{
    // Every CP1251 byte is one character of at most three UTF-8 bytes.
    static const std::array<std::string, 256> table = [] {
        const auto &characters = decodeTable();
        std::array<std::string, 256> result;
        for (std::size_t byte = 0; byte < 256; ++byte) {
            const QByteArray utf8 = QString(QChar(characters[byte])).toUtf8();
            result[byte].assign(utf8.constData(), static_cast<std::size_t>(utf8.size()));
        }
        return result;
    }();
    for (const char byte : bytes) {
        const auto unit = static_cast<unsigned char>(byte);
        if (unit < 0x80)
            out.push_back(byte);
        else
            out.append(table[unit]);
    }
}

const WordBytes &wordBytes()
{
    static const WordBytes table = [] {
        const auto &characters = decodeTable();
        WordBytes result {};
        for (std::size_t byte = 1; byte < 256; ++byte) {
            const QChar character(characters[byte]);
            if (!character.isLetterOrNumber())
                continue;
            const char16_t lower = character.toLower().unicode();
            const auto found = std::find(characters.begin(), characters.end(), lower);
            // A lowercase form that CP1251 lacks leaves the letter as it is.
            result[byte] = static_cast<unsigned char>(found != characters.end() ? found - characters.begin() : byte);
        }
        return result;
    }();
    return table;
}

QString describe(char32_t codePoint, Quotes quotes)
{
    const QString hex = QString::number(codePoint, 16).toUpper().rightJustified(4, u'0');
    const QString character = QString::fromUcs4(&codePoint, 1);
    if (quotes == Quotes::Russian)
        return QStringLiteral("«%1» (U+%2)").arg(character, hex);
    return QStringLiteral("\"%1\" (U+%2)").arg(character, hex);
}

} // namespace razmnozhator::cp1251
