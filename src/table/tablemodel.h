#pragma once

#include <QStandardItemModel>
#include <QString>

#include "EM/csamt_pub.h"

// The frequency table the operator edits: number, frequency, sending time and
// the hidden period count and sampling rate, all held as texts.
class TableModel : public QStandardItemModel
{
    Q_OBJECT

public:
    // The most rows a table file can carry.
    static constexpr int MaxRows = CSAMT_MAX_FREQ_NUM - 1;

    explicit TableModel(QObject *parent = nullptr);

    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;

    // A frequency as the table writes it: 1/N below 1 Hz.
    static QString frequencyText(float frequency);
    // The row the transmitter is sending, marked in the table; -1 for none.
    void setCurrentRow(int row);
    int currentRow() const { return sendingRow; }

    float frequency(int row) const;
    float sendTime(int row) const;
    int periodCount(int row) const;
    int sampleRate(int row) const;

    void appendDefaultRow();
    void insertDefaultRow(int row);
    void insertEntryRow(int row, const freq_item &entry);
    bool deleteRow(int row);
    void clearRows();
    void recomputeTotal();
    void updateTotalText();

    QString totalText;
    int totalSeconds = 0;

private:
    // Kept in 64 bits: imported or typed sending times can sum past what an
    // int holds; totalSeconds then shows the nearest value it can.
    qint64 runningSeconds = 0;
    int sendingRow = -1;
    void setRunningTotal(qint64 seconds);
    QString cellText(int row, int column) const;
    void insertCells(int row, const QStringList &texts);
};
