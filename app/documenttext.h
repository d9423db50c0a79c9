#pragma once

// The template editor's raw text, kept up to date edit by edit. Reading a
// document's whole text walks all of its fragments, which for a template of
// a megabyte takes longer than a frame; the live count and the highlighting
// need the text after every pause in typing, so they share this copy, which
// each edit changes only where it changed.

#include <QObject>
#include <QString>

class QTextDocument;

class DocumentText : public QObject
{
    Q_OBJECT

public:
    // Connect it before anything else that reads the text on a change.
    explicit DocumentText(QTextDocument *document);

    // As QTextDocument::toRawText(): line breaks are U+2029 (or U+2028), one
    // position each, as the document counts positions.
    const QString &text() const noexcept { return current; }

private:
    void changed(int position, int removed, int added);

    QTextDocument *document;
    QString current;
};
