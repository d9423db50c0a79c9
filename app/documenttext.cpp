#include "documenttext.h"

#include <QTextCursor>
#include <QTextDocument>

DocumentText::DocumentText(QTextDocument *textDocument)
    : QObject(textDocument)
    , document(textDocument)
    , current(textDocument->toRawText())
{
    connect(document, &QTextDocument::contentsChange, this, &DocumentText::changed);
}

void DocumentText::changed(int position, int removed, int added)
{
    // The document counts the separator after its last block, which the text
    // leaves out; a change that reaches it, as replacing all of the text does,
    // is read whole.
    const qsizetype length = document->characterCount() - 1;
    if (position + removed > current.size() || position + added > length) {
        current = document->toRawText();
        return;
    }
    QTextCursor cursor(document);
    cursor.setPosition(position);
    cursor.setPosition(position + added, QTextCursor::KeepAnchor);
    current.replace(position, removed, cursor.selectedText());
    if (current.size() != length)
        current = document->toRawText();
}
