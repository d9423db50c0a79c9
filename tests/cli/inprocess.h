#pragma once

// The tool called in-process through run(), with what it gave back.

#include <QByteArray>
#include <QStringList>

#include "run.h"

#include <sstream>

namespace clitest {

struct Result
{
    int status = -1;
    QByteArray out;
    QByteArray err;
};

inline Result runTool(
    const QStringList &args, const QByteArray &input = {}, const razmnozhator::cli::RunEnvironment &environment = {})
{
    std::istringstream in(input.toStdString());
    std::ostringstream out;
    std::ostringstream err;
    Result result;
    result.status
        = razmnozhator::cli::run(QStringList { QStringLiteral("razmnozhator-cli") } + args, in, out, err, environment);
    result.out = QByteArray::fromStdString(out.str());
    result.err = QByteArray::fromStdString(err.str());
    return result;
}

} // namespace clitest
