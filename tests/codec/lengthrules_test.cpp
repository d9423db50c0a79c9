// The narrow characters as the engine's bytes, and a line's length by each
// rule; the names and the presets are checked through the tool's options.

#include <QTest>

#include "lengthrules.h"

using namespace razmnozhator;
using lengthrules::Rule;

Q_DECLARE_METATYPE(Rule)

class LengthRulesTest : public QObject
{
    Q_OBJECT

private slots:
    void lineLength_data();
    void lineLength();
    void narrowBytes();
};

void LengthRulesTest::lineLength_data()
{
    QTest::addColumn<QString>("line");
    QTest::addColumn<Rule>("rule");
    QTest::addColumn<qint64>("length"); // -1: never kept

    QTest::newRow("plain counts every character") << QStringLiteral("«Да!», он") << Rule::Plain << qint64(9);
    QTest::newRow("direct leaves the narrow ones out") << QStringLiteral("«Да!», он") << Rule::Direct << qint64(5);
    QTest::newRow("direct counts dashes and parentheses") << QStringLiteral("a-(b)?") << Rule::Direct << qint64(6);
    QTest::newRow("direct quotes and colons") << QStringLiteral("\"a\": b;") << Rule::Direct << qint64(3);
    QTest::newRow("direct keeps 15 narrow ones") << QString(15, u'.') + u'x' << Rule::Direct << qint64(1);
    QTest::newRow("direct never keeps 16") << QString(16, u',') + u'x' << Rule::Direct << qint64(-1);
    QTest::newRow("plain keeps 16") << QString(16, u',') << Rule::Plain << qint64(16);
    QTest::newRow("a surrogate pair is one character") << QStringLiteral("a😀.") << Rule::Direct << qint64(2);
    QTest::newRow("empty line") << QString() << Rule::Direct << qint64(0);
}

void LengthRulesTest::lineLength()
{
    QFETCH(QString, line);
    QFETCH(Rule, rule);
    QFETCH(qint64, length);
    const std::optional<std::uint64_t> measured = lengthrules::lineLength(line, rule);
    QCOMPARE(measured ? qint64(*measured) : qint64(-1), length);
}

// . , ! : ; " in ASCII, « and » at 0xAB and 0xBB of CP1251.
void LengthRulesTest::narrowBytes()
{
    const LengthRule &direct = lengthrules::lengthRule(Rule::Direct);
    std::bitset<256> expected;
    for (const unsigned byte : { 0x2Eu, 0x2Cu, 0x21u, 0x3Au, 0x3Bu, 0x22u, 0xABu, 0xBBu })
        expected.set(byte);
    QCOMPARE(direct.uncounted, expected);
    QCOMPARE(direct.mostUncounted, 15u);
    QVERIFY(lengthrules::lengthRule(Rule::Plain).plain());
    QCOMPARE(lengthrules::lengthRule(Rule::Plain).mostUncounted, UINT32_MAX);
}

QTEST_GUILESS_MAIN(LengthRulesTest)
#include "lengthrules_test.moc"
