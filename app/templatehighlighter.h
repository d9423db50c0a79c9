#pragma once

// Shows the template's structure in its editor: brackets and bars coloured by
// how deeply they are nested, the bracket that matches the one at the cursor
// marked, and the unclosed opener that generate would report in red as soon
// as it is typed. The engine alone knows the grammar; this class only maps
// its marks to positions in the document and paints them.
//
// A template of up to a few ten thousand characters is analysed at every
// change, before its blocks are repainted. A bigger one is analysed on a
// thread of its own once typing pauses, so that typing never waits for it;
// until then the block being edited goes without colours. Either way only
// the blocks in view are repainted.

#include <atomic>
#include <cstdint>
#include <optional>
#include <vector>

#include <QSyntaxHighlighter>
#include <QTextCharFormat>
#include <QThreadPool>
#include <QTimer>

class DocumentText;
namespace razmnozhator::cp1251 {
class TemplateText;
}
class QTextEdit;

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

    static Analysis analyze(const QString &text);
    static Analysis marksOf(const razmnozhator::cp1251::TemplateText &encoded);

    // The format of the bracket or bar at a nesting depth, and of the
    // unclosed opener; they follow the editor's palette, light or dark.
    QTextCharFormat depthFormat(std::uint32_t depth) const;
    QTextCharFormat errorFormat() const;

protected:
    void highlightBlock(const QString &text) override;

private:
    void documentChanged();
    void analyzeInBackground();
    void apply(std::uint64_t revision, Analysis analysis);
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
    Analysis current;
    bool currentIsFresh = true;
    QTimer pause;
    QThreadPool pool;
    std::atomic<std::uint64_t> revision { 0 };
};
