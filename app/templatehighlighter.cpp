#include "templatehighlighter.h"

#include <algorithm>
#include <array>
#include <new>

#include <QAbstractTextDocumentLayout>
#include <QPalette>
#include <QScrollBar>
#include <QTextBlock>
#include <QTextDocument>
#include <QTextEdit>

#include "documenttext.h"
#include "razmnozhator/fields.h"
#include "razmnozhator/syntax.h"
#include "templateedit.h"
#include "templatetext.h"

using namespace razmnozhator;

namespace {

// One character of the document, marked with a format the editor paints over it.
QTextEdit::ExtraSelection characterSelection(QTextDocument *document, int position, const QTextCharFormat &format)
{
    QTextEdit::ExtraSelection selection;
    selection.cursor = QTextCursor(document);
    selection.cursor.setPosition(position);
    selection.cursor.setPosition(position + 1, QTextCursor::KeepAnchor);
    selection.format = format;
    return selection;
}

// The document position shown at a point of the editor's viewport. Not
// QTextEdit::cursorForPosition(): its cursor asks the paragraph's own layout
// where it stands, which for a paragraph of megabytes analyses all of it.
int positionAt(const QTextEdit *edit, QPoint point)
{
    const QPointF inDocument(
        point.x() + edit->horizontalScrollBar()->value(), point.y() + edit->verticalScrollBar()->value());
    return std::max(0, edit->document()->documentLayout()->hitTest(inDocument, Qt::FuzzyHit));
}

// Up to this many characters the analysis keeps pace with typing and the
// blocks' formats cost the editor little.
constexpr int immediateLimit = 64 * 1024;
constexpr int pauseMilliseconds = 150;

// Hues far enough apart to tell neighbouring depths apart; their lightness
// comes from the palette.
constexpr std::array<int, 6> depthHues = { 220, 30, 130, 290, 180, 340 };

bool isDark(const QPalette &palette)
{
    return palette.color(QPalette::Base).lightness() < 128;
}

} // namespace

TemplateHighlighter::TemplateHighlighter(QTextEdit *textEdit, const DocumentText *text)
    : QSyntaxHighlighter(static_cast<QObject *>(nullptr))
    , edit(textEdit)
    , documentText(text)
{
    setParent(textEdit);
    // Connected before the document is attached, so that the marks are
    // renewed before the base class repaints the changed blocks.
    connect(edit->document(), &QTextDocument::contentsChange, this, &TemplateHighlighter::documentChanged);
    setDocument(edit->document());
    pause.setSingleShot(true);
    pause.setInterval(pauseMilliseconds);
    connect(&pause, &QTimer::timeout, this, &TemplateHighlighter::analyzeInBackground);
    pool.setMaxThreadCount(1);
    connect(edit->verticalScrollBar(), &QScrollBar::valueChanged, this, &TemplateHighlighter::repaintVisible);
    // A wider or narrower editor wraps the lines anew, which changes what is in view.
    edit->viewport()->installEventFilter(this);
    connect(edit, &QTextEdit::cursorPositionChanged, this, &TemplateHighlighter::markMatchingBracket);
    documentChanged();
}

TemplateHighlighter::~TemplateHighlighter()
{
    pool.clear();
    pool.waitForDone();
}

TemplateHighlighter::Analysis TemplateHighlighter::analyze(const QString &text)
{
    Analysis analysis;
    try {
        // A character the template may not hold stands as a plain one of the
        // same length meanwhile, so that the brackets keep their colours
        // while the user replaces it. Past a few of them the text goes plain.
        constexpr int mostReplaced = 64;
        QString readable = text;
        cp1251::TemplateText encoded = cp1251::TemplateText::fromText(readable);
        for (int replaced = 0; encoded.problem(); ++replaced) {
            if (replaced == mostReplaced)
                return analysis;
            const cp1251::TextProblem &problem = *encoded.problem();
            const qsizetype units = QChar::requiresSurrogates(problem.codePoint) ? 2 : 1;
            readable.replace(problem.position.utf16Index, units, QString(units, u'?'));
            encoded = cp1251::TemplateText::fromText(readable);
        }
        analysis = marksOf(encoded);
    } catch (const std::bad_alloc &) {
        // Colours are a help, not a result: without memory for them the text
        // goes plain.
        analysis = {};
    }
    return analysis;
}

TemplateHighlighter::Analysis TemplateHighlighter::marksOf(const cp1251::TemplateText &encoded)
{
    Analysis analysis;
    const TemplateSyntax syntax = analyzeSyntax(encoded.bytes());
    const auto position
        = [&encoded](std::size_t offset) { return static_cast<int>(encoded.positionOf(offset).utf16Index); };
    analysis.marks.reserve(syntax.marks.size());
    for (const SyntaxMark &mark : syntax.marks) {
        analysis.marks.push_back(
            { position(mark.offset), static_cast<Mark::Kind>(mark.kind), mark.depth, position(mark.partner) });
    }
    if (syntax.error) {
        analysis.errorPosition = position(syntax.error->offset());
    } else if (encoded.bytes().find('\t') != std::string_view::npos) {
        // Tabs make a table, and a group whose choices hold different
        // numbers of them leaves its rows uneven.
        try {
            fieldCount(encoded.bytes());
        } catch (const FieldCountError &error) {
            analysis.errorPosition = position(error.offset());
        }
    }
    return analysis;
}

void TemplateHighlighter::documentChanged()
{
    ++revision;
    setColouredInView(edit->document()->characterCount() > immediateLimit);
    if (!colouredInView) {
        pause.stop();
        current = analyze(documentText->text());
        currentIsFresh = true;
        // The base class repaints the changed blocks next; a change of nesting
        // may recolour others too.
        QMetaObject::invokeMethod(this, &TemplateHighlighter::repaintVisible, Qt::QueuedConnection);
        return;
    }
    currentIsFresh = false;
    pause.start();
}

void TemplateHighlighter::deferWhile(std::function<bool()> busy)
{
    deferred = std::move(busy);
}

void TemplateHighlighter::analyzeInBackground()
{
    if (deferred && deferred()) {
        pause.start();
        return;
    }
    const std::uint64_t ticket = revision;
    pool.start([this, ticket, text = documentText->text()] {
        Analysis analysis = analyze(text);
        QMetaObject::invokeMethod(
            this, [this, ticket, analysis = std::move(analysis)]() mutable { apply(ticket, std::move(analysis)); },
            Qt::QueuedConnection);
    });
}

void TemplateHighlighter::apply(std::uint64_t ticket, Analysis analysis)
{
    if (ticket != revision)
        return;
    current = std::move(analysis);
    currentIsFresh = true;
    repaintVisible();
    markMatchingBracket();
}

void TemplateHighlighter::setColouredInView(bool inView)
{
    if (inView == colouredInView)
        return;
    colouredInView = inView;
    viewSelections.clear();
    viewMarks.clear();
    // Detaching clears every block's formats; attaching colours the blocks
    // anew. Either way this edit's own repaint by the base class is not needed.
    setDocument(inView ? nullptr : edit->document());
    showSelections();
}

void TemplateHighlighter::colourMarksInView()
{
    viewSelections.clear();
    viewMarks.clear();
    const QRect area = edit->viewport()->rect();
    const int first = positionAt(edit, area.topLeft());
    const int last = positionAt(edit, area.bottomRight());
    const auto begin = std::lower_bound(current.marks.begin(), current.marks.end(), first,
        [](const Mark &mark, int position) { return mark.position < position; });
    const bool inPieces = piecesEdit() != nullptr;
    const auto add = [this, inPieces](int position, const QTextCharFormat &format) {
        if (inPieces)
            viewMarks.push_back({ position, format });
        else
            viewSelections.append(characterSelection(edit->document(), position, format));
    };
    for (auto mark = begin; mark != current.marks.end() && mark->position <= last; ++mark) {
        if (mark->position != current.errorPosition)
            add(mark->position, depthFormat(mark->depth));
    }
    if (current.errorPosition && *current.errorPosition >= first && *current.errorPosition <= last)
        add(*current.errorPosition, errorFormat());
    showSelections();
}

TemplateEdit *TemplateHighlighter::piecesEdit() const
{
    auto *templateEdit = qobject_cast<TemplateEdit *>(edit);
    return templateEdit && templateEdit->laysOutInPieces() ? templateEdit : nullptr;
}

void TemplateHighlighter::showSelections()
{
    if (TemplateEdit *templateEdit = piecesEdit()) {
        if (!edit->extraSelections().isEmpty())
            edit->setExtraSelections({});
        std::vector<LongParagraphLayout::CharacterFormat> marks = viewMarks;
        marks.insert(marks.end(), bracketMarks.begin(), bracketMarks.end());
        templateEdit->paintCharacters(std::move(marks));
        return;
    }
    edit->setExtraSelections(viewSelections + bracketSelections);
}

bool TemplateHighlighter::eventFilter(QObject *watched, QEvent *event)
{
    if (event->type() == QEvent::Resize)
        QMetaObject::invokeMethod(this, &TemplateHighlighter::repaintVisible, Qt::QueuedConnection);
    return QSyntaxHighlighter::eventFilter(watched, event);
}

void TemplateHighlighter::repaintVisible()
{
    if (!currentIsFresh)
        return;
    if (colouredInView) {
        colourMarksInView();
        return;
    }
    const QRect area = edit->viewport()->rect();
    const QTextBlock last = edit->document()->findBlock(positionAt(edit, area.bottomRight()));
    for (QTextBlock block = edit->document()->findBlock(positionAt(edit, area.topLeft())); block.isValid();
         block = block.next()) {
        const int start = block.position();
        if (block.userState() != signatureOf(start, start + block.length() - 1))
            rehighlightBlock(block);
        if (block == last)
            break;
    }
}

QTextCharFormat TemplateHighlighter::depthFormat(std::uint32_t depth) const
{
    const bool dark = isDark(edit->palette());
    QTextCharFormat format;
    format.setForeground(QColor::fromHsl(depthHues[depth % depthHues.size()], 200, dark ? 170 : 90));
    format.setFontWeight(QFont::Bold);
    return format;
}

QTextCharFormat TemplateHighlighter::errorFormat() const
{
    QTextCharFormat format;
    format.setForeground(Qt::white);
    format.setBackground(QColor(isDark(edit->palette()) ? 0xd0 : 0xc0, 0, 0));
    format.setFontWeight(QFont::Bold);
    return format;
}

void TemplateHighlighter::highlightBlock(const QString &text)
{
    if (!currentIsFresh) {
        setCurrentBlockState(-1);
        return;
    }
    const int start = currentBlock().position();
    const int end = start + static_cast<int>(text.size());
    const auto first = std::lower_bound(current.marks.begin(), current.marks.end(), start,
        [](const Mark &mark, int position) { return mark.position < position; });
    for (auto mark = first; mark != current.marks.end() && mark->position < end; ++mark)
        setFormat(mark->position - start, 1, depthFormat(mark->depth));
    if (current.errorPosition && *current.errorPosition >= start && *current.errorPosition < end)
        setFormat(*current.errorPosition - start, 1, errorFormat());
    setCurrentBlockState(signatureOf(start, end));
}

int TemplateHighlighter::signatureOf(int start, int end) const
{
    // FNV-1a over the relative positions and depths, kept non-negative since
    // -1 means a block never painted.
    std::uint32_t hash = 2166136261u;
    const auto mix = [&hash](std::uint32_t value) {
        hash ^= value;
        hash *= 16777619u;
    };
    const auto first = std::lower_bound(current.marks.begin(), current.marks.end(), start,
        [](const Mark &mark, int position) { return mark.position < position; });
    for (auto mark = first; mark != current.marks.end() && mark->position < end; ++mark) {
        mix(static_cast<std::uint32_t>(mark->position - start));
        mix(mark->depth);
    }
    if (current.errorPosition && *current.errorPosition >= start && *current.errorPosition < end)
        mix(static_cast<std::uint32_t>(*current.errorPosition - start) | 0x80000000u);
    return static_cast<int>(hash & 0x7fffffffu);
}

const TemplateHighlighter::Mark *TemplateHighlighter::markAt(int position) const
{
    const auto found = std::lower_bound(current.marks.begin(), current.marks.end(), position,
        [](const Mark &mark, int at) { return mark.position < at; });
    if (found == current.marks.end() || found->position != position || found->kind == Mark::Kind::Bar)
        return nullptr;
    return &*found;
}

void TemplateHighlighter::markMatchingBracket()
{
    bracketSelections.clear();
    bracketMarks.clear();
    const int cursor = edit->textCursor().position();
    // The bracket after the cursor, or else the one before it.
    const Mark *mark = currentIsFresh ? markAt(cursor) : nullptr;
    if (!mark && currentIsFresh && cursor > 0)
        mark = markAt(cursor - 1);
    if (mark && mark->partner != mark->position) {
        QTextCharFormat format;
        format.setBackground(edit->palette().color(QPalette::Highlight).lighter(isDark(edit->palette()) ? 80 : 160));
        for (const int position : { mark->position, mark->partner }) {
            if (piecesEdit())
                bracketMarks.push_back({ position, format });
            else
                bracketSelections.append(characterSelection(edit->document(), position, format));
        }
    }
    showSelections();
}
