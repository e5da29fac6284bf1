#include "app/srcdesk.h"
#include "ui_srcdesk.h"

#include <QLabel>
#include <QSerialPort>

#include <initializer_list>

namespace {

const char *const kEnabledText = "color: rgb(0, 0, 0);";
const char *const kGreyedText = "color: rgb(208, 204, 188);";
const char *const kWhiteField = "background-color: rgb(255, 255, 255);";

QString colourSheet(StatusColour colour)
{
    switch (colour) {
    case ColourGreen:
        return "color: rgb(0, 170, 0);";
    case ColourRed:
        return "color: rgb(255, 0, 0);";
    default:
        return "color: rgb(0, 0, 0);";
    }
}

// Setting a style sheet restyles the widget even when the sheet is the same,
// and the status poll paints the same states again every second.
void setSheet(QWidget *widget, const QString &sheet)
{
    if (widget->styleSheet() != sheet)
        widget->setStyleSheet(sheet);
}

void paint(QLabel *label, const QString &text, StatusColour colour)
{
    label->setText(text);
    setSheet(label, colourSheet(colour));
}

} // namespace

void SrcDesk::ShowDeviceStatus(const QString &text, StatusColour colour)
{
    paint(ui->label_dev_statu, text, colour);
}

void SrcDesk::ShowWorkStatus(const QString &text, StatusColour colour)
{
    paint(ui->label_work_statu, text, colour);
    ShowProgress();
}

void SrcDesk::ShowGpsStatus(const QString &text, StatusColour colour, GpsLabel which)
{
    paint(which == GpsLockLabel ? ui->label_gps_lock : ui->label_gps_sec, text, colour);
}

void SrcDesk::ShowVersion(const QString &text, StatusColour colour)
{
    paint(ui->lbVersion, text, colour);
}

void SrcDesk::ShowInterruptProtection(bool shown)
{
    ui->label_safe->setVisible(shown);
    ui->lbInterrupt->setVisible(shown);
}

void SrcDesk::ShowWarning(const QString &text)
{
    ui->label_warning_info->setText(text);
    ui->label_warning->setVisible(true);
    ui->label_warning_info->setVisible(true);
}

void SrcDesk::SetWarningVisible(bool shown, const QString &text)
{
    if (shown) {
        ShowWarning(text);
        return;
    }
    ui->label_warning->setVisible(false);
    ui->label_warning_info->setVisible(false);
}

void SrcDesk::EnableStartStop(bool canStart, bool canStop)
{
    if (canStart)
        ui->edt_com_auto->setText(serialPort->portName());
    wantStart = canStart;
    wantStop = canStart || canStop;
    PaintControls();
}

void SrcDesk::EnableSettings(bool enable)
{
    wantSettings = enable;
    settingsShown = -1;
    PaintControls();
}

// What the answers asked for, held back while an operator step is under way
// (its start must not be pressed twice, its table not edited) and while the
// connected firmware is refused (nothing may be sent to it).
void SrcDesk::PaintControls()
{
    const bool stepOpen = stepCommand != NoStep;
    const bool canStart = wantStart && versionCompatible && !stepOpen;
    const bool canStop = versionCompatible && (wantStop || stepOpen);
    setSheet(ui->btn_start, canStart ? kEnabledText : kGreyedText);
    ui->btn_start->setEnabled(canStart);
    setSheet(ui->btn_stop, canStop ? kEnabledText : kGreyedText);
    ui->btn_stop->setEnabled(canStop);

    const bool enable = wantSettings && versionCompatible && !stepOpen;
    // A refused unit leaves the scan usable, so another unit can be found
    // without a restart.
    const bool canScan = (enable || !versionCompatible) && !stepOpen;
    setSheet(ui->pushButton, canScan ? kEnabledText : kGreyedText);
    ui->pushButton->setEnabled(canScan);
    if (settingsShown == int(enable))
        return;
    settingsShown = int(enable);
    using Widgets = std::initializer_list<QWidget *>;
    const QString sheet = enable ? kEnabledText : kGreyedText;
    const QString fieldSheet = enable ? QString(kWhiteField) : sheet;

    for (QWidget *w :
        Widgets { ui->btn_round_min, ui->btn_round_circel, ui->btn_time_delay, ui->rBtn_single, ui->rBtn_continue })
        setSheet(w, sheet);
    for (QWidget *w : Widgets { ui->edt_time_delay, ui->cmb_signal, ui->cmb_freq, ui->cmb_model_scan })
        setSheet(w, fieldSheet);
    // The send time of the run stays readable while it is locked.
    setSheet(ui->edt_send_time, enable ? QString(kWhiteField) : QString(kEnabledText));
    for (QWidget *w : Widgets { ui->edt_send_time, ui->btn_round_min, ui->btn_round_circel, ui->edt_time_delay,
             ui->btn_time_delay, ui->rBtn_single, ui->rBtn_continue, ui->cmb_signal, ui->cmb_freq, ui->cmb_model_scan })
        w->setEnabled(enable);

    // In single-frequency output the table keeps what the output mode gave it.
    if (!ui->rBtn_continue->isChecked())
        return;
    // A locked table stays readable and scrollable, marking the row being
    // sent; it only refuses edits.
    setSheet(ui->tableView, enable ? QString(kWhiteField) : QString(kEnabledText));
    for (QWidget *w :
        Widgets { ui->btn_import, ui->btn_out, ui->btn_insert, ui->btn_add, ui->btn_delete, ui->btn_clear })
        setSheet(w, sheet);
    ui->tableView->setEditTriggers(
        enable ? QAbstractItemView::EditTriggers(tableEditTriggers) : QAbstractItemView::NoEditTriggers);
    for (QWidget *w :
        Widgets { ui->btn_import, ui->btn_out, ui->btn_insert, ui->btn_add, ui->btn_delete, ui->btn_clear })
        w->setEnabled(enable);
}
