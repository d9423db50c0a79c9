#pragma once

// Shows the template's structure in its editor: brackets and bars coloured by
// how deeply they are nested, the bracket that matches the one at the cursor
// marked, and the unclosed opener that generate would report in red as soon
// as it is typed. The engine alone knows the grammar; this class only maps
// its marks to positions in the document and paints them.
//
// A template of up to a few ten thousand characters is analysed at every
// change and coloured through its blocks' formats, repainting only the blocks
// in view. A bigger one is analysed on a thread of its own once typing
// pauses, so that typing never waits for it, and is coloured only where it is
// in view, through the editor's extra selections: formats on a block make the
// editor lay out and report to the accessibility bus the whole block, and a
// pasted template is often one paragraph of megabytes. Extra selections move
// with the text as it is edited and cost the editor nothing but painting.

#include <atomic>
#include <cstdint>
#include <functional>
#include <optional>
#include <vector>

#include <QList>
#include <QSyntaxHighlighter>
#include <QTextCharFormat>
#include <QTextEdit>
#include <QThreadPool>
#include <QTimer>

#include "longparagraphlayout.h"

class DocumentText;
class TemplateEdit;
namespace razmnozhator::cp1251 {
class TemplateText;
}

class TemplateHighlighter : public QSyntaxHighlighter
{
    Q_OBJECT

public:
    // A mark of the template's syntax at a position of the document.
    struct Mark
    {
        enum class Kind : std::uint8_t { Opener, Closer, Bar };
        int position = 0;
        Kind kind = Kind::Opener;
        std::uint32_t depth = 0;
        // An opener's closer, a closer's opener, a bar's group opener.
        int partner = 0;
    };
    struct Analysis
    {
        std::vector<Mark> marks; // by position
        std::optional<int> errorPosition;
    };

    // Paints the document of edit and marks the matching bracket in it;
    // text is the document's text, already up to date when it changes.
    TemplateHighlighter(QTextEdit *edit, const DocumentText *text);
    ~TemplateHighlighter() override;

    // While busy says so, the analysis of a big template waits: the user
    // waits for the live count first, and on a template of megabytes each
    // takes a second or more, which side by side with the editor's own
    // layout would share one core.
    void deferWhile(std::function<bool()> busy);

    static Analysis analyze(const QString &text);
    static Analysis marksOf(const razmnozhator::cp1251::TemplateText &encoded);

    // The format of the bracket or bar at a nesting depth, and of the
    // unclosed opener; they follow the editor's palette, light or dark.
    QTextCharFormat depthFormat(std::uint32_t depth) const;
    QTextCharFormat errorFormat() const;

protected:
    void highlightBlock(const QString &text) override;
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void documentChanged();
    void analyzeInBackground();
    void apply(std::uint64_t revision, Analysis analysis);
    // Colours by blocks' formats (small templates) or only in view (big ones).
    void setColouredInView(bool inView);
    void colourMarksInView();
    void showSelections();
    // The editor, while it lays a long paragraph out in pieces and takes the
    // colours in view from here directly.
    TemplateEdit *piecesEdit() const;
    // Repaints the blocks in view whose marks changed. The editor lays the
    // document out again after every repainted block, which for thousands of
    // lines would take minutes, so blocks out of view wait until they scroll in.
    void repaintVisible();
    void markMatchingBracket();
    const Mark *markAt(int position) const;
    // A summary of the marks within [start, end), relative to start, kept as
    // the block's state: a block whose summary has not changed keeps its
    // colours, so that a repaint touches only the blocks an edit changed.
    int signatureOf(int start, int end) const;

    QTextEdit *edit;
    const DocumentText *documentText;
    bool colouredInView = false;
    QList<QTextEdit::ExtraSelection> viewSelections;
    QList<QTextEdit::ExtraSelection> bracketSelections;
    std::vector<LongParagraphLayout::CharacterFormat> viewMarks;
    std::vector<LongParagraphLayout::CharacterFormat> bracketMarks;
    Analysis current;
    bool currentIsFresh = true;
    QTimer pause;
    std::function<bool()> deferred;
    QThreadPool pool;
    std::atomic<std::uint64_t> revision { 0 };
};
