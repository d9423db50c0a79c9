// A result too big for memory: the question and what each of its answers does.

#include <QDir>
#include <QFile>
#include <QLocale>
#include <QTemporaryDir>
#include <QTest>

#include "windowdriver.h"

using Kind = RecordingDialogs::Kind;
using Answer = Dialogs::TooBigAnswer;

class TooBigTest : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase() { QLocale::setDefault(QLocale(QLocale::Russian, QLocale::Russia)); }
    void asksWithTheFigures();
    void answers_data();
    void answers();
};

// Six variants of 2 to 5 characters; the length fields 3 to 4 keep four.
static const QString smallTemplate = QStringLiteral("[a|bb|ccc][x|yy]");

// A window where nothing fits, with "[p|q]" generated before.
static void prepare(WindowDriver &driver)
{
    driver.generate(QStringLiteral("[p|q]"));
    driver.window->setMemorySource([] { return std::uint64_t(1000); });
    driver.minLengthEdit()->setText(QStringLiteral("3"));
    driver.maxLengthEdit()->setText(QStringLiteral("4"));
    driver.maxCountEdit()->setText(QStringLiteral("2"));
    driver.dialogs->calls.clear();
}

static QByteArray readFile(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<missing>");
}

void TooBigTest::asksWithTheFigures()
{
    WindowDriver driver;
    prepare(driver);
    driver.generate(smallTemplate);

    QCOMPARE(driver.dialogs->calls.size(), 1);
    const RecordingDialogs::Call box = driver.dialogs->calls.first();
    QCOMPARE(box.kind, Kind::TooBig);
    QCOMPARE(box.parent, driver.window.get());
    QCOMPARE(box.title, QStringLiteral("Размножатор v1.0b"));
    QCOMPARE(box.text,
        QStringLiteral("Шаблон даёт 6 строк, для всех нужно около 1,70 KiB памяти, столько свободной памяти нет.\n\n"
                       "Можно взять не более 2 случайных строк длиной от 3 до 4 символов "
                       "или сохранить все строки такой длины сразу в файл."));
}

void TooBigTest::answers_data()
{
    QTest::addColumn<Answer>("answer");
    QTest::addColumn<bool>("choosesFile");
    QTest::addColumn<bool>("cancelProgress");
    QTest::addColumn<QByteArray>("file");

    const QByteArray old = "old\n";
    QTest::newRow("cancel") << Answer::Cancel << false << false << old;
    QTest::newRow("save all, the kept lengths in order")
        << Answer::SaveAll << true << false << QByteArray("ayy\nbbx\nbbyy\ncccx\n");
    QTest::newRow("save all, file dialog cancelled") << Answer::SaveAll << false << false << old;
    QTest::newRow("save all, progress cancelled") << Answer::SaveAll << true << true << old;
}

void TooBigTest::answers()
{
    QFETCH(Answer, answer);
    QFETCH(bool, choosesFile);
    QFETCH(bool, cancelProgress);
    QFETCH(QByteArray, file);

    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("all.txt"));
    QFile old(path);
    QVERIFY(old.open(QIODevice::WriteOnly) && old.write("old\n") == 4);
    old.close();

    WindowDriver driver;
    prepare(driver);
    driver.dialogs->tooBigAnswers.enqueue(answer);
    if (choosesFile)
        driver.dialogs->savePaths.enqueue(path);
    driver.dialogs->cancelProgress = cancelProgress;
    driver.generate(smallTemplate);

    QCOMPARE(readFile(path), file);
    QCOMPARE(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden), QStringList { "all.txt" });
    // The lines stay as they were, whatever the answer.
    QCOMPARE(driver.listTexts(), QStringList({ "p", "q" }));
    QCOMPARE(driver.statusText(), countMessage(2));
    QVERIFY(driver.dialogs->callsOf(Kind::Error).isEmpty());
}

QTEST_MAIN(TooBigTest)
#include "toobig_test.moc"
