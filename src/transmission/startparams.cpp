#include "transmission/startparams.h"
#include "app/srcdesk.h"
#include "ui_srcdesk.h"

#include "commands/commandset.h"
#include "link/framecodec.h"
#include "table/tablemodel.h"

#include <QDateTime>
#include <QMessageBox>

#include <cmath>

namespace {

QString tooManyRowsText()
{
    return SrcDesk::tr("扫频输出最多只能有26行！");
}

QString malformedTimeText()
{
    return SrcDesk::tr("发送时间无效，请按yyyy/MM/dd hh:mm:ss填写真实的日期和时间！");
}

// Index of f on the transmitter's ladder, or -1. Zero, negative and NaN
// frequencies are not on it: the relative distance would not mean anything.
int LadderIndex(const float (&ladder)[kLadderSteps], float f)
{
    if (!(f > 0.0f))
        return -1;
    for (int i = 0; i < kLadderSteps; ++i) {
        const float distance = float(std::fabs(double(f) - double(ladder[i])) / double(f));
        if (distance < 1e-6)
            return i;
    }
    return -1;
}

void PutBigEndian32(unsigned char *at, qint32 value)
{
    const quint32 bits = quint32(value);
    at[0] = static_cast<unsigned char>(bits >> 24);
    at[1] = static_cast<unsigned char>(bits >> 16);
    at[2] = static_cast<unsigned char>(bits >> 8);
    at[3] = static_cast<unsigned char>(bits);
}

} // namespace

QString SrcDesk::CurrentTimeText()
{
    return timeUtil.FormatTime(timeUtil.FromTimeT(QDateTime::currentSecsSinceEpoch()));
}

bool SrcDesk::StartSettingsRefused()
{
    QString message;
    TimeFields unused;
    const QString sendTime = ui->edt_send_time->text();
    if (!ui->rBtn_single->isChecked() && tableModel->rowCount() > kMaxStartEntries) {
        message = tooManyRowsText();
    } else if (!sendTime.isEmpty() && !timeUtil.ParseTime(sendTime, &unused)) {
        // An empty field is filled with the current time when the parameters go out.
        message = malformedTimeText();
    } else {
        // Every other refusal of the parameters comes before the first
        // command, so a refused start leaves the device as it was.
        unsigned char payload[kMaxPayloadLength] = {};
        int length = 0;
        message = AssembleStartParameters(sendTime.isEmpty() ? CurrentTimeText() : sendTime, payload, &length);
        if (!message.isEmpty())
            LogToFile(tr("启动参数组装失败！"));
    }
    if (message.isEmpty())
        return false;

    linkIdle = true;
    LogToView(LogSystemInfo, tr("警告：启动失败！"));
    LogToView(LogSystemInfo, message);
    LogToFile(message);
    QMessageBox::warning(this, tr("提示"), message, QMessageBox::Ok);
    busy = false;
    return true;
}

// The start-parameters payload from the table snapshot of the deferred step;
// the refusal text when the transmitter could not carry it out.
QString SrcDesk::AssembleStartParameters(const QString &sendTime, unsigned char *payload, int *length)
{
    const int s = ui->cmb_signal->currentIndex();
    const bool single = ui->rBtn_single->isChecked();
    const int n = freqTable.freq_num;
    const double maxF = signalMaxFreq.value(s);
    TimeFields when = {};
    if (!timeUtil.ParseTime(sendTime, &when))
        return malformedTimeText();
    if (n > kMaxStartEntries)
        return tooManyRowsText();

    payload[0] = CommandCode::StartParameters;
    payload[1] = static_cast<unsigned char>(when.year / 100);
    payload[2] = static_cast<unsigned char>(when.year % 100);
    payload[3] = static_cast<unsigned char>(when.month);
    payload[4] = static_cast<unsigned char>(when.day);
    payload[5] = static_cast<unsigned char>(when.hour);
    payload[6] = static_cast<unsigned char>(when.minute);
    payload[7] = static_cast<unsigned char>(when.second);

    for (int k = 0; k < n; ++k) {
        const float f = freqTable.items[k].freq;
        const int i = LadderIndex(freqLadder, f);
        if (i < 0)
            return tr("发送机不能产生%1Hz信号，请重新设置！").arg(double(f), 0, 'g', 6);
        if (double(f) > maxF)
            return tr("第%1个频率不能发送超过%2Hz，请重新设置！").arg(k + 1).arg(maxF, 0, 'g', 6);
        qint32 periods = 2147483647;
        if (!single) {
            // Square waves count whole periods, the other signals seconds.
            const double seconds = double(freqTable.items[k].send_time);
            periods = csamt_trunc_int32(s == 0 ? seconds * double(f) + 0.5 : seconds + 0.5);
        }
        if (periods < 1)
            return tr("周期数必须大于0且小于%1，请重新设置第%2个频率的发送时长！").arg(2147483647).arg(k + 1);
        unsigned char *entry = payload + 8 + 6 * k;
        entry[0] = 0x00;
        entry[1] = static_cast<unsigned char>(i);
        PutBigEndian32(entry + 2, periods);
    }
    *length = 8 + 6 * n;
    return QString();
}

void SrcDesk::SendStartParameters()
{
    unsigned char payload[kMaxPayloadLength] = {};

    LogToFile(tr("设置启动参数"));
    busy = true;
    CommandState = StateStartParameters;

    QString text = ui->edt_send_time->text();
    if (text.isEmpty()) {
        text = CurrentTimeText();
        ui->edt_send_time->setText(text);
    }
    TimeFields moment;
    pendingStartAt = timeUtil.ParseTime(text, &moment) ? timeUtil.ToTimeT(moment) : 0;
    // Checked before the chain began, from the same snapshot; this only
    // guards the payload.
    int length = 0;
    const QString message = AssembleStartParameters(text, payload, &length);
    if (!message.isEmpty()) {
        StopResponseTimer();
        LogToView(LogSystemInfo, tr("警告：启动失败！"));
        LogToView(LogSystemInfo, message);
        LogToFile(tr("启动参数组装失败！"));
        QMessageBox::warning(this, tr("提示"), message, QMessageBox::Ok);
        // The chain ends here; the status poll takes over again.
        busy = false;
        EndStep(StepStart);
        return;
    }

    // A moment already past starts the run as soon as the device has it.
    const double startsAt = qMax(double(pendingStartAt), std::floor(DeviceClock()));
    sentPlan = PlanOfStart(payload, length, ui->cmb_signal->currentIndex() == 0,
        ui->rBtn_single->isChecked() || ui->cmb_model_scan->currentIndex() == 1, startsAt);
    LogToFile(tr("启动参数组装成功，开始发送"));
    SendPayload(StateStartParameters, payload, length);
}
