// The generate command: what reaches the list and the status line, what is
// ignored, and every way it refuses a template while keeping the old result.

#include <fstream>
#include <string>

#include <sys/resource.h>

#include <QClipboard>
#include <QGuiApplication>
#include <QTest>
#include <QTextCursor>

#include "windowdriver.h"

using Kind = RecordingDialogs::Kind;

class GenerateTest : public QObject
{
    Q_OBJECT

private slots:
    void sampleTemplateGivesItsThirtyLines();
    void generatesInOrder_data();
    void generatesInOrder();
    void emptyTemplateIsIgnored_data();
    void emptyTemplateIsIgnored();
    void templateErrors_data();
    void templateErrors();
    void unencodableCharacters_data();
    void unencodableCharacters();
    void runningOutOfMemoryIsReported();
};

// Generates what the template `before` gives, or nothing when it is empty,
// so that a test can check that a refusal keeps the previous result.
static QStringList generateBefore(const WindowDriver &driver, const QString &before)
{
    if (before.isEmpty())
        return {};
    driver.generate(before);
    driver.dialogs->calls.clear();
    return driver.listTexts();
}

static QString copiedLines(const WindowDriver &driver)
{
    QGuiApplication::clipboard()->clear();
    driver.trigger("copyAction");
    return QGuiApplication::clipboard()->text();
}

void GenerateTest::sampleTemplateGivesItsThirtyLines()
{
    const QStringList pairs = {
        QStringLiteral("мелкого и среднего"),
        QStringLiteral("малого и среднего"),
        QStringLiteral("мелкого и крупного"),
        QStringLiteral("малого и крупного"),
        QStringLiteral("среднего и мелкого"),
        QStringLiteral("среднего и малого"),
        QStringLiteral("среднего и крупного"),
        QStringLiteral("крупного и мелкого"),
        QStringLiteral("крупного и малого"),
        QStringLiteral("крупного и среднего"),
    };
    QStringList expected;
    for (const QString &adjective :
        { QStringLiteral("Лучшее"), QStringLiteral("Отличное"), QStringLiteral("Прекрасное") }) {
        for (const QString &pair : pairs)
            expected.append(QStringLiteral("%1 решение для %2 бизнеса.").arg(adjective, pair));
    }

    WindowDriver driver;
    for (int press = 1; press <= 2; ++press) {
        driver.click("generateButton");
        QCOMPARE(driver.listTexts(), expected);
        QCOMPARE(driver.statusText(), QStringLiteral("Строк: 30"));
    }
    QVERIFY(driver.dialogs->calls.isEmpty());
}

void GenerateTest::generatesInOrder_data()
{
    QTest::addColumn<QString>("before");
    QTest::addColumn<QString>("templateText");
    QTest::addColumn<QStringList>("expected");

    const auto row = [](const char *name, const QString &before, const QString &templateText,
                         const QStringList &expected) { QTest::newRow(name) << before << templateText << expected; };
    row("line break joins without a space", "", "[a|b]\nc", { "ac", "bc" });
    row("spaces at line ends stay", "", "x \n[a|b] \ny", { "x a y", "x b y" });
    row("group across lines", "", "[a|\nb]\n[1|\n2]", { "a1", "a2", "b1", "b2" });
    row("trailing line feeds", "", "[a|b]\n\n\n", { "a", "b" });
    row("tab kept", "", "a\t[b|c]", { "a\tb", "a\tc" });
    row("one variant", "", "abc", { "abc" });
    row("Cyrillic unchanged", "", QStringLiteral("{ и |ёж|Щука}"),
        { QStringLiteral("ёж и Щука"), QStringLiteral("Щука и ёж") });
    row("CP1251 punctuation", "", QStringLiteral("[«a»|№ 5 — €]"),
        { QStringLiteral("«a»"), QStringLiteral("№ 5 — €") });
    row("empty variants", "", "[|a|]", { "", "a", "" });
    row("replaces the previous result", "[p|q|r]", "{-|a|b}", { "a-b", "b-a" });
}

void GenerateTest::generatesInOrder()
{
    QFETCH(QString, before);
    QFETCH(QString, templateText);
    QFETCH(QStringList, expected);

    WindowDriver driver;
    generateBefore(driver, before);
    driver.generate(templateText);
    QCOMPARE(driver.listTexts(), expected);
    QCOMPARE(driver.statusText(), countMessage(expected.size()));
    QCOMPARE(driver.templateEdit()->toPlainText(), templateText);
    QVERIFY(driver.dialogs->calls.isEmpty());
}

void GenerateTest::emptyTemplateIsIgnored_data()
{
    QTest::addColumn<QString>("before");
    QTest::addColumn<QString>("templateText");

    const auto row = [](const char *name, const QString &before, const QString &templateText) {
        QTest::newRow(name) << before << templateText;
    };
    row("empty, at start", "", "");
    row("line feeds only, at start", "", "\n\n");
    row("empty, after a result", "[a|b]", "");
    row("line feeds only, after a result", "[a|b]", "\n");
}

void GenerateTest::emptyTemplateIsIgnored()
{
    QFETCH(QString, before);
    QFETCH(QString, templateText);

    WindowDriver driver;
    const QStringList previous = generateBefore(driver, before);
    const QString previousStatus = driver.statusText();
    driver.generate(templateText);
    QCOMPARE(driver.listTexts(), previous);
    QCOMPARE(driver.statusText(), previousStatus);
    QVERIFY(driver.dialogs->calls.isEmpty());
}

void GenerateTest::templateErrors_data()
{
    QTest::addColumn<QString>("before");
    QTest::addColumn<QString>("templateText");
    QTest::addColumn<QString>("message");
    QTest::addColumn<int>("openerPosition");

    const auto row = [](const char *name, const QString &before, const QString &templateText, const char *message,
                         int openerPosition) {
        QTest::newRow(name) << before << templateText << QString::fromLatin1(message) << openerPosition;
    };
    const char *square = "Incomplete number of '[]'s";
    const char *curly = "Incomplete number of '{}'s";
    row("square, first generate", "", "[a|b", square, 0);
    row("curly, first generate", "", "ab{c|d", curly, 2);
    row("square, after a result", "[x|y]", "a[b", square, 1);
    row("curly, after a result", QStringLiteral("[ёж|уж]"), "}{", curly, 1);
    row("curly inside a closed square group", "", "[a{|b]", curly, 2);
    row("opener on a later line", "", "ab\n c[d", square, 5);
    row("after empty lines", "", "\n\n[", square, 2);
    row("Cyrillic before the opener", "", QStringLiteral("щ\nы{"), curly, 3);
    row("second of two openers", "", "[a]\n[b", square, 4);
}

void GenerateTest::templateErrors()
{
    QFETCH(QString, before);
    QFETCH(QString, templateText);
    QFETCH(QString, message);
    QFETCH(int, openerPosition);

    WindowDriver driver;
    const QStringList previous = generateBefore(driver, before);
    const QString previousCopy = copiedLines(driver);
    driver.generate(templateText);

    QCOMPARE(driver.dialogs->calls.size(), 1);
    const RecordingDialogs::Call box = driver.dialogs->calls.first();
    QCOMPARE(box.kind, Kind::Error);
    QCOMPARE(box.parent, driver.window.get());
    QCOMPARE(box.title, QStringLiteral("Error!"));
    QCOMPARE(box.text, message);

    QCOMPARE(driver.listTexts(), previous);
    QCOMPARE(driver.statusText(), countMessage(previous.size()));
    QCOMPARE(copiedLines(driver), previousCopy);

    // The template is left as typed, with its unclosed opener selected.
    QCOMPARE(driver.templateEdit()->toPlainText(), templateText);
    const QTextCursor cursor = driver.templateEdit()->textCursor();
    QCOMPARE(cursor.selectionStart(), openerPosition);
    QCOMPARE(cursor.selectionEnd(), openerPosition + 1);
}

void GenerateTest::unencodableCharacters_data()
{
    QTest::addColumn<QString>("before");
    QTest::addColumn<QString>("templateText");
    QTest::addColumn<QString>("message");
    QTest::addColumn<int>("selectionStart");
    QTest::addColumn<QString>("selected");

    const auto row = [](const char *name, const QString &before, const QString &templateText, const QString &described,
                         int line, int column, int selectionStart, const QString &selected) {
        const QString message
            = QStringLiteral("Символ %1 (строка %2, столбец %3) нельзя записать в кодировке CP1251. Замените его.");
        QTest::newRow(name) << before << templateText << message.arg(described).arg(line).arg(column) << selectionStart
                            << selected;
    };
    row("emoji, first generate", "", QStringLiteral("ab😀[c|d]"), QStringLiteral("«😀» (U+1F600)"), 1, 3, 2,
        QStringLiteral("😀"));
    row("Greek letter, after a result", "[x|y]", QStringLiteral("[α|b]"), QStringLiteral("«α» (U+03B1)"), 1, 2, 1,
        QStringLiteral("α"));
    row("on the second line", QStringLiteral("[ёж|уж]"), QStringLiteral("да\nнет 中"), QStringLiteral("«中» (U+4E2D)"),
        2, 5, 7, QStringLiteral("中"));
    row("third line, after an empty one", "", QStringLiteral("a\n\nb€ ☃"), QStringLiteral("«☃» (U+2603)"), 3, 4, 6,
        QStringLiteral("☃"));
}

void GenerateTest::unencodableCharacters()
{
    QFETCH(QString, before);
    QFETCH(QString, templateText);
    QFETCH(QString, message);
    QFETCH(int, selectionStart);
    QFETCH(QString, selected);

    WindowDriver driver;
    const QStringList previous = generateBefore(driver, before);
    const QString previousStatus = driver.statusText();
    const QString previousCopy = copiedLines(driver);
    driver.generate(templateText);

    QCOMPARE(driver.dialogs->calls.size(), 1);
    const RecordingDialogs::Call box = driver.dialogs->calls.first();
    QCOMPARE(box.kind, Kind::Error);
    QCOMPARE(box.title, QStringLiteral("Error!"));
    QCOMPARE(box.text, message);

    QCOMPARE(driver.listTexts(), previous);
    QCOMPARE(driver.statusText(), previousStatus);
    QCOMPARE(copiedLines(driver), previousCopy);
    const QTextCursor cursor = driver.templateEdit()->textCursor();
    QCOMPARE(cursor.selectionStart(), selectionStart);
    QCOMPARE(cursor.selectedText(), selected);
}

static long virtualMemoryKilobytes()
{
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line)) {
        if (line.rfind("VmSize:", 0) == 0)
            return std::stol(line.substr(7));
    }
    return -1;
}

void GenerateTest::runningOutOfMemoryIsReported()
{
#if defined(__SANITIZE_ADDRESS__)
    QSKIP("AddressSanitizer aborts instead of failing an allocation past the address-space limit");
#endif
    WindowDriver driver;
    const QStringList previous = generateBefore(driver, QStringLiteral("[x|y]"));
    // A million lines fit the machine, so the guard lets them through, but an
    // address space only 16 MB larger than now cannot hold their 50 MB.
    const long usedKb = virtualMemoryKilobytes();
    QVERIFY(usedKb > 0);
    rlimit old {};
    QVERIFY(::getrlimit(RLIMIT_AS, &old) == 0);
    rlimit tight = old;
    tight.rlim_cur = rlim_t(usedKb + 16 * 1024) * 1024;
    QVERIFY(::setrlimit(RLIMIT_AS, &tight) == 0);
    driver.generate(QStringLiteral("[0|1|2|3|4|5|6|7|8|9]").repeated(6)
        + QStringLiteral(" and forty-four more characters of plain text"));
    QVERIFY(::setrlimit(RLIMIT_AS, &old) == 0);

    QCOMPARE(driver.dialogs->calls.size(), 1);
    const RecordingDialogs::Call box = driver.dialogs->calls.first();
    if (box.kind == Kind::TooBig)
        QSKIP("the machine is too short of memory for the guard to let a million lines through");
    QCOMPARE(box.kind, Kind::Error);
    QCOMPARE(box.title, QStringLiteral("Error!"));
    QCOMPARE(box.text, QStringLiteral("Не хватило памяти. Результат остался прежним."));
    QCOMPARE(driver.listTexts(), previous);
    QCOMPARE(driver.statusText(), countMessage(previous.size()));
    QCOMPARE(copiedLines(driver), QStringLiteral("x\ny\n"));
}

QTEST_MAIN(GenerateTest)
#include "generate_test.moc"
