#include "listmodel.h"

#include <algorithm>
#include <climits>

ListModel::ListModel(const QStringList &headers, QObject *parent) : QAbstractTableModel(parent), headers(headers)
{
}

void ListModel::clear()
{
    beginResetModel();
    parts.clear();
    rows = 0;
    cachedRow = -1;
    endResetModel();
}

void ListModel::appendPart(qsizetype partRows, RowText rowText)
{
    // A view counts its rows in int.
    partRows = qMin<qsizetype>(partRows, INT_MAX - rows);
    if (partRows <= 0)
        return;
    beginInsertRows(QModelIndex(), int(rows), int(rows + partRows - 1));
    parts << Part{rows, partRows, std::move(rowText)};
    rows += partRows;
    endInsertRows();
}

std::pair<int, qsizetype> ListModel::partOf(int row) const
{
    const auto after = std::upper_bound(parts.cbegin(), parts.cend(), qsizetype(row),
                                        [](qsizetype r, const Part &part) { return r < part.first; });
    const int part = int(after - parts.cbegin()) - 1;
    if (part < 0 || row >= rows)
        return {-1, -1};
    return {part, row - parts.at(part).first};
}

QStringList ListModel::rowText(int row) const
{
    if (row != cachedRow) {
        const auto [part, index] = partOf(row);
        cachedText = part >= 0 ? parts.at(part).rowText(index) : QStringList();
        cachedRow = row;
    }
    return cachedText;
}

int ListModel::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : int(rows);
}

int ListModel::columnCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : int(headers.size());
}

QVariant ListModel::data(const QModelIndex &index, int role) const
{
    if (role != Qt::DisplayRole || !index.isValid())
        return QVariant();
    return rowText(index.row()).value(index.column());
}

QVariant ListModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (role != Qt::DisplayRole || orientation != Qt::Horizontal)
        return QAbstractTableModel::headerData(section, orientation, role);
    return headers.value(section);
}
