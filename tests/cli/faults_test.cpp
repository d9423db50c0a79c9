// Bad input, odd output files and resource limits, each through the built
// tool as a user starts it: output that must go where its name points, input
// that must not be lost or misread, limits that must end in one clear line
// instead of an abort or a hang, and messages that must point at the right
// place.

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>

#include <functional>
#include <memory>
#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

// The tool under test; a run against another build of it names that build
// in the environment.
QString toolPath()
{
    const QString other = qEnvironmentVariable("RAZMNOZHATOR_CLI");
    return other.isEmpty() ? QStringLiteral(RAZMNOZHATOR_CLI) : other;
}

// What the child process meets besides its arguments.
enum class Condition {
    None,
    FileSizeLimit, // 100 KiB, with SIGXFSZ at its default action
    AddressSpace1G,
    AddressSpace300M,
    CpuTime10s, // a run that would wait for an exact count of a deep chain is killed
    StandardOutputClosed,
    StandardOutputFull,
    ReadOnlyFile, // the output file exists with mode 0444
    FileOfAnotherOwner, // the output file exists, owned by nobody
    ReadOnlyFolder, // ro/ is a folder of mode 0555, and the tool does not run as root
};

void setLimit(int resource, rlim_t value)
{
    const rlimit limit { value, value };
    ::setrlimit(resource, &limit);
}

// Whether the user nobody can start the program in the folder: a checkout
// inside a home folder of mode 0700 keeps it out, whatever the file's own mode.
bool nobodyCanRun(const QString &program, const QString &folder)
{
    const QByteArray programPath = QFile::encodeName(program);
    const QByteArray folderPath = QFile::encodeName(folder);
    const pid_t child = ::fork();
    if (child < 0)
        return false;
    if (child == 0) {
        const bool reachable = ::setgid(65534) == 0 && ::setuid(65534) == 0
            && ::access(programPath.constData(), X_OK) == 0 && ::access(folderPath.constData(), X_OK) == 0;
        ::_exit(reachable ? 0 : 1);
    }
    int status = 0;
    return ::waitpid(child, &status, 0) == child && WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

struct Result
{
    int status = -1; // -1 for a death by signal
    QByteArray out;
    QByteArray err;
};

void writeFile(const QString &path, const QByteArray &content)
{
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    QCOMPARE(file.write(content), content.size());
}

QByteArray readFile(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<missing>");
}

QByteArray repeated(const QByteArray &part, int times)
{
    return part.repeated(times);
}

} // namespace

Q_DECLARE_METATYPE(Condition)

class FaultsTest : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void faults_data();
    void faults();

private:
    Result runTool(QStringList args, const QByteArray &input, Condition condition);

    QTemporaryDir templates;
    std::unique_ptr<QTemporaryDir> dir;
};

void FaultsTest::initTestCase()
{
    QVERIFY(templates.isValid());
    const auto put = [this](const char *name, const QByteArray &content) {
        writeFile(templates.filePath(QLatin1String(name)), content);
    };
    put("incomplete.txt", "[Model A|Model B] \xC6");
    put("ml.txt", "first line [a|b]\nsecond line\nthird [oops\n");
    put("greek.txt", "[a|b]\r\n[c|Ω]\n");
    put("nul.txt", QByteArray("[a|\0b]", 6));
    put("pairs-chain.txt", repeated("{-|", 100000) + "b" + repeated("}", 100000));
    put("square-chain.txt", repeated("[a|", 1000000) + "b" + repeated("]", 1000000));
    put("twos.txt", repeated("[a|b]", 1000000));
    put("big.txt", repeated("[0|1|2|3|4|5|6|7|8|9]", 100));
}

void FaultsTest::init()
{
    dir = std::make_unique<QTemporaryDir>();
    QVERIFY(dir->isValid());
    writeFile(dir->filePath(QStringLiteral("x.txt")), "x\n");
}

Result FaultsTest::runTool(QStringList args, const QByteArray &input, Condition condition)
{
    for (QString &arg : args) {
        arg.replace(QLatin1String("{templates}"), templates.path());
        arg.replace(QLatin1String("{dir}"), dir->path());
    }
    const QString output = dir->filePath(QStringLiteral("x.txt"));
    if (condition == Condition::ReadOnlyFile)
        ::chmod(QFile::encodeName(output).constData(), 0444);
    if (condition == Condition::FileOfAnotherOwner)
        ::chown(QFile::encodeName(output).constData(), 65534, 65534);
    if (condition == Condition::ReadOnlyFolder) {
        QDir(dir->path()).mkdir(QStringLiteral("ro"));
        ::chmod(QFile::encodeName(dir->path()).constData(), 0755);
        ::chmod(QFile::encodeName(dir->filePath(QStringLiteral("ro"))).constData(), 0555);
    }

    QProcess process;
    process.setWorkingDirectory(dir->path());
    // "sh:" runs the tool through the shell, for arguments that are not text.
    if (args.value(0) == QLatin1String("sh:")) {
        process.setProgram(QStringLiteral("/bin/sh"));
        process.setArguments({ QStringLiteral("-c"), args.value(1), toolPath() });
    } else {
        process.setProgram(toolPath());
        process.setArguments(args);
    }
    if (condition == Condition::StandardOutputFull)
        process.setStandardOutputFile(QStringLiteral("/dev/full"));
    process.setChildProcessModifier([condition] {
        switch (condition) {
        case Condition::FileSizeLimit:
            setLimit(RLIMIT_FSIZE, 100 * 1024);
            break;
        case Condition::AddressSpace1G:
            setLimit(RLIMIT_AS, 1000000ul * 1024);
            break;
        case Condition::AddressSpace300M:
            setLimit(RLIMIT_AS, 300000ul * 1024);
            break;
        case Condition::CpuTime10s:
            setLimit(RLIMIT_CPU, 10);
            break;
        case Condition::StandardOutputClosed:
            ::close(STDOUT_FILENO);
            break;
        case Condition::ReadOnlyFolder:
            // Root may write anywhere; nobody may not.
            if (::geteuid() == 0 && (::setgid(65534) != 0 || ::setuid(65534) != 0))
                ::_exit(125);
            break;
        default:
            break;
        }
    });
    process.start();
    if (!process.waitForStarted())
        qFatal("cannot start %s", qPrintable(toolPath()));
    process.write(input);
    process.closeWriteChannel();
    if (!process.waitForFinished(300000))
        qFatal("%s did not finish", qPrintable(toolPath()));
    Result result;
    result.status = process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
    result.out = process.readAllStandardOutput();
    result.err = process.readAllStandardError();
    return result;
}

void FaultsTest::faults_data()
{
    QTest::addColumn<QStringList>("args");
    QTest::addColumn<QByteArray>("input");
    QTest::addColumn<Condition>("condition");
    QTest::addColumn<int>("status");
    // Standard error must match this whole, as a regular expression.
    QTest::addColumn<QString>("message");
    // Standard output; with "file:" first, the content of x.txt afterwards;
    // with "contains:" first, a part of standard output.
    QTest::addColumn<QByteArray>("output");
    // The mode x.txt must have afterwards, or -1.
    QTest::addColumn<int>("mode");

    const QString none;
    const auto tool = [](const QString &text) { return QStringLiteral("razmnozhator-cli: ") + text + u'\n'; };
    const auto usage = [&](const QString &text) {
        return tool(text) + QStringLiteral("Try \"razmnozhator-cli --help\" for more information.\n");
    };
    const Condition plain = Condition::None;

    // Output by what the name refers to.
    QTest::newRow("-o through /proc/self/cwd replaces a regular file, not appends")
        << QStringList { "-o", "/proc/self/cwd/x.txt", "-e", "[a|b]" } << QByteArray() << plain << 0 << none
        << QByteArray("file:a\nb\n") << -1;
    QTest::newRow("-o through /proc/self/cwd creates a new file")
        << QStringList { "-o", "/proc/self/cwd/new.txt", "-e", "[a|b]" } << QByteArray() << plain << 0 << none
        << QByteArray() << -1;
    QTest::newRow("-o keeps a read-only file read-only")
        << QStringList { "-o", "x.txt", "-e", "[a|b]" } << QByteArray() << Condition::ReadOnlyFile << 0 << none
        << QByteArray("file:a\nb\n") << 0444;
    QTest::newRow("-o keeps the owner of a file replaced by root")
        << QStringList { "-o", "x.txt", "-e", "[a|b]" } << QByteArray() << Condition::FileOfAnotherOwner << 0 << none
        << QByteArray("file:a\nb\n") << -1;

    // Input that is not what it claims to be.
    QTest::newRow("incomplete UTF-8 at the end of a file")
        << QStringList { "templates/incomplete.txt" } << QByteArray() << plain << 2
        << tool("templates/incomplete.txt:1:19: the template is not valid UTF-8 \\(byte 0xC6\\); use --encoding cp1251 "
                "for a "
                "CP1251 file")
        << QByteArray() << -1;
    QTest::newRow("incomplete UTF-8 at the end of standard input")
        << QStringList() << QByteArray("[a|b]\xE2\x80") << plain << 2
        << tool("-:1:6: the template is not valid UTF-8 \\(byte 0xE2\\); use --encoding cp1251 for a CP1251 file")
        << QByteArray() << -1;
    QTest::newRow("invalid UTF-8 on a later line")
        << QStringList() << QByteArray("[a|b]\n\n ok \xFF") << plain << 2
        << tool("-:3:5: the template is not valid UTF-8 \\(byte 0xFF\\); use --encoding cp1251 for a CP1251 file")
        << QByteArray() << -1;
    QTest::newRow("invalid UTF-8 given with -e is not U+FFFD")
        << QStringList { "sh:", "exec \"$0\" -e \"$(printf '[a|b]\\342\\200')\"" } << QByteArray() << plain << 2
        << tool("-e:1:6: the template is not valid UTF-8 \\(byte 0xE2\\)") << QByteArray() << -1;
    QTest::newRow("NUL in a file") << QStringList { "templates/nul.txt" } << QByteArray() << plain << 1
                                   << tool("templates/nul.txt:1:4: the template contains a NUL character")
                                   << QByteArray() << -1;
    QTest::newRow("NUL in CP1251 input") << QStringList { "--encoding", "cp1251", "-0" }
                                         << QByteArray("\xC4\xE0\n[a|\0]", 8) << plain << 1
                                         << tool("-:2:4: the template contains a NUL character") << QByteArray() << -1;

    // Limits: a clear line, never a hang, an abort or a silent signal.
    QTest::newRow("--max-count 1 on a deep chain does not wait for the exact count")
        << QStringList { "--max-count", "1", "templates/pairs-chain.txt" } << QByteArray() << Condition::CpuTime10s << 0
        << none << QByteArray("b" + repeated("-", 100000) + "\n") << -1;
    QTest::newRow("/dev/zero as the template")
        << QStringList { "/dev/zero" } << QByteArray() << Condition::AddressSpace1G << 2
        << tool("/dev/zero: the template is too big for the memory available: [0-9.]+ MiB read so far, room for "
                "[0-9.]+ MiB")
        << QByteArray() << -1;
    QTest::newRow("compiling a deep chain in 300 MB")
        << QStringList { "--count", "templates/square-chain.txt" } << QByteArray() << Condition::AddressSpace300M << 2
        << tool("not enough memory to (compile the template|count the variants) \\(needed about [0-9.]+ [MG]iB\\)")
        << QByteArray() << -1;
    QTest::newRow("file size limit") << QStringList { "-o", "x.txt", "-e",
        QString(QStringLiteral("[0|1|2|3|4|5|6|7|8|9]").repeated(5)) }
                                     << QByteArray() << Condition::FileSizeLimit << 3
                                     << tool("cannot write \"x.txt\": File too large") << QByteArray("file:x\n") << -1;

    // Messages that point at the place in the text as written.
    QTest::newRow("bracket on the third line of a file")
        << QStringList { "templates/ml.txt" } << QByteArray() << plain << 1
        << tool("templates/ml.txt:3:7: Incomplete number of '\\[\\]'s") << QByteArray() << -1;
    QTest::newRow("unencodable character on the second line")
        << QStringList { "templates/greek.txt" } << QByteArray() << plain << 1
        << tool("templates/greek.txt:2:4: the character \"Ω\" \\(U\\+03A9\\) cannot be written in CP1251")
        << QByteArray() << -1;
    QTest::newRow("a lone CR is a line break") << QStringList() << QByteArray("[a|\rb]\r[") << plain << 1
                                               << tool("-:3:1: Incomplete number of '\\[\\]'s") << QByteArray() << -1;
    QTest::newRow("a shuffle of a huge count streams in little memory")
        << QStringList { "--shuffle", "--seed", "3", "--max-count", "2", "templates/twos.txt" } << QByteArray()
        << Condition::AddressSpace1G << 0 << none << QByteArray("contains:ab") << -1;
    QTest::newRow("a file in a folder that takes no new files says so")
        << QStringList { "-o", "/proc/version", "-e", "a" } << QByteArray() << plain << 3
        << tool("(?:cannot replace \"/proc/version\": no new file can be made in its folder \"/proc\" \\(.+\\)|"
                "cannot create \"/proc/version\": the folder \"/proc\" is not writable)")
        << QByteArray() << -1;

    // The contract of a command-line tool.
    QTest::newRow("--help to a full output")
        << QStringList { "--help" } << QByteArray() << Condition::StandardOutputFull << 3
        << tool("cannot write to standard output: No space left on device") << QByteArray() << -1;
    QTest::newRow("--version to a closed output")
        << QStringList { "--version" } << QByteArray() << Condition::StandardOutputClosed << 3
        << tool("cannot write to standard output: Bad file descriptor") << QByteArray() << -1;
    QTest::newRow("variants to a closed output")
        << QStringList { "-e", "[a|b]" } << QByteArray() << Condition::StandardOutputClosed << 3
        << tool("cannot write to standard output: Bad file descriptor") << QByteArray() << -1;
    QTest::newRow("--help says what a pairs group of fewer than two items gives")
        << QStringList { "--help" } << QByteArray() << plain << 0 << none
        << QByteArray("contains:A pairs group with fewer than two items gets empty ones: \"{sep|x}\" gives \"xsep\" "
                      "and \"sepx\", \"{sep}\" gives \"sep\" twice.")
        << -1;
    QTest::newRow("empty output name") << QStringList { "-o", "", "-e", "a" } << QByteArray() << plain << 2
                                       << usage("the output file name is empty; use \"-\" for standard output")
                                       << QByteArray() << -1;
    QTest::newRow("--min-length above --max-length")
        << QStringList { "--min-length", "10", "--max-length", "5", "-e", "a" } << QByteArray() << plain << 2
        << usage("--min-length 10 is above --max-length 5: no variant could be kept") << QByteArray() << -1;
    // Small points of the contract, each once wrong.
    QTest::newRow("--nth on an empty template is past the end")
        << QStringList { "-e", "", "--nth", "7" } << QByteArray() << plain << 2
        << tool("--nth 7 is past the end: the template has no variants") << QByteArray() << -1;
    QTest::newRow("one variant is, not are")
        << QStringList { "--nth", "2", "--max-length", "1", "-e", "[a|bb]" } << QByteArray() << plain << 2
        << tool("--nth 2 is past the end: 1 variant is within the length bounds") << QByteArray() << -1;
    const QString tenToThe100 = QStringLiteral("1") + QString(100, u'0');
    QTest::newRow("--nth one past 10^100 is told apart from the count")
        << QStringList { "--nth", tenToThe100.chopped(1) + u'1', "templates/big.txt" } << QByteArray() << plain << 2
        << tool(QStringLiteral("--nth %1 is past the end: the template has %2 variants")
                    .arg(tenToThe100.chopped(1) + u'1', tenToThe100))
        << QByteArray() << -1;
    QTest::newRow("a template file named in bytes that are not UTF-8")
        << QStringList { "sh:", "f=$(printf 'n\\377.txt'); printf '[a|b]' > \"$f\"; exec \"$0\" \"$f\"" }
        << QByteArray() << plain << 0 << none << QByteArray("a\nb\n") << -1;
    QTest::newRow("a missing file named in bytes that are not UTF-8")
        << QStringList { "sh:", "exec \"$0\" \"$(printf 'm\\377.txt')\"" } << QByteArray() << plain << 2
        << tool("cannot read \"m\\\\xFF\\.txt\": No such file or directory") << QByteArray() << -1;
    QTest::newRow("an output file named in bytes that are not UTF-8") << QStringList {
        "sh:", "f=$(printf 'out\\377.txt'); \"$0\" -o \"$f\" -e '[x|y]' && cat \"$f\" && ls | grep -c out"
    } << QByteArray() << plain << 0 << none << QByteArray("x\ny\n1\n") << -1;
    QTest::newRow("-o in a read-only folder says so")
        << QStringList { "-o", "ro/f.txt", "-e", "a" } << QByteArray() << Condition::ReadOnlyFolder << 3
        << tool("cannot create \"ro/f\\.txt\": the folder \"ro\" is not writable") << QByteArray() << -1;
    QTest::newRow("--shard beyond 64 bits names the limit")
        << QStringList { "--shard", "1/18446744073709551616", "-e", "a" } << QByteArray() << plain << 2
        << usage("invalid slice for --shard: \"1/18446744073709551616\" \\(N may be at most "
                 "18446744073709551615\\)")
        << QByteArray() << -1;
    for (const char *option : { "--seed", "--max-count", "--min-length", "--max-length" }) {
        for (const char *number : { "+1", " 1" })
            QTest::addRow("%s \"%s\" is not a number", option, number)
                << QStringList { "--shuffle", option, number, "-e", "a" } << QByteArray() << plain << 2
                << usage(QStringLiteral("invalid number for %1: \"\\%2\" \\(expected 0 to 4294967295\\)")
                             .arg(QLatin1String(option), QLatin1String(number)))
                << QByteArray() << -1;
    }
    QTest::newRow("--shard \"+1/2\" is not a slice")
        << QStringList { "--shard", "+1/2", "-e", "a" } << QByteArray() << plain << 2
        << usage("invalid slice for --shard: \"\\+1/2\" \\(expected K/N with 1 <= K <= N\\)") << QByteArray() << -1;
    QTest::newRow("--help-all is what the manual page says")
        << QStringList { "--help" } << QByteArray() << plain << 0 << none
        << QByteArray("contains:\n  --help-all             The same as --help.\n") << -1;
    QTest::newRow("--seed without --shuffle")
        << QStringList { "--seed", "7", "-e", "a" } << QByteArray() << plain << 2
        << usage("--seed only seeds --shuffle and --sample; give one of them too, or leave out --seed") << QByteArray()
        << -1;
}

void FaultsTest::faults()
{
    QFETCH(QStringList, args);
    QFETCH(QByteArray, input);
    QFETCH(Condition, condition);
    QFETCH(int, status);
    QFETCH(QString, message);
    QFETCH(QByteArray, output);
    QFETCH(int, mode);

    if (condition == Condition::FileOfAnotherOwner && ::geteuid() != 0)
        QSKIP("only root replaces a file of another owner");
    if (condition == Condition::ReadOnlyFile && ::geteuid() != 0)
        QSKIP("only root may replace a read-only file");
    if (condition == Condition::ReadOnlyFolder && ::geteuid() == 0
        && !nobodyCanRun(toolPath(), QFileInfo(dir->path()).path()))
        QSKIP(
            "the user nobody cannot start the tool here: a folder above the build or the test folder is closed to it");
    QVERIFY(QFile::link(templates.path(), dir->filePath(QStringLiteral("templates"))));

    const Result result = runTool(args, input, condition);
    // An engine lean enough to count the deep chain within the limit may
    // print the count; what it may never do is abort.
    if (condition == Condition::AddressSpace300M && result.status == 0) {
        QCOMPARE(result.out, QByteArray("1000001\n"));
        return;
    }
    const QRegularExpression expected(QRegularExpression::anchoredPattern(message));
    QVERIFY2(expected.match(QString::fromUtf8(result.err)).hasMatch(), result.err.left(1000).constData());
    QCOMPARE(result.status, status);

    const QString file = dir->filePath(QStringLiteral("x.txt"));
    if (output.startsWith("file:"))
        QCOMPARE(readFile(file), output.mid(5));
    else if (output.startsWith("contains:"))
        QVERIFY2(result.out.contains(output.mid(9)), result.out.constData());
    else
        QCOMPARE(result.out, output);
    if (args.contains(QLatin1String("/proc/self/cwd/new.txt")))
        QCOMPARE(readFile(dir->filePath(QStringLiteral("new.txt"))), QByteArray("a\nb\n"));
    struct stat info;
    QCOMPARE(::stat(QFile::encodeName(file).constData(), &info), 0);
    if (mode >= 0)
        QCOMPARE(int(info.st_mode & 07777), mode);
    if (condition == Condition::FileOfAnotherOwner)
        QCOMPARE(int(info.st_uid), 65534);
}

QTEST_GUILESS_MAIN(FaultsTest)
#include "faults_test.moc"
