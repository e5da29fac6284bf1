#include "table/tablemodel.h"

#include <QBrush>
#include <QColor>
#include <QStringList>

#include <cfloat>
#include <cmath>
#include <limits>

namespace {

enum Column { ColNumber, ColFrequency, ColSendTime, ColPeriods, ColSampleRate, ColumnCount };

// A row made by the buttons: 1 Hz for 15 s at 150 Hz sampling.
const int kDefaultSeconds = 15;

QString twoDigits(int value)
{
    const QString text = QString::number(value);
    return text.size() == 1 ? "0" + text : text;
}

// N of the 1/N a frequency below 1 Hz shows. A float cannot hold 1/3 or 1/5
// exactly, so a value within its precision of 1/N is 1/N; any other value
// keeps the period rounded down (0.26 Hz shows 1/3).
double fractionDivisor(float frequency)
{
    const double period = 1.0 / double(frequency);
    const double nearest = std::round(period);
    return std::fabs(period - nearest) <= period * FLT_EPSILON ? nearest : std::trunc(period);
}

} // namespace

TableModel::TableModel(QObject *parent)
    : QStandardItemModel(parent)
    , totalText(tr("00:00:00"))
{
    setColumnCount(ColumnCount);
    setHeaderData(ColNumber, Qt::Horizontal, tr("编号"), Qt::EditRole);
    setHeaderData(ColFrequency, Qt::Horizontal, tr("频率(Hz)"), Qt::EditRole);
    setHeaderData(ColSendTime, Qt::Horizontal, tr("发送时长(S)"), Qt::EditRole);
    setHeaderData(ColPeriods, Qt::Horizontal, tr("周期数"), Qt::EditRole);
    setHeaderData(ColSampleRate, Qt::Horizontal, tr("采样率(Hz)"), Qt::EditRole);
}

QVariant TableModel::data(const QModelIndex &index, int role) const
{
    if (role == Qt::TextAlignmentRole)
        return int(Qt::AlignHCenter | Qt::AlignVCenter);
    if (role == Qt::BackgroundRole && index.row() == sendingRow && sendingRow >= 0)
        return QBrush(QColor(255, 226, 140));
    return QStandardItemModel::data(index, role);
}

QString TableModel::frequencyText(float frequency)
{
    // Only a true fraction of a hertz takes the 1/N form; 0 or a negative
    // value would otherwise show as a nonsense divisor.
    if (frequency > 0.0f && frequency < 1.0f)
        return tr("1/%1").arg(QString::number(fractionDivisor(frequency), 'f', 0));
    return tr("%1").arg(double(frequency), 0, 'g', 6);
}

void TableModel::setCurrentRow(int row)
{
    if (row == sendingRow)
        return;
    const int old = sendingRow;
    sendingRow = row;
    for (int changed : { old, row }) {
        if (changed >= 0 && changed < rowCount())
            emit dataChanged(index(changed, 0), index(changed, columnCount() - 1), { Qt::BackgroundRole });
    }
}

QString TableModel::cellText(int row, int column) const
{
    return data(index(row, column), Qt::DisplayRole).toString();
}

float TableModel::frequency(int row) const
{
    const QString text = cellText(row, ColFrequency).trimmed();
    if (!text.contains("/"))
        return text.toFloat();
    const QStringList parts = text.split("/", Qt::KeepEmptyParts);
    return parts.at(0).toFloat() / parts.at(1).toFloat();
}

float TableModel::sendTime(int row) const
{
    return cellText(row, ColSendTime).toFloat();
}

int TableModel::periodCount(int row) const
{
    return cellText(row, ColPeriods).toInt(nullptr, 10);
}

int TableModel::sampleRate(int row) const
{
    return cellText(row, ColSampleRate).toInt(nullptr, 10);
}

void TableModel::insertCells(int row, const QStringList &texts)
{
    QList<QStandardItem *> items;
    for (const QString &text : texts)
        items << new QStandardItem(text);
    insertRow(row, items);
}

void TableModel::appendDefaultRow()
{
    const int n = rowCount();
    insertCells(n, { QString::number(n + 1), "1", "15", "15", "150" });
    setRunningTotal(runningSeconds + kDefaultSeconds);
}

void TableModel::insertDefaultRow(int row)
{
    const int n = rowCount();
    if (row < 0)
        row = n;
    insertCells(row, { QString::number(n + 1), "1", "15", "15", "150" });
    setRunningTotal(runningSeconds + kDefaultSeconds);
    for (int i = row; i < rowCount(); ++i)
        item(i, ColNumber)->setText(QString::number(i + 1));
}

void TableModel::insertEntryRow(int row, const freq_item &entry)
{
    const int seconds = csamt_trunc_int32(double(entry.send_time) + 0.5);
    insertCells(row,
        { QString::number(row + 1), frequencyText(entry.freq), QString::number(seconds),
            QString::number(entry.period_num), QString::number(entry.sample_rate) });
    setRunningTotal(runningSeconds + seconds);
}

bool TableModel::deleteRow(int row)
{
    if (row < 0)
        return false;
    setRunningTotal(runningSeconds - cellText(row, ColSendTime).toInt(nullptr, 10));
    removeRow(row);
    return true;
}

void TableModel::clearRows()
{
    while (rowCount() > 0)
        removeRow(0);
    setRunningTotal(0);
}

void TableModel::recomputeTotal()
{
    qint64 total = 0;
    for (int row = 0; row < rowCount(); ++row)
        total += cellText(row, ColSendTime).toInt(nullptr, 10);
    setRunningTotal(total);
}

void TableModel::setRunningTotal(qint64 seconds)
{
    runningSeconds = seconds;
    totalSeconds = int(qBound<qint64>(std::numeric_limits<int>::min(), seconds, std::numeric_limits<int>::max()));
    updateTotalText();
}

void TableModel::updateTotalText()
{
    const int h = totalSeconds / 3600;
    const int m = totalSeconds % 3600 / 60;
    const int s = totalSeconds % 3600 % 60;
    totalText = twoDigits(h) + ":" + twoDigits(m) + ":" + twoDigits(s);
}
