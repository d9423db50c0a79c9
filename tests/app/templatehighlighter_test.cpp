// The template editor's colours: brackets and bars by depth, the unclosed
// opener in red, the bracket matching the one at the cursor.

#include <algorithm>

#include <QTest>
#include <QTextBlock>
#include <QTextLayout>

#include "templatehighlighter.h"
#include "windowdriver.h"

class TemplateHighlighterTest : public QObject
{
    Q_OBJECT

private slots:
    void formats_data();
    void formats();
    void matchingBracket_data();
    void matchingBracket();
};

namespace {

constexpr int plain = -1;
constexpr int error = -2;

// The format the highlighter gave the character at position, as a depth.
int depthAt(QTextEdit *edit, const TemplateHighlighter *highlighter, int position)
{
    const QTextBlock block = edit->document()->findBlock(position);
    const int inBlock = position - block.position();
    for (const QTextLayout::FormatRange &range : block.layout()->formats()) {
        if (inBlock < range.start || inBlock >= range.start + range.length)
            continue;
        if (range.format == highlighter->errorFormat())
            return error;
        for (std::uint32_t depth = 0; depth < 6; ++depth) {
            if (range.format == highlighter->depthFormat(depth))
                return static_cast<int>(depth);
        }
        return -3;
    }
    return plain;
}

} // namespace

void TemplateHighlighterTest::formats_data()
{
    QTest::addColumn<QString>("templateText");
    QTest::addColumn<QList<int>>("depths"); // one per character

    const int p = plain;
    const int e = error;
    QTest::newRow("one group") << "[a|b]" << QList<int> { 0, p, 0, p, 0 };
    QTest::newRow("nested") << "{-|[x|y]}" << QList<int> { 0, p, 0, 1, p, 1, p, 1, 0 };
    QTest::newRow("stray closer and bar are text") << "a]|b" << QList<int> { p, p, p, p };
    QTest::newRow("unclosed opener in red") << "[a|b][c" << QList<int> { 0, p, 0, p, 0, e, p };
    QTest::newRow("unclosed outer, inner closed") << "{[a]" << QList<int> { e, p, p, p };
    QTest::newRow("across lines") << "[a|\nb]" << QList<int> { 0, p, 0, p, p, 0 };
    QTest::newRow("a group of uneven fields in red") << "x\t[a|b\tc]" << QList<int> { p, p, e, p, 0, p, p, p, 0 };
    QTest::newRow("even fields") << "x\t[a\tb|c\td]" << QList<int> { p, p, 0, p, p, p, 0, p, p, p, 0 };
    // The brackets keep their colours while a character CP1251 lacks is there.
    QTest::newRow("a letter CP1251 lacks") << QStringLiteral("[Ŭ|b]") << QList<int> { 0, p, 0, p, 0 };
    QTest::newRow("a character of two UTF-16 units")
        << QStringLiteral("{-|😀|[x|y]}") << QList<int> { 0, p, 0, p, p, 0, 1, p, 1, p, 1, 0 };
}

void TemplateHighlighterTest::formats()
{
    QFETCH(QString, templateText);
    QFETCH(QList<int>, depths);

    WindowDriver driver;
    QTextEdit *edit = driver.templateEdit();
    const auto *highlighter = edit->findChild<TemplateHighlighter *>();
    QVERIFY(highlighter);
    edit->setPlainText(templateText);
    QCoreApplication::processEvents();
    for (int position = 0; position < templateText.size(); ++position) {
        if (templateText.at(position) == u'\n')
            continue;
        QVERIFY2(depthAt(edit, highlighter, position) == depths.at(position),
            qPrintable(QStringLiteral("position %1: %2").arg(position).arg(depthAt(edit, highlighter, position))));
    }
}

void TemplateHighlighterTest::matchingBracket_data()
{
    QTest::addColumn<QString>("templateText");
    QTest::addColumn<int>("cursor");
    QTest::addColumn<QList<int>>("marked");

    QTest::newRow("before an opener") << "x{-|[a|b]}" << 1 << QList<int> { 1, 9 };
    QTest::newRow("before an inner closer") << "x{-|[a|b]}" << 8 << QList<int> { 4, 8 };
    QTest::newRow("after the last closer") << "x{-|[a|b]}" << 10 << QList<int> { 1, 9 };
    QTest::newRow("between words") << "x{-|[a|b]}" << 6 << QList<int> {};
    QTest::newRow("unclosed opener has no partner") << "[a" << 0 << QList<int> {};
}

void TemplateHighlighterTest::matchingBracket()
{
    QFETCH(QString, templateText);
    QFETCH(int, cursor);
    QFETCH(QList<int>, marked);

    WindowDriver driver;
    QTextEdit *edit = driver.templateEdit();
    edit->setPlainText(templateText);
    QCoreApplication::processEvents();
    QTextCursor textCursor = edit->textCursor();
    textCursor.setPosition(cursor);
    edit->setTextCursor(textCursor);
    QList<int> positions;
    for (const QTextEdit::ExtraSelection &selection : edit->extraSelections())
        positions.append(selection.cursor.selectionStart());
    std::sort(positions.begin(), positions.end());
    QCOMPARE(positions, marked);
}

QTEST_MAIN(TemplateHighlighterTest)
#include "templatehighlighter_test.moc"
