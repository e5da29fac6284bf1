#include "app/srcdesk.h"
#include "ui_srcdesk.h"

#include "table/tablemodel.h"

#include <QDateTime>
#include <QLabel>
#include <QTimer>

#include <cmath>

double SrcDesk::DeviceClock() const
{
    return double(QDateTime::currentMSecsSinceEpoch()) / 1000.0 + clockOffset;
}

QString SrcDesk::ClockText(double seconds) const
{
    return timeUtil.FormatTime(timeUtil.FromTimeT(qint64(std::floor(seconds))));
}

void SrcDesk::NoteGpsClock(const QString &text)
{
    TimeFields t;
    // The device reads out whole seconds: on average half of one has gone by.
    if (timeUtil.ParseTime(text, &t))
        clockOffset = double(timeUtil.ToTimeT(t)) + 0.5 - double(QDateTime::currentMSecsSinceEpoch()) / 1000.0;
}

// Called with each status answer. A run that stops by itself is told, so a
// finished sweep reads differently from a stopped one.
void SrcDesk::NoteDeviceWorking(bool working)
{
    if (deviceWorking && !working && !stopSent) {
        runPlan = SweepPlan();
        endedText = tr("发射已结束 %1").arg(ClockText(DeviceClock()));
        ReportStep(endedText);
    }
    deviceWorking = working;
    ShowProgress();
}

// Follows the work state as painted, so the bar never tells more than it.
void SrcDesk::ShowProgress()
{
    if (!progressLabel)
        return;
    QString text = endedText;
    int row = -1;
    const double now = DeviceClock();
    const QString work = ui->label_work_statu->text();
    const bool working = work == tr("工作中");
    const bool waiting = work == tr("待发送") && transmitting && runPlan.isValid();
    if (working && !runPlan.isValid()) {
        // Started before this run of the program, or by a start whose answer
        // was lost: its plan is not known here.
        text = tr("发射中，进度未知");
    } else if (working) {
        // Working says the start has come, whatever the clock read last.
        SweepPosition at = PositionAt(runPlan, qMax(now, runPlan.start));
        if (at.phase == SweepPosition::Ended) {
            // Still reported working past its planned end: the last row, nothing left.
            at.row = runPlan.rows.size() - 1;
            at.rowLeft = at.sweepLeft = 0;
        }
        const QString frequency = TableModel::frequencyText(runPlan.rows.value(qMax(at.row, 0)).frequency);
        if (runPlan.endless) {
            text = tr("正在发送 %1 Hz，已发送 %2").arg(frequency, SpanText(std::floor(at.sinceStart)));
        } else {
            row = at.row;
            const QString format = runPlan.cyclic
                ? tr("正在发送第%1行 %2 Hz，本行剩余 %3，本轮剩余 %4，本轮结束 %5（循环扫频）")
                : tr("正在发送第%1行 %2 Hz，本行剩余 %3，全部剩余 %4，预计结束 %5");
            text = format.arg(row + 1).arg(frequency, SpanText(at.rowLeft), SpanText(at.sweepLeft), ClockText(at.end));
        }
    } else if (waiting) {
        const SweepPosition at = PositionAt(runPlan, now);
        text = tr("距发送 %1（%2 开始）").arg(SpanText(at.untilStart), ClockText(runPlan.start));
    }

    if (progressLabel->text() != text)
        progressLabel->setText(text);
    if (row >= tableModel->rowCount())
        row = -1;
    if (row != tableModel->currentRow()) {
        tableModel->setCurrentRow(row);
        if (row >= 0)
            ui->tableView->scrollTo(tableModel->index(row, 0));
    }
    // Ticks only while there is a count to show.
    if ((working || waiting) && !progressTimer->isActive())
        progressTimer->start();
    else if (!working && !waiting)
        progressTimer->stop();
}

void SrcDesk::ShowDelay()
{
    delayLabel->setText(delayAcked.isEmpty() ? tr("同步延时：本次运行未设置")
                                             : tr("同步延时：%1 ms（本次运行已设置）").arg(delayAcked));
}
