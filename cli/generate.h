#pragma once

// One run after its options are parsed: read and compile the template, then
// write its figures (--count, --stats) or its variants, streamed or held for
// a shuffle.

#include <iosfwd>

namespace razmnozhator::cli {

struct Options;
struct RunEnvironment;

// Returns the exit status; throws Failure or OutputError.
int generate(
    const Options &options, std::istream &in, std::ostream &out, std::ostream &err, const RunEnvironment &environment);

} // namespace razmnozhator::cli
