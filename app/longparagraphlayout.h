#pragma once

// The template editor's layout once a paragraph grows to many thousand
// characters. Qt's own layout lays a changed paragraph out whole (finds every
// place to break, shapes and wraps all of it) at every key, and a pasted
// template is often one paragraph of megabytes, so each key would take
// seconds. This layout cuts a long paragraph into pieces of a few thousand
// characters, each laid out on its own only when it is painted or asked
// about, and an edit lays out again only the piece it touched. A piece's
// last line ends where the piece does, so a long paragraph shows a shorter
// line every few dozen lines; the text itself is never changed.
//
// A paragraph short enough to be one piece is laid out in its own block
// layout, as Qt's layout does, so the editor's cursor keys and the
// accessibility bridge work on it unchanged. A long paragraph's block layout
// stays empty; the editor (TemplateEdit) asks this layout for the cursor's
// rectangle, the lines above and below and the ends of a line instead.

#include <array>
#include <cstdint>
#include <memory>
#include <vector>

#include <QAbstractTextDocumentLayout>
#include <QRectF>
#include <QTextCharFormat>

class QTextLayout;

class LongParagraphLayout : public QAbstractTextDocumentLayout
{
    Q_OBJECT

public:
    explicit LongParagraphLayout(QTextDocument *document);
    ~LongParagraphLayout() override;

    void draw(QPainter *painter, const PaintContext &context) override;
    int hitTest(const QPointF &point, Qt::HitTestAccuracy accuracy) const override;
    int pageCount() const override { return 1; }
    QSizeF documentSize() const override;
    QRectF frameBoundingRect(QTextFrame *frame) const override;
    // For a paragraph cut in pieces, only the part of it in view (see
    // setViewRect): the editor places its cursor at the top left of this
    // rectangle, since the block's own layout has no lines, and would scroll
    // to the paragraph's start at every key.
    QRectF blockBoundingRect(const QTextBlock &block) const override;

    // The cursor at a document position, in document coordinates.
    QRectF cursorRect(int position) const;
    // The first and last position of the visual line holding position.
    std::pair<int, int> lineEnds(int position) const;
    // The part of the document the editor shows, in document coordinates.
    void setViewRect(const QRectF &rect) { viewRect = rect; }
    // The document is reporting this change to its listeners, one of which
    // installed this layout, which therefore already holds it.
    void skipChange(int from, int removed, int added) { changeToSkip = { from, removed, added }; }
    // Tells the editor at once of a height that laying out a piece changed,
    // instead of after the current event.
    void settle() const;

    // A character painted over in a format, as the editor's extra selections
    // are, but without the editor asking where it stands (which would have Qt
    // analyse the whole paragraph); its position follows the edits.
    struct CharacterFormat
    {
        int position = 0;
        QTextCharFormat format;
    };
    void setCharacterFormats(std::vector<CharacterFormat> formats);

    // Characters of a paragraph laid out in one piece; a longer one is cut
    // into pieces of about half of this.
    static constexpr int pieceLimit = 8192;

protected:
    void documentChanged(int from, int removed, int added) override;

private:
    struct Piece;

    void rebuildAll();
    // Replaces the pieces first..last with new ones over [start, end) of the
    // current document, whole paragraphs or parts of long ones.
    void rebuild(std::size_t first, std::size_t last, int start, int end);
    void appendPieces(std::vector<Piece> &out, int start, int end, bool wholeBlock) const;
    std::size_t pieceAt(int position) const;
    std::size_t pieceAtY(qreal y) const;
    // The laid-out layout of a piece, placed at its top; null for a document
    // without text.
    QTextLayout *layoutOf(std::size_t index) const;
    void layOut(Piece &piece, QTextLayout &layout) const;
    qreal estimatedHeight(int length) const;
    qreal lineWidth() const;
    qreal margin() const;
    void updateTops() const;
    void heightChanged() const;
    void forgetLeastRecentlyUsed() const;

    mutable std::vector<Piece> pieces;
    // The top of each piece and, last, the bottom of the last one.
    mutable std::vector<qreal> tops;
    mutable bool topsValid = false;
    mutable bool sizeChangePending = false;
    mutable std::uint64_t useClock = 0;
    mutable int ownLayouts = 0;
    // Characters and lines laid out so far, to estimate the height of the rest.
    mutable qint64 measuredCharacters = 0;
    mutable qint64 measuredLines = 0;
    QRectF viewRect;
    std::vector<CharacterFormat> characterFormats; // by position
    std::array<int, 3> changeToSkip { -1, -1, -1 };
};
