#pragma once

// How the tool's parts end a run: a Failure carries the exit status and the
// message for standard error up to run(), which prints it once.

#include <exception>
#include <utility>

#include <QCoreApplication>
#include <QString>

namespace razmnozhator {
class LimitError;
}

namespace razmnozhator::cli {

inline constexpr const char *programName = "razmnozhator-cli";

inline QString tr(const char *text)
{
    return QCoreApplication::translate("razmnozhator-cli", text);
}

// Exit statuses, as --help lists them.
enum ExitStatus : int {
    Success = 0,
    TemplateFailure = 1, // unbalanced brackets, a NUL character, or a character CP1251 cannot hold
    UsageFailure = 2, // bad option or number, unreadable or invalid input, not enough memory
    OutputFailure = 3, // the output cannot be created or written
};

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

// What the engine refused to build and why, for a message.
QString limitText(const LimitError &error);

} // namespace razmnozhator::cli
