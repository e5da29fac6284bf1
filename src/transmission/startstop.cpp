#include "app/srcdesk.h"
#include "transmission/startparams.h"
#include "ui_srcdesk.h"

#include "commands/commandset.h"
#include "link/framecodec.h"

#include <QMessageBox>
#include <QSerialPort>
#include <QTimer>

void SrcDesk::on_btn_start_clicked()
{
    if (!(gpsLocked && gpsLeapDone)) {
        const QMessageBox::StandardButton answer = QMessageBox::warning(this, tr("提示"),
            tr("发射机GPS未锁定/未闰秒，无法与接收机同步，是否继续发射？"), QMessageBox::Yes | QMessageBox::No);
        if (answer != QMessageBox::Yes)
            return;
    }
    LogToFile(tr("启动发射"));
    busy = true;
    stepCommand = 4;
    // An open exchange (the status poll) keeps its state until its answer.
    if (!responseTimer->isActive())
        CommandState = 4;
    stepTimer->start(kStepDelayMs);
}

void SrcDesk::on_btn_stop_clicked()
{
    LogToFile(tr("开始停止任务"));
    busy = true;
    if (responseTimer->isActive()) {
        // The answer still awaited would be taken for the stop's.
        stepCommand = 3;
        stepTimer->start(kStepDelayMs);
        return;
    }
    SendStop();
}

void SrcDesk::SendStop()
{
    static unsigned char out[FrameAreaSize(1)];

    CommandState = 3;
    if (!CheckLink()) {
        linkIdle = true;
        busy = false;
        return;
    }
    if (!receiveBuffer.isEmpty())
        receiveBuffer.clear();
    linkIdle = false;
    const unsigned char payload[1] = { CommandCode::Stop };
    SetPendingFrame(out, EncodeFrame(out, payload, sizeof payload));
    SendCommand();
}

void SrcDesk::DeferredStep()
{
    // Still waiting for an answer begun before the button: look again on the
    // timer's next tick rather than send into that exchange.
    if (responseTimer->isActive())
        return;
    stepTimer->stop();
    busy = true;
    CommandState = stepCommand;
    if (CommandState == 3) {
        SendStop();
        return;
    }

    if (!receiveBuffer.isEmpty())
        receiveBuffer.clear();
    if (!CheckLink()) {
        linkIdle = true;
        busy = false;
        return;
    }
    linkIdle = false;
    if (CommandState != 4) {
        SetTimeDelay();
        return;
    }

    LogToFile(tr("更新启动参数!"));
    BuildFreqTable();
    LogToFile(tr("启动参数更新完成!"));
    SetSweepMode();
}

void SrcDesk::SendStartSignal()
{
    static unsigned char out[FrameAreaSize(2)];

    busy = true;
    CommandState = 1;
    const int s = ui->cmb_signal->currentIndex();
    const unsigned char payload[2] = { CommandCode::StartSignal, signalCodes.value(s) };
    LogToView(LogUserOperation, tr("启动发射..."));
    LogToFile(tr("设置信号频率"));
    SetPendingFrame(out, EncodeFrame(out, payload, sizeof payload));
    linkIdle = false;
    SendCommand();
}
