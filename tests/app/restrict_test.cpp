// The restrict command as the window applies it: field values, inclusive
// bounds, order kept without shuffle, and a shuffle drawn from the unseeded
// rand() so that a fresh start repeats the same orders.

#include <cstdlib>
#include <numeric>
#include <vector>

#include <QTest>

#include "randshuffle.h"
#include "razmnozhator/restriction.h"
#include "windowdriver.h"

class RestrictTest : public QObject
{
    Q_OBJECT

private slots:
    void keepsTheLinesWithinTheFields_data();
    void keepsTheLinesWithinTheFields();
    void worksOnTheCurrentLines();
    void beforeAnyGenerateShowsNoLines();
    void shuffles_data();
    void shuffles();
    void shuffleDrawsNothingForFewLines_data();
    void shuffleDrawsNothingForFewLines();
    void freshStartRepeatsTheOrders();
};

static const QString lengthsZeroToFive = QStringLiteral("[|a|bb|ccc|dddd|eeeee]");

void RestrictTest::keepsTheLinesWithinTheFields_data()
{
    QTest::addColumn<QString>("templateText");
    QTest::addColumn<QString>("minLength");
    QTest::addColumn<QString>("maxLength");
    QTest::addColumn<QString>("maxCount");
    QTest::addColumn<QStringList>("expected");

    const auto row = [](const char *name, const QString &templateText, const QString &minLength,
                         const QString &maxLength, const QString &maxCount, const QStringList &expected) {
        QTest::newRow(name) << templateText << minLength << maxLength << maxCount << expected;
    };
    const QString lengths = lengthsZeroToFive;
    const QStringList all = { "", "a", "bb", "ccc", "dddd", "eeeee" };
    row("empty minimum keeps every length", lengths, "", "10", "100", all);
    row("empty maximum keeps only empty lines", lengths, "", "", "100", { "" });
    row("empty count keeps nothing", lengths, "0", "10", "", {});
    row("zero count keeps nothing", lengths, "0", "10", "0", {});
    row("minimum above maximum keeps nothing", lengths, "4", "2", "100", {});
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

    WindowDriver driver;
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

void RestrictTest::beforeAnyGenerateShowsNoLines()
{
    WindowDriver driver;
    driver.click("restrictButton");
    QCOMPARE(driver.resultList()->count(), 0);
    QCOMPARE(driver.statusText(), countMessage(0));
}

// What the window should show: the lines within the bounds, in the order the
// shared shuffle gives from the generator's current state, cut to the count.
static QStringList expectedShuffle(const QStringList &lines, uint minLength, uint maxLength, uint maxCount)
{
    QStringList survivors;
    for (const QString &line : lines) {
        if (uint(line.size()) >= minLength && uint(line.size()) <= maxLength)
            survivors.append(line);
    }
    std::vector<std::size_t> order(static_cast<std::size_t>(survivors.size()));
    std::iota(order.begin(), order.end(), std::size_t(0));
    razmnozhator::shuffleWithRand(order);
    QStringList shuffled;
    for (std::size_t index : order) {
        if (uint(shuffled.size()) < maxCount)
            shuffled.append(survivors.at(qsizetype(index)));
    }
    return shuffled;
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
