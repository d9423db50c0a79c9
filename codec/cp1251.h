#pragma once

// The one place where the program's Unicode text meets the engine's bytes.
// Templates, result lines and saved files are CP1251: one byte per character,
// so a line's length in bytes is its length in characters.

#include <QtGlobal>

#include <optional>
#include <string>
#include <string_view>

#include "razmnozhator/diversity.h"

class QString;

namespace razmnozhator::cp1251 {

// The first character of a text that CP1251 cannot hold.
struct UnencodableCharacter
{
    char32_t codePoint = 0;
    // 0-based, counting each character once (a surrogate pair is one character).
    qsizetype characterIndex = 0;
    // 0-based index of its first UTF-16 unit, for selecting it in a QString.
    qsizetype utf16Index = 0;
};

// The text as CP1251 bytes, or the first character that has no CP1251 byte.
struct EncodeResult
{
    std::string bytes;
    std::optional<UnencodableCharacter> unencodable;
};

EncodeResult encode(const QString &text);
QString decode(std::string_view bytes);
// The bytes as UTF-8, appended to out: what a UTF-8 file of the lines holds.
void appendUtf8(std::string &out, std::string_view bytes);

// Which bytes are letters or digits, and their lowercase bytes: how the
// lines' words are told apart when the most different ones are chosen.
const WordBytes &wordBytes();

// The character spelled out for a message: the character itself and its
// code, "😀" (U+1F600) for the tool, «😀» (U+1F600) for the window's Russian.
enum class Quotes { Straight, Russian };
QString describe(char32_t codePoint, Quotes quotes = Quotes::Straight);

} // namespace razmnozhator::cp1251
