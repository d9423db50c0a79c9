// razmnozhator-cli started as a user starts it: real standard streams, real
// files, devices and FIFOs, exit statuses, and limits set on the process, so
// that atomic output is checked against write failures that really happen.

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QRegularExpression>
#include <QSet>
#include <QTemporaryDir>
#include <QTest>

#include "cli_test_data.h"

#include <functional>
#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/types.h>

using clitest::lines;

namespace {

struct Result
{
    int status = -1;
    QByteArray out;
    QByteArray err;
};

struct Run
{
    QStringList args;
    QByteArray input;
    std::function<void()> inChild;
};

Result runTool(const Run &run)
{
    QProcess process;
    process.setProgram(QStringLiteral(RAZMNOZHATOR_CLI));
    process.setArguments(run.args);
    if (run.inChild)
        process.setChildProcessModifier(run.inChild);
    process.start();
    if (!process.waitForStarted())
        qFatal("cannot start %s", RAZMNOZHATOR_CLI);
    process.write(run.input);
    process.closeWriteChannel();
    if (!process.waitForFinished(120000))
        qFatal("%s did not finish", RAZMNOZHATOR_CLI);
    Result result;
    result.status = process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
    result.out = process.readAllStandardOutput();
    result.err = process.readAllStandardError();
    return result;
}

Result runTool(const QStringList &args, const QByteArray &input = {})
{
    return runTool(Run { args, input, {} });
}

QByteArray readFile(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return "<missing>";
    return file.readAll();
}

void writeFile(const QString &path, const QByteArray &content)
{
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    QCOMPARE(file.write(content), content.size());
}

// Lets a child run into RLIMIT_FSIZE as a failed write instead of being killed.
void limitFileSize()
{
    ::signal(SIGXFSZ, SIG_IGN);
    const rlimit limit { 64 * 1024, 64 * 1024 };
    ::setrlimit(RLIMIT_FSIZE, &limit);
}

void limitAddressSpace()
{
    const rlimit limit { 1024ul * 1024 * 1024, 1024ul * 1024 * 1024 };
    ::setrlimit(RLIMIT_AS, &limit);
}

} // namespace

class EndToEndTest : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void writesVariants_data();
    void writesVariants();
    void exitStatuses_data();
    void exitStatuses();
    void helpAndVersion();
    void writesOutputFile();
    void replacesExistingFileWhole();
    void existingFileSurvivesFailure_data();
    void existingFileSurvivesFailure();
    void outputIntoMissingFolder();
    void outputOntoFolder();
    void writesDevicesDirectly_data();
    void writesDevicesDirectly();
    void writesIntoFifo();
    void writesIntoRedirectedStandardOutput_data();
    void writesIntoRedirectedStandardOutput();
    void shuffleRepeatsAcrossRuns();
    void shuffleStreamsInFlatMemory();

private:
    std::unique_ptr<QTemporaryDir> dir;
};

void EndToEndTest::init()
{
    dir = std::make_unique<QTemporaryDir>();
    QVERIFY(dir->isValid());
}

void EndToEndTest::writesVariants_data()
{
    QTest::addColumn<QStringList>("args");
    QTest::addColumn<QByteArray>("input");
    QTest::addColumn<QByteArray>("file"); // written to template.txt, named by "@file" in args
    QTest::addColumn<QByteArray>("output");

    QTest::newRow("Cyrillic template from the command line")
        << QStringList { "-e", clitest::sampleTemplate } << QByteArray() << QByteArray() << clitest::sampleOutput();
    QTest::newRow("template on standard input")
        << QStringList() << clitest::sampleTemplate.toUtf8() << QByteArray() << clitest::sampleOutput();
    QTest::newRow("dash reads standard input")
        << QStringList { "-" } << QByteArray("{, |a|b}") << QByteArray() << lines({ "a, b", "b, a" });
    QTest::newRow("UTF-8 file with CR LF line ends")
        << QStringList { "@file" } << QByteArray() << QByteArray("[Да|\r\nНет] \r\n[1|2]\r\n")
        << lines({ "Да 1", "Да 2", "Нет 1", "Нет 2" });
    QTest::newRow("CP1251 file with CR LF line ends, written as CP1251")
        << QStringList { "--encoding", "cp1251", "@file" } << QByteArray()
        << QByteArray("[\xC4\xE0|\r\n\xCD\xE5\xF2] \r\n[1|2]\r\n")
        << QByteArray("\xC4\xE0 1\n\xC4\xE0 2\n\xCD\xE5\xF2 1\n\xCD\xE5\xF2 2\n");
    QTest::newRow("Cyrillic command line written as CP1251") << QStringList { "--encoding", "cp1251", "-e",
        "[Ёж|ёж]" } << QByteArray() << QByteArray() << QByteArray("\xA8\xE6\n\xB8\xE6\n");
    QTest::newRow("null terminators") << QStringList { "--null", "-e", "[a|b]c" } << QByteArray() << QByteArray()
                                      << QByteArray("ac\0bc\0", 6);
    QTest::newRow("count of three hundred digits")
        << QStringList { "--count", "-e", clitest::digitGroups(300) } << QByteArray() << QByteArray()
        << QByteArray("1" + QByteArray(300, '0') + "\n");
    QTest::newRow("max count stops an enumeration that would never end")
        << QStringList { "--max-count", "3", "-e", clitest::digitGroups(300) } << QByteArray() << QByteArray()
        << lines({ QString(300, u'0'), QString(299, u'0') + u'1', QString(299, u'0') + u'2' });
    QTest::newRow("length bounds in Cyrillic characters")
        << QStringList { "--min-length", "5", "--max-length", "5", "-e", "[Кот|Пёсик|Хомяк|Попугай]" } << QByteArray()
        << QByteArray() << lines({ "Пёсик", "Хомяк" });
    QTest::newRow("empty template prints nothing")
        << QStringList { "-e", "" } << QByteArray() << QByteArray() << QByteArray();
    // A few of the grammar's own corner cases, through the whole tool.
    QTest::newRow("engine: items told apart by position")
        << QStringList { "-e", "{-|a|a}" } << QByteArray() << QByteArray() << lines({ "a-a", "a-a" });
    QTest::newRow("engine: separator choices inside each pair")
        << QStringList { "-e", "{[+|-]|a|b}" } << QByteArray() << QByteArray() << lines({ "a+b", "a-b", "b+a", "b-a" });
    QTest::newRow("engine: pairs in sequence") << QStringList { "-e", "{-|a|b}{+|c|d}" } << QByteArray() << QByteArray()
                                               << lines({ "a-bc+d", "a-bd+c", "b-ac+d", "b-ad+c" });
}

void EndToEndTest::writesVariants()
{
    QFETCH(QStringList, args);
    QFETCH(QByteArray, input);
    QFETCH(QByteArray, file);
    QFETCH(QByteArray, output);

    const QString templatePath = dir->filePath(QStringLiteral("template.txt"));
    if (!file.isEmpty())
        writeFile(templatePath, file);
    args.replaceInStrings(QStringLiteral("@file"), templatePath);

    const Result result = runTool(args, input);
    QCOMPARE(result.err, QByteArray());
    QCOMPARE(result.status, 0);
    QCOMPARE(result.out, output);
}

void EndToEndTest::exitStatuses_data()
{
    QTest::addColumn<QStringList>("args");
    QTest::addColumn<QByteArray>("input");
    QTest::addColumn<int>("status");
    QTest::addColumn<QByteArray>("message");

    QTest::newRow("template error") << QStringList { "-e", "Привет, [мир|свет]{" } << QByteArray() << 1
                                    << QByteArray("razmnozhator-cli: -e:1:19: Incomplete number of '{}'s\n");
    QTest::newRow("template error on the second line of standard input")
        << QStringList() << QByteArray("[a|b]\r\n[c") << 1
        << QByteArray("razmnozhator-cli: -:2:1: Incomplete number of '[]'s\n");
    QTest::newRow("character outside CP1251")
        << QStringList { "-e", "[a|😀]" } << QByteArray() << 1
        << QByteArray("razmnozhator-cli: -e:1:4: the character \"😀\" (U+1F600) cannot be written in CP1251\n");
    QTest::newRow("unknown option") << QStringList { "--colour" } << QByteArray() << 2
                                    << QByteArray("razmnozhator-cli: Unknown option 'colour'.\nTry \"razmnozhator-cli "
                                                  "--help\" for more information.\n");
    QTest::newRow("bad number") << QStringList { "--max-count", "1e3", "-e", "a" } << QByteArray() << 2
                                << QByteArray(
                                       "razmnozhator-cli: invalid number for --max-count: \"1e3\" (expected 0 "
                                       "to 4294967295)\nTry \"razmnozhator-cli --help\" for more information.\n");
    QTest::newRow("unreadable input") << QStringList { "/nonexistent/t.txt" } << QByteArray() << 2
                                      << QByteArray(
                                             "razmnozhator-cli: cannot read \"/nonexistent/t.txt\": No such file "
                                             "or directory\n");
}

void EndToEndTest::exitStatuses()
{
    QFETCH(QStringList, args);
    QFETCH(QByteArray, input);
    QFETCH(int, status);
    QFETCH(QByteArray, message);

    const Result result = runTool(args, input);
    QCOMPARE(result.err, message);
    QCOMPARE(result.status, status);
    QCOMPARE(result.out, QByteArray());
}

void EndToEndTest::helpAndVersion()
{
    const Result help = runTool({ "--help" });
    QCOMPARE(help.status, 0);
    QVERIFY(help.out.startsWith("Usage: razmnozhator-cli [options] [FILE]\n"));
    for (const char *option : { "--template", "--encoding", "--output", "--null", "--count", "--stats", "--min-length",
             "--max-length", "--shuffle", "--max-count", "--seed" })
        QVERIFY2(help.out.contains(option), option);
    QCOMPARE(help.err, QByteArray());

    const Result version = runTool({ "--version" });
    QCOMPARE(version.status, 0);
    QCOMPARE(version.out, QByteArray("razmnozhator-cli 1.1.0\n"));
}

void EndToEndTest::writesOutputFile()
{
    const QString path = dir->filePath(QStringLiteral("out.txt"));
    const Result result = runTool({ "-o", path, "-e", clitest::sampleTemplate });
    QCOMPARE(result.status, 0);
    QCOMPARE(result.out, QByteArray());
    QCOMPARE(result.err, QByteArray());
    QCOMPARE(readFile(path), clitest::sampleOutput());
    QCOMPARE(QDir(dir->path()).entryList(QDir::Files | QDir::Hidden), QStringList { "out.txt" });
}

void EndToEndTest::replacesExistingFileWhole()
{
    const QString path = dir->filePath(QStringLiteral("out.txt"));
    writeFile(path, QByteArray(10000, 'x'));
    const Result result = runTool({ "--output", path, "--encoding", "cp1251", "-e", "[Да|Нет]" });
    QCOMPARE(result.status, 0);
    QCOMPARE(readFile(path), QByteArray("\xC4\xE0\n\xCD\xE5\xF2\n"));

    // Counts and stats go to the output file too.
    QCOMPARE(runTool({ "-o", path, "--count", "-e", "[a|b|c]" }).status, 0);
    QCOMPARE(readFile(path), QByteArray("3\n"));
}

void EndToEndTest::existingFileSurvivesFailure_data()
{
    QTest::addColumn<QStringList>("args");
    QTest::addColumn<bool>("limitSize");
    QTest::addColumn<int>("status");
    QTest::addColumn<int>("messageLines");

    QTest::newRow("template error") << QStringList { "-e", "[a|b" } << false << 1 << 1;
    QTest::newRow("character outside CP1251") << QStringList { "-e", "中" } << false << 1 << 1;
    QTest::newRow("bad number") << QStringList { "--min-length", "x", "-e", "a" } << false << 2 << 2;
    QTest::newRow("position past the end") << QStringList { "--nth", "4", "-e", "[a|b|c]" } << false << 2 << 1;
    // 10^5 variants of 6 bytes: 600 kB against a 64 kB file size limit, so
    // the write fails after several buffers have gone out.
    QTest::newRow("file size limit while streaming") << QStringList { "-e", clitest::digitGroups(5) } << true << 3 << 1;
    QTest::newRow("file size limit while shuffling")
        << QStringList { "--shuffle", "-e", clitest::digitGroups(5) } << true << 3 << 1;
}

void EndToEndTest::existingFileSurvivesFailure()
{
    QFETCH(QStringList, args);
    QFETCH(bool, limitSize);
    QFETCH(int, status);
    QFETCH(int, messageLines);

    const QString path = dir->filePath(QStringLiteral("out.txt"));
    const QByteArray old = "the previous result\n";
    writeFile(path, old);

    Run run { QStringList { "-o", path } + args, {}, {} };
    if (limitSize)
        run.inChild = limitFileSize;
    const Result result = runTool(run);
    QCOMPARE(result.status, status);
    QVERIFY2(result.err.startsWith("razmnozhator-cli: "), result.err.constData());
    QCOMPARE(result.err.count('\n'), messageLines);
    QCOMPARE(result.out, QByteArray());
    QCOMPARE(readFile(path), old);
    // No temporary file is left beside it.
    QCOMPARE(QDir(dir->path()).entryList(QDir::Files | QDir::Hidden), QStringList { "out.txt" });
}

void EndToEndTest::outputIntoMissingFolder()
{
    const QString path = dir->filePath(QStringLiteral("missing/out.txt"));
    const Result result = runTool({ "-o", path, "-e", "[a|b]" });
    QCOMPARE(result.status, 3);
    QVERIFY2(
        result.err.startsWith("razmnozhator-cli: cannot create \"" + path.toUtf8() + "\": "), result.err.constData());
    QCOMPARE(result.err.count('\n'), 1);
    QVERIFY(!QFileInfo::exists(dir->filePath(QStringLiteral("missing"))));
}

void EndToEndTest::outputOntoFolder()
{
    const Result result = runTool({ "-o", dir->path(), "-e", "[a|b]" });
    QCOMPARE(result.status, 3);
    QVERIFY2(result.err.startsWith("razmnozhator-cli: cannot create \""), result.err.constData());
    QVERIFY(QFileInfo(dir->path()).isDir());
}

void EndToEndTest::writesDevicesDirectly_data()
{
    QTest::addColumn<QString>("device");
    QTest::addColumn<QByteArray>("stdoutExpected");

    QTest::newRow("/dev/null") << QStringLiteral("/dev/null") << QByteArray();
    // QProcess gives the child a pipe as standard output.
    QTest::newRow("/dev/stdout") << QStringLiteral("/dev/stdout") << lines({ "x1", "x2", "y1", "y2" });
}

void EndToEndTest::writesDevicesDirectly()
{
    QFETCH(QString, device);
    QFETCH(QByteArray, stdoutExpected);

    const Result result = runTool({ "-o", device, "-e", "[x|y][1|2]" });
    QCOMPARE(result.err, QByteArray());
    QCOMPARE(result.status, 0);
    QCOMPARE(result.out, stdoutExpected);
    struct stat info;
    QCOMPARE(::stat("/dev/null", &info), 0);
    QVERIFY2(S_ISCHR(info.st_mode), "/dev/null must still be the null device");
}

void EndToEndTest::writesIntoFifo()
{
    const QString fifo = dir->filePath(QStringLiteral("pipe"));
    QCOMPARE(::mkfifo(QFile::encodeName(fifo).constData(), 0600), 0);

    QProcess process;
    process.start(QStringLiteral(RAZMNOZHATOR_CLI), { "-o", fifo, "-e", clitest::digitGroups(4) });
    QVERIFY(process.waitForStarted());
    QFile reader(fifo);
    QVERIFY(reader.open(QIODevice::ReadOnly)); // blocks until the tool opens its end
    const QByteArray received = reader.readAll();
    QVERIFY(process.waitForFinished(60000));
    QCOMPARE(process.exitCode(), 0);
    QCOMPARE(received.count('\n'), 10000);
    QVERIFY(received.startsWith("0000\n0001\n"));
    QVERIFY(received.endsWith("9998\n9999\n"));
    struct stat info;
    QCOMPARE(::stat(QFile::encodeName(fifo).constData(), &info), 0);
    QVERIFY(S_ISFIFO(info.st_mode));
}

void EndToEndTest::writesIntoRedirectedStandardOutput_data()
{
    QTest::addColumn<bool>("append");
    QTest::addColumn<QByteArray>("content");

    QTest::newRow("> file") << false << lines({ "x", "y" });
    QTest::newRow(">> file") << true << QByteArray("previous\n") + lines({ "x", "y" });
}

// With standard output redirected to a regular file, /dev/stdout resolves to
// that file; it must be written through, not replaced behind the shell's back.
void EndToEndTest::writesIntoRedirectedStandardOutput()
{
    QFETCH(bool, append);
    QFETCH(QByteArray, content);

    const QString path = dir->filePath(QStringLiteral("redirected.txt"));
    writeFile(path, "previous\n");
    struct stat before;
    QCOMPARE(::stat(QFile::encodeName(path).constData(), &before), 0);

    QProcess process;
    process.setStandardOutputFile(path, append ? QIODevice::Append : QIODevice::Truncate);
    process.start(QStringLiteral(RAZMNOZHATOR_CLI), { "-o", "/dev/stdout", "-e", "[x|y]" });
    QVERIFY(process.waitForFinished(60000));
    QCOMPARE(process.readAllStandardError(), QByteArray());
    QCOMPARE(process.exitCode(), 0);
    QCOMPARE(readFile(path), content);
    struct stat after;
    QCOMPARE(::stat(QFile::encodeName(path).constData(), &after), 0);
    QCOMPARE(after.st_ino, before.st_ino);
}

void EndToEndTest::shuffleRepeatsAcrossRuns()
{
    const QStringList args { "--shuffle", "--max-count", "50", "-e", clitest::digitGroups(3) };
    const Result first = runTool(args);
    const Result second = runTool(args);
    QCOMPARE(first.status, 0);
    QCOMPARE(first.out.count('\n'), 50);
    QCOMPARE(second.out, first.out);
    QStringList inOrder;
    for (int i = 0; i < 50; ++i)
        inOrder << QStringLiteral("%1").arg(i, 3, 10, QLatin1Char('0'));
    QVERIFY(first.out != lines(inOrder));
    const QList<QByteArray> shuffled = first.out.split('\n');
    QCOMPARE(QSet<QByteArray>(shuffled.begin(), shuffled.end()).size(), 51); // 50 different variants and the empty tail

    // Without a seed the order is that of seed 0, and of a sample of as many.
    QCOMPARE(runTool(QStringList { "--seed", "0" } + args).out, first.out);
    QCOMPARE(runTool({ "--sample", "50", "--seed", "0", "-e", clitest::digitGroups(3) }).out, first.out);
    const Result otherSeed = runTool(QStringList { "--seed", "2" } + args);
    QCOMPARE(otherSeed.status, 0);
    QCOMPARE(otherSeed.out.count('\n'), 50);
    QVERIFY(otherSeed.out != first.out);
}

void EndToEndTest::shuffleStreamsInFlatMemory()
{
#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
    QSKIP("a sanitizer's shadow memory does not fit in a limited address space");
#endif
    // The last of a hundred slices of a shuffle of 10^8 variants, about 2.4 GB
    // if they were held, within 1 GiB of address space.
    Run run { { "--shuffle", "--shard", "100/100", "-e", clitest::digitGroups(8) }, {}, limitAddressSpace };
    const Result result = runTool(run);
    QCOMPARE(result.err, QByteArray());
    QCOMPARE(result.status, 0);
    const QList<QByteArray> drawn = result.out.split('\n');
    QCOMPARE(drawn.size(), 1000001); // and the empty tail
    QCOMPARE(QSet<QByteArray>(drawn.begin(), drawn.end()).size(), 1000001);
}

QTEST_GUILESS_MAIN(EndToEndTest)
#include "endtoend_test.moc"
