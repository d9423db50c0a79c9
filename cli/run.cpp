#include "run.h"

#include <memory>
#include <new>
#include <ostream>
#include <stdexcept>

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
    // Help and version are output like any other: a full or closed standard
    // output is an output error, not a success.
    const auto print = [&](const QString &text) {
        try {
            const std::unique_ptr<OutputSink> sink = streamSink(out, environment.outputIsTerminal);
            const QByteArray bytes = text.toUtf8();
            sink->write(bytes.constData(), static_cast<std::size_t>(bytes.size()));
            sink->finish();
            return int(Success);
        } catch (const OutputError &error) {
            report(error.message());
            return int(OutputFailure);
        }
    };
    if (commandLine.parser.isSet(commandLine.helpOption) || commandLine.parser.isSet(commandLine.helpAllOption))
        return print(commandLine.helpText());
    if (commandLine.parser.isSet(commandLine.versionOption))
        return print(QStringLiteral("%1 %2\n").arg(QLatin1String(programName), QStringLiteral(RAZMNOZHATOR_VERSION)));

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
    } catch (const std::bad_alloc &) {
        // Every step that takes memory in proportion to the template says
        // itself what it was doing; this is the last resort.
        report(tr("not enough memory to finish"));
        return UsageFailure;
    } catch (const std::length_error &) {
        report(tr("not enough memory to finish"));
        return UsageFailure;
    }
}

} // namespace razmnozhator::cli
