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
// until then the block being edited goes without colours.

#include <atomic>
#include <cstdint>
#include <optional>
#include <vector>

#include <QSyntaxHighlighter>
#include <QTextCharFormat>
#include <QThreadPool>
#include <QTimer>

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

    // Paints the document of edit and marks the matching bracket in it.
    explicit TemplateHighlighter(QTextEdit *edit);
    ~TemplateHighlighter() override;

    static Analysis analyze(const QString &text);

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
    void markMatchingBracket();
    const Mark *markAt(int position) const;

    QTextEdit *edit;
    Analysis current;
    bool currentIsFresh = true;
    QTimer pause;
    QThreadPool pool;
    std::atomic<std::uint64_t> revision { 0 };
};
