#include "app/srcdesk.h"
#include "ui_srcdesk.h"

#include "platform/appfolder.h"
#include "platform/stagedfile.h"
#include "platform/readablefile.h"
#include "table/tablemodel.h"

#include <QAbstractButton>
#include <QCloseEvent>
#include <QDate>
#include <QMessageBox>

#include <cmath>
#include <cstring>
#include <memory>

namespace {

const char kSettingsName[] = "param.config";
const int kSettingsFileSize = 280;

// What a fresh installation starts with, and what a short file leaves.
SettingsRecord defaultSettings()
{
    SettingsRecord rec {};
    rec.delayMs = 0;
    rec.singleMode = 1;
    rec.signalIndex = 3;
    rec.freqIndex = 0;
    rec.sweepIndex = 0;
    return rec;
}

// Indices outside the combo boxes would reach the signal table unchecked,
// and the delay field never holds a negative number.
bool settingsInRange(const SettingsRecord &rec)
{
    return rec.signalIndex >= 0 && rec.signalIndex <= 13 && rec.freqIndex >= 0 && rec.freqIndex <= 26
        && rec.sweepIndex >= 0 && rec.sweepIndex <= 1 && rec.delayMs >= 0;
}

// The field takes one decimal ("12.5"); the file keeps whole milliseconds.
int32_t delayFromText(const QString &text)
{
    bool ok = false;
    const double ms = text.toDouble(&ok);
    if (!ok || !(ms > -2147483648.5 && ms < 2147483647.5))
        return 0;
    return int32_t(std::lround(ms));
}

// The remembered table is a name of ours inside the application folder; any
// other name (a path, "..") is not followed, like a missing file.
bool isPlainFileName(const QString &name)
{
    return !name.isEmpty() && name != "." && name != ".." && !name.contains('/') && !name.contains('\\')
        && !name.contains(':');
}

} // namespace

void SrcDesk::closeEvent(QCloseEvent *event)
{
    if (closeAfterStop && stepCommand != NoStep) {
        // The stop asked for by the close question is still on its way.
        event->ignore();
        return;
    }
    if (!closeAfterStop && StartMayBeHeld()) {
        QMessageBox box(QMessageBox::Warning, tr("退出"), tr("发射机正在发射或等待发送，关闭窗口不会使其停止。"),
            QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel, this);
        box.button(QMessageBox::Yes)->setText(tr("停止并关闭"));
        box.button(QMessageBox::No)->setText(tr("关闭，保持发射"));
        box.setDefaultButton(QMessageBox::Cancel);
        const int answer = box.exec();
        if (answer == QMessageBox::Yes) {
            closeAfterStop = true;
            event->ignore();
            on_btn_stop_clicked();
            return;
        }
        if (answer != QMessageBox::No) {
            event->ignore();
            return;
        }
        WriteLogFile(tr("关闭窗口，发射机继续发射"));
    }
    closeAfterStop = false;
    // A refused firmware ends the run without touching the saved settings.
    if (versionCompatible) {
        const QMessageBox::StandardButton answer
            = QMessageBox::question(this, tr("退出"), tr("是否保存参数?"), QMessageBox::Yes | QMessageBox::No);
        SaveSettings(answer == QMessageBox::Yes);
    }
    event->accept();
}

void SrcDesk::SaveSettings(bool save)
{
    if (!save) {
        LogToFile(tr("退出应用"));
        return;
    }

    settingsRecord.singleMode = ui->rBtn_single->isChecked() ? 1 : 0;
    std::memset(settingsRecord.tableFile, 0, sizeof settingsRecord.tableFile);

    // A table that cannot be written costs only the table: the settings are
    // saved all the same, naming no table.
    bool tableSaved = true;
    std::unique_ptr<StagedFile> table;
    if (!settingsRecord.singleMode && tableModel->rowCount() > 0) {
        const QString name = tr("%1.FTB2").arg(TableDate().toString("yyyy-MM-dd"));
        table = std::make_unique<StagedFile>(AppFolder() + "/" + name);
        BuildFreqTable();
        tableSaved = table->write(
            [this](FILE *fp) { return freq_table_write(fp, &freqTable) == freq_table_file_size(&freqTable); });
        if (tableSaved) {
            const QByteArray utf8 = name.toUtf8();
            std::memcpy(settingsRecord.tableFile, utf8.constData(), size_t(qMin(utf8.size(), MAX_FILE_NAME_LEN - 1)));
        }
    }

    settingsRecord.freqIndex = ui->cmb_freq->currentIndex();
    settingsRecord.sweepIndex = ui->cmb_model_scan->currentIndex();
    settingsRecord.signalIndex = ui->cmb_signal->currentIndex();
    settingsRecord.delayMs = delayFromText(ui->edt_time_delay->text());

    // Both files are written in full before either replaces its old copy, and
    // param.config names the table only once the table is in place.
    const auto stageSettings = [this] {
        auto settings = std::make_unique<StagedFile>(AppFolder() + "/" + kSettingsName);
        const bool written
            = settings->write([this](FILE *fp) { return settings_write(fp, &settingsRecord) == kSettingsFileSize; });
        return written ? std::move(settings) : nullptr;
    };
    std::unique_ptr<StagedFile> settings = stageSettings();
    if (settings && table && tableSaved && !table->commit()) {
        tableSaved = false;
        std::memset(settingsRecord.tableFile, 0, sizeof settingsRecord.tableFile);
        settings = stageSettings();
    }
    if (!tableSaved)
        LogToFile(tr("频率表未保存！"));

    if (settings && settings->commit()) {
        LogToFile(tr("退出应用并保存配置"));
        if (!tableSaved)
            QMessageBox::warning(this, tr("提示"), tr("频率表未保存！"), QMessageBox::Ok);
        return;
    }
    // The window closes all the same; the previous files are still there.
    LogToFile(tr("参数保存失败！"));
    QMessageBox::warning(this, tr("提示"), tr("参数保存失败！"), QMessageBox::Ok);
}

QDate SrcDesk::TableDate() const
{
    return QDate::currentDate();
}

void SrcDesk::LoadSettings()
{
    // A short file leaves the fields it does not reach at their defaults.
    SettingsRecord rec = defaultSettings();
    int result = -1;
    if (FILE *fp = OpenRegularFile(AppFolder() + "/" + kSettingsName)) {
        result = settings_read(fp, &rec);
        std::fclose(fp);
    }
    if (result > 0 && !settingsInRange(rec)) {
        LogToFile(tr("参数文件无效，使用默认参数"));
        result = -1;
    }
    if (result <= 0) {
        settingsRecord = defaultSettings();
        ApplyOutputMode(true);
        return;
    }

    settingsRecord = rec;
    const bool single = rec.singleMode != 0;
    if (single)
        ui->rBtn_single->setChecked(true);
    else
        ui->rBtn_continue->setChecked(true);
    ui->edt_time_delay->setText(QString::number(rec.delayMs));
    ui->cmb_freq->setCurrentIndex(rec.freqIndex);
    ui->cmb_model_scan->setCurrentIndex(rec.sweepIndex);
    ui->cmb_signal->setCurrentIndex(rec.signalIndex);
    ApplyOutputMode(single);

    if (single || rec.tableFile[0] == '\0')
        return;
    // A missing or refused table starts empty: the record holds nothing read.
    bool loaded = false;
    const QString tableName = QString::fromUtf8(rec.tableFile);
    if (FILE *fp = isPlainFileName(tableName) ? OpenRegularFile(AppFolder() + "/" + tableName) : nullptr) {
        loaded = freq_table_read(fp, &freqTable) == 1;
        std::fclose(fp);
    }
    if (!loaded)
        freqTable.freq_num = 0;
    freqData = &freqTable.freq_num;
    SyncFreqTable(false);
    ui->label_total_sec->setText(tableModel->totalText);
}
