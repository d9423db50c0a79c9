#include "resultlistview.h"

ResultListView::ResultListView(QWidget *parent)
    : QListView(parent)
{
    // Rows are single lines in one font: with uniform sizes the view measures
    // one row instead of every one of possibly millions.
    setUniformItemSizes(true);
    setLayoutMode(QListView::Batched);
    setBatchSize(100000);
}

QModelIndex ResultListView::moveCursor(CursorAction cursorAction, Qt::KeyboardModifiers modifiers)
{
    const int rows = model() ? model()->rowCount(rootIndex()) : 0;
    if (cursorAction != MoveEnd || rows == 0)
        return QListView::moveCursor(cursorAction, modifiers);
    // A row not yet placed has no place to scroll to: place them all in one
    // pass, about a second for ten million, then go on in batches as before.
    const QModelIndex last = model()->index(rows - 1, modelColumn(), rootIndex());
    if (!visualRect(last).isValid()) {
        setLayoutMode(QListView::SinglePass);
        doItemsLayout();
        setLayoutMode(QListView::Batched);
    }
    return last;
}
