// How much two lines differ, on CP1251 text with the program's own letter
// table: which bytes make words, lowercasing, and the runs of three words. Two
// lines chosen from two are each other's nearest, so the smallest difference
// of the choice is theirs.

#include <QTest>

#include <string_view>
#include <vector>

#include "cp1251.h"
#include "razmnozhator/diversity.h"

class DiversityTest : public QObject
{
    Q_OBJECT

private slots:
    void measuresDifference_data();
    void measuresDifference();
};

void DiversityTest::measuresDifference_data()
{
    QTest::addColumn<QString>("first");
    QTest::addColumn<QString>("second");
    QTest::addColumn<double>("expected");

    QTest::newRow("same words, other case and punctuation")
        << QStringLiteral("Купите 2 телефона!") << QStringLiteral("купите, 2 ТЕЛЕФОНА") << 0.0;
    QTest::newRow("Ё lowercases like the rest")
        << QStringLiteral("Ёлка ЗЕЛЁНАЯ стоит") << QStringLiteral("ёлка зелёная стоит") << 0.0;
    QTest::newRow("one of two shingles shared")
        << QStringLiteral("раз два три четыре") << QStringLiteral("раз два три пять") << 1 - 1.0 / 3;
    QTest::newRow("two of three shingles shared")
        << QStringLiteral("раз два три четыре пять") << QStringLiteral("раз два три четыре") << 1 - 2.0 / 3;
    QTest::newRow("digits inside a word")
        << QStringLiteral("iPhone15 за 100р") << QStringLiteral("iphone 15 за 100р") << 1.0;
    QTest::newRow("hyphen, № and non-breaking space separate")
        << QStringLiteral("северо-запад №5\u00A0дом") << QStringLiteral("северо запад 5 дом") << 0.0;
    QTest::newRow("word order matters") << QStringLiteral("привет мир") << QStringLiteral("мир привет") << 1.0;
    QTest::newRow("one word against two") << QStringLiteral("один") << QStringLiteral("один два") << 1.0;
    QTest::newRow("one word each") << QStringLiteral("Привет") << QStringLiteral("привет!!!") << 0.0;
    QTest::newRow("both empty") << QString() << QString() << 0.0;
    QTest::newRow("punctuation only has no words") << QStringLiteral("?!") << QStringLiteral("—") << 0.0;
    QTest::newRow("empty against words") << QString() << QStringLiteral("слово") << 1.0;
}

void DiversityTest::measuresDifference()
{
    QFETCH(QString, first);
    QFETCH(QString, second);
    QFETCH(double, expected);
    const std::string a = razmnozhator::cp1251::encode(first).bytes;
    const std::string b = razmnozhator::cp1251::encode(second).bytes;
    const razmnozhator::WordBytes &letters = razmnozhator::cp1251::wordBytes();
    for (const std::vector<std::string_view> &lines :
        { std::vector<std::string_view> { a, b }, std::vector<std::string_view> { b, a } }) {
        const auto choice = razmnozhator::chooseDiverse(lines, 2, 1, letters);
        QVERIFY(choice);
        QCOMPARE(choice->diversity.smallest, expected);
        QCOMPARE(choice->diversity.mean, expected);
    }
}

QTEST_GUILESS_MAIN(DiversityTest)
#include "diversity_test.moc"
