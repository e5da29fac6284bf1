#include "app/srcdesk.h"
#include "ui_srcdesk.h"

#include "table/tablemodel.h"

#include <QMessageBox>
#include <QVector>

void SrcDesk::showTimer()
{
    TimeFields t = timeUtil.ParseTime(ui->edt_system_time->text());
    t = timeUtil.AddSeconds(t, 1);
    t = timeUtil.FromTimeT(timeUtil.ToTimeT(t));
    ui->edt_system_time->setText(timeUtil.FormatTime(t));
}

void SrcDesk::on_btn_round_min_clicked()
{
    if (ui->edt_system_time->text().isEmpty())
        return;
    LogToFile(tr("设置整分"));
    const TimeFields clock = timeUtil.ParseTime(ui->edt_system_time->text());
    ui->edt_send_time->setText(timeUtil.FormatTime(timeUtil.WholeMinute(clock)));
}

void SrcDesk::on_btn_round_circel_clicked()
{
    if (ui->edt_system_time->text().isEmpty())
        return;

    qint64 period = 0;
    if (ui->rBtn_single->isChecked()) {
        period = timeUtil.PeriodOfFrequency(SelectedFrequency());
    } else if (tableModel->totalSeconds > 0) {
        QVector<float> sendTimes;
        for (int row = 0; row < tableModel->rowCount(); ++row)
            sendTimes.append(tableModel->sendTime(row));
        period = timeUtil.PeriodOfSweep(sendTimes);
    }
    // The total can be positive while the rows' truncated times sum to
    // nothing; such a table has no period to align to.
    TimeFields sendTime = {};
    if (!timeUtil.WholePeriod(timeUtil.ParseTime(ui->edt_system_time->text()), period, &sendTime)) {
        QMessageBox::warning(this, tr("设置提示"), tr("至少需要1个频率，请先导入频率表！"), QMessageBox::Ok);
        return;
    }
    ui->edt_send_time->setText(timeUtil.FormatTime(sendTime));
    LogToFile(tr("设置整周期"));
}
