#pragma once

// Reading the template: from --template, a file or standard input, decoded
// from the input encoding and turned into the bytes the engine compiles.
// Every message about the template names where it came from and the line and
// column in the text as written ("t.txt:3:7: ..."; "-e" and "-" for the
// command line and standard input).

#include <iosfwd>

#include <QString>

#include "templatetext.h"

namespace razmnozhator::cli {

struct Options;

struct TemplateInput
{
    QString text;
    // The name messages give the template: the file name, "-e" or "-".
    QString name;
};

// Throws Failure when the input cannot be read, is invalid UTF-8 or is too
// big to hold.
TemplateInput readTemplate(const Options &options, std::istream &in);

// The template's bytes with the line breaks removed; throws Failure for a
// character it may not hold.
cp1251::TemplateText templateText(const TemplateInput &input);

// "name:line:column", the prefix of a message about a place in the template.
QString placeText(const QString &name, const cp1251::TextPosition &position);

// The command line reaches run() as text; a byte of it that is not valid
// UTF-8 arrives as the lone surrogate U+DC00 + byte (see main()), so that it
// can be reported as such instead of as a replacement character.
bool isEscapedByte(char32_t codePoint) noexcept;
QString escapeInvalidUtf8(const QByteArray &argument);

} // namespace razmnozhator::cli
