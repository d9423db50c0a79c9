// The line status on click and activation, and the About box's contents.

#include <QApplication>
#include <QRegularExpression>
#include <QTest>

#include "windowdriver.h"

using Kind = RecordingDialogs::Kind;

class StatusAndAboutTest : public QObject
{
    Q_OBJECT

private slots:
    void statusOfARow_data();
    void statusOfARow();
    void endKeysReachTheLastLine_data();
    void endKeysReachTheLastLine();
    void statusFollowsTheKeys_data();
    void statusFollowsTheKeys();
    void statusFollowsTheRule_data();
    void statusFollowsTheRule();
    void statusCountsTheLinesAfterRestrict();
    void generateAndRestrictReplaceTheStatus();
    void about();
};

enum class Reach { Click, Enter };
Q_DECLARE_METATYPE(Reach)

static void reachRow(const WindowDriver &driver, int row, Reach reach)
{
    QListView *list = driver.resultList();
    const QModelIndex item = list->model()->index(row, 0);
    QVERIFY(item.isValid());
    list->scrollTo(item);
    if (reach == Reach::Click) {
        QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, list->visualRect(item).center());
    } else {
        list->setCurrentIndex(item);
        list->setFocus();
        QTest::keyClick(list, Qt::Key_Return);
    }
}

void StatusAndAboutTest::statusOfARow_data()
{
    QTest::addColumn<QString>("templateText");
    QTest::addColumn<int>("row");
    QTest::addColumn<QString>("expected");
    QTest::addColumn<bool>("direct");

    const auto row = [](const char *name, const QString &templateText, int index, int count, int length) {
        QTest::newRow(name) << templateText << index
                            << QStringLiteral("Строк: %1, Длина текущей строки: %2").arg(count).arg(length) << false;
    };
    const auto direct = [](const char *name, const QString &templateText, int index, const QString &expected) {
        QTest::newRow(name) << templateText << index << expected << true;
    };
    direct("Direct leaves narrow ones uncounted", QStringLiteral("[«Да!», он|a]"), 0,
        QStringLiteral("Строк: 2, Длина текущей строки по правилам Директа: 5"));
    direct("Direct never keeps 16 narrow ones", QStringLiteral("[x!!!!!!!!!!!!!!!!|a]"), 0,
        QStringLiteral("Строк: 2, Длина текущей строки по правилам Директа: больше 15 узких символов"));
    direct("Direct keeps 15 narrow ones", QStringLiteral("[a|x...............]"), 1,
        QStringLiteral("Строк: 2, Длина текущей строки по правилам Директа: 1"));
    row("Latin line", "[a|bbb|cc]", 1, 3, 3);
    row("last row", "[a|bbb|cc]", 2, 3, 2);
    row("Cyrillic line counts letters", QStringLiteral("[щука|ёж]"), 0, 2, 4);
    row("empty line", "[|a]", 0, 2, 0);
    row("one line", "abc", 0, 1, 3);
    row("far down a long list", QStringLiteral("[0|1|2|3|4|5|6|7|8|9]").repeated(3), 987, 1000, 3);
}

void StatusAndAboutTest::statusOfARow()
{
    QFETCH(QString, templateText);
    QFETCH(int, row);
    QFETCH(QString, expected);
    QFETCH(bool, direct);

    WindowDriver driver;
    QVERIFY(driver.showAndActivate());
    if (direct)
        driver.trigger("lengthRule_direct");
    driver.generate(templateText);
    const QStringList lines = driver.listTexts();

    for (Reach reach : { Reach::Click, Reach::Enter }) {
        driver.click("generateButton");
        QCOMPARE(driver.statusText(), countMessage(lines.size()));
        reachRow(driver, row, reach);
        QCOMPARE(driver.statusText(), expected);
        QCOMPARE(driver.listTexts(), lines);
    }
    QVERIFY(driver.dialogs->calls.isEmpty());
}

void StatusAndAboutTest::endKeysReachTheLastLine_data()
{
    QTest::addColumn<int>("modifiers");
    QTest::newRow("End") << int(Qt::NoModifier);
    QTest::newRow("Ctrl+End") << int(Qt::ControlModifier);
}

void StatusAndAboutTest::endKeysReachTheLastLine()
{
    QFETCH(int, modifiers);
    WindowDriver driver;
    QVERIFY(driver.showAndActivate());
    // A million rows: the view has placed only the first batch when the key comes.
    driver.generate(QStringLiteral("[0|1|2|3|4|5|6|7|8|9]").repeated(6) + QStringLiteral("-я"));
    QListView *list = driver.resultList();
    list->setFocus();
    list->setCurrentIndex(list->model()->index(0, 0));
    QTest::keyClick(list, Qt::Key_End, Qt::KeyboardModifiers(modifiers));
    QCOMPARE(list->currentIndex().row(), 999999);
    QVERIFY(list->viewport()->rect().contains(list->visualRect(list->currentIndex()).center()));
    QTest::keyClick(list, Qt::Key_Return);
    QCOMPARE(driver.statusText(), QStringLiteral("Строк: 1 000 000, Длина текущей строки: 8"));
}

void StatusAndAboutTest::statusFollowsTheKeys_data()
{
    QTest::addColumn<QList<Qt::Key>>("keys");
    QTest::addColumn<int>("length");

    // Lines of 1, 3, 2 and 4 characters.
    QTest::newRow("Down") << QList<Qt::Key> { Qt::Key_Down } << 3;
    QTest::newRow("Down twice") << QList<Qt::Key> { Qt::Key_Down, Qt::Key_Down } << 2;
    QTest::newRow("End") << QList<Qt::Key> { Qt::Key_End } << 4;
    QTest::newRow("End, Up") << QList<Qt::Key> { Qt::Key_End, Qt::Key_Up } << 2;
    QTest::newRow("Page Down, Home") << QList<Qt::Key> { Qt::Key_PageDown, Qt::Key_Home } << 1;
}

// The current row moved by the keys shows its length as a click does; a
// refresh of the list then shows the count alone, even with the list focused.
void StatusAndAboutTest::statusFollowsTheKeys()
{
    QFETCH(QList<Qt::Key>, keys);
    QFETCH(int, length);

    WindowDriver driver;
    QVERIFY(driver.showAndActivate());
    driver.generate("[a|bbb|cc|dddd]");
    QListView *list = driver.resultList();
    list->setFocus();
    list->setCurrentIndex(list->model()->index(0, 0));
    for (const Qt::Key key : keys)
        QTest::keyClick(list, key);
    QCOMPARE(driver.statusText(), QStringLiteral("Строк: 4, Длина текущей строки: %1").arg(length));

    driver.click("generateButton");
    QApplication::processEvents();
    QCOMPARE(driver.statusText(), countMessage(4));
    QTest::keyClick(list, Qt::Key_Down);
    QVERIFY2(driver.statusText().startsWith(QStringLiteral("Строк: 4, Длина текущей строки: ")),
        qPrintable(driver.statusText()));
    driver.restrict("2", "200", "2500", false);
    QApplication::processEvents();
    QCOMPARE(driver.statusText(), countMessage(3));
}

void StatusAndAboutTest::statusFollowsTheRule_data()
{
    QTest::addColumn<QStringList>("actions");
    QTest::addColumn<QString>("minLength");
    QTest::addColumn<QString>("expected");

    const QString plain = QStringLiteral("Строк: 2, Длина текущей строки: 46");
    const QString direct = QStringLiteral("Строк: 2, Длина текущей строки по правилам Директа: 45");
    QTest::newRow("the Direct rule") << QStringList { "lengthRule_direct" } << QString() << direct;
    QTest::newRow("a preset of the Direct rule") << QStringList { "preset_direct-title" } << QString() << direct;
    QTest::newRow("back to every character")
        << QStringList { "lengthRule_direct", "lengthRule_plain" } << QString() << plain;
    QTest::newRow("a preset of every character")
        << QStringList { "lengthRule_direct", "preset_google-path" } << QString() << plain;
    QTest::newRow("a preset with a limit on \"!\"")
        << QStringList { "lengthRule_direct", "preset_google-description" } << QString()
        << QStringLiteral("Строк: 2, Длина текущей строки с «!» не больше одного раза: 46");
    QTest::newRow("the rule chosen drops the preset's limit")
        << QStringList { "preset_google-headline", "lengthRule_plain" } << QString() << plain;
    QTest::newRow("a bound changed after the rule")
        << QStringList { "lengthRule_direct" } << QStringLiteral("3") << direct;
}

// The status of the chosen line is measured again as soon as the rule
// changes, without choosing the line anew.
void StatusAndAboutTest::statusFollowsTheRule()
{
    QFETCH(QStringList, actions);
    QFETCH(QString, minLength);
    QFETCH(QString, expected);

    WindowDriver driver;
    QVERIFY(driver.showAndActivate());
    driver.generate(QStringLiteral("[Лучшее решение для мелкого и среднего бизнеса.|a]"));
    reachRow(driver, 0, Reach::Click);
    QCOMPARE(driver.statusText(), QStringLiteral("Строк: 2, Длина текущей строки: 46"));
    for (const QString &action : actions)
        driver.trigger(qPrintable(action));
    if (!minLength.isEmpty())
        driver.minLengthEdit()->setText(minLength);
    QCOMPARE(driver.statusText(), expected);
    // The count that a generate leaves is not turned into a line status.
    driver.click("generateButton");
    driver.trigger("lengthRule_plain");
    QCOMPARE(driver.statusText(), countMessage(2));
}

void StatusAndAboutTest::statusCountsTheLinesAfterRestrict()
{
    WindowDriver driver;
    QVERIFY(driver.showAndActivate());
    driver.generate("[a|bb|ccc|dddd]");
    driver.restrict("2", "200", "2500", false);
    reachRow(driver, 2, Reach::Click);
    QCOMPARE(driver.statusText(), QStringLiteral("Строк: 3, Длина текущей строки: 4"));
}

void StatusAndAboutTest::generateAndRestrictReplaceTheStatus()
{
    WindowDriver driver;
    QVERIFY(driver.showAndActivate());
    driver.generate("[a|bb|ccc|dddd]");
    reachRow(driver, 0, Reach::Click);
    QCOMPARE(driver.statusText(), QStringLiteral("Строк: 4, Длина текущей строки: 1"));
    driver.restrict("2", "200", "2500", false);
    QCOMPARE(driver.statusText(), countMessage(3));
    reachRow(driver, 0, Reach::Enter);
    QCOMPARE(driver.statusText(), QStringLiteral("Строк: 3, Длина текущей строки: 2"));
    driver.click("generateButton");
    QCOMPARE(driver.statusText(), countMessage(4));
}

void StatusAndAboutTest::about()
{
    WindowDriver driver;
    driver.generate("[a|b]");
    driver.trigger("aboutAction");

    QCOMPARE(driver.dialogs->calls.size(), 1);
    const RecordingDialogs::Call box = driver.dialogs->calls.first();
    QCOMPARE(box.kind, Kind::Information);
    QCOMPARE(box.parent, driver.window.get());
    QCOMPARE(box.title, QStringLiteral("Размножатор v1.0b"));

    const QStringList textLines = box.text.split(u'\n');
    QCOMPARE(textLines.size(), 2);
    QVERIFY(!textLines.at(0).trimmed().isEmpty());
    const QString versionSuffix = QStringLiteral("/QT ") + QString::fromLatin1(qVersion());
    QVERIFY2(textLines.at(1).endsWith(versionSuffix), qPrintable(textLines.at(1)));
#ifdef Q_OS_LINUX
    QCOMPARE(textLines.at(1), QStringLiteral("Linux") + versionSuffix);
#endif
    QVERIFY(QRegularExpression(QStringLiteral("^\\w+/QT \\d+\\.\\d+\\.\\d+$")).match(textLines.at(1)).hasMatch());
    QCOMPARE(driver.listTexts(), QStringList({ "a", "b" }));
}

QTEST_MAIN(StatusAndAboutTest)
#include "statusandabout_test.moc"
