// Saving decides by what a name refers to, never by how it is spelled: a
// regular file is replaced whole and keeps its mode, reached by any path;
// devices and FIFOs stay what they are and get the data.

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

#include "outputfile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

using razmnozhator::OutputFile;

Q_DECLARE_METATYPE(OutputFile::Mode)

namespace {

QByteArray readFile(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<missing>");
}

void writeFile(const QString &path, const QByteArray &content)
{
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    QCOMPARE(file.write(content), content.size());
}

bool save(const QString &path, const QByteArray &content)
{
    OutputFile file(path);
    return file.open() && file.write(content.constData(), std::size_t(content.size())) && file.commit();
}

} // namespace

class OutputFileTest : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void decidesByWhatTheNameIs_data();
    void decidesByWhatTheNameIs();
    void replacesThroughAnyPath();
    void keepsPermissionBits_data();
    void keepsPermissionBits();
    void cancelLeavesOldFile();
    void writesFifoDirectly();
    void reportsWhyItFails();

private:
    std::unique_ptr<QTemporaryDir> dir;
};

void OutputFileTest::init()
{
    dir = std::make_unique<QTemporaryDir>();
    QVERIFY(dir->isValid());
    writeFile(dir->filePath(QStringLiteral("existing.txt")), "old\n");
    QVERIFY(QDir().mkpath(dir->filePath(QStringLiteral("folder"))));
    QVERIFY(::mkfifo(QFile::encodeName(dir->filePath(QStringLiteral("fifo"))).constData(), 0600) == 0);
}

void OutputFileTest::decidesByWhatTheNameIs_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<OutputFile::Mode>("mode");

    QTest::newRow("existing regular file") << QStringLiteral("existing.txt") << OutputFile::Mode::Atomic;
    QTest::newRow("new name") << QStringLiteral("new.txt") << OutputFile::Mode::Atomic;
    QTest::newRow("name in a missing folder") << QStringLiteral("missing/new.txt") << OutputFile::Mode::Atomic;
    QTest::newRow("FIFO") << QStringLiteral("fifo") << OutputFile::Mode::Direct;
    QTest::newRow("null device") << QStringLiteral("/dev/null") << OutputFile::Mode::Direct;
    QTest::newRow("regular file through /proc")
        << QStringLiteral("/proc/self/cwd/existing.txt") << OutputFile::Mode::Atomic;
    QTest::newRow("new name through /proc") << QStringLiteral("/proc/self/cwd/new.txt") << OutputFile::Mode::Atomic;
    QTest::newRow("regular file on /dev/shm") << QStringLiteral("/dev/shm/%1") << OutputFile::Mode::Atomic;
    QTest::newRow("descriptor naming a regular file") << QStringLiteral("/dev/fd/%1") << OutputFile::Mode::Direct;
}

void OutputFileTest::decidesByWhatTheNameIs()
{
    QFETCH(QString, name);
    QFETCH(OutputFile::Mode, mode);
    QVERIFY(QDir::setCurrent(dir->path()));
    const QString shm = QStringLiteral("/dev/shm/razmnozhator-test-%1.txt").arg(::getpid());
    writeFile(shm, "x");
    const int fd = ::open("existing.txt", O_RDONLY);
    if (name.startsWith(QLatin1String("/dev/shm")))
        name = shm;
    else if (name.startsWith(QLatin1String("/dev/fd")))
        name = name.arg(fd);
    const OutputFile::Mode found = OutputFile(name).mode();
    ::close(fd);
    QFile::remove(shm);
    QCOMPARE(found, mode);
}

void OutputFileTest::replacesThroughAnyPath()
{
    QVERIFY(QDir::setCurrent(dir->path()));
    const QString path = dir->filePath(QStringLiteral("existing.txt"));
    struct stat before;
    QCOMPARE(::stat(QFile::encodeName(path).constData(), &before), 0);
    QVERIFY(save(QStringLiteral("/proc/self/cwd/existing.txt"), "new\n"));
    QCOMPARE(readFile(path), QByteArray("new\n"));
    struct stat after;
    QCOMPARE(::stat(QFile::encodeName(path).constData(), &after), 0);
    QVERIFY2(after.st_ino != before.st_ino, "the file must be replaced, not appended to");

    QVERIFY(save(QStringLiteral("/proc/self/cwd/created.txt"), "created\n"));
    QCOMPARE(readFile(dir->filePath(QStringLiteral("created.txt"))), QByteArray("created\n"));
}

void OutputFileTest::keepsPermissionBits_data()
{
    QTest::addColumn<int>("mode");
    QTest::newRow("0640") << 0640;
    QTest::newRow("0444") << 0444;
    QTest::newRow("0755") << 0755;
    QTest::newRow("0600") << 0600;
}

void OutputFileTest::keepsPermissionBits()
{
    QFETCH(int, mode);
    const QString path = dir->filePath(QStringLiteral("existing.txt"));
    const QByteArray encoded = QFile::encodeName(path);
    QCOMPARE(::chmod(encoded.constData(), mode_t(mode)), 0);
    if (::geteuid() != 0 && !(mode & 0200))
        QSKIP("only root may replace a read-only file");
    QVERIFY(save(path, "new\n"));
    QCOMPARE(readFile(path), QByteArray("new\n"));
    struct stat after;
    QCOMPARE(::stat(encoded.constData(), &after), 0);
    QCOMPARE(int(after.st_mode & 07777), mode);
}

void OutputFileTest::cancelLeavesOldFile()
{
    const QString path = dir->filePath(QStringLiteral("existing.txt"));
    {
        OutputFile file(path);
        QVERIFY(file.open());
        QVERIFY(file.write("partial", 7));
    }
    QCOMPARE(readFile(path), QByteArray("old\n"));
    QCOMPARE(QDir(dir->path()).entryList(QDir::Files).size(), 1);
}

void OutputFileTest::writesFifoDirectly()
{
    const QString path = dir->filePath(QStringLiteral("fifo"));
    const int reader = ::open(QFile::encodeName(path).constData(), O_RDONLY | O_NONBLOCK);
    QVERIFY(reader >= 0);
    QVERIFY(save(path, "through\n"));
    char buffer[16] = {};
    QCOMPARE(::read(reader, buffer, sizeof buffer), ssize_t(8));
    ::close(reader);
    QCOMPARE(QByteArray(buffer), QByteArray("through\n"));
    struct stat info;
    QCOMPARE(::stat(QFile::encodeName(path).constData(), &info), 0);
    QVERIFY(S_ISFIFO(info.st_mode));
}

void OutputFileTest::reportsWhyItFails()
{
    OutputFile missing(dir->filePath(QStringLiteral("missing/new.txt")));
    QVERIFY(!missing.open());
    QVERIFY2(!missing.errorString().isEmpty(), "the reason must be given");

    OutputFile folder(dir->filePath(QStringLiteral("folder")));
    QVERIFY(!folder.open());
    QVERIFY2(!folder.errorString().isEmpty(), "the reason must be given");
}

QTEST_GUILESS_MAIN(OutputFileTest)
#include "outputfile_test.moc"
