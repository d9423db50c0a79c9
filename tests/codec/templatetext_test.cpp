// A template file is joined into one line before it is compiled, but every
// message must point at the line and column the user sees, and the window
// must select the right character: each position maps back through the
// removed line breaks, whatever kind they are.

#include <QTest>

#include "templatetext.h"

#include <optional>
#include <string>

using namespace razmnozhator::cp1251;

Q_DECLARE_METATYPE(std::string)

namespace razmnozhator::cp1251 {
char *toString(const TextPosition &position)
{
    return qstrdup(QStringLiteral("line %1, column %2, index %3")
                       .arg(position.line)
                       .arg(position.column)
                       .arg(position.utf16Index)
                       .toUtf8()
                       .constData());
}
} // namespace razmnozhator::cp1251

class TemplateTextTest : public QObject
{
    Q_OBJECT

private slots:
    void joinsLines_data();
    void joinsLines();
    void mapsOffsetsBack_data();
    void mapsOffsetsBack();
    void reportsProblems_data();
    void reportsProblems();
    void findsInvalidUtf8_data();
    void findsInvalidUtf8();
};

void TemplateTextTest::joinsLines_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<std::string>("bytes");

    QTest::newRow("LF") << QStringLiteral("a\n[b|c]\n") << std::string("a[b|c]");
    QTest::newRow("CR LF") << QStringLiteral("a\r\nb\r\n") << std::string("ab");
    QTest::newRow("lone CR") << QStringLiteral("a\rb\rc") << std::string("abc");
    QTest::newRow("LF CR is two breaks") << QStringLiteral("a\n\rb") << std::string("ab");
    QTest::newRow("paragraph and line separators") << QStringLiteral("a\u2029b\u2028c") << std::string("abc");
    QTest::newRow("no-break space stays") << QStringLiteral("10\u00a0000")
                                          << std::string("10\xA0"
                                                         "000");
    QTest::newRow("Cyrillic") << QStringLiteral("д\nа") << std::string("\xE4\xE0");
}

void TemplateTextTest::joinsLines()
{
    QFETCH(QString, text);
    QFETCH(std::string, bytes);
    const TemplateText result = TemplateText::fromText(text);
    QVERIFY(!result.problem());
    QCOMPARE(result.bytes(), bytes);
}

void TemplateTextTest::mapsOffsetsBack_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("offset");
    QTest::addColumn<int>("line");
    QTest::addColumn<int>("column");
    QTest::addColumn<int>("utf16Index");

    const QString multiLine = QStringLiteral("first line [a|b]\nsecond line\nthird [oops\n");
    QTest::newRow("bracket on the third line") << multiLine << 33 << 3 << 7 << 35;
    QTest::newRow("first byte") << multiLine << 0 << 1 << 1 << 0;
    QTest::newRow("first byte of the second line") << multiLine << 16 << 2 << 1 << 17;
    QTest::newRow("end of the text, after the last line break") << multiLine << 38 << 4 << 1 << 41;
    QTest::newRow("after CR LF") << QStringLiteral("ab\r\ncd") << 3 << 2 << 2 << 5;
    QTest::newRow("after a lone CR") << QStringLiteral("ab\rcd") << 2 << 2 << 1 << 3;
    QTest::newRow("past empty lines") << QStringLiteral("a\n\n\nb") << 1 << 4 << 1 << 4;
}

void TemplateTextTest::mapsOffsetsBack()
{
    QFETCH(QString, text);
    QFETCH(int, offset);
    QFETCH(int, line);
    QFETCH(int, column);
    QFETCH(int, utf16Index);
    const TextPosition position = TemplateText::fromText(text).positionOf(std::size_t(offset));
    QCOMPARE(position, (TextPosition { line, column, utf16Index }));
    QCOMPARE(positionIn(text, utf16Index), position);
}

void TemplateTextTest::reportsProblems_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<bool>("nul");
    QTest::addColumn<uint>("codePoint");
    QTest::addColumn<int>("line");
    QTest::addColumn<int>("column");
    QTest::addColumn<int>("utf16Index");

    QTest::newRow("unencodable on the second line") << QStringLiteral("ab\ncΩ") << false << 0x3A9u << 2 << 2 << 4;
    QTest::newRow("NUL") << QString::fromUtf16(u"[a|\0b]", 6) << true << 0u << 1 << 4 << 3;
    QTest::newRow("NUL before an unencodable character")
        << QString::fromUtf16(u"x\r\n\0Ω", 5) << true << 0u << 2 << 1 << 3;
    QTest::newRow("unencodable character before NUL")
        << QString::fromUtf16(u"Ω\0", 2) << false << 0x3A9u << 1 << 1 << 0;
    QTest::newRow("emoji after an emoji counts one column each")
        << QStringLiteral("a\n😀😀") << false << 0x1F600u << 2 << 1 << 2;
}

void TemplateTextTest::reportsProblems()
{
    QFETCH(QString, text);
    QFETCH(bool, nul);
    QFETCH(uint, codePoint);
    QFETCH(int, line);
    QFETCH(int, column);
    QFETCH(int, utf16Index);
    const TemplateText result = TemplateText::fromText(text);
    QVERIFY(result.problem());
    QCOMPARE(result.problem()->kind == TextProblem::Kind::Nul, nul);
    QCOMPARE(uint(result.problem()->codePoint), codePoint);
    QCOMPARE(result.problem()->position, (TextPosition { line, column, utf16Index }));
    QVERIFY(result.bytes().empty());
}

void TemplateTextTest::findsInvalidUtf8_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<int>("offset");

    QTest::newRow("valid mixed") << QByteArray("a\xD0\xB4\xE2\x80\x94\xF0\x9F\x98\x80") << -1;
    QTest::newRow("incomplete at the end") << QByteArray("[a|b] \xC6") << 6;
    QTest::newRow("three-byte form cut short") << QByteArray("[a|b]\xE2\x80") << 5;
    QTest::newRow("stray continuation byte") << QByteArray("ab\x80") << 2;
    QTest::newRow("overlong two-byte form") << QByteArray("\xC0\xAF") << 0;
    QTest::newRow("overlong three-byte form") << QByteArray("x\xE0\x80\xAF") << 1;
    QTest::newRow("surrogate") << QByteArray("\xED\xA0\x80") << 0;
    QTest::newRow("above U+10FFFF") << QByteArray("\xF4\x90\x80\x80") << 0;
    QTest::newRow("CP1251 text") << QByteArray("\xCF\xF0\xE8") << 0;
    QTest::newRow("cut by a new lead byte") << QByteArray("\xE2\x80\xD0\xB4") << 0;
}

void TemplateTextTest::findsInvalidUtf8()
{
    QFETCH(QByteArray, bytes);
    QFETCH(int, offset);
    const std::optional<std::size_t> found = firstInvalidUtf8(std::string_view(bytes.constData(), bytes.size()));
    QCOMPARE(found ? int(*found) : -1, offset);
}

QTEST_GUILESS_MAIN(TemplateTextTest)
#include "templatetext_test.moc"
