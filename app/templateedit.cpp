#include "templateedit.h"

#include <algorithm>
#include <cmath>

#include <QApplication>
#include <QClipboard>
#include <QKeyEvent>
#include <QMimeData>
#include <QMouseEvent>
#include <QPaintEvent>
#include <QScrollBar>
#include <QSignalBlocker>
#include <QTextBlock>
#include <QTextBoundaryFinder>
#include <QTextDocument>

namespace {

enum class Step { LineUp, LineDown, PageUp, PageDown, LineStart, LineEnd };

struct KeyStep
{
    QKeySequence::StandardKey key;
    Step step;
    QTextCursor::MoveMode mode;
};

constexpr KeyStep keySteps[] = {
    { QKeySequence::MoveToPreviousLine, Step::LineUp, QTextCursor::MoveAnchor },
    { QKeySequence::MoveToNextLine, Step::LineDown, QTextCursor::MoveAnchor },
    { QKeySequence::MoveToPreviousPage, Step::PageUp, QTextCursor::MoveAnchor },
    { QKeySequence::MoveToNextPage, Step::PageDown, QTextCursor::MoveAnchor },
    { QKeySequence::MoveToStartOfLine, Step::LineStart, QTextCursor::MoveAnchor },
    { QKeySequence::MoveToEndOfLine, Step::LineEnd, QTextCursor::MoveAnchor },
    { QKeySequence::SelectPreviousLine, Step::LineUp, QTextCursor::KeepAnchor },
    { QKeySequence::SelectNextLine, Step::LineDown, QTextCursor::KeepAnchor },
    { QKeySequence::SelectPreviousPage, Step::PageUp, QTextCursor::KeepAnchor },
    { QKeySequence::SelectNextPage, Step::PageDown, QTextCursor::KeepAnchor },
    { QKeySequence::SelectStartOfLine, Step::LineStart, QTextCursor::KeepAnchor },
    { QKeySequence::SelectEndOfLine, Step::LineEnd, QTextCursor::KeepAnchor },
};

struct CharacterStep
{
    QKeySequence::StandardKey key;
    QTextCursor::MoveOperation operation;
    QTextCursor::MoveMode mode;
};

constexpr CharacterStep characterSteps[] = {
    { QKeySequence::MoveToNextChar, QTextCursor::Right, QTextCursor::MoveAnchor },
    { QKeySequence::MoveToPreviousChar, QTextCursor::Left, QTextCursor::MoveAnchor },
    { QKeySequence::SelectNextChar, QTextCursor::Right, QTextCursor::KeepAnchor },
    { QKeySequence::SelectPreviousChar, QTextCursor::Left, QTextCursor::KeepAnchor },
    { QKeySequence::MoveToNextWord, QTextCursor::WordRight, QTextCursor::MoveAnchor },
    { QKeySequence::MoveToPreviousWord, QTextCursor::WordLeft, QTextCursor::MoveAnchor },
    { QKeySequence::SelectNextWord, QTextCursor::WordRight, QTextCursor::KeepAnchor },
    { QKeySequence::SelectPreviousWord, QTextCursor::WordLeft, QTextCursor::KeepAnchor },
};

bool isModifierOnly(int key)
{
    switch (key) {
    case Qt::Key_Control:
    case Qt::Key_Shift:
    case Qt::Key_Alt:
    case Qt::Key_AltGr:
    case Qt::Key_Meta:
    case Qt::Key_Super_L:
    case Qt::Key_Super_R:
    case Qt::Key_Hyper_L:
    case Qt::Key_Hyper_R:
    case Qt::Key_CapsLock:
    case Qt::Key_NumLock:
    case Qt::Key_ScrollLock:
        return true;
    default:
        return false;
    }
}

} // namespace

TemplateEdit::TemplateEdit(QWidget *parent)
    : QTextEdit(parent)
{
    // Told before the document's layout hears of the change, so that a
    // pasted paragraph of megabytes never reaches Qt's own layout.
    connect(document(), &QTextDocument::contentsChange, this, &TemplateEdit::documentChanging);
    connect(this, &QTextEdit::cursorPositionChanged, this, [this] {
        if (pieces)
            keepCursorInView();
    });
}

TemplateEdit::~TemplateEdit()
{
    chooseBlinking(false);
}

void TemplateEdit::focusInEvent(QFocusEvent *event)
{
    chooseBlinking(true);
    QTextEdit::focusInEvent(event);
}

void TemplateEdit::focusOutEvent(QFocusEvent *event)
{
    QTextEdit::focusOutEvent(event);
    chooseBlinking(false);
}

void TemplateEdit::chooseBlinking(bool focused)
{
    // Qt's editor repaints a blinking cursor where the paragraph's own layout
    // would have it, and finding that out analyses all of a paragraph of
    // megabytes after every change: twice a second, a core would be busy. So
    // while such a paragraph has the focus the cursor stands still. The flash
    // time is the application's, which the other widgets read only when they
    // get the focus, after this editor gave it back.
    const bool still = focused && pieces;
    if (still == (savedFlashTime >= 0))
        return;
    if (still) {
        savedFlashTime = QApplication::cursorFlashTime();
        QApplication::setCursorFlashTime(0);
    } else {
        QApplication::setCursorFlashTime(savedFlashTime);
        savedFlashTime = -1;
    }
}

void TemplateEdit::paintCharacters(std::vector<LongParagraphLayout::CharacterFormat> formats)
{
    if (pieces)
        pieces->setCharacterFormats(std::move(formats));
}

void TemplateEdit::documentChanging(int from, int removed, int added)
{
    if (!typing)
        typedEnd = -1;
    QTextDocument *text = document();
    if (pieces) {
        if (text->characterCount() < wholeBelow)
            switchLayout(false);
        return;
    }
    if (text->characterCount() <= piecesFrom)
        return;
    // Only the paragraphs the change touched can have grown.
    for (QTextBlock block = text->findBlock(from); block.isValid() && block.position() <= from + added;
         block = block.next()) {
        if (block.length() > piecesFrom) {
            switchLayout(true);
            pieces->skipChange(from, removed, added);
            return;
        }
    }
}

void TemplateEdit::switchLayout(bool toPieces)
{
    QTextDocument *text = document();
    {
        // The text stays as it is: nobody but the editor, told below, may
        // hear of a change.
        const QSignalBlocker quiet(text);
        if (toPieces) {
            pieces = new LongParagraphLayout(text);
            pieces->setPaintDevice(viewport());
            text->setDocumentLayout(pieces);
        } else {
            pieces = nullptr;
            // Without a layout the document makes Qt's own anew.
            text->setDocumentLayout(nullptr);
            text->documentLayout()->setPaintDevice(viewport());
        }
    }
    showViewToLayout();
    chooseBlinking(hasFocus());
    emit text->documentLayoutChanged();
    emit text->documentLayout()->documentSizeChanged(text->documentLayout()->documentSize());
    viewport()->update();
}

void TemplateEdit::keyPressEvent(QKeyEvent *event)
{
    // Qt's editor repaints its cursor at every key it is given, Ctrl or Shift
    // alone too, and finding where the cursor is analyses all of a paragraph
    // of megabytes after each change; a modifier alone does nothing here.
    if (pieces && isModifierOnly(event->key())) {
        event->ignore();
        return;
    }
    if (leaveByKey(event)
        || (pieces
            && (moveByLines(event) || moveByCharacters(event) || typeDirectly(event) || undoDirectly(event)
                || pasteDirectly(event))))
        return;
    QTextEdit::keyPressEvent(event);
    if (pieces)
        keepCursorInView();
}

bool TemplateEdit::pasteDirectly(QKeyEvent *event)
{
    // Qt's editor pastes through its own cursor outside an edit block, which
    // asks the paragraph's layout where the cursor then is, as a typed key
    // would; the text goes in here as one step of undo, as Qt's editor makes it.
    if (!event->matches(QKeySequence::Paste) || isReadOnly())
        return false;
    const QMimeData *pasted = QGuiApplication::clipboard()->mimeData();
    if (!pasted || !pasted->hasText())
        return false;
    event->accept();
    QTextCursor cursor = textCursor();
    typing = true;
    cursor.beginEditBlock();
    cursor.insertText(pasted->text());
    cursor.endEditBlock();
    typing = false;
    typedEnd = -1;
    keepCursorInView();
    return true;
}

bool TemplateEdit::undoDirectly(QKeyEvent *event)
{
    // Qt's editor places its cursor after an undo where the undone change
    // was, outside an edit block, and asks the paragraph's layout where that
    // is: all of a paragraph of megabytes is analysed. The document's own
    // undo moves the editor's cursor with the text; then it goes where Qt's
    // editor puts it, the end of what the step left in the text.
    const bool undo = event->matches(QKeySequence::Undo);
    if (!undo && !event->matches(QKeySequence::Redo))
        return false;
    event->accept();
    if (isReadOnly())
        return true;
    int end = -1;
    const QMetaObject::Connection watch = connect(
        document(), &QTextDocument::contentsChange, this, [&end](int from, int, int added) { end = from + added; });
    if (undo)
        document()->undo();
    else
        document()->redo();
    disconnect(watch);
    if (end >= 0 && textCursor().position() != end)
        moveTo(std::min(end, document()->characterCount() - 1), QTextCursor::MoveAnchor);
    return true;
}

bool TemplateEdit::leaveByKey(QKeyEvent *event)
{
    // Tab types a tab, which a template may hold for tab-separated output,
    // and Shift+Tab leaves backwards; Ctrl+Tab leaves forwards. Qt's editor
    // refuses to hand on the focus while Tab types, so ask its base.
    const Qt::KeyboardModifiers modifiers = event->modifiers() & ~Qt::KeypadModifier;
    const bool forward = event->key() == Qt::Key_Tab && modifiers == Qt::ControlModifier;
    const bool backward = (event->key() == Qt::Key_Backtab || event->key() == Qt::Key_Tab)
        && modifiers == (Qt::ControlModifier | Qt::ShiftModifier);
    if (!forward && !backward)
        return false;
    event->accept();
    QAbstractScrollArea::focusNextPrevChild(forward);
    return true;
}

bool TemplateEdit::moveByLines(QKeyEvent *event)
{
    const auto found = std::find_if(
        std::begin(keySteps), std::end(keySteps), [event](const KeyStep &entry) { return event->matches(entry.key); });
    if (found == std::end(keySteps))
        return false;
    event->accept();
    const int position = textCursor().position();
    if (found->step == Step::LineStart || found->step == Step::LineEnd) {
        const auto [start, end] = pieces->lineEnds(position);
        moveTo(found->step == Step::LineStart ? start : end, found->mode);
        return true;
    }
    const QRectF current = pieces->cursorRect(position);
    const qreal x = goalPosition == position ? goalX : current.left();
    const bool page = found->step == Step::PageUp || found->step == Step::PageDown;
    const bool up = found->step == Step::LineUp || found->step == Step::PageUp;
    // The middle of the line above or below, or a screen away.
    const qreal distance = page ? viewport()->height() : current.height();
    const qreal y = current.center().y() + (up ? -distance : distance);
    const qreal margin = document()->documentMargin();
    int target = position;
    if (y < margin)
        target = page ? 0 : position;
    else if (y > pieces->documentSize().height() - margin)
        target = page ? document()->characterCount() - 1 : position;
    else
        target = pieces->hitTest(QPointF(x, y), Qt::FuzzyHit);
    if (page)
        verticalScrollBar()->triggerAction(
            up ? QAbstractSlider::SliderPageStepSub : QAbstractSlider::SliderPageStepAdd);
    moveTo(target, found->mode);
    goalX = x;
    goalPosition = textCursor().position();
    return true;
}

bool TemplateEdit::moveByCharacters(QKeyEvent *event)
{
    const auto found = std::find_if(std::begin(characterSteps), std::end(characterSteps),
        [event](const CharacterStep &entry) { return event->matches(entry.key); });
    if (found == std::end(characterSteps))
        return false;
    event->accept();
    const QTextCursor cursor = textCursor();
    const bool character = found->operation == QTextCursor::Left || found->operation == QTextCursor::Right;
    if (character && found->mode == QTextCursor::MoveAnchor && cursor.hasSelection()) {
        // A selection collapses to the end the arrow points to.
        const bool rightToLeft = cursor.block().textDirection() == Qt::RightToLeft;
        const bool toStart = (found->operation == QTextCursor::Left) != rightToLeft;
        moveTo(toStart ? cursor.selectionStart() : cursor.selectionEnd(), QTextCursor::MoveAnchor);
        return true;
    }
    moveTo(stepFrom(cursor.position(), found->operation).value_or(cursor.position()), found->mode);
    return true;
}

std::optional<int> TemplateEdit::stepFrom(int position, QTextCursor::MoveOperation op) const
{
    const QTextDocument *text = document();
    const int last = text->characterCount() - 1;
    QTextOption direction = text->defaultTextOption();
    direction.setTextDirection(text->findBlock(position).textDirection());
    // A step goes over one character or one word and the spaces after it; a
    // step that reaches an end of the copy may go on past it in the text.
    for (int reach = 64;; reach *= 4) {
        const int from = std::max(0, position - reach);
        const int to = std::min(last, position + reach);
        QTextDocument copy;
        copy.setDefaultTextOption(direction);
        QTextCursor cursor(&copy);
        cursor.insertText(textBetween(from, to));
        cursor.setPosition(position - from);
        if (!cursor.movePosition(op))
            return std::nullopt;
        const int moved = cursor.position();
        const bool cut = (moved == 0 && from > 0) || (moved == to - from && to < last);
        if (!cut)
            return from + moved;
    }
}

QString TemplateEdit::textBetween(int from, int to) const
{
    QString text(to - from, Qt::Uninitialized);
    for (int at = from; at < to; ++at)
        text[at - from] = document()->characterAt(at);
    return text;
}

bool TemplateEdit::typeDirectly(QKeyEvent *event)
{
    // Qt's editor would type through its own cursor, which asks the
    // paragraph's layout where the cursor now is; on a paragraph of megabytes
    // that analyses all of it at every key. Inside an edit block a cursor
    // does not ask, so the key is typed here, and a run of keys joins one
    // step of undo as Qt's editor makes it. A key typed over a selection
    // replaces it in a step of its own.
    QTextCursor cursor = textCursor();
    if (isReadOnly() || overwriteMode())
        return false;
    const bool selection = cursor.hasSelection();
    const QString text = event->text();
    const bool plain = (event->modifiers() & ~(Qt::ShiftModifier | Qt::KeypadModifier)) == Qt::NoModifier;
    const bool backspace = event->key() == Qt::Key_Backspace && plain;
    const bool del = event->matches(QKeySequence::Delete);
    // Tab types a tab, which a template may hold for tab-separated output.
    const bool tab = event->key() == Qt::Key_Tab && event->modifiers() == Qt::NoModifier;
    const bool printable = tab
        || (plain && !text.isEmpty()
            && std::all_of(text.begin(), text.end(), [](QChar character) { return character.isPrint(); }));
    if (!backspace && !del && !printable)
        return false;
    event->accept();
    typing = true;
    if (!selection && cursor.position() == typedEnd && typedDeletion == (backspace || del))
        cursor.joinPreviousEditBlock();
    else
        cursor.beginEditBlock();
    if (selection && (backspace || del)) {
        cursor.removeSelectedText();
    } else if (backspace) {
        cursor.deletePreviousChar();
    } else if (del) {
        // Anchored after the character and placed before it, as Qt's
        // deleteChar() leaves it, so that an undo puts the cursor back before it.
        const int position = cursor.position();
        cursor.setPosition(characterEnd(position));
        cursor.setPosition(position, QTextCursor::KeepAnchor);
        cursor.removeSelectedText();
    } else {
        cursor.insertText(tab ? QStringLiteral("\t") : text);
    }
    cursor.endEditBlock();
    typing = false;
    typedEnd = textCursor().position();
    typedDeletion = backspace || del;
    return true;
}

int TemplateEdit::characterEnd(int position) const
{
    const QTextDocument *text = document();
    const int last = text->characterCount() - 1;
    if (position >= last)
        return position;
    // No grapheme is anywhere near this long.
    constexpr int window = 64;
    const QString around = textBetween(position, std::min(last, position + window));
    QTextBoundaryFinder graphemes(QTextBoundaryFinder::Grapheme, around);
    const qsizetype next = graphemes.toNextBoundary();
    return position + int(next > 0 ? next : 1);
}

QTextCursor TemplateEdit::wordAt(int position) const
{
    const QTextBlock block = document()->findBlock(position);
    const int blockStart = block.position();
    const int blockEnd = blockStart + block.length() - 1;
    // The word ends at the first white space or separator each way, so a
    // copy of the text around is enough, unless the word reaches its ends.
    for (int reach = 64;; reach *= 2) {
        const int from = std::max(blockStart, position - reach);
        const int to = std::min(blockEnd, position + reach);
        QTextDocument copy;
        QTextCursor word(&copy);
        word.insertText(textBetween(from, to));
        word.setPosition(position - from);
        word.select(QTextCursor::WordUnderCursor);
        const bool cut
            = (word.selectionStart() == 0 && from > blockStart) || (word.selectionEnd() == to - from && to < blockEnd);
        if (!cut || (from == blockStart && to == blockEnd)) {
            QTextCursor found = textCursor();
            found.setPosition(from + word.selectionStart());
            found.setPosition(from + word.selectionEnd(), QTextCursor::KeepAnchor);
            return found;
        }
    }
}

void TemplateEdit::mousePressEvent(QMouseEvent *event)
{
    if (pieces && event->button() == Qt::LeftButton) {
        if (event->modifiers() != Qt::ShiftModifier) {
            doubleClickedWord = QTextCursor();
        } else if (doubleClickedWord.hasSelection()) {
            event->accept();
            if (const std::optional<QTextCursor> selection = selectionByWords(event->position()))
                setTextCursor(*selection);
            return;
        }
    }
    QTextEdit::mousePressEvent(event);
}

void TemplateEdit::mouseMoveEvent(QMouseEvent *event)
{
    const bool words
        = pieces && draggingWords && (event->buttons() & Qt::LeftButton) && doubleClickedWord.hasSelection();
    const QTextCursor before = textCursor();
    // Qt's editor extends the selection by characters here, and scrolls on
    // while the pointer is outside the view.
    QTextEdit::mouseMoveEvent(event);
    if (words)
        setTextCursor(selectionByWords(event->position()).value_or(before));
}

void TemplateEdit::mouseReleaseEvent(QMouseEvent *event)
{
    if (event->button() == Qt::LeftButton)
        draggingWords = false;
    QTextEdit::mouseReleaseEvent(event);
}

void TemplateEdit::mouseDoubleClickEvent(QMouseEvent *event)
{
    QTextEdit::mouseDoubleClickEvent(event);
    // Qt's editor has placed the cursor and selects the word only where the
    // paragraph's own layout has lines.
    if (pieces && event->button() == Qt::LeftButton && !textCursor().hasSelection()) {
        doubleClickedWord = wordAt(textCursor().position());
        draggingWords = true;
        setTextCursor(doubleClickedWord);
    }
}

std::optional<QTextCursor> TemplateEdit::selectionByWords(const QPointF &point) const
{
    const QPointF inDocument = point + QPointF(horizontalScrollBar()->value(), verticalScrollBar()->value());
    const int position = pieces->hitTest(inDocument, Qt::FuzzyHit);
    const int wordStart = doubleClickedWord.selectionStart();
    const int wordEnd = doubleClickedWord.selectionEnd();
    if (position < 0)
        return std::nullopt;
    if (position >= wordStart && position <= wordEnd)
        return doubleClickedWord;
    // The word under the pointer, from its start to its end, if the pointer
    // is over it and it lies on one line; the nearer end becomes the cursor.
    const std::optional<int> start = stepFrom(position, QTextCursor::StartOfWord);
    const std::optional<int> end = start ? stepFrom(*start, QTextCursor::EndOfWord) : std::nullopt;
    if (!end || *end == *start || pieces->lineEnds(*start).first != pieces->lineEnds(*end).first)
        return std::nullopt;
    const qreal startX = pieces->cursorRect(*start).left();
    const qreal endX = pieces->cursorRect(*end).left();
    if (inDocument.x() < startX || inDocument.x() > endX)
        return std::nullopt;
    // The word double-clicked stays selected whichever way the pointer goes.
    QTextCursor cursor = doubleClickedWord;
    cursor.setPosition(position < doubleClickedWord.position() ? wordEnd : wordStart);
    cursor.setPosition(inDocument.x() - startX < endX - inDocument.x() ? *start : *end, QTextCursor::KeepAnchor);
    return cursor;
}

void TemplateEdit::moveTo(int position, QTextCursor::MoveMode mode)
{
    QTextCursor cursor = textCursor();
    cursor.setPosition(position, mode);
    setTextCursor(cursor);
    keepCursorInView();
}

void TemplateEdit::keepCursorInView()
{
    const QRectF cursor = pieces->cursorRect(textCursor().position());
    // The scroll range must already reach the cursor.
    pieces->settle();
    QScrollBar *bar = verticalScrollBar();
    const int top = int(std::floor(cursor.top()));
    const int bottom = int(std::ceil(cursor.bottom()));
    if (top < bar->value())
        bar->setValue(top);
    else if (bottom > bar->value() + viewport()->height())
        bar->setValue(bottom - viewport()->height());
}

void TemplateEdit::paintEvent(QPaintEvent *event)
{
    // Qt's editor repaints the cursor and the selection where the paragraph's
    // own layout would have them, which is not where the pieces are; the
    // view is only a few lines high, so paint it all.
    if (pieces && event->rect() != viewport()->rect())
        viewport()->update();
    QTextEdit::paintEvent(event);
}

void TemplateEdit::resizeEvent(QResizeEvent *event)
{
    QTextEdit::resizeEvent(event);
    showViewToLayout();
}

void TemplateEdit::scrollContentsBy(int dx, int dy)
{
    QTextEdit::scrollContentsBy(dx, dy);
    showViewToLayout();
}

void TemplateEdit::showViewToLayout()
{
    if (pieces) {
        pieces->setViewRect(QRectF(
            horizontalScrollBar()->value(), verticalScrollBar()->value(), viewport()->width(), viewport()->height()));
    }
}

QVariant TemplateEdit::inputMethodQuery(Qt::InputMethodQuery query) const
{
    if (!pieces || (query != Qt::ImCursorRectangle && query != Qt::ImAnchorRectangle))
        return QTextEdit::inputMethodQuery(query);
    const QTextCursor cursor = textCursor();
    const int position = query == Qt::ImCursorRectangle ? cursor.position() : cursor.anchor();
    return pieces->cursorRect(position).translated(-horizontalScrollBar()->value(), -verticalScrollBar()->value());
}
