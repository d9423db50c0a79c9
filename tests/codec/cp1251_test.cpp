// The CP1251 helper is the only road between the user's Unicode text and the
// engine's bytes: every byte must come back as it went, Cyrillic must map to
// the code page's letters, and a character the code page lacks must be
// reported exactly where it is, counted the way an editor counts.

#include <QSet>
#include <QString>
#include <QTest>

#include "cp1251.h"

#include <string>
#include <string_view>

using namespace razmnozhator;

Q_DECLARE_METATYPE(std::string)

class Cp1251Test : public QObject
{
    Q_OBJECT

private slots:
    void everyByteRoundTrips();
    void decodesKnownBytes_data();
    void decodesKnownBytes();
    void encodesText_data();
    void encodesText();
    void reportsFirstUnencodable_data();
    void reportsFirstUnencodable();
    void describesCharacter_data();
    void describesCharacter();
};

void Cp1251Test::everyByteRoundTrips()
{
    QSet<char16_t> seen;
    for (int value = 0; value < 256; ++value) {
        const char byte = static_cast<char>(value);
        const QString decoded = cp1251::decode(std::string_view(&byte, 1));
        QCOMPARE(decoded.size(), 1);
        QVERIFY2(!seen.contains(decoded.at(0).unicode()), qPrintable(QString::number(value, 16)));
        seen.insert(decoded.at(0).unicode());

        const cp1251::EncodeResult encoded = cp1251::encode(decoded);
        QVERIFY2(!encoded.unencodable, qPrintable(QStringLiteral("byte 0x%1").arg(value, 2, 16, QLatin1Char('0'))));
        QCOMPARE(encoded.bytes, std::string(1, byte));
    }

    // All bytes at once: the table-driven decoder must agree with one-by-one decoding.
    std::string everyByte;
    for (int value = 0; value < 256; ++value)
        everyByte += static_cast<char>(value);
    const QString all = cp1251::decode(everyByte);
    QCOMPARE(all.size(), 256);
    QCOMPARE(cp1251::encode(all).bytes, everyByte);
}

void Cp1251Test::decodesKnownBytes_data()
{
    QTest::addColumn<int>("byte");
    QTest::addColumn<int>("codePoint");

    QTest::newRow("NUL stays NUL") << 0x00 << 0x0000;
    QTest::newRow("line feed") << 0x0A << 0x000A;
    QTest::newRow("Latin A") << 0x41 << 0x0041;
    QTest::newRow("open bracket") << 0x5B << 0x005B;
    QTest::newRow("bar") << 0x7C << 0x007C;
    QTest::newRow("Cyrillic capital A") << 0xC0 << 0x0410;
    QTest::newRow("Cyrillic small ya") << 0xFF << 0x044F;
    QTest::newRow("Cyrillic capital Io") << 0xA8 << 0x0401;
    QTest::newRow("Cyrillic small io") << 0xB8 << 0x0451;
    QTest::newRow("Serbian capital Dje") << 0x80 << 0x0402;
    QTest::newRow("euro sign") << 0x88 << 0x20AC;
    QTest::newRow("numero sign") << 0xB9 << 0x2116;
    QTest::newRow("en dash") << 0x96 << 0x2013;
    QTest::newRow("no-break space") << 0xA0 << 0x00A0;
    QTest::newRow("Ukrainian capital Ie") << 0xAA << 0x0404;
}

void Cp1251Test::decodesKnownBytes()
{
    QFETCH(int, byte);
    QFETCH(int, codePoint);
    const char raw = static_cast<char>(byte);
    const QString decoded = cp1251::decode(std::string_view(&raw, 1));
    QCOMPARE(decoded.size(), 1);
    QCOMPARE(int(decoded.at(0).unicode()), codePoint);
}

void Cp1251Test::encodesText_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<std::string>("bytes");

    QTest::newRow("empty") << QString() << std::string();
    QTest::newRow("ASCII template") << QStringLiteral("[a|b]{, |x|y}") << std::string("[a|b]{, |x|y}");
    QTest::newRow("Cyrillic word") << QStringLiteral("Привет") << std::string("\xCF\xF0\xE8\xE2\xE5\xF2");
    QTest::newRow("Io and io") << QStringLiteral("Ёжик ёлка") << std::string("\xA8\xE6\xE8\xEA \xB8\xEB\xEA\xE0");
    QTest::newRow("Cyrillic in brackets")
        << QStringLiteral("[Лучшее|мелкого]") << std::string("[\xCB\xF3\xF7\xF8\xE5\xE5|\xEC\xE5\xEB\xEA\xEE\xE3\xEE]");
    QTest::newRow("punctuation of the code page")
        << QStringLiteral("№ 5 – «ок»…") << std::string("\xB9 5 \x96 \xAB\xEE\xEA\xBB\x85");
    QTest::newRow("control bytes") << QString::fromLatin1("a\r\n\tb", 5) << std::string("a\r\n\tb");
}

void Cp1251Test::encodesText()
{
    QFETCH(QString, text);
    QFETCH(std::string, bytes);
    const cp1251::EncodeResult encoded = cp1251::encode(text);
    QVERIFY(!encoded.unencodable);
    QCOMPARE(encoded.bytes, bytes);
    QCOMPARE(cp1251::decode(encoded.bytes), text);
}

void Cp1251Test::reportsFirstUnencodable_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<uint>("codePoint");
    QTest::addColumn<qsizetype>("characterIndex");
    QTest::addColumn<qsizetype>("utf16Index");

    QTest::newRow("emoji alone") << QStringLiteral("😀") << 0x1F600u << qsizetype(0) << qsizetype(0);
    QTest::newRow("emoji after Cyrillic") << QStringLiteral("Привет 😀") << 0x1F600u << qsizetype(7) << qsizetype(7);
    QTest::newRow("Greek omega") << QStringLiteral("[a|Ω]") << 0x3A9u << qsizetype(3) << qsizetype(3);
    QTest::newRow("CJK character") << QStringLiteral("ab中c") << 0x4E2Du << qsizetype(2) << qsizetype(2);
    QTest::newRow("Latin e acute") << QStringLiteral("café") << 0xE9u << qsizetype(3) << qsizetype(3);
    QTest::newRow("first of several is reported") << QStringLiteral("xΩ😀中") << 0x3A9u << qsizetype(1) << qsizetype(1);
    QTest::newRow("emoji reported before a later Greek letter")
        << QStringLiteral("й😀Ω") << 0x1F600u << qsizetype(1) << qsizetype(1);
    QTest::newRow("character from a supplementary plane, not its high surrogate")
        << QStringLiteral("ab𝔸") << 0x1D538u << qsizetype(2) << qsizetype(2);
    QTest::newRow("lone high surrogate") << (QStringLiteral("ab") + QChar(0xD800) + QStringLiteral("c")) << 0xD800u
                                         << qsizetype(2) << qsizetype(2);
    QTest::newRow("lone low surrogate") << (QStringLiteral("a") + QChar(0xDC00)) << 0xDC00u << qsizetype(1)
                                        << qsizetype(1);
    QTest::newRow("replacement character") << QStringLiteral("x\uFFFD") << 0xFFFDu << qsizetype(1) << qsizetype(1);
}

void Cp1251Test::reportsFirstUnencodable()
{
    QFETCH(QString, text);
    QFETCH(uint, codePoint);
    QFETCH(qsizetype, characterIndex);
    QFETCH(qsizetype, utf16Index);

    const cp1251::EncodeResult encoded = cp1251::encode(text);
    QVERIFY(encoded.unencodable.has_value());
    QCOMPARE(uint(encoded.unencodable->codePoint), codePoint);
    QCOMPARE(encoded.unencodable->characterIndex, characterIndex);
    QCOMPARE(encoded.unencodable->utf16Index, utf16Index);
}

void Cp1251Test::describesCharacter_data()
{
    QTest::addColumn<uint>("codePoint");
    QTest::addColumn<QString>("description");

    QTest::newRow("emoji") << 0x1F600u << QStringLiteral("\"😀\" (U+1F600)");
    QTest::newRow("Greek omega, padded to four digits") << 0x3A9u << QStringLiteral("\"Ω\" (U+03A9)");
    QTest::newRow("CJK character") << 0x4E2Du << QStringLiteral("\"中\" (U+4E2D)");
}

void Cp1251Test::describesCharacter()
{
    QFETCH(uint, codePoint);
    QFETCH(QString, description);
    QCOMPARE(cp1251::describe(char32_t(codePoint)), description);
}

QTEST_GUILESS_MAIN(Cp1251Test)
#include "cp1251_test.moc"
