#pragma once

// razmnozhator-cli: the expansion engine for scripts, pipelines and outputs
// too big for any window. main() only wires the process's standard streams to
// run(), so tests call run() in-process with string streams.

#include <chrono>
#include <iosfwd>

#include <QtContainerFwd>

namespace razmnozhator::cli {

// What run() cannot see through a std::ostream.
struct RunEnvironment
{
    bool outputIsTerminal = false;
    bool errorIsTerminal = false;
    // A run shorter than this never shows the progress line.
    std::chrono::milliseconds progressDelay { 1000 };
};

// args are the whole command line, program name first, each argument's bytes
// as filenames::fromNative() gives them.
// The template is read from `in` when neither --template nor FILE gives it;
// variants go to `out` unless --output names a file; messages go to `err`.
int run(const QStringList &args, std::istream &in, std::ostream &out, std::ostream &err,
    const RunEnvironment &environment = {});

} // namespace razmnozhator::cli
