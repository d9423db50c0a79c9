#include "longparagraphlayout.h"

#include <algorithm>
#include <cmath>

#include <QFontMetricsF>
#include <QPainter>
#include <QTextBlock>
#include <QTextDocument>
#include <QTextFrame>
#include <QTextLayout>

namespace {

// Pieces of long paragraphs kept laid out at once; the rest are laid out
// again when they come back into view. A few screens' worth.
constexpr int ownLayoutLimit = 32;
// Without a page width yet (the editor not shown), lines are not wrapped.
constexpr qreal unwrappedWidth = 1e6;

} // namespace

struct LongParagraphLayout::Piece
{
    int start = 0;
    // Characters, without the paragraph separator that may follow.
    int length = 0;
    // The piece is its whole paragraph and is laid out in the block's own layout.
    bool wholeBlock = true;
    // The height is that of the laid-out lines, not an estimate.
    bool measured = false;
    qreal height = 0;
    std::uint64_t lastUse = 0;
    // A part of a long paragraph, laid out on its own.
    std::unique_ptr<QTextLayout> own;
};

LongParagraphLayout::LongParagraphLayout(QTextDocument *document)
    : QAbstractTextDocumentLayout(document)
{
}

LongParagraphLayout::~LongParagraphLayout() = default;

qreal LongParagraphLayout::margin() const
{
    return document()->documentMargin();
}

qreal LongParagraphLayout::lineWidth() const
{
    const qreal page = document()->pageSize().width();
    return page > 0 ? std::max<qreal>(page - 2 * margin(), 1) : unwrappedWidth;
}

qreal LongParagraphLayout::estimatedHeight(int length) const
{
    const QFontMetricsF metrics(document()->defaultFont(), paintDevice());
    const qreal perLine = measuredLines > 0
        ? qreal(measuredCharacters) / qreal(measuredLines)
        : std::max<qreal>(1, lineWidth() / std::max<qreal>(metrics.averageCharWidth(), 1));
    return std::max<qreal>(1, std::ceil(qreal(length) / perLine)) * metrics.height();
}

void LongParagraphLayout::documentChanged(int from, int removed, int added)
{
    const bool skip = changeToSkip == std::array { from, removed, added };
    changeToSkip = { -1, -1, -1 };
    if (skip)
        return;
    const auto removedMark = [from, removed](const CharacterFormat &mark) {
        return mark.position >= from && mark.position < from + removed;
    };
    std::erase_if(characterFormats, removedMark);
    for (CharacterFormat &mark : characterFormats)
        mark.position += mark.position >= from ? added - removed : 0;
    // A change from the start that adds the whole document is how the
    // document asks for everything to be laid out anew (a new page width,
    // font or wrapping).
    if (pieces.empty() || (from == 0 && removed == 0 && added >= document()->characterCount())) {
        rebuildAll();
    } else {
        const int delta = added - removed;
        std::size_t first = pieceAt(from);
        std::size_t last = pieceAt(from + removed);
        int start = pieces[first].start;
        int end = std::max(start, pieces[last].start + pieces[last].length + delta);
        for (std::size_t index = last + 1; index < pieces.size(); ++index)
            pieces[index].start += delta;
        // A short paragraph at either end is laid out whole, in one piece.
        const QTextBlock startBlock = document()->findBlock(start);
        if (startBlock.length() - 1 <= pieceLimit && startBlock.position() < start) {
            start = startBlock.position();
            while (first > 0 && pieces[first - 1].start >= start)
                --first;
        }
        const QTextBlock endBlock = document()->findBlock(end);
        const int endBlockEnd = endBlock.position() + endBlock.length() - 1;
        if (endBlock.isValid() && endBlock.length() - 1 <= pieceLimit && end < endBlockEnd) {
            end = endBlockEnd;
            while (last + 1 < pieces.size() && pieces[last + 1].start <= end)
                ++last;
        }
        rebuild(first, last, start, end);
        if (pieces.empty() || pieces.back().start + pieces.back().length != document()->characterCount() - 1)
            rebuildAll();
    }
    topsValid = false;
    sizeChangePending = false;
    emit documentSizeChanged(documentSize());
    emit update();
}

void LongParagraphLayout::setCharacterFormats(std::vector<CharacterFormat> formats)
{
    characterFormats = std::move(formats);
    std::stable_sort(characterFormats.begin(), characterFormats.end(),
        [](const CharacterFormat &left, const CharacterFormat &right) { return left.position < right.position; });
    emit update();
}

void LongParagraphLayout::rebuildAll()
{
    pieces.clear();
    ownLayouts = 0;
    measuredCharacters = 0;
    measuredLines = 0;
    rebuild(0, 0, 0, document()->characterCount() - 1);
}

void LongParagraphLayout::rebuild(std::size_t first, std::size_t last, int start, int end)
{
    std::vector<Piece> fresh;
    for (QTextBlock block = document()->findBlock(start); block.isValid(); block = block.next()) {
        const int blockStart = block.position();
        const int blockEnd = blockStart + block.length() - 1;
        const int from = std::max(start, blockStart);
        const int to = std::min(end, blockEnd);
        // Lines Qt's layout left, or lines of a paragraph now too long for
        // one piece, would tell the editor where its cursor was before.
        if (block.layout()->lineCount() > 0)
            block.layout()->clearLayout();
        appendPieces(fresh, from, to, from == blockStart && to == blockEnd);
        if (blockEnd >= end)
            break;
    }
    if (pieces.empty()) {
        pieces = std::move(fresh);
    } else {
        for (std::size_t index = first; index <= last; ++index)
            ownLayouts -= pieces[index].own ? 1 : 0;
        const auto at = pieces.erase(pieces.begin() + std::ptrdiff_t(first), pieces.begin() + std::ptrdiff_t(last) + 1);
        pieces.insert(at, std::make_move_iterator(fresh.begin()), std::make_move_iterator(fresh.end()));
    }
}

void LongParagraphLayout::appendPieces(std::vector<Piece> &out, int start, int end, bool wholeBlock) const
{
    const int length = end - start;
    if (length <= pieceLimit) {
        if (length > 0 || wholeBlock)
            out.push_back({ start, length, wholeBlock, false, estimatedHeight(length), 0, nullptr });
        return;
    }
    const int count = (length + pieceLimit / 2 - 1) / (pieceLimit / 2);
    int pieceStart = start;
    for (int index = 1; index <= count; ++index) {
        int pieceEnd = start + int(qint64(length) * index / count);
        // Never between the two halves of a character outside the BMP.
        if (pieceEnd < end && document()->characterAt(pieceEnd).isLowSurrogate())
            ++pieceEnd;
        out.push_back(
            { pieceStart, pieceEnd - pieceStart, false, false, estimatedHeight(pieceEnd - pieceStart), 0, nullptr });
        pieceStart = pieceEnd;
    }
}

std::size_t LongParagraphLayout::pieceAt(int position) const
{
    const auto after = std::upper_bound(
        pieces.begin(), pieces.end(), position, [](int at, const Piece &piece) { return at < piece.start; });
    return after == pieces.begin() ? 0 : std::size_t(after - pieces.begin() - 1);
}

std::size_t LongParagraphLayout::pieceAtY(qreal y) const
{
    updateTops();
    const auto after = std::upper_bound(tops.begin(), tops.end() - 1, y);
    return after == tops.begin() ? 0 : std::size_t(after - tops.begin() - 1);
}

void LongParagraphLayout::updateTops() const
{
    if (topsValid)
        return;
    tops.resize(pieces.size() + 1);
    qreal y = margin();
    for (std::size_t index = 0; index < pieces.size(); ++index) {
        tops[index] = y;
        y += pieces[index].height;
    }
    tops.back() = y;
    topsValid = true;
}

QTextLayout *LongParagraphLayout::layoutOf(std::size_t index) const
{
    if (pieces.empty())
        return nullptr;
    Piece &piece = pieces[index];
    piece.lastUse = ++useClock;
    const QTextBlock block = document()->findBlock(piece.start);
    QTextLayout *layout = nullptr;
    if (piece.wholeBlock) {
        layout = block.layout();
        if (layout->lineCount() == 0)
            layOut(piece, *layout);
    } else {
        if (!piece.own) {
            forgetLeastRecentlyUsed();
            // Character by character: a text cursor placed in the paragraph
            // would have Qt's own layout analyse all of it.
            QString text(piece.length, Qt::Uninitialized);
            for (int offset = 0; offset < piece.length; ++offset)
                text[offset] = document()->characterAt(piece.start + offset);
            piece.own = std::make_unique<QTextLayout>(text, document()->defaultFont(), paintDevice());
            ++ownLayouts;
            // The colours and the input method's unfinished text the editor
            // gave the paragraph, for this part of it.
            const QTextLayout *paragraph = block.layout();
            const int offset = piece.start - block.position();
            QList<QTextLayout::FormatRange> formats;
            for (const QTextLayout::FormatRange &range : paragraph->formats()) {
                const int from = std::max(range.start, offset);
                const int to = std::min(range.start + range.length, offset + piece.length);
                if (from < to)
                    formats.append({ from - offset, to - from, range.format });
            }
            piece.own->setFormats(formats);
            const int preedit = paragraph->preeditAreaPosition() - offset;
            if (!paragraph->preeditAreaText().isEmpty() && preedit >= 0 && preedit <= piece.length)
                piece.own->setPreeditArea(preedit, paragraph->preeditAreaText());
            layOut(piece, *piece.own);
        }
        layout = piece.own.get();
    }
    updateTops();
    layout->setPosition(QPointF(margin(), tops[index]));
    return layout;
}

void LongParagraphLayout::layOut(Piece &piece, QTextLayout &layout) const
{
    layout.setTextOption(document()->defaultTextOption());
    layout.setCacheEnabled(true);
    const qreal width = lineWidth();
    qreal height = 0;
    int lines = 0;
    layout.beginLayout();
    for (QTextLine line = layout.createLine(); line.isValid(); line = layout.createLine()) {
        line.setLineWidth(width);
        line.setPosition(QPointF(0, height));
        height += line.height();
        ++lines;
    }
    layout.endLayout();
    if (!piece.measured && lines > 1) {
        measuredCharacters += piece.length;
        measuredLines += lines;
    }
    piece.measured = true;
    if (piece.height != height) {
        piece.height = height;
        heightChanged();
    }
}

void LongParagraphLayout::heightChanged() const
{
    topsValid = false;
    if (sizeChangePending)
        return;
    // Not from inside a paint or a question: the editor answers a new size by
    // scrolling and painting.
    sizeChangePending = true;
    auto *self = const_cast<LongParagraphLayout *>(this);
    QMetaObject::invokeMethod(
        self, [self] { self->settle(); }, Qt::QueuedConnection);
}

void LongParagraphLayout::settle() const
{
    if (!sizeChangePending)
        return;
    sizeChangePending = false;
    auto *self = const_cast<LongParagraphLayout *>(this);
    emit self->documentSizeChanged(documentSize());
    emit self->update();
}

void LongParagraphLayout::forgetLeastRecentlyUsed() const
{
    if (ownLayouts < ownLayoutLimit)
        return;
    Piece *oldest = nullptr;
    for (Piece &piece : pieces) {
        if (piece.own && (!oldest || piece.lastUse < oldest->lastUse))
            oldest = &piece;
    }
    if (oldest) {
        oldest->own.reset();
        --ownLayouts;
    }
}

void LongParagraphLayout::draw(QPainter *painter, const PaintContext &context)
{
    if (pieces.empty())
        return;
    const QRectF clip = context.clip.isValid() ? context.clip : QRectF(QPointF(0, 0), documentSize());
    const std::size_t cursorPiece = context.cursorPosition >= 0 ? pieceAt(context.cursorPosition) : pieces.size();
    bool ok = false;
    const int cursorWidth = property("cursorWidth").toInt(&ok);
    painter->setPen(context.palette.color(QPalette::Text));
    for (std::size_t index = pieceAtY(clip.top()); index < pieces.size(); ++index) {
        updateTops();
        if (tops[index] > clip.bottom())
            break;
        QTextLayout *layout = layoutOf(index);
        const Piece &piece = pieces[index];
        // Line by line: Qt merges the areas of all the selections it draws at
        // once, at a cost that grows with their square, and the colours of
        // the brackets in view are hundreds of selections.
        for (int number = 0; number < layout->lineCount(); ++number) {
            const QTextLine line = layout->lineAt(number);
            const QRectF lineRect = line.rect().translated(layout->position());
            if (lineRect.bottom() < clip.top() || lineRect.top() > clip.bottom())
                continue;
            const int lineStart = piece.start + line.textStart();
            const int lineEnd = lineStart + line.textLength();
            QList<QTextLayout::FormatRange> ranges;
            const auto firstMark = std::lower_bound(characterFormats.begin(), characterFormats.end(), lineStart,
                [](const CharacterFormat &mark, int position) { return mark.position < position; });
            for (auto mark = firstMark; mark != characterFormats.end() && mark->position < lineEnd; ++mark)
                ranges.append({ mark->position - piece.start, 1, mark->format });
            for (const Selection &selection : context.selections) {
                const int from = std::max(selection.cursor.selectionStart(), lineStart);
                const int to = std::min(selection.cursor.selectionEnd(), lineEnd);
                if (from < to)
                    ranges.append({ from - piece.start, to - from, selection.format });
            }
            layout->draw(
                painter, QPointF(), ranges, QRectF(clip.left(), lineRect.top(), clip.width(), lineRect.height()));
        }
        if (index == cursorPiece)
            layout->drawCursor(painter, QPointF(), context.cursorPosition - piece.start, ok ? cursorWidth : 1);
    }
}

int LongParagraphLayout::hitTest(const QPointF &point, Qt::HitTestAccuracy accuracy) const
{
    if (pieces.empty())
        return -1;
    std::size_t index = pieceAtY(point.y());
    QTextLayout *layout = layoutOf(index);
    // Laying the piece out may have changed its height, and so where the point falls.
    if (const std::size_t moved = pieceAtY(point.y()); moved != index) {
        index = moved;
        layout = layoutOf(index);
    }
    const QPointF local = point - layout->position();
    QTextLine line = layout->lineAt(0);
    for (int number = 0; number < layout->lineCount(); ++number) {
        line = layout->lineAt(number);
        if (local.y() < line.y() + line.height())
            break;
    }
    if (accuracy == Qt::ExactHit
        && (local.y() < 0 || local.y() > line.y() + line.height() || local.x() < line.x()
            || local.x() > line.x() + line.naturalTextWidth()))
        return -1;
    return pieces[index].start + line.xToCursor(local.x());
}

QRectF LongParagraphLayout::cursorRect(int position) const
{
    const std::size_t index = pieceAt(position);
    const QTextLayout *layout = layoutOf(index);
    if (!layout)
        return {};
    const int inPiece = position - pieces[index].start;
    QTextLine line = layout->lineForTextPosition(inPiece);
    if (!line.isValid())
        line = layout->lineAt(layout->lineCount() - 1);
    bool ok = false;
    const int width = property("cursorWidth").toInt(&ok);
    return QRectF(
        layout->position() + QPointF(line.cursorToX(inPiece), line.y()), QSizeF(ok ? width : 1, line.height()));
}

std::pair<int, int> LongParagraphLayout::lineEnds(int position) const
{
    const std::size_t index = pieceAt(position);
    const QTextLayout *layout = layoutOf(index);
    if (!layout)
        return { 0, 0 };
    QTextLine line = layout->lineForTextPosition(position - pieces[index].start);
    if (!line.isValid())
        line = layout->lineAt(layout->lineCount() - 1);
    const int start = pieces[index].start + line.textStart();
    return { start, start + line.textLength() };
}

QSizeF LongParagraphLayout::documentSize() const
{
    updateTops();
    return QSizeF(lineWidth() + 2 * margin(), tops.back() + margin());
}

QRectF LongParagraphLayout::frameBoundingRect(QTextFrame *frame) const
{
    return frame == document()->rootFrame() ? QRectF(QPointF(0, 0), documentSize()) : QRectF();
}

QRectF LongParagraphLayout::blockBoundingRect(const QTextBlock &block) const
{
    if (!block.isValid() || pieces.empty())
        return {};
    const std::size_t first = pieceAt(block.position());
    const std::size_t last = pieceAt(block.position() + block.length() - 1);
    if (first == last && pieces[first].wholeBlock) {
        const QTextLayout *layout = layoutOf(first);
        return QRectF(layout->position(), QSizeF(lineWidth(), pieces[first].height));
    }
    updateTops();
    const QRectF whole(margin(), tops[first], lineWidth(), tops[last + 1] - tops[first]);
    return whole.intersects(viewRect) ? whole.intersected(viewRect) : whole;
}
