#pragma once

// The template editor. It is Qt's text editor, with its undo, clipboard,
// input method and accessibility, until a paragraph grows beyond what Qt
// lays out between two keys; from then on the document is laid out in pieces
// (LongParagraphLayout), until the template is short again. Qt's editor finds
// the cursor and the lines above and below it in the paragraph's own layout,
// which stays empty then, so this class moves the cursor by visual lines and
// keeps it in view through the piece layout instead. Left, Right and the
// word keys find their step in a copy of the text around the cursor: Qt's
// cursor would analyse every character of the paragraph for it.
//
// One cost stays: the first time the editor's cursor is placed after the
// paragraph changed (a click, a cursor key), Qt's editor asks the paragraph's
// own layout which line holds it, and that layout splits the whole paragraph
// into runs of one script first. Qt offers no way to place the editor's
// cursor without that question; only an editor of our own, with its own
// cursor, accessibility and input method, would avoid it.

#include <optional>
#include <vector>

#include <QTextEdit>

#include "longparagraphlayout.h"

class TemplateEdit : public QTextEdit
{
    Q_OBJECT

public:
    explicit TemplateEdit(QWidget *parent = nullptr);
    ~TemplateEdit() override;

    // A paragraph this long makes the editor lay the document out in pieces;
    // it goes back to Qt's own layout once the whole template is shorter
    // than the second figure.
    static constexpr int piecesFrom = 64 * 1024;
    static constexpr int wholeBelow = 32 * 1024;

    bool laysOutInPieces() const { return pieces != nullptr; }
    // While the document is laid out in pieces: characters painted over in
    // a format, in place of extra selections, which would cost Qt's editor
    // an analysis of the whole paragraph each time they are set.
    void paintCharacters(std::vector<LongParagraphLayout::CharacterFormat> formats);

protected:
    void keyPressEvent(QKeyEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;
    void mouseMoveEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;
    void mouseDoubleClickEvent(QMouseEvent *event) override;
    void focusInEvent(QFocusEvent *event) override;
    void focusOutEvent(QFocusEvent *event) override;
    void paintEvent(QPaintEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;
    void scrollContentsBy(int dx, int dy) override;
    QVariant inputMethodQuery(Qt::InputMethodQuery query) const override;

private:
    void documentChanging(int from, int removed, int added);
    void switchLayout(bool toPieces);
    // Cursor keys that need the visual lines; false for any other key.
    bool moveByLines(QKeyEvent *event);
    // A character typed, Backspace or Delete, without a selection; false for
    // any other key.
    bool typeDirectly(QKeyEvent *event);
    // Undo and Redo; false for any other key.
    bool undoDirectly(QKeyEvent *event);
    // Ctrl+V and Shift+Insert with text on the clipboard; false for any other key.
    bool pasteDirectly(QKeyEvent *event);
    // Left, Right and the word keys, with Shift or without; false for any
    // other key.
    bool moveByCharacters(QKeyEvent *event);
    // Where a cursor at position, without a selection, goes by op, found in a
    // copy of the text around it as Qt's cursor finds it in the paragraph.
    // Empty where Qt's cursor refuses to move.
    std::optional<int> stepFrom(int position, QTextCursor::MoveOperation op) const;
    // The characters of the document from `from` to `to`, paragraph ends
    // included, without asking any layout.
    QString textBetween(int from, int to) const;
    // Ctrl+Tab and Ctrl+Shift+Tab; false for any other key.
    bool leaveByKey(QKeyEvent *event);
    // The end of the character at position (a letter with its combining
    // marks, or both halves of a surrogate pair), found from the characters
    // around it; Qt's cursor asks the paragraph's layout.
    int characterEnd(int position) const;
    // The word under position as Qt's editor selects it on a double click,
    // found in a copy of the text around it; Qt's editor asks the paragraph's
    // layout, which stays empty while it is laid out in pieces.
    QTextCursor wordAt(int position) const;
    // After a double click, Shift+click and a drag select whole words from
    // the word the double click selected to the word at point, as Qt's
    // editor does; it finds the words in the paragraph's own layout. Empty
    // where the selection stays as it was.
    std::optional<QTextCursor> selectionByWords(const QPointF &point) const;
    void moveTo(int position, QTextCursor::MoveMode mode);
    void keepCursorInView();
    void showViewToLayout();
    void chooseBlinking(bool focused);

    LongParagraphLayout *pieces = nullptr;
    // Up and Down keep the column the cursor started from, as long as the
    // cursor stays where they put it.
    qreal goalX = 0;
    int goalPosition = -1;
    // Where the last key typed directly left the cursor, while nothing else
    // changed the text since: the next key of the same kind (a character, or
    // a deletion) joins its step of undo.
    int typedEnd = -1;
    bool typedDeletion = false;
    bool typing = false;
    // The word the last double click selected, until a click without Shift;
    // the button that made it is still down while draggingWords.
    QTextCursor doubleClickedWord;
    bool draggingWords = false;
    // The application's cursor flash time while the cursor stands still; -1
    // while it blinks.
    int savedFlashTime = -1;
};
