#include "linelistmodel.h"

#include <algorithm>
#include <climits>
#include <memory>

#include <QThreadPool>

#include "cp1251.h"

LineListModel::LineListModel(const razmnozhator::VariantList &shownLines, QObject *parent)
    : QAbstractListModel(parent)
    , lines(shownLines)
    , rows(countRows())
{
}

int LineListModel::countRows() const
{
    // Item views count rows in int; the memory guard keeps the lines far below that.
    return static_cast<int>(std::min<std::size_t>(lines.size(), INT_MAX));
}

int LineListModel::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : rows;
}

QModelIndex LineListModel::index(int row, int column, const QModelIndex &parent) const
{
    if (row < 0 || row >= rows || column != 0 || parent.isValid())
        return {};
    return createIndex(row, 0);
}

QVariant LineListModel::data(const QModelIndex &index, int role) const
{
    if (!index.isValid() || index.row() >= rows)
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

void discardInBackground(razmnozhator::VariantList &&old)
{
    auto held = std::make_shared<razmnozhator::VariantList>(std::move(old));
    if (held->empty())
        return;
    QThreadPool::globalInstance()->start([held = std::move(held)]() mutable { held.reset(); });
}
