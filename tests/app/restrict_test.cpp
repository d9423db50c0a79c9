// The restrict command as the window applies it: field values, inclusive
// bounds, order kept without shuffle, and a shuffle drawn from the unseeded
// rand() so that a fresh start repeats the same orders. The shuffled orders
// are those of the rules shared with the tool, whose own tests hold them to
// the full shuffle written out on its own.

#include <cstdlib>
#include <string_view>

#include <QTest>

#include "cp1251.h"
#include "razmnozhator/restriction.h"
#include "windowdriver.h"

class RestrictTest : public QObject
{
    Q_OBJECT

private slots:
    void keepsTheLinesWithinTheFields_data();
    void keepsTheLinesWithinTheFields();
    void worksOnTheCurrentLines();
    void saysWhyNoLineFits_data();
    void saysWhyNoLineFits();
    void beforeAnyGenerateShowsNoLines();
    void shuffles_data();
    void shuffles();
    void shuffleDrawsNothingForFewLines_data();
    void shuffleDrawsNothingForFewLines();
    void freshStartRepeatsTheOrders();
    void keepsTheMostDifferent_data();
    void keepsTheMostDifferent();
};

static const QString lengthsZeroToFive = QStringLiteral("[|a|bb|ccc|dddd|eeeee]");

void RestrictTest::keepsTheLinesWithinTheFields_data()
{
    QTest::addColumn<QString>("templateText");
    QTest::addColumn<QString>("minLength");
    QTest::addColumn<QString>("maxLength");
    QTest::addColumn<QString>("maxCount");
    QTest::addColumn<QStringList>("expected");
    QTest::addColumn<bool>("direct");

    const auto row
        = [](const char *name, const QString &templateText, const QString &minLength, const QString &maxLength,
              const QString &maxCount, const QStringList &expected, bool direct = false) {
              QTest::newRow(name) << templateText << minLength << maxLength << maxCount << expected << direct;
          };
    row("Direct leaves narrow ones uncounted", "[a.|bb,|ccc!][x|yy]", "3", "4", "100",
        { "a.yy", "bb,x", "bb,yy", "ccc!x" }, true);
    row("Direct keeps 15 narrow ones, never 16", "[x!!!!!!!!!!!!!!!!|y...............]", "0", "99999", "100",
        { "y..............." }, true);
    const QString lengths = lengthsZeroToFive;
    const QStringList all = { "", "a", "bb", "ccc", "dddd", "eeeee" };
    row("empty minimum keeps every length", lengths, "", "10", "100", all);
    row("empty maximum keeps only empty lines", lengths, "", "", "100", { "" });
    row("empty count keeps nothing", lengths, "0", "10", "", {});
    row("zero count keeps nothing", lengths, "0", "10", "0", {});
    row("equal bounds keep that length", lengths, "3", "3", "100", { "ccc" });
    row("both bounds inclusive", lengths, "2", "4", "100", { "bb", "ccc", "dddd" });
    row("count keeps the first lines", lengths, "0", "10", "2", { "", "a" });
    row("count equal to the survivors keeps all", lengths, "1", "5", "5", { "a", "bb", "ccc", "dddd", "eeeee" });
    row("largest field values", lengths, "0", "99999", "9999999", all);
    row("Cyrillic letter counts as one", QStringLiteral("[я|юю|эээ|ьььь]"), "2", "3", "10",
        { QStringLiteral("юю"), QStringLiteral("эээ") });
    row("mixed alphabets", QStringLiteral("[aя|яяя|bc]"), "2", "2", "10", { QStringLiteral("aя"), "bc" });
    row("order and duplicates kept", "{-|a|b|a}", "3", "3", "100", { "a-b", "a-a", "b-a", "b-a", "a-a", "a-b" });
    row("defaults of the window", QStringLiteral("[короткая|строка длиннее десяти]"), "10", "200", "2500",
        { QStringLiteral("строка длиннее десяти") });
}

void RestrictTest::keepsTheLinesWithinTheFields()
{
    QFETCH(QString, templateText);
    QFETCH(QString, minLength);
    QFETCH(QString, maxLength);
    QFETCH(QString, maxCount);
    QFETCH(QStringList, expected);
    QFETCH(bool, direct);

    WindowDriver driver;
    if (direct)
        driver.trigger("lengthRule_direct");
    driver.generate(templateText);
    driver.restrict(minLength, maxLength, maxCount, false);
    QCOMPARE(driver.listTexts(), expected);
    QCOMPARE(driver.statusText(), countMessage(expected.size()));
    QVERIFY(driver.dialogs->calls.isEmpty());
}

void RestrictTest::worksOnTheCurrentLines()
{
    WindowDriver driver;
    driver.generate(lengthsZeroToFive);
    driver.restrict("3", "10", "100", false);
    QCOMPARE(driver.listTexts(), QStringList({ "ccc", "dddd", "eeeee" }));
    // Dropped lines come back only with a new generate.
    driver.restrict("0", "10", "100", false);
    QCOMPARE(driver.listTexts(), QStringList({ "ccc", "dddd", "eeeee" }));
    QCOMPARE(driver.statusText(), countMessage(3));
    driver.click("generateButton");
    QCOMPARE(driver.listTexts().size(), 6);
}

void RestrictTest::saysWhyNoLineFits_data()
{
    QTest::addColumn<QString>("templateText");
    QTest::addColumn<QString>("minLength");
    QTest::addColumn<QString>("maxLength");
    QTest::addColumn<QString>("message");
    QTest::addColumn<bool>("diverse");
    QTest::addColumn<bool>("direct");

    // "Непохожие" chooses among the lines within the lengths; none there is the same case.
    const QString sample
        = QStringLiteral("[Лучшее|Отличное|Прекрасное] решение для { и |[мелкого|малого]|среднего|крупного} бизнеса.");
    const QString sampleTooShort
        = QStringLiteral("Ни одна строка не подходит по длине 500–600: строки в списке длиной от 45 до 51 символа.");
    QTest::newRow("the sample, all shorter") << sample << "500"
                                             << "600" << sampleTooShort << false << false;
    QTest::newRow("the sample, all shorter, most different") << sample << "500"
                                                             << "600" << sampleTooShort << true << false;
    QTest::newRow("all shorter, most different")
        << lengthsZeroToFive << "7"
        << "10"
        << QStringLiteral("Ни одна строка не подходит по длине 7–10: строки в списке длиной от 0 до 5 символов.")
        << true << false;
    QTest::newRow("all shorter") << lengthsZeroToFive << "7"
                                 << "10"
                                 << QStringLiteral("Ни одна строка не подходит по длине 7–10: строки в списке длиной "
                                                   "от 0 до 5 символов.")
                                 << false << false;
    QTest::newRow("minimum above maximum")
        << lengthsZeroToFive << "4"
        << "2" << QStringLiteral("Ни одна строка не подходит по длине 4–2: строки в списке длиной от 0 до 5 символов.")
        << false << false;
    QTest::newRow("one length, up to 21") << QStringLiteral("[%1|%2]").arg(QString(21, u'a'), QString(3, u'b')) << "4"
                                          << "20"
                                          << QStringLiteral("Ни одна строка не подходит по длине 4–20: строки в "
                                                            "списке длиной от 3 до 21 символа.")
                                          << false << false;
    QTest::newRow("every line as long") << "[aaa|bbb]"
                                        << "10"
                                        << "200"
                                        << QStringLiteral("Ни одна строка не подходит по длине 10–200: строки в "
                                                          "списке длиной 3 символа.")
                                        << false << false;
    const QString narrow = QStringLiteral("[a.|bb,|ccc!][x|yy]");
    QTest::newRow("Direct, all shorter")
        << narrow << "6"
        << "9"
        << QStringLiteral("Ни одна строка не подходит по длине 6–9 по правилам Директа: строки в списке длиной от 2 "
                          "до 5 символов.")
        << false << true;
    const QString allNarrow = QStringLiteral("[!!!!!!!!!!!!!!!!|a................]");
    const QString noneKept
        = QStringLiteral("Ни одна строка не подходит по правилам Директа: в каждой строке больше 15 узких символов.");
    QTest::newRow("Direct, 16 narrow ones in every line") << allNarrow << "0"
                                                          << "99999" << noneKept << false << true;
    QTest::newRow("Direct, 16 narrow ones in every line, most different") << allNarrow << "0"
                                                                          << "99999" << noneKept << true << true;
}

void RestrictTest::saysWhyNoLineFits()
{
    QFETCH(QString, templateText);
    QFETCH(QString, minLength);
    QFETCH(QString, maxLength);
    QFETCH(QString, message);
    QFETCH(bool, diverse);
    QFETCH(bool, direct);

    WindowDriver driver;
    if (direct)
        driver.trigger("lengthRule_direct");
    driver.generate(templateText);
    const QStringList before = driver.listTexts();
    driver.child<QCheckBox>("diverseBox")->setChecked(diverse);
    driver.restrict(minLength, maxLength, "100", false);
    const auto calls = driver.dialogs->calls;
    QCOMPARE(calls.size(), 1);
    QCOMPARE(calls.first().kind, RecordingDialogs::Kind::Information);
    QCOMPARE(calls.first().text, message);
    QCOMPARE(driver.listTexts(), before);
    QCOMPARE(driver.statusText(), countMessage(before.size()));
}

void RestrictTest::beforeAnyGenerateShowsNoLines()
{
    WindowDriver driver;
    driver.click("restrictButton");
    QCOMPARE(driver.rowCount(), 0);
    QCOMPARE(driver.statusText(), countMessage(0));
}

// What the window should show: the rules it shares with the tool applied to
// the generated lines, drawing from the generator's current state.
static QStringList expectedShuffle(const QStringList &lines, uint minLength, uint maxLength, uint maxCount)
{
    razmnozhator::VariantList generated;
    for (const QString &line : lines)
        generated.push_back(razmnozhator::cp1251::encode(line).bytes);
    razmnozhator::RestrictRules rules;
    rules.lengths = { minLength, maxLength };
    rules.maxCount = maxCount;
    rules.shuffle = true;
    QStringList kept;
    for (const std::string_view line : razmnozhator::restrictVariants(generated, rules))
        kept.append(razmnozhator::cp1251::decode(line));
    return kept;
}

void RestrictTest::shuffles_data()
{
    QTest::addColumn<QString>("templateText");
    QTest::addColumn<uint>("minLength");
    QTest::addColumn<uint>("maxLength");
    QTest::addColumn<uint>("maxCount");

    const auto row = [](const char *name, const QString &templateText, uint minLength, uint maxLength, uint maxCount) {
        QTest::newRow(name) << templateText << minLength << maxLength << maxCount;
    };
    row("every line", "[0|1|2|3|4|5|6|7|8|9]", 0, 200, 2500);
    row("shuffled before the cut", "[0|1|2|3|4|5|6|7|8|9]", 0, 200, 3);
    row("bounds before the shuffle", "[a|bb|ccc|dddd|eeeee|ffffff|ggggggg]", 2, 5, 2500);
    row("two lines", "[a|b]", 0, 200, 2500);
}

void RestrictTest::shuffles()
{
    QFETCH(QString, templateText);
    QFETCH(uint, minLength);
    QFETCH(uint, maxLength);
    QFETCH(uint, maxCount);

    WindowDriver driver;
    driver.generate(templateText);
    const QStringList generated = driver.listTexts();
    for (unsigned seed : { 1u, 2u, 77u }) {
        std::srand(seed);
        const QStringList expected = expectedShuffle(generated, minLength, maxLength, maxCount);
        driver.generate(templateText);
        std::srand(seed);
        driver.restrict(QString::number(minLength), QString::number(maxLength), QString::number(maxCount), true);
        QCOMPARE(driver.listTexts(), expected);
        QCOMPARE(driver.statusText(), countMessage(expected.size()));
    }
}

void RestrictTest::shuffleDrawsNothingForFewLines_data()
{
    QTest::addColumn<QString>("templateText");
    QTest::addColumn<QStringList>("expected");
    QTest::newRow("no lines") << QString() << QStringList();
    QTest::newRow("one line") << QString("abcdefghijk") << QStringList { "abcdefghijk" };
    QTest::newRow("one survivor of three") << QString("[a|abcdefghijk|b]") << QStringList { "abcdefghijk" };
}

void RestrictTest::shuffleDrawsNothingForFewLines()
{
    QFETCH(QString, templateText);
    QFETCH(QStringList, expected);

    WindowDriver driver;
    if (!templateText.isEmpty())
        driver.generate(templateText);
    std::srand(4242);
    const int firstNumber = std::rand();
    std::srand(4242);
    driver.restrict("10", "200", "2500", true);
    QCOMPARE(driver.listTexts(), expected);
    QCOMPARE(std::rand(), firstNumber);
}

void RestrictTest::freshStartRepeatsTheOrders()
{
    // A program that never seeds rand() starts as if seeded with 1.
    const auto run = [] {
        std::srand(1);
        WindowDriver driver;
        driver.generate("[0|1|2|3|4|5|6|7|8|9]");
        driver.restrict("0", "200", "2500", true);
        const QStringList first = driver.listTexts();
        driver.restrict("0", "200", "2500", true);
        return QList<QStringList> { first, driver.listTexts() };
    };
    const QList<QStringList> firstRun = run();
    const QList<QStringList> secondRun = run();
    QCOMPARE(secondRun, firstRun);

    QStringList sorted = firstRun.at(0);
    sorted.sort();
    QCOMPARE(sorted, QStringList({ "0", "1", "2", "3", "4", "5", "6", "7", "8", "9" }));
    QVERIFY(firstRun.at(0) != sorted);
    // The second press shuffles again with new numbers.
    QVERIFY(firstRun.at(1) != firstRun.at(0));
}

QTEST_MAIN(RestrictTest)
#include "restrict_test.moc"

// Lines "F k l m L": sharing the first or the last word they differ by 1/2,
// sharing neither by 4/5. Three "Непохожие" share neither, whatever the seed;
// the length bounds apply first, and a cancel leaves the lines as they were.
void RestrictTest::keepsTheMostDifferent_data()
{
    QTest::addColumn<QString>("maxLength");
    QTest::addColumn<QString>("maxCount");
    QTest::addColumn<bool>("cancel");
    QTest::addColumn<int>("expectedCount");
    QTest::addColumn<QString>("expectedStatus");
    const auto row = [](const char *name, const char *maxLength, const char *maxCount, bool cancel, int count,
                         const QString &status) {
        QTest::newRow(name) << QString::fromLatin1(maxLength) << QString::fromLatin1(maxCount) << cancel << count
                            << status;
    };
    row("three of nine", "100", "3", false, 3, QStringLiteral("Строк: 3, отличие не меньше 80 %"));
    row("bounds first: all four short ones", "9", "5", false, 4, QStringLiteral("Строк: 4, отличие не меньше 50 %"));
    row("one line says only the count", "100", "1", false, 1, countMessage(1));
    row("cancelled", "100", "3", true, 9, countMessage(9));
}

void RestrictTest::keepsTheMostDifferent()
{
    QFETCH(QString, maxLength);
    QFETCH(QString, maxCount);
    QFETCH(bool, cancel);
    QFETCH(int, expectedCount);
    QFETCH(QString, expectedStatus);

    WindowDriver driver;
    auto *diverseBox = driver.child<QCheckBox>("diverseBox");
    QVERIFY(!diverseBox->isChecked());
    QCOMPARE(diverseBox->text(), QStringLiteral("Непо&хожие"));
    driver.generate(QStringLiteral("[a|b|cc] k l m [x|y|zz]"));
    diverseBox->setChecked(true);
    driver.dialogs->cancelProgress = cancel;
    driver.restrict("0", maxLength, maxCount, true);

    const QStringList kept = driver.listTexts();
    QCOMPARE(kept.size(), expectedCount);
    QCOMPARE(driver.statusText(), expectedStatus);
    if (expectedCount == 3) {
        QSet<QString> firsts, lasts;
        for (const QString &line : kept) {
            firsts.insert(line.section(u' ', 0, 0));
            lasts.insert(line.section(u' ', -1));
        }
        QCOMPARE(firsts.size(), 3);
        QCOMPARE(lasts.size(), 3);
    }
}
