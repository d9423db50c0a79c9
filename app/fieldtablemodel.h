#pragma once

// The result lines as a table, when every variant of the template has the
// same number of tab-separated fields: a column per field, under the names a
// saved table's header gives them. As in the list's model, a row is only a
// position in the lines; a line is split at its tabs and decoded from
// CP1251 only for the cells that are painted or asked for, so that a table
// of millions of rows shows at once.

#include <cstdint>

#include <QAbstractTableModel>
#include <QStringList>

#include "razmnozhator/variantlist.h"

class FieldTableModel : public QAbstractTableModel
{
    Q_OBJECT

public:
    // lines belongs to the caller and must outlive the model; every change of
    // it goes through replaceLines().
    explicit FieldTableModel(const razmnozhator::VariantList &lines, QObject *parent = nullptr);

    int rowCount(const QModelIndex &parent = QModelIndex()) const override;
    int columnCount(const QModelIndex &parent = QModelIndex()) const override;
    QModelIndex index(int row, int column, const QModelIndex &parent = QModelIndex()) const override;
    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;

    // Runs change, which replaces the lines, as one reset. The table then
    // shows them in `fields` columns; with fewer than two it holds no rows
    // at all, since the lines show as a list.
    template <typename Change> void replaceLines(Change &&change, std::uint64_t fields)
    {
        beginResetModel();
        change();
        setShape(fields);
        endResetModel();
    }

    // The columns shown; 0 while the lines are not a table.
    int fields() const { return columns; }

private:
    void setShape(std::uint64_t fields);

    const razmnozhator::VariantList &lines;
    int rows = 0;
    int columns = 0;
    QStringList names;
};
