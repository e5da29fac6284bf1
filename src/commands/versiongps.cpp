#include "app/srcdesk.h"
#include "commands/commandset.h"
#include "ui_srcdesk.h"

#include <QTimer>

namespace {

// Decimal, at least two digits; a wider number is never cut.
QString twoDigits(quint8 value)
{
    return QString::number(value).rightJustified(2, '0');
}

} // namespace

QString SrcDesk::ByteToHex(quint8 value)
{
    return QString::asprintf("%02X", value);
}

void SrcDesk::QueryVersion()
{
    const unsigned char payload[1] = { CommandCode::HardwareVersion };

    LogToFile(tr("获取硬件版本号"));
    SendPayload(StateVersion, payload, sizeof payload);
}

void SrcDesk::ApplyVersion()
{
    const auto at = [this](int position) { return static_cast<quint8>(receiveBuffer.at(position)); };
    const QString digits = ByteToHex(at(4));
    const QString text
        = tr("V%1.%2_20%3-%4-%5")
              .arg(digits.left(1), digits.mid(1, 1), twoDigits(at(5)), twoDigits(at(6)), twoDigits(at(7)));
    ShowVersion(text, ColourBlack);
    StopResponseTimer();

    const int major = QString(digits.at(0)).toInt(nullptr, 16);
    if (major <= 2) {
        versionCompatible = true;
        PaintControls();
        busy = false;
        StartPolling();
        return;
    }
    // Firmware of a newer generation: nothing may be sent to it in this run.
    versionCompatible = false;
    ShowVersion(tr("控制软件版本过低,与发送机不兼容！"), ColourRed);
    EnableStartStop(false, false);
    EnableSettings(false);
}

// Refused, garbled or missing: the unit is not refused for it, and the poll
// starts as after an accepted version.
void SrcDesk::VersionNotRead()
{
    ShowVersion(tr("获取失败"), ColourRed);
    busy = false;
    versionCompatible = true;
    PaintControls();
    StartPolling();
}

void SrcDesk::QueryGpsTime()
{
    const unsigned char payload[1] = { CommandCode::GpsTime };

    LogToFile(tr("获取GPS时间"));
    SendPayload(StateGpsTime, payload, sizeof payload);
}

void SrcDesk::ShowGpsTime()
{
    QStringList fields;
    for (int position = 4; position <= 10; ++position)
        fields << twoDigits(static_cast<quint8>(receiveBuffer.at(position)));
    const QString text
        = tr("%1%2/%3/%4 %5:%6:%7").arg(fields[0], fields[1], fields[2], fields[3], fields[4], fields[5], fields[6]);
    ui->edt_system_time->setText(text);
    NoteGpsClock(text);
    if (ui->edt_send_time->text().isEmpty())
        ui->edt_send_time->setText(text);
}
