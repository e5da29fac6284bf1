#include "app/srcdesk.h"
#include "transmission/startparams.h"
#include "ui_srcdesk.h"

#include "commands/commandset.h"
#include "table/tablemodel.h"

#include <QDebug>
#include <QMessageBox>
#include <QTimer>

namespace {

// The device counts the delay in ticks of 2^26 per thousand seconds; a
// setting beyond an int's range does not fit its four bytes.
int DelayTicks(const QString &milliseconds, bool *fits)
{
    const double ticks = milliseconds.toDouble() * 67108864 / 1000 / 1000;
    return QString::number(ticks, 'f', 0).toInt(fits, 10);
}

} // namespace

void SrcDesk::SetSweepMode()
{
    LogToFile(tr("启动扫频模式设置"));
    busy = true;
    CommandState = StateSweepMode;
    linkIdle = false;
    const int mode = ui->cmb_model_scan->currentIndex();
    const int rows = tableModel->rowCount();
    const bool single = ui->rBtn_single->isChecked();

    if (!single && rows <= 0) {
        linkIdle = true;
        LogToView(LogSystemInfo, tr("警告：启动失败！"));
        LogToView(LogSystemInfo, tr("频率表不能为空！"));
        QMessageBox::warning(this, tr("提示"), tr("频率表不能为空！"), QMessageBox::Ok);
        LogToFile(tr("当前扫频模式且频率表为空，停止特殊设置"));
        busy = false;
        EndStep(StepStart);
        return;
    }
    if (StartSettingsRefused()) {
        EndStep(StepStart);
        return;
    }

    unsigned char payload[3] = { CommandCode::SweepMode, 0x00, 0x00 };
    // A single frequency runs until stopped, which the device calls cyclic.
    if (mode == 1 || single) {
        payload[1] = 0x80;
        LogToFile(tr("设置循环扫频"));
    } else {
        LogToFile(tr("设置单次扫频"));
    }

    LogToView(LogSystemInfo, tr("设置扫频模式"));
    SendPayload(StateSweepMode, payload, sizeof payload);
}

void SrcDesk::on_btn_time_delay_clicked()
{
    if (stepCommand != NoStep || !versionCompatible)
        return;
    busy = true;
    if (ui->edt_time_delay->text().isEmpty()) {
        busy = false;
        QMessageBox::warning(this, tr("提示"), tr("同步延时时间为空！"), QMessageBox::Ok);
        return;
    }
    // Sent as 0, such a delay would be reported as set.
    bool fits = false;
    DelayTicks(ui->edt_time_delay->text(), &fits);
    if (!fits) {
        busy = false;
        QMessageBox::warning(this, tr("提示"), tr("同步延时超出范围！"), QMessageBox::Ok);
        return;
    }
    WriteLogFile(tr("设置同步延时"));
    stepCommand = StepDelay;
    PaintControls();
    if (!responseTimer->isActive())
        CommandState = StateSyncDelay;
    stepTimer->start(kStepDelayMs);
}

void SrcDesk::SetTimeDelay()
{
    LogToFile(tr("设置同步延时"));
    delaySent = ui->edt_time_delay->text();

    bool fits = false;
    delaySetting = DelayTicks(ui->edt_time_delay->text(), &fits);
    if (!fits)
        delaySetting = 0;
    qDebug() << QString::number(delaySetting);

    const quint32 bits = quint32(delaySetting);
    const unsigned char payload[5]
        = { CommandCode::SyncDelay, static_cast<unsigned char>(bits >> 24), static_cast<unsigned char>(bits >> 16),
              static_cast<unsigned char>(bits >> 8), static_cast<unsigned char>(bits) };
    LogToView(LogSystemInfo, tr("设置同步延时"));
    SendPayload(StateSyncDelay, payload, sizeof payload);
}
