// Save and copy: the exact bytes of the file, its atomic replacement, the
// failures that keep the old file, and the clipboard text.

#include <cerrno>
#include <csignal>
#include <cstring>
#include <optional>

#include <fcntl.h>
#include <linux/fs.h>
#include <sys/ioctl.h>
#include <sys/resource.h>
#include <unistd.h>

#include <QClipboard>
#include <QDir>
#include <QFile>
#include <QGuiApplication>
#include <QTemporaryDir>
#include <QTest>

#include "windowdriver.h"

using Kind = RecordingDialogs::Kind;

class SaveAndCopyTest : public QObject
{
    Q_OBJECT

private slots:
    void saves_data();
    void saves();
    void savingTwiceEqualsSavingOnce();
    void cancelledDialogWritesNothing();
    void failuresKeepTheOldFile_data();
    void failuresKeepTheOldFile();
    void copies_data();
    void copies();
};

static QByteArray readFile(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return "<unreadable>";
    return file.readAll();
}

static bool writeFile(const QString &path, const QByteArray &content)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(content) == content.size();
}

static QStringList entries(const QString &dir)
{
    return QDir(dir).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot);
}

static void checkSaveDialog(const WindowDriver &driver)
{
    const auto asked = driver.dialogs->callsOf(Kind::SavePath);
    QCOMPARE(asked.size(), 1);
    QCOMPARE(asked.first().parent, driver.window.get());
    QCOMPARE(asked.first().title, QStringLiteral("SaveToFile"));
    // Windows-1251 first, as always; UTF-8 after it.
    QCOMPARE(asked.first().text,
        QStringLiteral("All Files (*);;Text Files (*.txt);;All Files, UTF-8 (*);;Text Files, UTF-8 (*.txt)"));
}

void SaveAndCopyTest::saves_data()
{
    QTest::addColumn<QString>("templateText");
    QTest::addColumn<QString>("fileName");
    QTest::addColumn<QByteArray>("oldContent");
    QTest::addColumn<QByteArray>("expected");
    QTest::addColumn<QString>("fileType");

    const auto row = [](const char *name, const QString &templateText, const QString &fileName,
                         const QByteArray &oldContent, const QByteArray &expected, const char *fileType = "") {
        QTest::newRow(name) << templateText << fileName << oldContent << expected << QString::fromLatin1(fileType);
    };
    const QByteArray noFile;
    row("three lines", "[a|b|d]", "out.txt", noFile, "a\nb\nd\n");
    row("no lines", "", "empty.txt", noFile, "");
    row("no lines over an existing file", "", "old.txt", "old\n", "");
    row("Cyrillic lines in CP1251", QStringLiteral("[Ёж|щука]"), "out.txt", noFile, "\xA8\xE6\n\xF9\xF3\xEA\xE0\n");
    row("empty line", "[|x]", "out.txt", noFile, "\nx\n");
    row("Cyrillic lines in CP1251 as text files", QStringLiteral("[Ёж|щука]"), "out.txt", noFile,
        "\xA8\xE6\n\xF9\xF3\xEA\xE0\n", "Text Files (*.txt)");
    row("Cyrillic lines in UTF-8 without a byte order mark", QStringLiteral("[Ёж|щука]"), "out.txt", noFile,
        "\xD0\x81\xD0\xB6\n\xD1\x89\xD1\x83\xD0\xBA\xD0\xB0\n", "Text Files, UTF-8 (*.txt)");
    row("punctuation of CP1251's upper half in UTF-8", QStringLiteral("«a» №[1|2]"), "out", noFile,
        "\xC2\xAB"
        "a\xC2\xBB \xE2\x84\x96"
        "1\n\xC2\xAB"
        "a\xC2\xBB \xE2\x84\x96"
        "2\n",
        "All Files, UTF-8 (*)");
    row("name without extension", "[a|b|d]", "noextension", noFile, "a\nb\nd\n");
    row("Cyrillic file name kept as is", "x", QStringLiteral("вывод строк.txt"), noFile, "x\n");
    row("longer old file replaced, not appended to", "[a|b]", "old.txt", "a much longer old content\nthat must go\n",
        "a\nb\n");

    QByteArray manyLines;
    for (int i = 0; i < 100000; ++i)
        manyLines += QByteArray::number(i).rightJustified(5, '0') + " and some text to make the lines longer\n";
    row("many lines, several blocks",
        QStringLiteral("[0|1|2|3|4|5|6|7|8|9]").repeated(5) + " and some text to make the lines longer", "big.txt",
        noFile, manyLines);
}

void SaveAndCopyTest::saves()
{
    QFETCH(QString, templateText);
    QFETCH(QString, fileName);
    QFETCH(QByteArray, oldContent);
    QFETCH(QByteArray, expected);
    QFETCH(QString, fileType);

    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QString path = dir.filePath(fileName);
    if (!oldContent.isNull())
        QVERIFY(writeFile(path, oldContent));

    WindowDriver driver;
    if (!templateText.isEmpty())
        driver.generate(templateText);
    const QStringList listBefore = driver.listTexts();
    const QString statusBefore = driver.statusText();
    driver.dialogs->calls.clear();
    driver.dialogs->savePaths.enqueue(path);
    if (!fileType.isEmpty())
        driver.dialogs->saveFilters.enqueue(fileType);
    driver.click("saveButton");

    checkSaveDialog(driver);
    QCOMPARE(driver.dialogs->calls.size(), 1);
    QCOMPARE(readFile(path), expected);
    QCOMPARE(entries(dir.path()), QStringList { fileName });
    QCOMPARE(driver.listTexts(), listBefore);
    QCOMPARE(driver.statusText(), statusBefore);
}

void SaveAndCopyTest::savingTwiceEqualsSavingOnce()
{
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QString path = dir.filePath("twice.txt");
    WindowDriver driver;
    driver.generate("[a|b|d]");
    driver.dialogs->savePaths.enqueue(path);
    driver.dialogs->savePaths.enqueue(path);
    driver.trigger("saveAction");
    driver.trigger("saveAction");
    QCOMPARE(driver.dialogs->callsOf(Kind::SavePath).size(), 2);
    QVERIFY(driver.dialogs->callsOf(Kind::Error).isEmpty());
    QCOMPARE(readFile(path), QByteArray("a\nb\nd\n"));
    QCOMPARE(entries(dir.path()), QStringList { "twice.txt" });
}

void SaveAndCopyTest::cancelledDialogWritesNothing()
{
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    WindowDriver driver;
    driver.generate("[a|b|d]");
    driver.click("saveButton");
    checkSaveDialog(driver);
    QCOMPARE(driver.dialogs->calls.size(), 1);
    QVERIFY(entries(dir.path()).isEmpty());
    QCOMPARE(driver.listTexts(), QStringList({ "a", "b", "d" }));
}

// Makes a folder in which nobody, the superuser included, can create a file:
// without write permission, and when that does not stop the superuser, immutable.
class ReadOnlyFolder
{
public:
    explicit ReadOnlyFolder(const QString &folder)
        : path(folder)
    {
        QFile::setPermissions(path, QFile::ReadOwner | QFile::ExeOwner | QFile::ReadGroup | QFile::ExeGroup);
        if (refusesNewFiles())
            return;
        fd = ::open(QFile::encodeName(path).constData(), O_RDONLY | O_DIRECTORY);
        int flags = 0;
        if (fd >= 0 && ::ioctl(fd, FS_IOC_GETFLAGS, &flags) == 0) {
            flags |= FS_IMMUTABLE_FL;
            immutable = ::ioctl(fd, FS_IOC_SETFLAGS, &flags) == 0;
        }
    }
    ~ReadOnlyFolder()
    {
        if (immutable) {
            int flags = 0;
            if (::ioctl(fd, FS_IOC_GETFLAGS, &flags) == 0) {
                flags &= ~FS_IMMUTABLE_FL;
                ::ioctl(fd, FS_IOC_SETFLAGS, &flags);
            }
        }
        if (fd >= 0)
            ::close(fd);
        QFile::setPermissions(path, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    }
    bool refusesNewFiles() const
    {
        QFile probe(path + QStringLiteral("/probe"));
        if (!probe.open(QIODevice::WriteOnly))
            return true;
        probe.remove();
        return false;
    }

private:
    QString path;
    int fd = -1;
    bool immutable = false;
};

// Lets no file of the process grow beyond a few kilobytes, the way a full
// disk would stop it part way; the signal that would end the process is ignored.
class FileSizeLimit
{
public:
    explicit FileSizeLimit(rlim_t bytes)
    {
        ::getrlimit(RLIMIT_FSIZE, &old);
        previousHandler = std::signal(SIGXFSZ, SIG_IGN);
        rlimit limit = old;
        limit.rlim_cur = bytes;
        active = ::setrlimit(RLIMIT_FSIZE, &limit) == 0;
    }
    ~FileSizeLimit()
    {
        ::setrlimit(RLIMIT_FSIZE, &old);
        std::signal(SIGXFSZ, previousHandler);
    }
    bool active = false;

private:
    rlimit old {};
    void (*previousHandler)(int) = nullptr;
};

void SaveAndCopyTest::failuresKeepTheOldFile_data()
{
    QTest::addColumn<QString>("failure");
    QTest::addColumn<QList<int>>("reasons");

    QTest::newRow("missing folder") << "missing folder" << QList<int> { ENOENT };
    // Denied by the permissions, or by the immutable folder for the superuser.
    QTest::newRow("read-only folder") << "read-only folder" << QList<int> { EACCES, EPERM };
    QTest::newRow("write fails in the middle") << "file size limit" << QList<int> { EFBIG };
}

void SaveAndCopyTest::failuresKeepTheOldFile()
{
    QFETCH(QString, failure);
    QFETCH(QList<int>, reasons);

    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QByteArray oldContent = "old content\n";
    const QString folder = dir.filePath("folder");
    QVERIFY(QDir().mkpath(folder));
    QString path = folder + QStringLiteral("/lines.txt");
    QVERIFY(writeFile(path, oldContent));
    if (failure == u"missing folder")
        path = dir.filePath("missing/lines.txt");

    WindowDriver driver;
    // 100000 lines, 600 000 bytes: more than one block and far beyond the limit.
    driver.generate("[0|1|2|3|4|5|6|7|8|9][0|1|2|3|4|5|6|7|8|9][0|1|2|3|4|5|6|7|8|9]"
                    "[0|1|2|3|4|5|6|7|8|9][0|1|2|3|4|5|6|7|8|9]x");
    driver.dialogs->savePaths.enqueue(path);
    {
        std::optional<ReadOnlyFolder> readOnly;
        std::optional<FileSizeLimit> limit;
        if (failure == u"read-only folder") {
            readOnly.emplace(folder);
            if (!readOnly->refusesNewFiles())
                QSKIP("this file system lets the superuser write into any folder");
        } else if (failure == u"file size limit") {
            limit.emplace(4096);
            QVERIFY(limit->active);
        }
        driver.click("saveButton");
    }

    const auto errors = driver.dialogs->callsOf(Kind::Error);
    QCOMPARE(errors.size(), 1);
    QCOMPARE(errors.first().title, QStringLiteral("Error!"));
    QCOMPARE(errors.first().parent, driver.window.get());
    // The message names the file and the system's reason.
    QStringList messages;
    for (int reason : reasons) {
        messages.append(QStringLiteral("Не удалось записать файл %1: %2")
                            .arg(QDir::toNativeSeparators(path), QString::fromLocal8Bit(std::strerror(reason))));
    }
    QVERIFY2(messages.contains(errors.first().text), qPrintable(errors.first().text));

    QCOMPARE(readFile(folder + QStringLiteral("/lines.txt")), oldContent);
    QCOMPARE(entries(folder), QStringList { "lines.txt" });
    QCOMPARE(entries(dir.path()), QStringList { "folder" });
    QCOMPARE(driver.statusText(), QStringLiteral("Строк: 100 000"));
}

void SaveAndCopyTest::copies_data()
{
    QTest::addColumn<QString>("templateText");
    QTest::addColumn<QString>("expected");

    const auto row = [](const char *name, const QString &templateText, const QString &expected) {
        QTest::newRow(name) << templateText << expected;
    };
    row("three lines", "[a|b|d]", "a\nb\nd\n");
    row("no lines", "", "");
    row("Cyrillic", QStringLiteral("[Ёж|щука]"), QStringLiteral("Ёж\nщука\n"));
    row("empty lines", "[|x|]", "\nx\n\n");
    row("CP1251 symbols", QStringLiteral("[№ 1|€ — «»]"), QStringLiteral("№ 1\n€ — «»\n"));
}

void SaveAndCopyTest::copies()
{
    QFETCH(QString, templateText);
    QFETCH(QString, expected);

    WindowDriver driver;
    if (!templateText.isEmpty())
        driver.generate(templateText);
    const QString statusBefore = driver.statusText();
    QGuiApplication::clipboard()->setText(QStringLiteral("what was there before"));
    driver.click("clipboardButton");
    QCOMPARE(QGuiApplication::clipboard()->text(), expected);
    QCOMPARE(driver.statusText(), statusBefore);
    QVERIFY(driver.dialogs->calls.isEmpty());
}

QTEST_MAIN(SaveAndCopyTest)
#include "saveandcopy_test.moc"
