// The window's executable as a user starts it from a shell: --help and
// --version answer without opening the window, Qt's own options still work,
// and Qt's own texts (here those of --help) follow the locale's language while
// the program's stay as they are.

#include <QTest>

#include "optiontexts.h"

using namespace packagingtest;

class WindowCommandLineTest : public QObject
{
    Q_OBJECT

private slots:
    void answers_data();
    void answers();
};

void WindowCommandLineTest::answers_data()
{
    QTest::addColumn<QStringList>("args");
    QTest::addColumn<QStringList>("environment");
    QTest::addColumn<int>("status");
    QTest::addColumn<QString>("out");
    QTest::addColumn<bool>("wholeOut");
    QTest::addColumn<QString>("err");

    const QString version = QStringLiteral("razmnozhator " RAZMNOZHATOR_VERSION "\n");
    QTest::newRow("version") << QStringList { "--version" } << QStringList {} << 0 << version << true << QString();
    QTest::newRow("short version") << QStringList { "-v" } << QStringList {} << 0 << version << true << QString();
    QTest::newRow("version after Qt's own option")
        << QStringList { "-platform", "offscreen", "--version" } << QStringList {} << 0 << version << true << QString();
    QTest::newRow("help in English")
        << QStringList { "--help" } << QStringList {} << 0
        << "Usage: razmnozhator [options]\n"
           "Opens the window that turns one text template into every text variant it describes.\n"
           "Qt's standard options, such as -platform and -style, are accepted too (see --help-all).\n\n"
           "Options:\n"
           "  -h, --help     Displays help on commandline options.\n"
           "  --help-all     Displays help including Qt specific options.\n"
           "  -v, --version  Displays version information.\n"
        << true << QString();
    QTest::newRow("help with Qt's texts in Russian")
        << QStringList { "--help" } << QStringList { "LC_ALL", "LANG=ru_RU.UTF-8" } << 0
        << "Использование: razmnozhator [параметры]\n"
           "Opens the window that turns one text template into every text variant it describes.\n"
           "Qt's standard options, such as -platform and -style, are accepted too (see --help-all).\n\n"
           "Параметры:\n"
           "  -h, --help     Вывод справки по параметрам командной строки.\n"
           "  --help-all     Вывод справки с особыми параметрами Qt.\n"
           "  -v, --version  Показать сведения о версии.\n"
        << true << QString();
    QTest::newRow("help-all lists Qt's options") << QStringList { "--help-all" } << QStringList {} << 0
                                                 << "  --platform <platformName[:options]>" << false << QString();
    QTest::newRow("unknown option") << QStringList { "--frobnicate" } << QStringList {} << 1 << QString() << true
                                    << "Unknown option 'frobnicate'.\n";
    QTest::newRow("a file name") << QStringList { "template.txt" } << QStringList {} << 1 << QString() << true
                                 << "Unexpected argument 'template.txt': the window opens no files.\n";
}

void WindowCommandLineTest::answers()
{
    QFETCH(QStringList, args);
    QFETCH(QStringList, environment);
    QFETCH(int, status);
    QFETCH(QString, out);
    QFETCH(bool, wholeOut);
    QFETCH(QString, err);

    ProgramRun run = runProgram(QStringLiteral(RAZMNOZHATOR_WINDOW), args, environment);
    // The usage line names the program as it was started, here by its path in the build.
    run.out.replace(QStringLiteral(RAZMNOZHATOR_WINDOW), QStringLiteral("razmnozhator"));
    QCOMPARE(run.status, status);
    if (wholeOut)
        QCOMPARE(run.out, out);
    else
        QVERIFY2(run.out.contains(out), qPrintable(run.out));
    // The offscreen platform may warn about its runtime folder; only the program's own message counts.
    QVERIFY2(err.isEmpty() || run.err.endsWith(err), qPrintable(run.err));
}

QTEST_GUILESS_MAIN(WindowCommandLineTest)

#include "windowcommandline_test.moc"
