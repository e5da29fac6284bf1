#include "link/transaction.h"
#include "app/srcdesk.h"
#include "commands/commandset.h"
#include "link/framecodec.h"

#include <QSerialPort>
#include <QTimer>

#include <exception>

int MinResponseLength(int commandState)
{
    switch (commandState) {
    case StateConnectionTest:
        return 9;
    case StateDeviceStatus:
        return 10;
    case StateVersion:
        return 9;
    case StateGpsTime:
        return 11; // examined before its checksum arrives
    default:
        return 6;
    }
}

// Every command leaves the same way: its exchange marked, its payload framed
// once into the pending frame, written.
void SrcDesk::SendPayload(int state, const unsigned char *payload, int length)
{
    CommandState = state;
    linkIdle = false;
    // A frame left behind by a failed write is dropped, not leaked.
    delete[] pendingFrame;
    pendingFrame = new unsigned char[size_t(FrameAreaSize(length))];
    pendingLength = EncodeFrame(pendingFrame, payload, length);
    SendCommand();
}

void SrcDesk::SendCommand()
{
    try {
        receiveBuffer.clear();
        responseTicks = 0;
        // A closed or dead port sends nothing; the time-out ends the exchange.
        serialPort->write(reinterpret_cast<const char *>(pendingFrame), pendingLength);
        serialPort->flush();
        delete[] pendingFrame;
        pendingFrame = nullptr;
        responseTimer->start(kResponseTickMs);
    } catch (const std::exception &) {
        LogToFile(tr("命令发送异常！"));
    }
}

void SrcDesk::ReadData()
{
    receiveBuffer.append(serialPort->readAll());
}

void SrcDesk::StopResponseTimer()
{
    responseTicks = 0;
    try {
        responseTimer->stop();
        receiveBuffer.clear();
    } catch (const std::exception &) {
        LogToFile(tr("命令超时定时器停止异常！"));
        return;
    }
    linkIdle = true;
}

namespace {

// The response code each exchange waits for; 0 where any framed answer will do.
quint8 AwaitedCode(int commandState)
{
    switch (commandState) {
    case StateStartSignal:
        return ResponseCode(CommandCode::StartSignal);
    case StateStartParameters:
        return ResponseCode(CommandCode::StartParameters);
    case StateStop:
        return ResponseCode(CommandCode::Stop);
    case StateSweepMode:
        return ResponseCode(CommandCode::SweepMode);
    case StateDeviceStatus:
        return ResponseCode(CommandCode::DeviceStatus);
    case StateSyncDelay:
        return ResponseCode(CommandCode::SyncDelay);
    case StateVersion:
        return ResponseCode(CommandCode::HardwareVersion);
    case StateGpsTime:
        return ResponseCode(CommandCode::GpsTime);
    default:
        return 0;
    }
}

bool IsResponseCode(quint8 code)
{
    for (int state = 1; state <= 9; ++state) {
        if (code != 0 && code == AwaitedCode(state))
            return true;
    }
    return false;
}

} // namespace

bool SrcDesk::SkipLateAnswer()
{
    // An answer to another of our commands came after its time-out: it is not
    // this exchange's answer, whatever its bytes say. It is dropped once the
    // next frame has begun; until then there is nothing to examine.
    const quint8 awaited = AwaitedCode(CommandState);
    while (awaited != 0 && receiveBuffer.size() > 3 && static_cast<quint8>(receiveBuffer.at(0)) == 0x7E) {
        const quint8 code = static_cast<quint8>(receiveBuffer.at(3));
        if (code == awaited || !IsResponseCode(code))
            return false;
        const int next = receiveBuffer.indexOf(char(0x7E), 1);
        if (next < 0)
            return true;
        LogToFile(tr("丢弃迟到的应答"));
        receiveBuffer.remove(0, next);
    }
    return false;
}

void SrcDesk::serialTimeOut()
{
    const int ticks = responseTicks;
    if (ticks <= kLastWaitingTick) {
        if (SkipLateAnswer() || receiveBuffer.size() < MinResponseLength(CommandState)) {
            busy = true;
            responseTicks = ticks + 1;
            return;
        }
        // Only a status answer paints the status, and only the start's or the
        // stop's own answer says what the device did with it: any other code
        // there is garbled, not a refusal.
        const bool codeMatters
            = CommandState == StateDeviceStatus || CommandState == StateStartParameters || CommandState == StateStop;
        const bool framed = static_cast<quint8>(receiveBuffer.at(0)) == 0x7E
            && (!codeMatters || static_cast<quint8>(receiveBuffer.at(3)) == AwaitedCode(CommandState));
        if (framed) {
            DispatchResponse();
            ++responseTicks;
            return;
        }

        ClosePort();
        StopResponseTimer();
        // Whatever was sent has ended: a garbled answer must not leave the
        // poll suspended for good.
        busy = false;
        if (CommandState == StateDeviceStatus) {
            // A unit that answers only garbage is as good as gone, once that
            // has lasted as long as the time-out.
            if (++malformedPolls == 3)
                ShowLinkLoss();
        } else {
            LogToView(LogSystemInfo, tr("警告：异常！"));
            if (CommandState == StateVersion) {
                VersionNotRead();
            } else if (CommandState == StateConnectionTest) {
                LogToView(LogSystemInfo, tr("%1应答无法识别").arg(serialPort->portName()));
                TryNextPort();
            }
        }
        LogToFile(tr("命令返回异常!"));
        StepExchangeLost();
        ++responseTicks;
        return;
    }

    LogToFile(tr("命令超时"));
    StopResponseTimer();
    switch (CommandState) {
    case StateConnectionTest:
        LogToView(LogSystemInfo, tr("%1无应答").arg(serialPort->portName()));
        ClosePort();
        TryNextPort();
        break;
    case StateVersion:
        // The device may have vanished with the port still open for Qt.
        DropPort();
        VersionNotRead();
        break;
    case StateGpsTime:
        // The next status poll tells whether the device is still there; the
        // link check reopens the port for it.
        DropPort();
        busy = false;
        break;
    default:
        DropPort();
        ShowLinkLoss();
        if (CommandState != StateDeviceStatus)
            EnableStartStop(false, false);
        busy = false;
        StepExchangeLost();
        break;
    }
    ++responseTicks;
}
