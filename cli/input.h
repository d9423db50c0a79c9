#pragma once

// Reading the template: from --template, a file or standard input, decoded
// from the input encoding, and turned into the bytes the engine compiles.

#include <iosfwd>
#include <string>

#include <QString>

namespace razmnozhator::cli {

struct Options;

// Throws Failure when the input cannot be read or decoded.
QString readTemplate(const Options &options, std::istream &in);

// The text with its line breaks removed, as CP1251 bytes; throws Failure for
// a character CP1251 cannot hold.
std::string templateBytes(QString text);

} // namespace razmnozhator::cli
