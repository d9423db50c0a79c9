#include "linelistmodel.h"

#include <algorithm>
#include <climits>

#include "cp1251.h"
#include "razmnozhator/variantlist.h"

LineListModel::LineListModel(const razmnozhator::VariantList &shownLines, QObject *parent)
    : QAbstractListModel(parent)
    , lines(shownLines)
{
}

int LineListModel::rowCount(const QModelIndex &parent) const
{
    // Item views count rows in int; the memory guard keeps the lines far below that.
    return parent.isValid() ? 0 : static_cast<int>(std::min<std::size_t>(lines.size(), INT_MAX));
}

QVariant LineListModel::data(const QModelIndex &index, int role) const
{
    if (!index.isValid() || index.row() >= rowCount())
        return {};
    switch (role) {
    case Qt::DisplayRole:
    // A long line is cut off at the view's edge; the tip shows all of it.
    case Qt::ToolTipRole:
        return razmnozhator::cp1251::decode(lines[static_cast<std::size_t>(index.row())]);
    default:
        return {};
    }
}
