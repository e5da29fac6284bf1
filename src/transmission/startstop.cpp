#include "app/srcdesk.h"
#include "transmission/startparams.h"
#include "ui_srcdesk.h"

#include "commands/commandset.h"

#include <QMessageBox>
#include <QSerialPort>
#include <QTimer>

void SrcDesk::on_btn_start_clicked()
{
    // Greyed while a step is under way or the firmware is refused; a click
    // that still arrives is not a second start.
    if (stepCommand != NoStep || !versionCompatible)
        return;
    // Enter must not transmit unsynchronised, nor at a moment already gone.
    if (!(gpsLocked && gpsLeapDone)) {
        const QMessageBox::StandardButton answer
            = QMessageBox::warning(this, tr("提示"), tr("发射机GPS未锁定/未闰秒，无法与接收机同步，是否继续发射？"),
                QMessageBox::Yes | QMessageBox::No, QMessageBox::No);
        if (answer != QMessageBox::Yes)
            return;
    }
    if (SendTimeTooSoon()) {
        const QMessageBox::StandardButton answer = QMessageBox::warning(this, tr("提示"),
            tr("发送时间已过或距现在不足10秒，是否立即启动？"), QMessageBox::Yes | QMessageBox::No, QMessageBox::No);
        if (answer != QMessageBox::Yes)
            return;
    }
    // The poll ran while a question was open: what it painted since stands.
    if (stepCommand != NoStep || !versionCompatible || !ui->btn_start->isEnabled()) {
        ReportStep(tr("启动已取消."));
        return;
    }
    WriteLogFile(tr("启动发射"));
    busy = true;
    stepCommand = StepStart;
    PaintControls();
    // An open exchange (the status poll) keeps its state until its answer.
    if (!responseTimer->isActive())
        CommandState = StateSweepMode;
    stepTimer->start(kStepDelayMs);
}

// A typed send time less than 10 s ahead of the transmitter's clock; an
// empty field means now, which the operator chose.
bool SrcDesk::SendTimeTooSoon()
{
    TimeFields at;
    if (!timeUtil.ParseTime(ui->edt_send_time->text(), &at))
        return false;
    return double(timeUtil.ToTimeT(at)) < DeviceClock() + 10;
}

bool SrcDesk::StartMayBeHeld() const
{
    return versionCompatible && (transmitting || deviceWorking || armUnknown || stepCommand == StepStart);
}

void SrcDesk::on_btn_stop_clicked()
{
    if (!versionCompatible)
        return;
    WriteLogFile(tr("开始停止任务"));
    busy = true;
    // The last button wins: a start or delay not sent yet is called off here,
    // a start whose chain has begun at its next answer.
    if (stepTimer->isActive()) {
        stepTimer->stop();
        if (stepCommand == StepStart)
            ReportStep(tr("启动已取消."));
        else if (stepCommand == StepDelay)
            ReportStep(tr("同步延时已取消."));
    }
    stepCommand = StepStop;
    PaintControls();
    if (responseTimer->isActive()) {
        // The answer still awaited would be taken for the stop's.
        stepTimer->start(kStepDelayMs);
        return;
    }
    SendStop();
}

void SrcDesk::SendStop()
{
    CommandState = StateStop;
    if (!CheckLink()) {
        GiveStepBack(StepStop);
        return;
    }
    stopOwed = false;
    if (!receiveBuffer.isEmpty())
        receiveBuffer.clear();
    stopSent = true;
    const unsigned char payload[1] = { CommandCode::Stop };
    SendPayload(StateStop, payload, sizeof payload);
}

void SrcDesk::DeferredStep()
{
    // Still waiting for an answer begun before the button: look again on the
    // timer's next tick rather than send into that exchange.
    if (responseTimer->isActive())
        return;
    stepTimer->stop();
    if (stepCommand == NoStep)
        return;
    busy = true;
    CommandState = stepCommand;
    // The exchange it waited for may have been a scan's: one that failed, or
    // found firmware that is refused, is sent nothing, not even the stop.
    const bool unitReady = unitFound && versionCompatible;
    if (CommandState == StateStop && !unitReady) {
        busy = false;
        ReportStep(tr("任务停止失败!"));
        EndStep(StepStop);
        return;
    }
    if (CommandState == StateStop) {
        SendStop();
        return;
    }

    if (!receiveBuffer.isEmpty())
        receiveBuffer.clear();
    if (!unitReady || !CheckLink()) {
        GiveStepBack(stepCommand);
        return;
    }
    linkIdle = false;
    if (CommandState != StateSweepMode) {
        SetTimeDelay();
        return;
    }

    // A plan shown from here on is this start's, once accepted.
    runPlan = SweepPlan();
    // The one snapshot of the table the start sends; the table is locked
    // until the chain ends.
    LogToFile(tr("更新启动参数!"));
    BuildFreqTable();
    LogToFile(tr("启动参数更新完成!"));
    SetSweepMode();
}

// The link is not free for the step: nothing goes out, and the window says
// how the step ended.
void SrcDesk::GiveStepBack(int command)
{
    linkIdle = true;
    busy = false;
    if (command == StepStart) {
        StartFailed();
        return;
    }
    if (command == StepStop && stopOwed)
        ShowStateUnknown();
    EndStep(command);
}

void SrcDesk::EndStep(int command)
{
    // A second press of the same button still waits its turn.
    if (stepCommand != command || stepTimer->isActive())
        return;
    stepCommand = NoStep;
    PaintControls();
    if (command != StepStop || !closeAfterStop)
        return;
    // Closed only once the device said it stopped; otherwise the operator
    // still has a window to see and stop it from.
    if (StartMayBeHeld()) {
        closeAfterStop = false;
        ReportStep(tr("停止未成功，窗口未关闭。"));
        return;
    }
    QTimer::singleShot(0, this, &QWidget::close);
}

// A line of how an operator's step ended, for the view and the day's record.
void SrcDesk::ReportStep(const QString &text)
{
    LogToView(LogSystemInfo, text);
    WriteLogFile(text);
}

// Armed or not, the window cannot tell: it says so rather than show idle.
void SrcDesk::ShowStateUnknown()
{
    ReportStep(tr("发射机状态未知！"));
    ShowWorkStatus(tr("未知"), ColourRed);
}

void SrcDesk::StartFailed()
{
    LogToView(LogSystemInfo, tr("启动失败！"));
    EndStep(StepStart);
}

void SrcDesk::StartOutcomeUnknown()
{
    // The device may hold the parameters and transmit at the send time while
    // the window shows it idle: stop it, so both agree it is not armed.
    transmitting = false;
    armUnknown = true;
    stopOwed = true;
    ReportStep(tr("启动结果未知，发送停止命令."));
    stepTimer->stop();
    stepCommand = StepStop;
    busy = true;
    SendStop();
}

void SrcDesk::StopUnconfirmed()
{
    // A start still waiting for its moment may or may not be called off.
    if (transmitting) {
        transmitting = false;
        armUnknown = true;
    }
    ReportStep(tr("停止未确认！"));
    if (armUnknown)
        ShowStateUnknown();
    EnableStartStop(false, true);
    EndStep(StepStop);
}

void SrcDesk::StepExchangeLost()
{
    switch (CommandState) {
    case StateStartSignal:
    case StateSweepMode:
        StartFailed();
        break;
    case StateStartParameters:
        StartOutcomeUnknown();
        break;
    case StateStop:
        StopUnconfirmed();
        break;
    case StateSyncDelay:
        EndStep(StepDelay);
        break;
    default:
        break;
    }
}

void SrcDesk::SendStartSignal()
{
    busy = true;
    const int s = ui->cmb_signal->currentIndex();
    const unsigned char payload[2] = { CommandCode::StartSignal, signalCodes.value(s) };
    LogToView(LogUserOperation, tr("启动发射..."));
    LogToFile(tr("设置信号频率"));
    SendPayload(StateStartSignal, payload, sizeof payload);
}
