#include "app/srcdesk.h"
#include "commands/commandset.h"

#include <stdexcept>

void SrcDesk::PollDeviceStatus()
{
    const unsigned char payload[3] = { CommandCode::DeviceStatus, 0x00, 0x01 };

    SendPayload(StateDeviceStatus, payload, sizeof payload);
}

QList<bool> SrcDesk::ByteToBits(quint8 value)
{
    QList<bool> bits;
    for (int i = 0; i < 8; ++i)
        bits.append((value >> i) & 1);
    return bits;
}

namespace {

// The answer's byte at `position` as the device meant it: the line stuffs a
// 0x7D or 0x7E after the start byte (GPS, leap second and all four warnings
// make a status of 0x7E). -1 while its bytes have not all arrived.
int unstuffedByte(const QByteArray &frame, int position)
{
    for (int raw = 1, at = 1; raw < frame.size(); ++at) {
        const bool escaped = quint8(frame.at(raw)) == 0x7D;
        if (escaped && raw + 1 >= frame.size())
            return -1;
        if (at == position)
            return escaped ? quint8(frame.at(raw + 1)) ^ 0x20 : quint8(frame.at(raw));
        raw += escaped ? 2 : 1;
    }
    return -1;
}

} // namespace

void SrcDesk::ApplyDeviceStatus()
{
    if (receiveBuffer.size() < 10)
        return;
    const int status = unstuffedByte(receiveBuffer, 6);
    if (status < 0)
        throw std::length_error("status byte not all in yet"); // the next tick looks again
    const QList<bool> bits = ByteToBits(quint8(status));

    if (bits[7]) {
        transmitting = false;
        armUnknown = false;
        ShowWorkStatus(tr("工作中"), ColourGreen);
        EnableStartStop(false, true);
        EnableSettings(false);
    } else if (!transmitting) {
        // Not transmitting, but perhaps armed by a start whose answer was lost.
        if (armUnknown)
            ShowWorkStatus(tr("未知"), ColourRed);
        else
            ShowWorkStatus(tr("空闲"), ColourBlack);
        EnableStartStop(true, armUnknown);
        EnableSettings(true);
    } else if (pendingStartAt > 0 && DeviceClock() > double(pendingStartAt + kStartReportedSec)) {
        // Past its moment on the device's clock and still not transmitting:
        // the run ended while the link was down, or the clock jumped. Either
        // way the window cannot say the start still waits.
        transmitting = false;
        armUnknown = true;
        runPlan = SweepPlan();
        ShowStateUnknown();
        EnableStartStop(true, true);
        EnableSettings(true);
    } else {
        // An accepted start still waiting for its moment: the status byte
        // cannot tell armed from idle, so the window keeps showing the start
        // it knows of, and paints it again once a lost link or a stop whose
        // answer never came has blanked it, so it can still be stopped.
        ShowPendingStart();
    }
    NoteDeviceWorking(bits[7]);

    gpsLocked = bits[6];
    ShowGpsStatus(gpsLocked ? tr("已锁定") : tr("未锁定"), gpsLocked ? ColourGreen : ColourRed, GpsLockLabel);
    gpsLeapDone = bits[5];
    ShowGpsStatus(gpsLeapDone ? tr("已闰秒") : tr("未闰秒"), gpsLeapDone ? ColourGreen : ColourRed, GpsLeapLabel);

    struct Warning
    {
        int bit;
        QString first;
        QString further;
    };
    const Warning warnings[4] = {
        { 4, tr("设备过温"), tr(",过温") },
        { 3, tr("设备过压"), tr(",过压") },
        { 2, tr("设备过流"), tr(",过流") },
        { 1, tr("设备缺水"), tr(",缺水") },
    };
    QString warning;
    for (const Warning &w : warnings) {
        if (!bits[w.bit])
            continue;
        warning += warning.isEmpty() ? w.first : w.further;
    }

    ShowInterruptProtection(bits[0]);
    if (!warning.isEmpty())
        ShowWarning(warning);
    else
        SetWarningVisible(false, QString());
}

// An accepted start waiting for its moment: only the stop button is live.
void SrcDesk::ShowPendingStart()
{
    ShowWorkStatus(tr("待发送"), ColourBlack);
    EnableStartStop(false, true);
    EnableSettings(false);
}
