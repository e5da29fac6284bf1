#include "link/transaction.h"
#include "app/srcdesk.h"

#include <QSerialPort>
#include <QTimer>

#include <cstring>
#include <exception>

int MinResponseLength(int commandState)
{
    switch (commandState) {
    case 0:
        return 9;
    case 5:
        return 10;
    case 8:
        return 9;
    case 9:
        return 11; // examined before its checksum arrives
    default:
        return 6;
    }
}

void SrcDesk::SetPendingFrame(const unsigned char *frame, int length)
{
    // A frame left behind by a failed write is dropped, not leaked.
    delete[] pendingFrame;
    pendingFrame = new unsigned char[length];
    std::memcpy(pendingFrame, frame, static_cast<size_t>(length));
    pendingLength = length;
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

void SrcDesk::serialTimeOut()
{
    const int ticks = responseTicks;
    if (ticks <= kLastWaitingTick) {
        if (receiveBuffer.size() < MinResponseLength(CommandState)) {
            busy = true;
            responseTicks = ticks + 1;
            return;
        }
        if (static_cast<quint8>(receiveBuffer.at(0)) == 0x7E) {
            DispatchResponse();
            ++responseTicks;
            return;
        }

        ClosePort();
        StopResponseTimer();
        // Whatever was sent has ended: a garbled answer must not leave the
        // poll suspended for good.
        busy = false;
        if (CommandState != 5) {
            LogToView(LogSystemInfo, tr("警告：异常！"));
            if (CommandState == 8) {
                // As after a refused or missing version: the poll still starts.
                ShowVersion(tr("获取失败"), 2);
                pollTimer->start();
            } else if (CommandState == 0) {
                ++portIndex;
                if (portIndex < foundPorts.size()) {
                    OpenPort();
                } else {
                    ShowLinkLoss();
                    EnableStartStop(false, false);
                }
            }
        }
        LogToFile(tr("命令返回异常!"));
        ++responseTicks;
        return;
    }

    LogToFile(tr("命令超时"));
    StopResponseTimer();
    switch (CommandState) {
    case 0:
        ++portIndex;
        ClosePort();
        if (portIndex < foundPorts.size()) {
            OpenPort();
        } else {
            ShowLinkLoss();
            EnableStartStop(false, false);
        }
        break;
    case 8:
        // The device may have vanished with the port still open for Qt.
        DropPort();
        ShowVersion(tr("获取失败"), 2);
        busy = false;
        pollTimer->start();
        break;
    case 9:
        // A silent device must not stay shown as connected, and the next try
        // goes through the link check, which reopens the port.
        DropPort();
        ShowLinkLoss();
        busy = false;
        break;
    default:
        DropPort();
        ShowLinkLoss();
        if (CommandState != 5)
            EnableStartStop(false, false);
        busy = false;
        break;
    }
    ++responseTicks;
}
