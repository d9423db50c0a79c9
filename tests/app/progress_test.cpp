// Long commands report progress, and a cancel leaves the lines, the list,
// the status line, the clipboard and any existing file exactly as they were.

#include <QApplication>
#include <QClipboard>
#include <QFile>
#include <QGuiApplication>
#include <QTemporaryDir>
#include <QTest>

#include "windowdriver.h"

class ProgressTest : public QObject
{
    Q_OBJECT

private slots:
    void cancelChangesNothing_data();
    void cancelChangesNothing();
    void closingWhileWorkingAsks_data();
    void closingWhileWorkingAsks();
};

void ProgressTest::cancelChangesNothing_data()
{
    QTest::addColumn<QString>("command");
    QTest::addColumn<QString>("progressText");

    QTest::newRow("generate") << "generateButton" << QStringLiteral("Генерация строк");
    QTest::newRow("restrict") << "restrictButton" << QStringLiteral("Ограничение строк");
    QTest::newRow("save") << "saveButton" << QStringLiteral("Сохранение в файл");
    QTest::newRow("copy") << "clipboardButton" << QStringLiteral("Копирование строк");
}

void ProgressTest::cancelChangesNothing()
{
    QFETCH(QString, command);
    QFETCH(QString, progressText);

    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("lines.txt"));
    QFile old(path);
    QVERIFY(old.open(QIODevice::WriteOnly) && old.write("old\n") == 4);
    old.close();

    WindowDriver driver;
    driver.generate(QStringLiteral("[a|bb|ccc][x|yy]"));
    const QStringList before = driver.listTexts();
    QCOMPARE(before.size(), 6);
    QGuiApplication::clipboard()->setText(QStringLiteral("clipboard before"));
    driver.templateEdit()->setPlainText(QStringLiteral("[1|2|3]"));
    driver.minLengthEdit()->setText(QStringLiteral("3"));
    driver.dialogs->savePaths.enqueue(path);
    driver.dialogs->progressCalls.clear();
    driver.dialogs->cancelProgress = true;

    driver.click(command.toLatin1().constData());

    QCOMPARE(driver.dialogs->progressCalls.size(), 1);
    QCOMPARE(driver.dialogs->progressCalls.first().text, progressText);
    QCOMPARE(driver.dialogs->progressCalls.first().parent, driver.window.get());
    QCOMPARE(driver.listTexts(), before);
    QCOMPARE(driver.statusText(), countMessage(6));
    QCOMPARE(QGuiApplication::clipboard()->text(), QStringLiteral("clipboard before"));
    QVERIFY(old.open(QIODevice::ReadOnly));
    QCOMPARE(old.readAll(), QByteArray("old\n"));
    QCOMPARE(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden), QStringList { "lines.txt" });
    QVERIFY(driver.dialogs->calls.size() <= 1); // the save dialog, nothing else
}

void ProgressTest::closingWhileWorkingAsks_data()
{
    QTest::addColumn<bool>("answer");
    QTest::addColumn<QStringList>("lines");
    QTest::newRow("no: the work goes on") << false << QStringList { "1", "2", "3" };
    QTest::newRow("yes: it stops and the window closes") << true << QStringList { "a", "b" };
}

void ProgressTest::closingWhileWorkingAsks()
{
    QFETCH(bool, answer);
    QFETCH(QStringList, lines);

    WindowDriver driver;
    QVERIFY(driver.showAndActivate());
    driver.generate(QStringLiteral("[a|b]"));
    driver.templateEdit()->setPlainText(QStringLiteral("[1|2|3]"));
    driver.dialogs->yesNoAnswers.enqueue(answer);
    driver.dialogs->whileWorking = [&driver] { driver.window->close(); };
    driver.click("generateButton");
    QApplication::processEvents();

    const auto questions = driver.dialogs->callsOf(RecordingDialogs::Kind::YesNo);
    QCOMPARE(questions.size(), 1);
    QCOMPARE(questions.first().title, QStringLiteral("Выйти"));
    QCOMPARE(questions.first().text, QStringLiteral("Работа ещё идёт. Остановить её и выйти?"));
    QCOMPARE(driver.window->isVisible(), !answer);
    QCOMPARE(driver.listTexts(), lines);
}

QTEST_MAIN(ProgressTest)
#include "progress_test.moc"
