#pragma once

#include <QSize>
#include <QStyledItemDelegate>

// Draws the log view's lines. The view lays out every row again whenever a
// line is appended, which costs the length of the run unless all rows share
// one size; that size is the largest any line has needed so far, so the
// longest line still scrolls fully into view.
class LogLineDelegate : public QStyledItemDelegate
{
public:
    using QStyledItemDelegate::QStyledItemDelegate;
    QSize sizeHint(const QStyleOptionViewItem &option, const QModelIndex &index) const override;

private:
    mutable QSize largest;
};
