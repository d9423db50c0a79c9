#pragma once

// How the tool's parts end a run: a Failure carries the exit status and the
// message for standard error up to run(), which prints it once.

#include <exception>
#include <utility>

#include <QCoreApplication>
#include <QString>

namespace razmnozhator::cli {

inline constexpr const char *programName = "razmnozhator-cli";

inline QString tr(const char *text)
{
    return QCoreApplication::translate("razmnozhator-cli", text);
}

class Failure : public std::exception
{
public:
    Failure(int exitStatus, QString text)
        : status(exitStatus)
        , message(std::move(text))
    {
    }
    const char *what() const noexcept override { return "razmnozhator-cli failure"; }

    int status;
    QString message;
};

} // namespace razmnozhator::cli
