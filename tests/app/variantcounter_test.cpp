// The live count at the right end of the status line.

#include <QLabel>
#include <QSignalSpy>
#include <QTest>

#include "variantcounter.h"
#include "windowdriver.h"

class VariantCounterTest : public QObject
{
    Q_OBJECT

private slots:
    void describes_data();
    void describes();
    void labelFollowsTheTemplate();
    void outOfDateCountIsDropped();
    void outOfDateCountStops_data();
    void outOfDateCountStops();
    void longTemplateWaitsForAPause();
};

void VariantCounterTest::describes_data()
{
    QTest::addColumn<QString>("templateText");
    QTest::addColumn<quint64>("minLength");
    QTest::addColumn<quint64>("maxLength");
    QTest::addColumn<QString>("expected");
    QTest::addColumn<QString>("rule"); // a rule's or a preset's name

    const auto row = [](const char *name, const QString &templateText, const QString &expected) {
        QTest::newRow(name) << templateText << quint64(0) << quint64(UINT64_MAX) << expected << QString("plain");
    };
    const auto limited = [](const char *name, const QString &templateText, quint64 minLength, quint64 maxLength,
                             const QString &expected, const char *rule = "plain") {
        QTest::newRow(name) << templateText << minLength << maxLength << expected << QString(rule);
    };
    // By Direct's rule 2, 3, 3, 4, 4 and 5 long; by every character 3 to 6.
    const QString narrow = QStringLiteral("[a.|bb,|ccc!][x|yy]");
    limited("Direct lengths", narrow, 3, 4, QStringLiteral("Вариантов: 6, по длине по правилам Директа подходят: 4"),
        "direct");
    limited("Direct lengths keep none", narrow, 6, 9,
        QStringLiteral("Вариантов: 6, по длине по правилам Директа подходят: 0 (строки длиной от 2 до 5 символов)"),
        "direct");
    limited("Direct keeps no line of 16 narrow ones", QStringLiteral("[!!!!!!!!!!!!!!!!|«..............»]"), 0, 56,
        QStringLiteral("Вариантов: 2, по длине по правилам Директа подходят: 0 (в каждой строке больше 15 узких "
                       "символов)"),
        "direct");
    limited("no \"!\" keeps some", "[a|bb|ccc!][x|yy]", 0, 30,
        QStringLiteral("Вариантов: 6, по длине без «!» подходят: 4"), "google-headline");
    limited("one \"!\" at most keeps none", "[a|bb|ccc!]!!", 0, 90,
        QStringLiteral("Вариантов: 3, по длине с «!» не больше одного раза подходят: 0 (в каждой строке больше "
                       "одного «!»)"),
        "google-description");
    limited("lengths keep some", "[a|bb|ccc][x|yy]", 3, 4, QStringLiteral("Вариантов: 6, по длине подходят: 4"));
    limited("lengths keep none", "[a|bb]", 5, 200,
        QStringLiteral("Вариантов: 2, по длине подходят: 0 (строки длиной от 1 до 2 символов)"));
    limited("lengths keep all", "[a|bb]", 1, 2, QStringLiteral("Вариантов: 2"));
    limited("big count, lengths keep a part", QStringLiteral("[a|bb]").repeated(40), 50, 60,
        QStringLiteral("Вариантов: 1 099 511 627 776, по длине подходят: 618 305 492 694"));
    row("sample", QStringLiteral("[Лучшее|Отличное|Прекрасное] решение для { и |[мелкого|малого]|среднего|крупного}"),
        QStringLiteral("Вариантов: 30"));
    row("plain text", "abc", QStringLiteral("Вариантов: 1"));
    row("digit groups", QStringLiteral("[a|b]").repeated(35), QStringLiteral("Вариантов: 34 359 738 368"));
    row("twenty digits in full", QStringLiteral("[0|1|2|3|4|5|6|7|8|9]").repeated(19),
        QStringLiteral("Вариантов: 10 000 000 000 000 000 000"));
    row("longer counts rounded", QStringLiteral("[a|b]").repeated(70), QStringLiteral("Вариантов: ≈ 1,18·10²¹"));
    row("lines joined", "[a|\nb]\n[c|d]", QStringLiteral("Вариантов: 4"));
    row("unclosed square", "x [a|b", "Строка 1, столбец 3: Incomplete number of '[]'s");
    row("unclosed curly", "{-|a|b", "Строка 1, столбец 1: Incomplete number of '{}'s");
    row("unclosed on the third line", "[a|\nb]\nc{-|d", "Строка 3, столбец 2: Incomplete number of '{}'s");
    row("unencodable", QStringLiteral("[a|😀]"),
        QStringLiteral("Строка 1, столбец 4: символ «😀» (U+1F600) нельзя записать в кодировке CP1251"));
    row("unencodable on the second line", QStringLiteral("[a|b]\n x Ŭ"),
        QStringLiteral("Строка 2, столбец 4: символ «Ŭ» (U+016C) нельзя записать в кодировке CP1251"));
    row("NUL", QStringLiteral("[a|b]") + QChar(0),
        QStringLiteral("Строка 1, столбец 6: символ NUL не может быть частью шаблона"));
    row("fields of a table differ", "x\t[a|b\tc]\t[d|e]",
        QStringLiteral("Строка 1, столбец 3: число полей у вариантов этой группы разное, 1 и 2, а строкам таблицы "
                       "нужно поровну"));
    row("fields of a table agree", "x\t[a\tb|c\td]", QStringLiteral("Вариантов: 2"));
    row("empty", "", "");
    row("line breaks only", "\n\n", "");
}

void VariantCounterTest::describes()
{
    QFETCH(QString, templateText);
    QFETCH(quint64, minLength);
    QFETCH(quint64, maxLength);
    QFETCH(QString, expected);
    QFETCH(QString, rule);
    using namespace razmnozhator::lengthrules;
    const Preset *preset = presetNamed(rule);
    const FieldRule field = preset ? preset->fieldRule() : FieldRule { *ruleNamed(rule) };
    QCOMPARE(VariantCounter::describe({ templateText, { minLength, maxLength }, field }), expected);
}

void VariantCounterTest::labelFollowsTheTemplate()
{
    WindowDriver driver;
    auto *label = driver.child<QLabel>("variantCountLabel");
    QTRY_COMPARE(label->text(), QStringLiteral("Вариантов: 30"));
    // The length fields count too.
    driver.minLengthEdit()->setText(QStringLiteral("50"));
    QTRY_COMPARE(label->text(), QStringLiteral("Вариантов: 30, по длине подходят: 6"));
    // So does the rule, and a preset sets it with both fields.
    driver.trigger("preset_google-headline");
    QTRY_COMPARE(label->text(),
        QStringLiteral("Вариантов: 30, по длине без «!» подходят: 0 (строки длиной от 45 до 51 символа)"));
    driver.trigger("lengthRule_direct");
    QTRY_COMPARE(label->text(),
        QStringLiteral("Вариантов: 30, по длине по правилам Директа подходят: 0 (строки длиной от 44 до 50 символов)"));
    driver.trigger("preset_direct-title");
    QTRY_COMPARE(label->text(), QStringLiteral("Вариантов: 30"));
    driver.trigger("lengthRule_plain");
    driver.minLengthEdit()->setText(QStringLiteral("50"));
    driver.maxLengthEdit()->setText(QStringLiteral("200"));
    QTRY_COMPARE(label->text(), QStringLiteral("Вариантов: 30, по длине подходят: 6"));
    // Typed quickly, each change on the last: only the last count arrives.
    for (const char *text : { "[a", "[a|", "[a|b", "[a|b]", "[a|b][c|d|e]" })
        driver.templateEdit()->setPlainText(QString::fromLatin1(text));
    QTRY_COMPARE(label->text(), QStringLiteral("Вариантов: 6, по длине подходят: 0 (строки длиной 2 символа)"));
    driver.templateEdit()->setPlainText(QStringLiteral("[a|b"));
    QTRY_COMPARE(label->text(), QStringLiteral("Строка 1, столбец 1: Incomplete number of '[]'s"));
    // The status line's own messages stay apart, on the left.
    driver.click("generateButton");
    QCOMPARE(driver.statusText(), countMessage(0));
    QCOMPARE(label->text(), QStringLiteral("Строка 1, столбец 1: Incomplete number of '[]'s"));
}

void VariantCounterTest::outOfDateCountIsDropped()
{
    WindowDriver driver;
    auto *label = driver.child<QLabel>("variantCountLabel");
    QTRY_COMPARE(label->text(), QStringLiteral("Вариантов: 30"));
    QSignalSpy counted(driver.window->findChild<VariantCounter *>(), &VariantCounter::counted);
    // The first text is still being counted, or its count waits to be shown,
    // when the second replaces it.
    driver.templateEdit()->setPlainText(QStringLiteral("[a|b]").repeated(100000));
    driver.templateEdit()->setPlainText(QStringLiteral("[a|b|c]"));
    QTRY_COMPARE(label->text(), QStringLiteral("Вариантов: 3, по длине подходят: 0 (строки длиной 1 символ)"));
    QCOMPARE(counted.size(), 1);
}

void VariantCounterTest::outOfDateCountStops_data()
{
    QTest::addColumn<int>("freshChecks");
    QTest::addColumn<QString>("expected");

    QTest::newRow("out of date before compiling") << 0 << QString();
    QTest::newRow("out of date once compiled") << 1 << QString();
    QTest::newRow("out of date before counting by length") << 2 << QString();
    QTest::newRow("never out of date") << 100 << QStringLiteral("Вариантов: 6, по длине подходят: 4");
}

// A count asks between its steps whether the text changed since, and stops
// with nothing at the first step after it did.
void VariantCounterTest::outOfDateCountStops()
{
    QFETCH(int, freshChecks);
    QFETCH(QString, expected);

    int checks = 0;
    VariantCounter::Figures figures;
    const QString text = VariantCounter::describe(
        { QStringLiteral("[a|bb|ccc][x|yy]"), { 3, 4 }, {} }, &figures, [&] { return checks++ >= freshChecks; });
    QCOMPARE(text, expected);
    QCOMPARE(figures.kept.has_value(), !expected.isEmpty());
}

// In a template long enough to be laid out in pieces every change waits for
// the typing to pause, however long ago the last one was.
void VariantCounterTest::longTemplateWaitsForAPause()
{
    WindowDriver driver;
    auto *counter = driver.window->findChild<VariantCounter *>();
    QSignalSpy counted(counter, &VariantCounter::counted);
    QVERIFY(counted.wait());
    driver.templateEdit()->setPlainText(QStringLiteral("[a|b]").repeated(20000));
    QVERIFY(!counter->isCounting());
    QVERIFY(counted.wait());
    QTest::qWait(300);
    counted.clear();
    driver.templateEdit()->textCursor().insertText(QStringLiteral("x"));
    QVERIFY(!counter->isCounting());
    QVERIFY(counted.wait());
    QCOMPARE(counted.size(), 1);
    // A short one is counted at once after a while.
    driver.templateEdit()->setPlainText(QStringLiteral("[a|b]"));
    QVERIFY(counted.wait());
    QTest::qWait(300);
    driver.templateEdit()->textCursor().insertText(QStringLiteral("x"));
    QVERIFY(counter->isCounting());
}

QTEST_MAIN(VariantCounterTest)
#include "variantcounter_test.moc"
