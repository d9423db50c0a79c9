#pragma once

// The result list's view. It places rows in batches, so that millions of
// lines show at once and the rest are placed between other events; until the
// last batch is placed, Qt's own End and Ctrl+End stop at the last row placed
// so far. Here they always reach the last line, placing the rest first.

#include <QListView>

class ResultListView : public QListView
{
    Q_OBJECT

public:
    explicit ResultListView(QWidget *parent = nullptr);

protected:
    QModelIndex moveCursor(CursorAction cursorAction, Qt::KeyboardModifiers modifiers) override;
};
