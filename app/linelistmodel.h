#pragma once

// The result list's rows, read straight from the window's lines. A list of
// ten million lines would take gigabytes and seconds as one item object per
// row; here a row is only a position in the lines, decoded from CP1251 when
// the view paints it or someone asks for its text, and replacing all of the
// lines is one reset of the model.

#include <QAbstractListModel>

#include "razmnozhator/variantlist.h"

class LineListModel : public QAbstractListModel
{
    Q_OBJECT

public:
    // lines belongs to the caller and must outlive the model; every change of
    // it goes through replaceLines().
    explicit LineListModel(const razmnozhator::VariantList &lines, QObject *parent = nullptr);

    int rowCount(const QModelIndex &parent = QModelIndex()) const override;
    // The view asks for every row's index while it lays the rows out; the
    // base class checks each one through two virtual calls.
    QModelIndex index(int row, int column = 0, const QModelIndex &parent = QModelIndex()) const override;
    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;

    // Runs change, which replaces the lines, as one reset of every row.
    template <typename Change> void replaceLines(Change &&change)
    {
        beginResetModel();
        change();
        rows = countRows();
        endResetModel();
    }

private:
    int countRows() const;

    const razmnozhator::VariantList &lines;
    int rows = 0;
};

// Frees lines that no longer show on a thread of the pool: giving back
// hundreds of megabytes to the system takes longer than a frame.
void discardInBackground(razmnozhator::VariantList &&old);
