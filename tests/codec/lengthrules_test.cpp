// The narrow characters and the presets' limits as the engine's bytes, a
// line's length by each rule, and the window's words for them; the names
// and the presets are checked through the tool's options too.

#include <QTest>

#include "lengthrules.h"

using namespace razmnozhator;
using lengthrules::Rule;

namespace {

// "plain", "direct", or a preset's name: its rule and limit.
lengthrules::FieldRule fieldRuleNamed(const QString &name)
{
    if (const std::optional<Rule> rule = lengthrules::ruleNamed(name))
        return { *rule };
    const lengthrules::Preset *preset = lengthrules::presetNamed(name);
    Q_ASSERT(preset);
    return preset->fieldRule();
}

std::bitset<256> bytes(std::initializer_list<unsigned> values)
{
    std::bitset<256> set;
    for (const unsigned byte : values)
        set.set(byte);
    return set;
}

} // namespace

class LengthRulesTest : public QObject
{
    Q_OBJECT

private slots:
    void lineLength_data();
    void lineLength();
    void engineRules();
    void words_data();
    void words();
    void presetTable();
    void limitOfThree();
};

void LengthRulesTest::lineLength_data()
{
    QTest::addColumn<QString>("line");
    QTest::addColumn<QString>("rule");
    QTest::addColumn<qint64>("length"); // -1: never kept

    QTest::newRow("plain counts every character") << QStringLiteral("«Да!», он") << "plain" << qint64(9);
    QTest::newRow("direct leaves the narrow ones out") << QStringLiteral("«Да!», он") << "direct" << qint64(5);
    QTest::newRow("direct counts dashes and parentheses") << QStringLiteral("a-(b)?") << "direct" << qint64(6);
    QTest::newRow("direct quotes and colons") << QStringLiteral("\"a\": b;") << "direct" << qint64(3);
    QTest::newRow("direct keeps 15 narrow ones") << QString(15, u'.') + u'x' << "direct" << qint64(1);
    QTest::newRow("direct never keeps 16") << QString(16, u',') + u'x' << "direct" << qint64(-1);
    QTest::newRow("plain keeps 16") << QString(16, u',') << "plain" << qint64(16);
    QTest::newRow("a surrogate pair is one character") << QStringLiteral("a😀.") << "direct" << qint64(2);
    QTest::newRow("empty line") << QString() << "direct" << qint64(0);
    QTest::newRow("headline without !") << QStringLiteral("Да, он.") << "google-headline" << qint64(7);
    QTest::newRow("headline never keeps !") << QStringLiteral("Да!") << "google-headline" << qint64(-1);
    QTest::newRow("description keeps one !") << QStringLiteral("Да! Он.") << "google-description" << qint64(7);
    QTest::newRow("description never keeps two") << QStringLiteral("Да! Он!") << "google-description" << qint64(-1);
    QTest::newRow("display link counts every character")
        << QStringLiteral("a.ru/b!") << "direct-display-link" << qint64(7);
}

void LengthRulesTest::lineLength()
{
    QFETCH(QString, line);
    QFETCH(QString, rule);
    QFETCH(qint64, length);
    const std::optional<std::uint64_t> measured = lengthrules::lineLength(line, fieldRuleNamed(rule));
    QCOMPARE(measured ? qint64(*measured) : qint64(-1), length);
}

// . , ! : ; " in ASCII, « and » at 0xAB and 0xBB of CP1251.
void LengthRulesTest::engineRules()
{
    const LengthRule direct = lengthrules::lengthRule({ Rule::Direct });
    const std::bitset<256> narrow = bytes({ 0x2Eu, 0x2Cu, 0x21u, 0x3Au, 0x3Bu, 0x22u, 0xABu, 0xBBu });
    QCOMPARE(direct.uncounted, narrow);
    QCOMPARE(direct.limited, narrow);
    QCOMPARE(direct.mostLimited, 15u);
    QVERIFY(lengthrules::lengthRule({}).plain());

    const LengthRule headline = lengthrules::lengthRule(fieldRuleNamed("google-headline"));
    QVERIFY(headline.uncounted.none());
    QCOMPARE(headline.limited, bytes({ 0x21u }));
    QCOMPARE(headline.mostLimited, 0u);
    QCOMPARE(lengthrules::lengthRule(fieldRuleNamed("google-description")).mostLimited, 1u);

    // Direct's limit and a preset's would be two.
    QVERIFY(!lengthrules::combinable({ Rule::Direct, fieldRuleNamed("google-headline").limit }));
    QVERIFY(lengthrules::combinable(fieldRuleNamed("google-headline")));
}

void LengthRulesTest::words_data()
{
    QTest::addColumn<QString>("rule");
    QTest::addColumn<QString>("choice");
    QTest::addColumn<QString>("wording");
    QTest::addColumn<QString>("overLimit");

    QTest::newRow("plain") << "plain"
                           << "все символы" << QString() << QString();
    QTest::newRow("direct") << "direct"
                            << "как в Директе"
                            << "по правилам Директа"
                            << "больше 15 узких символов";
    QTest::newRow("no !") << "google-headline"
                          << "все символы, без «!»"
                          << "без «!»"
                          << "есть «!»";
    QTest::newRow("one !") << "google-description"
                           << "все символы, «!» ≤ 1"
                           << "с «!» не больше одного раза"
                           << "больше одного «!»";
}

void LengthRulesTest::words()
{
    QFETCH(QString, rule);
    const lengthrules::FieldRule field = fieldRuleNamed(rule);
    QTEST(lengthrules::choiceText(field), "choice");
    QTEST(lengthrules::wording(field), "wording");
    const lengthrules::CharacterLimit *limit = lengthrules::limitOf(field);
    QTEST(limit ? lengthrules::overLimitWording(*limit) : QString(), "overLimit");
}

// The platforms' fields: each name once, the platforms' presets together
// (the window heads them by platform), bounds that keep some line.
void LengthRulesTest::presetTable()
{
    QCOMPARE(lengthrules::presetNames(),
        QStringList({ "direct-title", "direct-title2", "direct-text", "direct-display-link", "direct-sitelink",
            "direct-sitelink-description", "direct-callout", "google-headline", "google-description", "google-path" }));
    const auto all = lengthrules::presets();
    for (std::size_t i = 1; i < all.size(); ++i)
        QVERIFY(all[i - 1].platform == all[i].platform || all[i].platform == lengthrules::Platform::GoogleAds);
    for (const lengthrules::Preset &preset : all) {
        QVERIFY2(preset.min <= preset.max, preset.name);
        QVERIFY2(lengthrules::combinable(preset.fieldRule()), preset.name);
    }
}

// A limit no preset has yet: three at most.
void LengthRulesTest::limitOfThree()
{
    const lengthrules::CharacterLimit three { u"!?", 3 };
    const lengthrules::FieldRule field { Rule::Plain, &three };
    QCOMPARE(lengthrules::limitWording(three), QStringLiteral("с «!?» не больше 3 раз"));
    QCOMPARE(lengthrules::overLimitWording(three), QStringLiteral("больше 3 «!?»"));
    QCOMPARE(lengthrules::choiceText(field), QStringLiteral("все символы, «!?» ≤ 3"));
    QCOMPARE(lengthrules::lineLength(u"a!?!", field), std::optional<std::uint64_t>(4));
    QCOMPARE(lengthrules::lineLength(u"a!?!?", field), std::optional<std::uint64_t>());
    QCOMPARE(lengthrules::lengthRule(field).limited.count(), 2u);
}

QTEST_GUILESS_MAIN(LengthRulesTest)
#include "lengthrules_test.moc"
