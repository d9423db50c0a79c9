#include "fieldtablemodel.h"

#include <algorithm>
#include <climits>
#include <string_view>

#include "cp1251.h"
#include "tables.h"

FieldTableModel::FieldTableModel(const razmnozhator::VariantList &shownLines, QObject *parent)
    : QAbstractTableModel(parent)
    , lines(shownLines)
{
}

void FieldTableModel::setShape(std::uint64_t fields)
{
    if (fields < 2) {
        rows = columns = 0;
        names.clear();
        return;
    }
    // Item views count rows in int; the memory guard keeps the lines far below
    // that, and a template holds far fewer tabs than that.
    rows = static_cast<int>(std::min<std::size_t>(lines.size(), INT_MAX));
    columns = static_cast<int>(std::min<std::uint64_t>(fields, INT_MAX));
    // The names a saved table's header gives the fields.
    names = razmnozhator::tables::fieldNames(columns);
}

int FieldTableModel::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : rows;
}

int FieldTableModel::columnCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : columns;
}

QModelIndex FieldTableModel::index(int row, int column, const QModelIndex &parent) const
{
    if (row < 0 || row >= rows || column < 0 || column >= columns || parent.isValid())
        return {};
    return createIndex(row, column);
}

QVariant FieldTableModel::data(const QModelIndex &index, int role) const
{
    if (!index.isValid() || index.row() >= rows || index.column() >= columns)
        return {};
    if (role != Qt::DisplayRole && role != Qt::ToolTipRole)
        return {};
    // The field lies after as many tabs as its column's number.
    const std::string_view line = lines[static_cast<std::size_t>(index.row())];
    std::size_t begin = 0;
    for (int column = 0; column < index.column(); ++column) {
        begin = line.find('\t', begin);
        if (begin == std::string_view::npos)
            return QString();
        ++begin;
    }
    const std::size_t end = std::min(line.find('\t', begin), line.size());
    return razmnozhator::cp1251::decode(line.substr(begin, end - begin));
}

QVariant FieldTableModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation == Qt::Horizontal && role == Qt::DisplayRole && section >= 0 && section < names.size())
        return names.at(section);
    return QAbstractTableModel::headerData(section, orientation, role);
}
