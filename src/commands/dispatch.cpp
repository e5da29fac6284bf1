#include "app/srcdesk.h"
#include "commands/commandset.h"
#include "link/framecodec.h"

#include <QTimer>

#include <exception>

void SrcDesk::TestConnection()
{
    static unsigned char out[FrameAreaSize(5)];
    const unsigned char payload[5] = { CommandCode::ConnectionTest, 0x00, 0x02, 0x55, 0xAA };

    LogToView(LogSystemInfo, tr("连接测试中..."));
    LogToFile(tr("启动连接测试"));
    CommandState = 0;
    linkIdle = false;
    SetPendingFrame(out, EncodeFrame(out, payload, sizeof payload));
    SendCommand();
}

void SrcDesk::DispatchResponse()
{
    const auto at = [this](int position) { return static_cast<quint8>(receiveBuffer.at(position)); };

    switch (CommandState) {
    case 0:
        ShowDeviceStatus(tr("已连接"), 1);
        EnableStartStop(true, false);
        LogToView(LogSystemInfo, tr("端口连接成功."));
        LogToFile(tr("端口连接测试成功"));
        StopResponseTimer();
        QueryVersion();
        break;

    case 1: // start signal
    case 2: // start parameters
    case 3: // stop
    case 4: // sweep mode
    case 6: // synchronisation delay
        // Judged by the start, stop and delay commands, which are not built
        // yet; until then these states are never set and the answer is ignored.
        break;

    case 5:
        ShowDeviceStatus(tr("已连接"), 1);
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

    case 8:
        if (at(3) == ResponseCode(CommandCode::HardwareVersion)) {
            LogToFile(tr("版本号获取成功，开始解析"));
            ApplyVersion();
            LogToFile(tr("版本号解析成功"));
        } else {
            ShowVersion(tr("获取失败"), 2);
            LogToFile(tr("版本号获取失败"));
            StopResponseTimer();
            busy = false;
            pollTimer->start();
        }
        break;

    case 9:
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
