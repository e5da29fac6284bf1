#include "table/delegates.h"

#include <QComboBox>
#include <QIcon>
#include <QLineEdit>
#include <QRegularExpression>
#include <QRegularExpressionValidator>
#include <QPainter>
#include <QStandardItemModel>

namespace {

// Written as the table shows them, so every choice matches a cell's text.
const char *const kFrequencies[]
    = { "1/8192", "1/4096", "1/2048", "1/1024", "1/512", "1/256", "1/128", "1/64", "1/32", "1/16", "1/8", "1/4", "1/2",
          "1", "2", "4", "8", "16", "32", "64", "128", "256", "512", "1024", "2048", "4096", "8192" };

} // namespace

void LocalDelegate::paint(QPainter *painter, const QStyleOptionViewItem &option, const QModelIndex &index) const
{
    painter->fillRect(option.rect, QBrush(QColor(230, 230, 230, 255), Qt::SolidPattern));
    QItemDelegate::paint(painter, option, index);
}

QWidget *LocalDelegate::createEditor(QWidget *, const QStyleOptionViewItem &, const QModelIndex &) const
{
    return nullptr;
}

QWidget *ComboBoxDelegate::createEditor(QWidget *parent, const QStyleOptionViewItem &, const QModelIndex &) const
{
    auto *box = new QComboBox(parent);
    for (const char *text : kFrequencies)
        box->insertItem(box->count(), QIcon(), QString::fromLatin1(text), QVariant());
    if (auto *items = qobject_cast<QStandardItemModel *>(box->model())) {
        for (int row = 0; row < items->rowCount(); ++row)
            items->item(row)->setData(QSize(0, 35), Qt::SizeHintRole);
    }
    return box;
}

void ComboBoxDelegate::setEditorData(QWidget *editor, const QModelIndex &index) const
{
    auto *box = static_cast<QComboBox *>(editor);
    const QString text = index.model()->data(index, Qt::EditRole).toString();
    box->setCurrentIndex(box->findText(text, Qt::MatchExactly | Qt::MatchCaseSensitive));
}

void ComboBoxDelegate::setModelData(QWidget *editor, QAbstractItemModel *model, const QModelIndex &index) const
{
    auto *box = static_cast<QComboBox *>(editor);
    // Closing the list without a choice keeps a frequency the list lacks
    // (an imported 1.5 Hz, say) rather than blanking the cell.
    if (box->currentIndex() < 0)
        return;
    model->setData(index, box->itemData(box->currentIndex(), Qt::DisplayRole), Qt::EditRole);
}

void ComboBoxDelegate::updateEditorGeometry(
    QWidget *editor, const QStyleOptionViewItem &option, const QModelIndex &) const
{
    editor->setGeometry(option.rect);
}

QWidget *SecondsDelegate::createEditor(QWidget *parent, const QStyleOptionViewItem &, const QModelIndex &) const
{
    auto *edit = new QLineEdit(parent);
    // Nine digits stay within what a row's count of seconds can hold.
    edit->setValidator(new QRegularExpressionValidator(QRegularExpression("[0-9]{1,9}"), edit));
    return edit;
}

void SecondsDelegate::setModelData(QWidget *editor, QAbstractItemModel *model, const QModelIndex &index) const
{
    auto *edit = static_cast<QLineEdit *>(editor);
    // An emptied cell keeps the time it had.
    if (!edit->hasAcceptableInput())
        return;
    model->setData(index, QString::number(edit->text().toLongLong()), Qt::EditRole);
}
