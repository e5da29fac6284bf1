#include "link/portmanagement.h"
#include "app/srcdesk.h"

#include <QGuiApplication>
#include <QSerialPort>
#include <QSerialPortInfo>
#include <QTimer>

void SetWaitCursor()
{
    QGuiApplication::setOverrideCursor(Qt::WaitCursor);
}

void RestoreCursor()
{
    QGuiApplication::restoreOverrideCursor();
}

void SrcDesk::SetPortSource(std::function<QStringList()> source)
{
    portSource = std::move(source);
}

void SrcDesk::on_pushButton_clicked()
{
    LogToFile(tr("开始自动扫描连接"));
    ScanPorts();
}

void SrcDesk::ScanPorts()
{
    SetWaitCursor();
    LogToView(LogUserOperation, tr("扫描端口..."));
    LogToFile(tr("扫描端口..."));
    ClosePort();
    // An exchange still open was with the port just closed: its answer, even
    // one already read, must not speak for a scan that then finds no unit.
    StopResponseTimer();
    busy = false;
    // Until a unit answers this scan, no poll and no step goes to any port.
    pollTimer->stop();
    unitFound = false;
    malformedPolls = 0;
    ShowDeviceStatus(tr("连接中..."), ColourBlack);

    foundPorts.clear();
    if (portSource) {
        foundPorts = portSource();
    } else {
        const QList<QSerialPortInfo> ports = QSerialPortInfo::availablePorts();
        for (const QSerialPortInfo &info : ports)
            foundPorts.append(info.systemLocation());
    }
    LogToView(LogSystemInfo, tr("发现端口数：%1").arg(foundPorts.size()));

    if (!foundPorts.isEmpty()) {
        portIndex = 0;
        OpenPort();
    } else {
        LogToView(LogSystemInfo, tr("警告：未连接！"));
        ShowLinkLoss();
    }
    RestoreCursor();
}

void SrcDesk::OpenPort()
{
    while (true) {
        if (portIndex >= foundPorts.size()) {
            ShowDeviceStatus(tr("连接失败"), ColourRed);
            EnableStartStop(false, false);
            LogToView(LogSystemInfo, tr("警告：未连接！"));
            LogToFile(tr("非法设备"));
            return;
        }

        // A system location keeps portName() as the operator knows it:
        // /dev/ttyUSB0 reads "ttyUSB0", \\.\COM3 reads "COM3".
        serialPort->setPortName(foundPorts.at(portIndex));
        ConfigurePort();
        LogToView(LogSystemInfo, tr("打开%1").arg(serialPort->portName()));
        LogToFile(tr("打开端口"));

        if (OpenSerialPort()) {
            serialPort->setDataTerminalReady(true);
            TestConnection();
            connect(serialPort, &QSerialPort::readyRead, this, &SrcDesk::ReadData, Qt::UniqueConnection);
            connect(serialPort, &QSerialPort::errorOccurred, this, &SrcDesk::OnPortError, Qt::UniqueConnection);
            return;
        }

        LogToView(LogSystemInfo, tr("打开%1失败").arg(serialPort->portName()));
        LogToFile(tr("端口打开失败"));
        ++portIndex;
    }
}

// No unit answered on this port: the next one the scan found, else the loss.
void SrcDesk::TryNextPort()
{
    ++portIndex;
    if (portIndex < foundPorts.size()) {
        OpenPort();
        return;
    }
    ShowLinkLoss();
    EnableStartStop(false, false);
}

void SrcDesk::ConfigurePort()
{
    serialPort->setBaudRate(QSerialPort::Baud115200, QSerialPort::AllDirections);
    serialPort->setDataBits(QSerialPort::Data8);
    serialPort->setParity(QSerialPort::NoParity);
    serialPort->setStopBits(QSerialPort::OneStop);
    serialPort->setFlowControl(QSerialPort::NoFlowControl);
    serialPort->setReadBufferSize(1024);
}

bool SrcDesk::OpenSerialPort()
{
    if (!serialPort->open(QIODevice::ReadWrite))
        return false;
    ++portGeneration;
    linkLossShown = false;
    pollLossReported = false;
    // What the line delivered while the port was closed answers nothing that
    // will be asked now.
    serialPort->clear(QSerialPort::Input);
    receiveBuffer.clear();
    return true;
}

void SrcDesk::StartPolling()
{
    unitFound = true;
    pollTimer->start();
}

bool SrcDesk::CheckLink(bool quietAfterLoss)
{
    if (serialPort->isOpen()) {
        LogToFile(tr("串口已正常开启!"));
        return true;
    }
    if (OpenSerialPort()) {
        LogToFile(tr("串口重新打开成功."));
        return true;
    }

    // The poll tries again every second; a cable still out is not news.
    if (quietAfterLoss && pollLossReported)
        return false;
    pollLossReported = true;
    if (CommandState == StateDeviceStatus) {
        // A vanished device must not stay shown as connected.
        if (!linkLossShown) {
            ShowLinkLoss();
            linkLossShown = true;
        }
        return false;
    }

    if (serialPort->portName().isEmpty()) {
        LogToView(LogSystemInfo, tr("警告：未连接!"));
        LogToFile(tr("串口为空"));
    } else {
        LogToView(LogSystemInfo, tr("%1重新打开失败").arg(serialPort->portName()));
        LogToFile(tr("端口重新打开失败"));
    }
    ShowLinkLoss();
    linkLossShown = true;
    return false;
}

void SrcDesk::ClosePort()
{
    LogToFile(tr("串口关闭!"));
    if (serialPort && serialPort->isOpen()) {
        serialPort->clear(QSerialPort::AllDirections);
        serialPort->close();
        LogToFile(tr("串口关闭成功"));
    } else {
        LogToFile(tr("串口未开启，无需关闭"));
    }
}

void SrcDesk::DropPort()
{
    if (serialPort->isOpen())
        serialPort->close();
}

void SrcDesk::OnPortError(QSerialPort::SerialPortError error)
{
    // The adapter is gone while Qt still holds its handle: a hung-up line reads
    // as end of file (a read error, raised again on every pass of the event
    // loop) and fails writes with a resource error. Closing lets the next link
    // check reopen it once it is back. Queued, because the error is raised from
    // inside the port's own notifier.
    if (error != QSerialPort::ResourceError && error != QSerialPort::ReadError)
        return;
    // The device is gone, so the window must stop showing it as connected.
    // By the time this runs the port may have been closed or pointed at
    // another unit; that one is not gone.
    const int generation = portGeneration;
    QTimer::singleShot(0, this, [this, generation] {
        if (generation != portGeneration || !serialPort->isOpen())
            return;
        DropPort();
        ShowLinkLoss();
        linkLossShown = true;
    });
}

void SrcDesk::ShowLinkLoss()
{
    ShowDeviceStatus(tr("连接失败"), ColourRed);
    ShowWorkStatus(QString(), ColourBlack);
    ShowGpsStatus(QString(), ColourBlack, GpsLockLabel);
    ShowGpsStatus(QString(), ColourBlack, GpsLeapLabel);
    // Whatever the device does now, the window no longer sees it.
    deviceWorking = false;
}

void SrcDesk::TimeUpdate()
{
    // Refused firmware is sent nothing but the link's own exchanges.
    if (!linkIdle || busy || !versionCompatible)
        return;
    linkIdle = false;
    if (!CheckLink(true)) {
        linkIdle = true;
        return;
    }
    if (stopOwed) {
        busy = true;
        stepCommand = StepStop;
        PaintControls();
        SendStop();
        return;
    }
    PollDeviceStatus();
}
