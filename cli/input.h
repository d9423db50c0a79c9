#pragma once

// Reading the template: from --template, a file or standard input, decoded
// from the input encoding, turned into the bytes the engine compiles and
// compiled with its literals in the output encoding.
// Every message about the template names where it came from and the line and
// column in the text as written ("t.txt:3:7: ..."; "-e" and "-" for the
// command line and standard input).

#include <cstdint>
#include <iosfwd>
#include <optional>

#include <QString>

#include "razmnozhator/engine.h"
#include "templatetext.h"

namespace razmnozhator::cli {

struct Options;
enum class Encoding;

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

// The compiled template, with its literals in the output encoding; nothing
// for an empty template, which has no variants at all (the window ignores it
// too) rather than the single empty variant that the grammar would give.
// Lengths count by the rule. Throws Failure for a template error.
std::optional<CompiledTemplate> compileTemplate(const TemplateInput &input, Encoding encoding, const LengthRule &rule);

// The number of fields of every variant, for writing it as a table. Throws
// Failure for a template whose variants differ in it, naming the group.
std::uint64_t templateFields(const TemplateInput &input);

// "name:line:column", the prefix of a message about a place in the template.
QString placeText(const QString &name, const cp1251::TextPosition &position);

} // namespace razmnozhator::cli
