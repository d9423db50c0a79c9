// Faults a demanding user met in the window: characters lost or let through
// on the way into the engine, files replaced that had to be written into,
// and save errors that did not say which file.

#include <cstring>
#include <optional>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

#include "windowdriver.h"

using Kind = RecordingDialogs::Kind;

class FaultsTest : public QObject
{
    Q_OBJECT

public:
    enum class Target { NoSave, NewFile, Fifo, MissingFolder };
    Q_ENUM(Target)

private slots:
    void faults_data();
    void faults();
};

void FaultsTest::faults_data()
{
    QTest::addColumn<QString>("templateText");
    QTest::addColumn<Target>("target");
    QTest::addColumn<QStringList>("rows");
    QTest::addColumn<QByteArray>("written"); // into the file or the FIFO
    QTest::addColumn<QString>("error"); // %1 is the file's name

    const QStringList previous { "p", "q" };
    QTest::newRow("non-breaking space kept")
        << QStringLiteral("10\u00a0000 [руб.|— x]") << Target::NewFile
        << QStringList { QStringLiteral("10\u00a0000 руб."), QStringLiteral("10\u00a0000 — x") }
        << QByteArray("10\xA0"
                      "000 \xF0\xF3\xE1.\n10\xA0"
                      "000 \x97 x\n")
        << QString();
    QTest::newRow("non-breaking space in a multi-line template")
        << QStringLiteral("[a|b]\n\u00a0c") << Target::NoSave
        << QStringList { QStringLiteral("a\u00a0c"), QStringLiteral("b\u00a0c") } << QByteArray() << QString();
    QTest::newRow("NUL refused with its line and column")
        << QStringLiteral("[a|b]\n c") + QChar(0) + "[d|e]" << Target::NoSave << previous << QByteArray()
        << QStringLiteral("Символ NUL (строка 2, столбец 3) не может быть частью шаблона. Уберите его.");
    QTest::newRow("saving into a FIFO writes into it")
        << "[a|b]" << Target::Fifo << QStringList { "a", "b" } << QByteArray("a\nb\n") << QString();
    QTest::newRow("save error names the file")
        << "[a|b]" << Target::MissingFolder << QStringList { "a", "b" } << QByteArray()
        << QStringLiteral("Не удалось записать файл %1: ") + QString::fromLocal8Bit(std::strerror(ENOENT));
}

void FaultsTest::faults()
{
    QFETCH(QString, templateText);
    QFETCH(Target, target);
    QFETCH(QStringList, rows);
    QFETCH(QByteArray, written);
    QFETCH(QString, error);

    QTemporaryDir dir;
    QString path = dir.filePath(QStringLiteral("out.txt"));
    std::optional<int> fifo;
    if (target == Target::Fifo) {
        QVERIFY(::mkfifo(QFile::encodeName(path).constData(), 0600) == 0);
        // A reader that does not wait lets the window's writer open the FIFO.
        fifo = ::open(QFile::encodeName(path).constData(), O_RDONLY | O_NONBLOCK);
        QVERIFY(*fifo >= 0);
    } else if (target == Target::MissingFolder) {
        path = dir.filePath(QStringLiteral("missing/out.txt"));
    }

    WindowDriver driver;
    driver.generate(QStringLiteral("[p|q]"));
    driver.generate(templateText);
    if (target != Target::NoSave) {
        driver.dialogs->savePaths.enqueue(path);
        driver.click("saveButton");
    }

    QCOMPARE(driver.listTexts(), rows);
    const auto errors = driver.dialogs->callsOf(Kind::Error);
    QCOMPARE(errors.size(), error.isEmpty() ? 0 : 1);
    if (!error.isEmpty())
        QCOMPARE(errors.first().text, QString(error).replace(QStringLiteral("%1"), QDir::toNativeSeparators(path)));
    if (fifo) {
        QByteArray received(64, '\0');
        const auto size = ::read(*fifo, received.data(), static_cast<std::size_t>(received.size()));
        ::close(*fifo);
        received.resize(size < 0 ? 0 : size);
        QCOMPARE(received, written);
        struct stat info;
        QVERIFY(::stat(QFile::encodeName(path).constData(), &info) == 0 && S_ISFIFO(info.st_mode));
    } else if (target == Target::NewFile) {
        QFile file(path);
        QVERIFY(file.open(QIODevice::ReadOnly));
        QCOMPARE(file.readAll(), written);
    }
}

QTEST_MAIN(FaultsTest)
#include "faults_test.moc"
