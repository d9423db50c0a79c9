#include "run.h"

#include <ostream>

#include <QCoreApplication>
#include <QStringList>

#include "failure.h"
#include "generate.h"
#include "options.h"
#include "output.h"

namespace razmnozhator::cli {

int run(
    const QStringList &args, std::istream &in, std::ostream &out, std::ostream &err, const RunEnvironment &environment)
{
    QCoreApplication::setApplicationName(QLatin1String(programName));
    QCoreApplication::setApplicationVersion(QStringLiteral(RAZMNOZHATOR_VERSION));

    const auto report = [&err](const QString &message) {
        err << programName << ": " << message.toStdString() << '\n' << std::flush;
    };

    CommandLine commandLine;
    if (!commandLine.parser.parse(args)) {
        report(commandLine.parser.errorText());
        err << tr("Try \"%1 --help\" for more information.").arg(QLatin1String(programName)).toStdString() << '\n';
        return UsageFailure;
    }
    if (commandLine.parser.isSet(commandLine.helpOption) || commandLine.parser.isSet(QStringLiteral("help-all"))) {
        out << commandLine.helpText().toStdString() << std::flush;
        return Success;
    }
    if (commandLine.parser.isSet(commandLine.versionOption)) {
        out << programName << ' ' << RAZMNOZHATOR_VERSION << '\n' << std::flush;
        return Success;
    }

    Options options;
    try {
        options = parseOptions(commandLine);
    } catch (const Failure &failure) {
        report(failure.message);
        err << tr("Try \"%1 --help\" for more information.").arg(QLatin1String(programName)).toStdString() << '\n';
        return failure.status;
    }

    try {
        return generate(options, in, out, err, environment);
    } catch (const Failure &failure) {
        report(failure.message);
        return failure.status;
    } catch (const OutputError &error) {
        report(error.message());
        return OutputFailure;
    }
}

} // namespace razmnozhator::cli
