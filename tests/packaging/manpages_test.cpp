// The manual pages against the programs: each page's OPTIONS section must list
// exactly the options, with their value names, that the program's --help
// lists, so that a new or renamed option cannot leave the page behind.

#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>

#include "optiontexts.h"

using namespace packagingtest;

class ManPagesTest : public QObject
{
    Q_OBJECT

private slots:
    void readsOptionsOfBothFormats_data();
    void readsOptionsOfBothFormats();
    void namesEveryDifference_data();
    void namesEveryDifference();
    void pageMatchesHelp_data();
    void pageMatchesHelp();
    void russianPageIsTheHelp();
};

void ManPagesTest::readsOptionsOfBothFormats_data()
{
    QTest::addColumn<QString>("help");
    QTest::addColumn<QString>("roff");
    QTest::addColumn<QStringList>("expected");

    QTest::newRow("short and long name with a value")
        << "Options:\n  -o, --output <FILE>  Write to FILE.\n"
        << ".SH OPTIONS\n.TP\n\\fB\\-o\\fR, \\fB\\-\\-output\\fR \\fIFILE\\fR\nWrite to\n.I FILE\n"
        << QStringList { "-o, --output FILE" };
    QTest::newRow("long flag, then a wrapped description")
        << "Options:\n  --shuffle            Shuffle the kept variants before\n"
           "                       --max-count cuts them.\n  --seed <N>           Seed it.\n"
        << ".SH OPTIONS\n.TP\n\\fB\\-\\-shuffle\\fR\nShuffle.\n.TP\n\\fB\\-\\-seed\\fR \\fIN\\fR\nSeed it.\n"
        << QStringList { "--shuffle", "--seed N" };
    QTest::newRow("option name too long for a description beside it")
        << "Options:\n  --a-very-long-option-name <VALUE>\n"
        << ".SH OPTIONS\n.TP\n\\fB\\-\\-a\\-very\\-long\\-option\\-name\\fR \\fIVALUE\\fR\n"
        << QStringList { "--a-very-long-option-name VALUE" };
    QTest::newRow("other sections do not count")
        << "Usage: tool [options]\n  -x in the usage text\n\nOptions:\n  -0, --null  NUL ends.\n\n"
           "Arguments:\n  FILE  The template.\n\nExit status:\n  -1  not an option\n"
        << ".SH DESCRIPTION\n.TP\n.BI [ a | b ]\n.SH OPTIONS\n.TP\n\\fB\\-0\\fR, \\fB\\-\\-null\\fR\nNUL.\n"
           ".PP\nA paragraph.\n.SH EXIT STATUS\n.TP\n.B 1\nError.\n"
        << QStringList { "-0, --null" };
}

void ManPagesTest::readsOptionsOfBothFormats()
{
    QFETCH(QString, help);
    QFETCH(QString, roff);
    QFETCH(QStringList, expected);

    QCOMPARE(helpOptions(help), expected);
    QCOMPARE(manPageOptions(roff), expected);
}

void ManPagesTest::namesEveryDifference_data()
{
    QTest::addColumn<QStringList>("help");
    QTest::addColumn<QStringList>("page");
    QTest::addColumn<QString>("expected");

    const QStringList both { "-h, --help", "-o, --output FILE" };
    QTest::newRow("same options") << both << both << QString();
    QTest::newRow("same options in another order") << both << QStringList { both[1], both[0] } << QString();
    QTest::newRow("page lacks two options") << both + QStringList { "--nth K", "--in-order" } << both
                                            << "--help has --nth K; --in-order, which the page lacks.";
    QTest::newRow("page keeps a removed option")
        << both << both + QStringList { "--count" } << "The page has --count, which --help lacks.";
    QTest::newRow("value renamed")
        << QStringList { "-o, --output PATH" } << QStringList { "-o, --output FILE" }
        << "--help has -o, --output PATH, which the page lacks. The page has -o, --output FILE, which --help lacks.";
}

void ManPagesTest::namesEveryDifference()
{
    QFETCH(QStringList, help);
    QFETCH(QStringList, page);
    QFETCH(QString, expected);

    QCOMPARE(differences(QStringLiteral("--help"), help, QStringLiteral("the page"), page), expected);
}

void ManPagesTest::pageMatchesHelp_data()
{
    QTest::addColumn<QString>("program");
    QTest::addColumn<QString>("page");

    QTest::newRow("razmnozhator-cli") << QStringLiteral(RAZMNOZHATOR_CLI) << QStringLiteral("razmnozhator-cli.1");
    QTest::newRow("razmnozhator") << QStringLiteral(RAZMNOZHATOR_WINDOW) << QStringLiteral("razmnozhator.1");
}

void ManPagesTest::pageMatchesHelp()
{
    QFETCH(QString, program);
    QFETCH(QString, page);

    const ProgramRun help = runProgram(program, { QStringLiteral("--help") });
    QCOMPARE(help.status, 0);
    const QStringList helpList = helpOptions(help.out);
    QVERIFY2(helpList.contains(QLatin1String("-h, --help")), qPrintable(help.out));

    const QStringList pageList = manPageOptions(readText(QStringLiteral(PACKAGING_DIR "/") + page));
    const QString report = differences(QStringLiteral("%1 --help").arg(QTest::currentDataTag()), helpList,
        QStringLiteral("the manual page %1").arg(page), pageList);
    QVERIFY2(report.isEmpty(), qPrintable(report));
}

// Installed under any prefix, "man -L ru razmnozhator-cli" finds the
// Russian page, and it shows every section and every example of the
// window's help on templates, which it is made from.
void ManPagesTest::russianPageIsTheHelp()
{
    const QString man = QStandardPaths::findExecutable(QStringLiteral("man"));
    if (man.isEmpty())
        QSKIP("man is not installed");
    QTemporaryDir prefix;
    QVERIFY(prefix.isValid());
    const ProgramRun install = runProgram(QStringLiteral(CMAKE_COMMAND),
        { QStringLiteral("--install"), QStringLiteral(BUILD_DIR), QStringLiteral("--prefix"), prefix.path() });
    QVERIFY2(install.status == 0, qPrintable(install.err));

    const QStringList environment { QStringLiteral("MANPATH=%1/share/man").arg(prefix.path()),
        QStringLiteral("MANWIDTH=1000"), QStringLiteral("MANOPT"), QStringLiteral("MANPAGER=cat"),
        QStringLiteral("PAGER=cat") };
    const ProgramRun where = runProgram(man, { "-L", "ru", "-w", "razmnozhator-cli" }, environment);
    QCOMPARE(where.out.trimmed(), prefix.filePath(QStringLiteral("share/man/ru/man1/razmnozhator-cli.1.gz")));
    const ProgramRun page = runProgram(man, { "-L", "ru", "razmnozhator-cli" }, environment);
    QVERIFY2(page.status == 0, qPrintable(page.err));
    // Filled text has its spaces stretched; compare words alone.
    const auto words = [](const QString &text) { return text.simplified(); };
    const QString shown = words(page.out);

    int sections = 0;
    int examples = 0;
    for (const QString &line : readText(QStringLiteral(HELP_TEXT)).split(u'\n')) {
        if (line.startsWith(QStringLiteral("== "))) {
            QVERIFY2(shown.contains(words(line.mid(3).toUpper())), qPrintable(line));
            ++sections;
        } else if (line.startsWith(QStringLiteral("> "))) {
            QVERIFY2(shown.contains(words(line.mid(2))), qPrintable(line));
            ++examples;
        }
    }
    QVERIFY(sections >= 7);
    QVERIFY(examples >= 7);
}

QTEST_GUILESS_MAIN(ManPagesTest)

#include "manpages_test.moc"
