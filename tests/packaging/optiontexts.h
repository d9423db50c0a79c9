#pragma once

// Runs the built programs and reads the option lists out of their --help text
// and out of the manual pages, so that the installed documents can be checked
// against the programs they describe.

#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QStringList>
#include <QTest>

namespace packagingtest {

struct ProgramRun
{
    int status = -1;
    QString out;
    QString err;
};

// Runs program with args; environment entries "NAME=value" replace or add
// variables, "NAME" alone removes one. The locale is C unless they set one.
inline ProgramRun runProgram(const QString &program, const QStringList &args, const QStringList &environment = {},
    const QString &workingDirectory = {})
{
    QProcessEnvironment processEnvironment = QProcessEnvironment::systemEnvironment();
    for (const char *name : { "LANG", "LANGUAGE", "LC_ALL", "LC_MESSAGES" })
        processEnvironment.remove(QString::fromLatin1(name));
    processEnvironment.insert(QStringLiteral("LC_ALL"), QStringLiteral("C.UTF-8"));
    for (const QString &entry : environment) {
        const qsizetype equals = entry.indexOf(u'=');
        if (equals < 0)
            processEnvironment.remove(entry);
        else
            processEnvironment.insert(entry.left(equals), entry.mid(equals + 1));
    }
    QProcess process;
    process.setProcessEnvironment(processEnvironment);
    if (!workingDirectory.isEmpty())
        process.setWorkingDirectory(workingDirectory);
    process.start(program, args);
    if (!process.waitForStarted() || !process.waitForFinished(60000))
        qFatal("%s did not run to its end", qPrintable(program));
    ProgramRun run;
    run.status = process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
    run.out = QString::fromUtf8(process.readAllStandardOutput());
    run.err = QString::fromUtf8(process.readAllStandardError());
    return run;
}

// The options of a --help text as "-o, --output FILE": every line of the
// "Options:" section that starts an option, up to the gap before its description.
inline QStringList helpOptions(const QString &helpText)
{
    static const QRegularExpression optionLine(QStringLiteral("^  (-\\S.*?)(?: {2,}|$)"));
    QStringList options;
    bool inOptions = false;
    for (const QString &line : helpText.split(u'\n')) {
        if (line == QLatin1String("Options:"))
            inOptions = true;
        else if (!line.startsWith(u' '))
            inOptions = false;
        else if (const QRegularExpressionMatch match = optionLine.match(line); inOptions && match.hasMatch())
            options << match.captured(1).remove(u'<').remove(u'>');
    }
    return options;
}

// The options of a manual page's OPTIONS section in the same form: the line
// after each ".TP", without its font changes and with "\-" as "-".
inline QStringList manPageOptions(const QString &roff)
{
    static const QRegularExpression fontChange(QStringLiteral("\\\\f[BIRP]"));
    QStringList options;
    bool inOptions = false;
    bool tagLine = false;
    for (const QString &line : roff.split(u'\n')) {
        if (line.startsWith(QLatin1String(".SH ")))
            inOptions = line == QLatin1String(".SH OPTIONS");
        else if (inOptions && tagLine)
            options << QString(line).remove(fontChange).replace(QLatin1String("\\-"), QLatin1String("-"));
        tagLine = line == QLatin1String(".TP");
    }
    return options;
}

// The long option names ("--output") among options written as helpOptions() gives them.
inline QStringList longOptionNames(const QStringList &options)
{
    QStringList names;
    for (const QString &option : options)
        for (const QString &word : option.split(QRegularExpression(QStringLiteral("[ ,]+"))))
            if (word.startsWith(QLatin1String("--")))
                names << word;
    return names;
}

// Names what one list has and the other lacks, one sentence for each side;
// empty when both hold the same entries.
inline QString differences(
    const QString &firstName, const QStringList &first, const QString &secondName, const QStringList &second)
{
    const auto missingFrom = [](const QStringList &from, const QStringList &in) {
        QStringList missing;
        for (const QString &entry : in)
            if (!from.contains(entry))
                missing << entry;
        return missing;
    };
    const auto sentence = [](const QString &having, const QStringList &missing, const QString &lacking) {
        QString text
            = QStringLiteral("%1 has %2, which %3 lacks.").arg(having, missing.join(QLatin1String("; ")), lacking);
        text[0] = text[0].toUpper();
        return text;
    };
    QStringList sentences;
    if (const QStringList missing = missingFrom(second, first); !missing.isEmpty())
        sentences << sentence(firstName, missing, secondName);
    if (const QStringList missing = missingFrom(first, second); !missing.isEmpty())
        sentences << sentence(secondName, missing, firstName);
    return sentences.join(u' ');
}

inline QString readText(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        qFatal("cannot read %s", qPrintable(path));
    return QString::fromUtf8(file.readAll());
}

} // namespace packagingtest
