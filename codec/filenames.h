#pragma once

// File names as the system has them: bytes. A name, like any command-line
// argument, need not be valid UTF-8; it reaches the program as text in which
// each byte that is not UTF-8 stands as the lone surrogate U+DC00 + byte, so
// that it survives the trip and goes back to the system unchanged. Qt's own
// conversion would turn such a byte into U+FFFD and name another file.

#include <QByteArray>
#include <QString>

namespace razmnozhator::filenames {

// Text of an argument's bytes: UTF-8 decoded, every other byte escaped.
QString fromNative(const QByteArray &bytes);
// The bytes again: the inverse of fromNative() for any text it gives.
QByteArray toNative(const QString &text);
// Whether a character of such text stands for a byte that is not UTF-8.
bool isEscapedByte(char32_t codePoint) noexcept;
// The byte an escaped character stands for.
unsigned char escapedByte(char32_t codePoint) noexcept;
// The name for a message: each escaped byte written as "\xFF".
QString printable(const QString &text);

} // namespace razmnozhator::filenames
