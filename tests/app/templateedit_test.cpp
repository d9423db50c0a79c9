// The template editor on a paragraph of many thousand characters, laid out
// in pieces: the text stays as typed, clicks and cursor keys land where the
// user sees them, and a short template goes back to Qt's own layout.

#include <QApplication>
#include <QClipboard>
#include <QList>
#include <QMouseEvent>
#include <QScrollBar>
#include <QTest>
#include <QTextBlock>

#include "longparagraphlayout.h"
#include "templateedit.h"

class TemplateEditTest : public QObject
{
    Q_OBJECT

private slots:
    void edits_data();
    void edits();
    void clicks_data();
    void clicks();
    void upAndDown_data();
    void upAndDown();
    void typingAtTheEnd();
    void layoutChoice_data();
    void layoutChoice();
    void keysAsInQtsLayout_data();
    void keysAsInQtsLayout();
    void doubleClickSelectsAsQtsLayout_data();
    void doubleClickSelectsAsQtsLayout();
    void cursorKeys_data();
    void cursorKeys();
    void wordsAfterDoubleClick_data();
    void wordsAfterDoubleClick();
};

namespace {

const QString longParagraph = QStringLiteral("[a|b]").repeated(20000);

struct ShownEdit
{
    explicit ShownEdit(const QString &text)
    {
        edit.resize(400, 70);
        edit.show();
        (void)QTest::qWaitForWindowExposed(&edit);
        edit.setPlainText(text);
        QCoreApplication::processEvents();
    }
    LongParagraphLayout *pieces() const
    {
        return qobject_cast<LongParagraphLayout *>(edit.document()->documentLayout());
    }
    // Where the user sees position, in the viewport: just right of the cursor, mid-line.
    QPoint pointOf(int position) const
    {
        const QRectF cursor = pieces()->cursorRect(position);
        return QPointF(cursor.left() + 1 - edit.horizontalScrollBar()->value(),
            cursor.center().y() - edit.verticalScrollBar()->value())
            .toPoint();
    }
    void setCursor(int position)
    {
        QTextCursor cursor = edit.textCursor();
        cursor.setPosition(position);
        edit.setTextCursor(cursor);
    }
    TemplateEdit edit;
};

// One text in Qt's own layout and, after a long paragraph, in the piece
// layout: `offset` is where the text starts in the second.
struct TwoLayouts
{
    explicit TwoLayouts(const QString &text)
        : qts(text)
        , inPieces(before + text)
    {
    }
    bool laidOutApart() const { return !qts.pieces() && inPieces.pieces(); }
    // The same keys at the same place of both.
    void press(int position, const QList<QKeyCombination> &keys)
    {
        qts.setCursor(position);
        inPieces.setCursor(offset + position);
        for (const QKeyCombination key : keys) {
            QTest::keyClick(&qts.edit, key.key(), key.keyboardModifiers());
            QTest::keyClick(&inPieces.edit, key.key(), key.keyboardModifiers());
        }
    }
    const QString before = longParagraph + u' ';
    const int offset = int(before.size());
    ShownEdit qts;
    ShownEdit inPieces;
};

// Empty when the visual lines cover the document without gap or overlap and
// every position found by its cursor is found again by a hit there.
QString layoutProblem(const LongParagraphLayout &layout, const QTextDocument &document)
{
    const int last = document.characterCount() - 1;
    for (int position = 0;;) {
        const auto [start, end] = layout.lineEnds(position);
        if (start != position)
            return QStringLiteral("the line at %1 starts at %2").arg(position).arg(start);
        if (end == last)
            break;
        position = document.characterAt(end) == QChar::ParagraphSeparator ? end + 1 : end;
    }
    for (int position = 0; position < last; position += 997) {
        const int hit = layout.hitTest(layout.cursorRect(position).center() + QPointF(1, 0), Qt::FuzzyHit);
        if (hit != position && hit != position + 1)
            return QStringLiteral("the cursor at %1 is hit at %2").arg(position).arg(hit);
    }
    return {};
}

} // namespace

void TemplateEditTest::edits_data()
{
    QTest::addColumn<QString>("initial");
    QTest::addColumn<int>("position");
    QTest::addColumn<int>("removed");
    QTest::addColumn<QString>("added");

    const QString around = QStringLiteral("short\n") + longParagraph + QStringLiteral("\nshort");
    QTest::newRow("a key in the middle") << longParagraph << 1001 << 0 << QStringLiteral("x");
    QTest::newRow("deleting across pieces") << longParagraph << 3000 << 9000 << QString();
    QTest::newRow("a piece grows past its limit") << longParagraph << 5 << 0 << QStringLiteral("y").repeated(9000);
    QTest::newRow("a line break into the paragraph") << longParagraph << 50000 << 0 << QStringLiteral("\n");
    QTest::newRow("short paragraphs around a long one") << around << 40000 << 1 << QStringLiteral("[c|d]\n[e]");
    QTest::newRow("joining two long paragraphs") << longParagraph + u'\n' + longParagraph << 100000 << 1 << QString();
    QTest::newRow("replacing everything") << longParagraph << 0 << 100000 << QStringLiteral("{-|x|y}").repeated(12000);
}

void TemplateEditTest::edits()
{
    QFETCH(QString, initial);
    QFETCH(int, position);
    QFETCH(int, removed);
    QFETCH(QString, added);

    ShownEdit shown(initial);
    QTextCursor cursor = shown.edit.textCursor();
    cursor.setPosition(position);
    cursor.setPosition(position + removed, QTextCursor::KeepAnchor);
    cursor.insertText(added);
    QCoreApplication::processEvents();
    QCOMPARE(shown.edit.toPlainText(), QString(initial).replace(position, removed, added));
    QVERIFY(shown.pieces());
    QCOMPARE(layoutProblem(*shown.pieces(), *shown.edit.document()), QString());
    shown.edit.undo();
    QCOMPARE(shown.edit.toPlainText(), initial);
    QCOMPARE(layoutProblem(*shown.pieces(), *shown.edit.document()), QString());
}

void TemplateEditTest::clicks_data()
{
    QTest::addColumn<int>("position");

    QTest::newRow("first character") << 0;
    QTest::newRow("inside the first piece") << 1234;
    QTest::newRow("middle of the paragraph") << 50003;
    QTest::newRow("near the end") << 99996;
}

void TemplateEditTest::clicks()
{
    QFETCH(int, position);

    ShownEdit shown(longParagraph);
    // Scrolled to a position a few characters on, the one clicked is in view too.
    shown.setCursor(position + 4);
    QTest::mouseClick(shown.edit.viewport(), Qt::LeftButton, {}, shown.pointOf(position));
    QCOMPARE(shown.edit.textCursor().position(), position);
}

void TemplateEditTest::upAndDown_data()
{
    QTest::addColumn<int>("position");
    QTest::addColumn<bool>("lastLine");

    QTest::newRow("middle of a piece") << 2003 << false;
    QTest::newRow("last line of a piece of 4000") << 3998 << false;
    QTest::newRow("last line of the text") << 100000 << true;
}

void TemplateEditTest::upAndDown()
{
    QFETCH(int, position);
    QFETCH(bool, lastLine);

    ShownEdit shown(longParagraph);
    shown.setCursor(position);
    const QRectF before = shown.pieces()->cursorRect(position);
    QTest::keyClick(&shown.edit, Qt::Key_Down);
    const QRectF below = shown.pieces()->cursorRect(shown.edit.textCursor().position());
    QCOMPARE(below.top(), lastLine ? before.top() : before.bottom());
    QVERIFY(qAbs(below.left() - before.left()) < 10 || lastLine);
    QTest::keyClick(&shown.edit, Qt::Key_Up);
    if (!lastLine)
        QCOMPARE(shown.edit.textCursor().position(), position);
}

void TemplateEditTest::typingAtTheEnd()
{
    ShownEdit shown(longParagraph);
    QTest::keyClick(&shown.edit, Qt::Key_End, Qt::ControlModifier);
    QTest::keyClicks(&shown.edit, QStringLiteral("[c|d]"));
    QTest::keyClick(&shown.edit, Qt::Key_Backspace);
    QCOMPARE(shown.edit.toPlainText(), longParagraph + QStringLiteral("[c|d"));
    const QPoint cursor = shown.pointOf(shown.edit.textCursor().position());
    QVERIFY(shown.edit.viewport()->rect().contains(cursor));
    // The characters typed in a row are one step of undo, as in Qt's editor.
    shown.edit.undo();
    QCOMPARE(shown.edit.toPlainText(), longParagraph + QStringLiteral("[c|d]"));
    shown.edit.undo();
    QCOMPARE(shown.edit.toPlainText(), longParagraph);
}

void TemplateEditTest::layoutChoice_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("kept"); // characters left after deleting the rest; -1 keeps all
    QTest::addColumn<bool>("inPieces");

    const QString lines = (QStringLiteral("[a|b]").repeated(12) + u'\n').repeated(2000);
    QTest::newRow("short template") << QStringLiteral("[a|b]").repeated(200) << -1 << false;
    QTest::newRow("long paragraph") << longParagraph << -1 << true;
    QTest::newRow("as long in short lines") << lines << -1 << false;
    QTest::newRow("long paragraph cut short") << longParagraph << 1000 << false;
    QTest::newRow("long paragraph cut to half") << longParagraph << 40000 << true;
}

void TemplateEditTest::layoutChoice()
{
    QFETCH(QString, text);
    QFETCH(int, kept);
    QFETCH(bool, inPieces);

    ShownEdit shown(text);
    if (kept >= 0) {
        QTextCursor cursor = shown.edit.textCursor();
        cursor.setPosition(kept);
        cursor.movePosition(QTextCursor::End, QTextCursor::KeepAnchor);
        cursor.removeSelectedText();
    }
    QCOMPARE(shown.edit.laysOutInPieces(), inPieces);
    QCOMPARE(shown.pieces() != nullptr, inPieces);
    QCOMPARE(shown.edit.toPlainText(), kept >= 0 ? text.left(kept) : text);
}

// The same keys at the same place of a short template, in Qt's own layout,
// and after a long paragraph, laid out in pieces: the same text and cursor.
void TemplateEditTest::keysAsInQtsLayout_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("position");
    QTest::addColumn<QList<QKeyCombination>>("keys");

    const QString words = QStringLiteral("[один|два] {-|три|четыре}");
    const auto row = [](const char *name, const QString &text, int position, QList<QKeyCombination> keys) {
        QTest::newRow(name) << text << position << keys;
    };
    const QKeyCombination del(Qt::Key_Delete), backspace(Qt::Key_Backspace), undo(Qt::CTRL | Qt::Key_Z),
        redo(Qt::CTRL | Qt::SHIFT | Qt::Key_Z), x(Qt::Key_X);
    row("Delete", words, 3, { del });
    row("Delete three times, one undo", words, 3, { del, del, del, undo });
    row("Backspace twice, one undo", words, 5, { backspace, backspace, undo });
    row("a letter, undo", words, 5, { x, undo });
    row("a letter, undo, redo", words, 5, { x, undo, redo });
    row("Delete, undo, redo", words, 1, { del, undo, redo });
    row("Delete at the end", words, int(words.size()), { del });
    row("Delete, then a letter, two undos", words, 0, { del, x, undo, undo });
    row("Delete takes a letter with its accent", QStringLiteral("ще\u0301ка"), 1, { del });
    row("Delete takes both halves of an emoji", QStringLiteral("a\U0001F600b"), 1, { del, undo });
    const QKeyCombination selectLeft(Qt::SHIFT | Qt::Key_Left), selectRight(Qt::SHIFT | Qt::Key_Right);
    row("a letter over a selection, then one more", words, 5, { selectLeft, selectLeft, x, x });
    row("a letter over a selection, undo", words, 5, { x, selectLeft, selectLeft, x, undo });
    row("Delete of a selection, undo, redo", words, 3, { selectRight, selectRight, del, undo, redo });
    const QKeyCombination tab(Qt::Key_Tab);
    row("Tab, a letter, undo", words, 10, { tab, x, undo });
    row("Tab over a selection", words, 10, { selectLeft, tab });
    row("Backspace of a selection, a letter, two undos", words, 7, { selectLeft, backspace, x, undo, undo });
    // The clipboard holds "[c|d]" and a line break, then "e".
    const QKeyCombination paste(Qt::CTRL | Qt::Key_V), shiftInsert(Qt::SHIFT | Qt::Key_Insert);
    row("paste", words, 4, { paste });
    row("paste, undo, redo", words, 4, { paste, undo, redo });
    row("a letter, paste, one undo", words, 4, { x, paste, undo });
    row("paste over a selection, undo", words, 6, { selectLeft, selectLeft, paste, undo });
    row("Shift+Insert, a letter, two undos", words, 9, { shiftInsert, x, undo, undo });
}

void TemplateEditTest::keysAsInQtsLayout()
{
    QFETCH(QString, text);
    QFETCH(int, position);
    QFETCH(QList<QKeyCombination>, keys);

    QGuiApplication::clipboard()->setText(QStringLiteral("[c|d]\ne"));
    TwoLayouts shown(text);
    QVERIFY(shown.laidOutApart());
    shown.press(position, keys);
    QCOMPARE(shown.inPieces.edit.toPlainText(), shown.before + shown.qts.edit.toPlainText());
    QCOMPARE(shown.inPieces.edit.textCursor().position() - shown.offset, shown.qts.edit.textCursor().position());
}

void TemplateEditTest::doubleClickSelectsAsQtsLayout_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("position");

    const QString words = QStringLiteral("[Лучшее|Отличное] решение для { и |[мелкого|малого]}  бизнеса.\tконец");
    for (int position = 0; position <= words.size(); position += 3)
        QTest::addRow("sample at %d", position) << words << position;
    const QString longWord = QStringLiteral("слово").repeated(60) + QStringLiteral(" [x]");
    for (const int position : { 0, 150, 300, 302 })
        QTest::addRow("a word of 300 letters, at %d", position) << longWord << position;
}

// Qt selects the word under the pointer, a run of brackets and bars, or the
// spaces between; the piece layout must select the same.
void TemplateEditTest::doubleClickSelectsAsQtsLayout()
{
    QFETCH(QString, text);
    QFETCH(int, position);

    const QString before = longParagraph + u' ';
    ShownEdit qts(text);
    ShownEdit inPieces(before + text);
    QVERIFY(!qts.pieces() && inPieces.pieces());
    qts.setCursor(position);
    const QPoint qtsPoint = qts.edit.cursorRect().center() + QPoint(1, 0);
    QTest::mouseDClick(qts.edit.viewport(), Qt::LeftButton, {}, qtsPoint);
    inPieces.setCursor(int(before.size()) + position);
    QTest::mouseDClick(inPieces.edit.viewport(), Qt::LeftButton, {}, inPieces.pointOf(int(before.size()) + position));

    const QTextCursor expected = qts.edit.textCursor();
    const QTextCursor selected = inPieces.edit.textCursor();
    QCOMPARE(selected.selectedText(), expected.selectedText());
    QCOMPARE(selected.selectionStart() - before.size(), expected.selectionStart());
}

void TemplateEditTest::cursorKeys_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("position");
    QTest::addColumn<QList<QKeyCombination>>("keys");
    QTest::addColumn<int>("anchor");
    QTest::addColumn<int>("cursor");

    const QString words = QStringLiteral("[один|два] {-|три|четыре}");
    const QString longWord = QStringLiteral("слово").repeated(60) + QStringLiteral("  [x]");
    const auto row = [](const char *name, const QString &text, int position, QList<QKeyCombination> keys, int anchor,
                         int cursor) { QTest::newRow(name) << text << position << keys << anchor << cursor; };
    const QKeyCombination right(Qt::Key_Right), left(Qt::Key_Left), selectRight(Qt::SHIFT | Qt::Key_Right),
        selectLeft(Qt::SHIFT | Qt::Key_Left), wordRight(Qt::CTRL | Qt::Key_Right), wordLeft(Qt::CTRL | Qt::Key_Left),
        selectWordRight(Qt::CTRL | Qt::SHIFT | Qt::Key_Right), selectWordLeft(Qt::CTRL | Qt::SHIFT | Qt::Key_Left);
    row("Right", words, 3, { right }, 4, 4);
    row("Left twice", words, 3, { left, left }, 1, 1);
    row("Shift+Right twice", words, 3, { selectRight, selectRight }, 3, 5);
    row("Shift+Left, then Right goes to the selection's end", words, 3, { selectLeft, selectLeft, right }, 3, 3);
    row("Shift+Right, then Left goes to the selection's start", words, 3, { selectRight, selectRight, left }, 3, 3);
    row("Right over a letter with its accent", QStringLiteral("ще\u0301ка"), 1, { right }, 3, 3);
    row("Left over both halves of an emoji", QStringLiteral("a\U0001F600b"), 3, { left }, 1, 1);
    row("Right at the end of the text", words, 25, { right }, 25, 25);
    row("Ctrl+Right in a word", words, 2, { wordRight }, 5, 5);
    row("Ctrl+Right over brackets and spaces", words, 9, { wordRight }, 11, 11);
    row("Ctrl+Left twice", words, 13, { wordLeft, wordLeft }, 9, 9);
    row("Ctrl+Shift+Right, then Ctrl+Shift+Left", words, 6, { selectWordRight, selectWordRight, selectWordLeft }, 6, 9);
    row("Ctrl+Right over a word of 300 letters", longWord, 2, { wordRight }, 302, 302);
    row("Ctrl+Left back over it", longWord, 302, { wordLeft }, 0, 0);
    row("Right over a paragraph's end", QStringLiteral("ab\ncd"), 2, { right }, 3, 3);
    row("Ctrl+Shift+Left twice, into the paragraph before", QStringLiteral("ab cd\nef"), 7,
        { selectWordLeft, selectWordLeft }, 7, 5);
}

// The same keys at the same place of a short template and of the same text
// after a long paragraph: the cursor and the selection fixed below.
void TemplateEditTest::cursorKeys()
{
    QFETCH(QString, text);
    QFETCH(int, position);
    QFETCH(QList<QKeyCombination>, keys);
    QFETCH(int, anchor);
    QFETCH(int, cursor);

    TwoLayouts shown(text);
    QVERIFY(shown.laidOutApart());
    shown.press(position, keys);
    QCOMPARE(shown.qts.edit.textCursor().anchor(), anchor);
    QCOMPARE(shown.qts.edit.textCursor().position(), cursor);
    QCOMPARE(shown.inPieces.edit.textCursor().anchor() - shown.offset, anchor);
    QCOMPARE(shown.inPieces.edit.textCursor().position() - shown.offset, cursor);
}

void TemplateEditTest::wordsAfterDoubleClick_data()
{
    QTest::addColumn<int>("clicked");
    QTest::addColumn<int>("pointed");
    QTest::addColumn<bool>("drag");
    QTest::addColumn<int>("anchor");
    QTest::addColumn<int>("cursor");

    // In "[Лучшее|Отличное] решение для { и |[мелкого|малого]}  бизнеса.\tконец".
    QTest::newRow("drag to the start of a word on the right") << 20 << 27 << true << 18 << 26;
    QTest::newRow("drag to the end of a word on the right") << 20 << 28 << true << 18 << 29;
    QTest::newRow("drag to a word on the left") << 20 << 9 << true << 25 << 8;
    QTest::newRow("drag inside the word") << 20 << 23 << true << 18 << 25;
    QTest::newRow("drag over a bracket leaves the selection") << 20 << 17 << true << 18 << 25;
    QTest::newRow("Shift+click on a word on the right") << 20 << 59 << false << 18 << 61;
    QTest::newRow("Shift+click on a word on the left") << 28 << 3 << false << 29 << 1;
}

// A double click selects a word; dragging on, or Shift+click, then selects
// from that word to the start or end of the word under the pointer,
// whichever is nearer, as Qt's editor does in its own layout.
void TemplateEditTest::wordsAfterDoubleClick()
{
    QFETCH(int, clicked);
    QFETCH(int, pointed);
    QFETCH(bool, drag);
    QFETCH(int, anchor);
    QFETCH(int, cursor);

    const QString words = QStringLiteral("[Лучшее|Отличное] решение для { и |[мелкого|малого]}  бизнеса.\tконец");
    const QString before = longParagraph + u' ';
    ShownEdit qts(words);
    ShownEdit inPieces(before + words);
    QVERIFY(!qts.pieces() && inPieces.pieces());
    inPieces.setCursor(int(before.size()) + clicked);
    const auto qtsPoint = [&qts](int position) {
        QTextCursor at = qts.edit.textCursor();
        at.setPosition(position);
        return qts.edit.cursorRect(at).center() + QPoint(1, 0);
    };
    for (ShownEdit *shown : { &qts, &inPieces }) {
        const int offset = shown == &qts ? 0 : int(before.size());
        const QPoint from = shown == &qts ? qtsPoint(clicked) : inPieces.pointOf(offset + clicked);
        const QPoint to = shown == &qts ? qtsPoint(pointed) : inPieces.pointOf(offset + pointed);
        QWidget *viewport = shown->edit.viewport();
        const auto send = [viewport](QEvent::Type type, QPoint at, Qt::MouseButtons buttons) {
            QMouseEvent event(type, at, viewport->mapToGlobal(at),
                type == QEvent::MouseMove ? Qt::NoButton : Qt::LeftButton, buttons, Qt::NoModifier);
            QApplication::sendEvent(viewport, &event);
        };
        if (drag) {
            send(QEvent::MouseButtonPress, from, Qt::LeftButton);
            send(QEvent::MouseButtonRelease, from, Qt::NoButton);
            send(QEvent::MouseButtonPress, from, Qt::LeftButton);
            send(QEvent::MouseButtonDblClick, from, Qt::LeftButton);
            send(QEvent::MouseMove, to, Qt::LeftButton);
            send(QEvent::MouseButtonRelease, to, Qt::NoButton);
        } else {
            QTest::mouseDClick(viewport, Qt::LeftButton, {}, from);
            QTest::qWait(QApplication::doubleClickInterval() + 50);
            QTest::mouseClick(viewport, Qt::LeftButton, Qt::ShiftModifier, to);
        }
        QCOMPARE(shown->edit.textCursor().anchor() - offset, anchor);
        QCOMPARE(shown->edit.textCursor().position() - offset, cursor);
    }
}

QTEST_MAIN(TemplateEditTest)
#include "templateedit_test.moc"
