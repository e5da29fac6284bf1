#include "app/srcdesk.h"
#include "ui_srcdesk.h"

#include "table/tablemodel.h"

#include <QStringList>

#include <algorithm>

namespace {

// What the transmitter is sent in single-frequency output: one entry that
// never ends, at the standard sampling rate.
const int32_t kSingleSampleRate = 150;
const int32_t kSinglePeriods = 2147483647;
const float kSingleSendTime = 2147483648.0f;

} // namespace

void SrcDesk::onModelChanged(bool)
{
    ApplyOutputMode(ui->rBtn_single->isChecked());
}

void SrcDesk::ApplyOutputMode(bool single)
{
    LogToFile(single ? tr("选择单频输出") : tr("选择扫频输出"));
    if (single) {
        tableModel->clearRows();
        // The rows are gone; so is their total.
        ui->label_total_sec->setText(tableModel->totalText);
    }
    ui->tableView->setStyleSheet(
        single ? "background-color: rgb(236, 233, 216);" : "background-color: rgb(255, 255, 255);");
    ui->cmb_freq->setVisible(single);
    ui->label_freq->setVisible(single);
    ui->label_model_scan->setVisible(!single);
    ui->cmb_model_scan->setVisible(!single);

    QWidget *const buttons[]
        = { ui->btn_import, ui->btn_out, ui->btn_insert, ui->btn_add, ui->btn_delete, ui->btn_clear };
    for (QWidget *button : buttons)
        button->setStyleSheet(single ? "color: rgb(208, 204, 188);" : "color: rgb(0, 0, 0);");
    for (QWidget *button : buttons)
        button->setEnabled(!single);
}

float SrcDesk::SelectedFrequency()
{
    const QString text = ui->cmb_freq->currentText();
    if (!text.contains("/"))
        return text.toFloat();
    const QStringList parts = text.split("/", Qt::KeepEmptyParts);
    return float(parts.at(0).toFloat() / parts.at(1).toFloat());
}

void SrcDesk::EntryFromRow(freq_item &entry, int row)
{
    entry.freq = tableModel->frequency(row);
    entry.send_time = tableModel->sendTime(row);
    // Formed in double: a float product could round across the half.
    entry.period_num = csamt_trunc_int32(double(entry.send_time) * double(entry.freq) + 0.5);
    entry.sample_rate = tableModel->sampleRate(row);
}

void SrcDesk::TransferEntry(freq_item &entry, int row, bool toRecord)
{
    if (!toRecord) {
        tableModel->insertEntryRow(row, entry);
        return;
    }
    if (ui->rBtn_single->isChecked()) {
        entry.freq = SelectedFrequency();
        entry.period_num = kSinglePeriods;
        entry.send_time = kSingleSendTime;
        entry.sample_rate = kSingleSampleRate;
        return;
    }
    EntryFromRow(entry, row);
}

void SrcDesk::BuildFreqTable()
{
    freqTable.freq_num = 0;
    int n = 1;
    if (!ui->rBtn_single->isChecked()) {
        n = tableModel->rowCount();
        if (n < 1)
            return;
    }
    // The buttons keep the table within a file's limit; this keeps the record
    // safe should rows arrive some other way.
    n = std::min(n, TableModel::MaxRows);
    for (int i = 0; i < n; ++i) {
        TransferEntry(freqTable.items[i], i, true);
        ++freqTable.freq_num;
    }
}

void SrcDesk::SyncFreqTable(bool toRecord)
{
    if (toRecord) {
        BuildFreqTable();
        return;
    }
    tableModel->clearRows();
    const int count = std::min<int>(freqTable.freq_num, CSAMT_MAX_FREQ_NUM);
    for (int i = 0; i < count; ++i)
        TransferEntry(freqTable.items[i], i, false);
}
