#include "app/srcdesk.h"
#include "commands/commandset.h"

#include <QTimer>

#include <exception>

void SrcDesk::TestConnection()
{
    const unsigned char payload[5] = { CommandCode::ConnectionTest, 0x00, 0x02, 0x55, 0xAA };

    LogToView(LogSystemInfo, tr("连接测试中..."));
    LogToFile(tr("启动连接测试"));
    SendPayload(StateConnectionTest, payload, sizeof payload);
}

void SrcDesk::DispatchResponse()
{
    const auto at = [this](int position) { return static_cast<quint8>(receiveBuffer.at(position)); };
    // Commands with a status byte: their own response code, and 1 for yes.
    const auto accepted = [&at](quint8 command) { return at(3) == ResponseCode(command) && at(4) == 1; };

    switch (CommandState) {
    case StateConnectionTest:
        ShowDeviceStatus(tr("已连接"), ColourGreen);
        EnableStartStop(true, false);
        LogToView(LogSystemInfo, tr("端口连接成功."));
        LogToFile(tr("端口连接测试成功"));
        StopResponseTimer();
        QueryVersion();
        break;

    case StateStartSignal:
        if (accepted(CommandCode::StartSignal)) {
            LogToFile(tr("启动信号设置成功"));
            StopResponseTimer();
            if (stepCommand != StepStart) {
                // Stop was pressed meanwhile; the deferred step sends it.
                ReportStep(tr("启动已取消."));
                break;
            }
            SendStartParameters();
        } else {
            LogToFile(tr("启动信号设置失败"));
            StopResponseTimer();
            LogToView(LogSystemInfo, tr("启动失败！"));
            // The chain ends here; the status poll takes over again.
            busy = false;
            EndStep(StepStart);
        }
        break;

    case StateStartParameters:
        if (accepted(CommandCode::StartParameters)) {
            transmitting = true;
            armUnknown = false;
            stopOwed = false;
            runPlan = sentPlan;
            stopSent = false;
            endedText.clear();
            ShowPendingStart();
            LogToView(LogSystemInfo, tr("启动成功."));
            LogToFile(tr("启动成功"));
        } else {
            LogToView(LogSystemInfo, tr("启动失败！"));
            LogToFile(tr("启动参数设置失败"));
        }
        StopResponseTimer();
        ClosePort();
        busy = false;
        EndStep(StepStart);
        break;

    case StateStop:
        if (accepted(CommandCode::Stop)) {
            // A start still waiting for its moment is called off too; left
            // set, it would keep the status poll from showing the idle state.
            transmitting = false;
            armUnknown = false;
            runPlan = SweepPlan();
            deviceWorking = false;
            endedText.clear();
            EnableStartStop(true, false);
            EnableSettings(true);
            ShowWorkStatus(tr("空闲"), ColourBlack);
            LogToView(LogSystemInfo, tr("任务已停止."));
            LogToFile(tr("停止任务成功"));
            serialPort->close();
        } else {
            LogToView(LogSystemInfo, tr("任务停止失败!"));
            LogToFile(tr("停止任务失败"));
            if (armUnknown)
                ShowStateUnknown();
        }
        StopResponseTimer();
        busy = false;
        EndStep(StepStop);
        break;

    case StateSweepMode:
        if (accepted(CommandCode::SweepMode)) {
            LogToView(LogSystemInfo, tr("扫频模式设置成功."));
            LogToFile(tr("扫频模式设置成功"));
            StopResponseTimer();
            if (stepCommand != StepStart) {
                ReportStep(tr("启动已取消."));
                break;
            }
            SendStartSignal();
        } else {
            LogToFile(tr("扫频模式设置失败"));
            StopResponseTimer();
            LogToView(LogSystemInfo, tr("扫频模式设置失败！"));
            busy = false;
            EndStep(StepStart);
        }
        break;

    case StateDeviceStatus:
        malformedPolls = 0;
        ShowDeviceStatus(tr("已连接"), ColourGreen);
        try {
            ApplyDeviceStatus();
        } catch (const std::exception &) {
            // Left open on purpose: the next tick dispatches the same answer
            // again, until the time-out ends the exchange.
            LogToFile(tr("设备状态设置异常！"));
            return;
        }
        StopResponseTimer();
        if (gpsLocked && gpsLeapDone) {
            QueryGpsTime();
            return;
        }
        ClosePort();
        busy = false;
        break;

    case StateSyncDelay:
        if (accepted(CommandCode::SyncDelay)) {
            LogToView(LogSystemInfo, tr("同步延时设置成功."));
            LogToFile(tr("同步延时设置成功"));
            // The value the device holds now, which a restored field may not show.
            delayAcked = delaySent;
            ReportStep(tr("同步延时已设置为%1 ms").arg(delayAcked));
            ShowDelay();
        } else {
            LogToView(LogSystemInfo, tr("同步延时设置失败！"));
            LogToFile(tr("同步延时设置失败"));
        }
        StopResponseTimer();
        ClosePort();
        busy = false;
        EndStep(StepDelay);
        break;

    case StateVersion:
        if (at(3) == ResponseCode(CommandCode::HardwareVersion)) {
            LogToFile(tr("版本号获取成功，开始解析"));
            ApplyVersion();
            LogToFile(tr("版本号解析成功"));
        } else {
            LogToFile(tr("版本号获取失败"));
            StopResponseTimer();
            VersionNotRead();
        }
        break;

    case StateGpsTime:
        if (at(3) == ResponseCode(CommandCode::GpsTime)) {
            LogToFile(tr("GPS时间获取成功,开始解析"));
            ShowGpsTime();
            LogToFile(tr("GPS时间解析成功"));
        } else {
            LogToFile(tr("GPS时间获取失败"));
        }
        StopResponseTimer();
        busy = false;
        break;

    default:
        // Nothing awaits this answer; the exchange ends by its time-out.
        break;
    }
}
