// The bash completion for razmnozhator-cli, run by bash as the shell runs it
// on Tab: it must offer every long option that --help lists and no other, the
// values that --encoding takes, and file names where the tool expects a file.

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

#include "optiontexts.h"

using namespace packagingtest;

namespace {

// Sources the completion, finds the function it registered for
// razmnozhator-cli and calls it with the command line's words, the last one
// being the word under the cursor; prints the offered words, one per line.
const char *const completeScript = R"(
source "$1" || exit 3
shift
spec=$(complete -p razmnozhator-cli) || exit 4
function=${spec#*-F }
function=${function%% *}
COMP_WORDS=(razmnozhator-cli "$@")
COMP_CWORD=$#
COMP_LINE="${COMP_WORDS[*]}"
COMP_POINT=${#COMP_LINE}
"$function" razmnozhator-cli "${COMP_WORDS[COMP_CWORD]}" "${COMP_WORDS[COMP_CWORD - 1]}"
printf '%s\n' "${COMPREPLY[@]}"
)";

QStringList complete(const QStringList &words, const QString &directory = {})
{
    const ProgramRun run = runProgram(QStringLiteral("bash"),
        QStringList { QStringLiteral("--norc"), QStringLiteral("--noprofile"), QStringLiteral("-c"),
            QString::fromLatin1(completeScript), QStringLiteral("bash"),
            QStringLiteral(PACKAGING_DIR "/razmnozhator-cli.bash") }
            + words,
        {}, directory);
    if (run.status != 0 || !run.err.isEmpty())
        qWarning("bash ended with %d: %s", run.status, qPrintable(run.err));
    QStringList offered = run.out.split(u'\n', Qt::SkipEmptyParts);
    offered.sort();
    return run.status == 0 ? offered : QStringList { QStringLiteral("<failed>") };
}

} // namespace

class CompletionTest : public QObject
{
    Q_OBJECT

private slots:
    void offersTheOptionsOfHelp();
    void completes_data();
    void completes();
};

void CompletionTest::offersTheOptionsOfHelp()
{
    const ProgramRun help = runProgram(QStringLiteral(RAZMNOZHATOR_CLI), { QStringLiteral("--help") });
    QCOMPARE(help.status, 0);
    QStringList helpNames = longOptionNames(helpOptions(help.out));
    helpNames.sort();
    QVERIFY2(helpNames.contains(QLatin1String("--output")), qPrintable(help.out));

    const QString report = differences(QStringLiteral("razmnozhator-cli --help"), helpNames,
        QStringLiteral("the completion of \"razmnozhator-cli --\""), complete({ QStringLiteral("--") }));
    QVERIFY2(report.isEmpty(), qPrintable(report));
}

void CompletionTest::completes_data()
{
    QTest::addColumn<QStringList>("words");
    QTest::addColumn<QStringList>("expected");

    // The folder holds drafts/, out.txt and template.txt.
    QTest::newRow("options with a prefix")
        << QStringList { "--m" } << QStringList { "--max-count", "--max-length", "--min-length" };
    QTest::newRow("option after a flag") << QStringList { "--count", "--st" } << QStringList { "--stats" };
    QTest::newRow("encodings") << QStringList { "--encoding", "" } << QStringList { "cp1251", "utf-8" };
    QTest::newRow("encoding with a prefix") << QStringList { "--encoding", "u" } << QStringList { "utf-8" };
    QTest::newRow("encoding after an equals sign")
        << QStringList { "--encoding", "=", "c" } << QStringList { "cp1251" };
    QTest::newRow("encoding right after the equals sign")
        << QStringList { "--encoding", "=" } << QStringList { "cp1251", "utf-8" };
    QTest::newRow("short output option takes a file") << QStringList { "-o", "o" } << QStringList { "out.txt" };
    QTest::newRow("long output option takes a file")
        << QStringList { "--output", "" } << QStringList { "drafts", "out.txt", "template.txt" };
    QTest::newRow("template file") << QStringList { "t" } << QStringList { "template.txt" };
    QTest::newRow("template file after a value")
        << QStringList { "--max-length", "80", "te" } << QStringList { "template.txt" };
    QTest::newRow("files inside a folder") << QStringList { "drafts/" } << QStringList { "drafts/first.txt" };
    QTest::newRow("no guess for the template text") << QStringList { "-e", "" } << QStringList {};
    QTest::newRow("no guess for a number") << QStringList { "--seed", "" } << QStringList {};
    QTest::newRow("only files after --") << QStringList { "--", "--" } << QStringList {};
}

void CompletionTest::completes()
{
    QFETCH(QStringList, words);
    QFETCH(QStringList, expected);

    QTemporaryDir directory;
    QVERIFY(directory.isValid());
    QVERIFY(QDir(directory.path()).mkdir(QStringLiteral("drafts")));
    for (const char *name : { "out.txt", "template.txt", "drafts/first.txt" }) {
        QFile file(directory.filePath(QString::fromLatin1(name)));
        QVERIFY(file.open(QIODevice::WriteOnly));
    }

    QCOMPARE(complete(words, directory.path()), expected);
}

QTEST_GUILESS_MAIN(CompletionTest)

#include "completion_test.moc"
