#pragma once

#include <QSize>
#include <QStringListModel>
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

// The log's lines. The view's relayout after each appended line asks for the
// index of every row, so the lookup is a bounds check against a count kept
// here rather than calls into the list.
class LogListModel : public QStringListModel
{
public:
    explicit LogListModel(QObject *parent = nullptr);
    QModelIndex index(int row, int column = 0, const QModelIndex &parent = QModelIndex()) const override;

private:
    int rows = 0;
};
