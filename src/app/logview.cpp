#include "app/logview.h"

// A view with uniform item sizes asks only for its newest row whenever rows
// are added, so each line is measured once, as it arrives.
QSize LogLineDelegate::sizeHint(const QStyleOptionViewItem &option, const QModelIndex &index) const
{
    largest = largest.expandedTo(QStyledItemDelegate::sizeHint(option, index));
    return largest;
}

LogListModel::LogListModel(QObject *parent) : QStringListModel(parent)
{
    // Connected before any view is, so the count is right before a view asks.
    const auto recount = [this] { rows = QStringListModel::rowCount(); };
    connect(this, &QAbstractItemModel::rowsInserted, this, recount);
    connect(this, &QAbstractItemModel::rowsRemoved, this, recount);
    connect(this, &QAbstractItemModel::modelReset, this, recount);
}

QModelIndex LogListModel::index(int row, int column, const QModelIndex &parent) const
{
    if (row < 0 || column != 0 || parent.isValid() || row >= rows)
        return QModelIndex();
    return createIndex(row, 0);
}
