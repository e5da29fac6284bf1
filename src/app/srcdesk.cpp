#include "app/srcdesk.h"
#include "ui_srcdesk.h"

#include <QComboBox>
#include <QRegExp>
#include <QRegExpValidator>
#include <QSerialPort>
#include <QStandardItemModel>
#include <QStringListModel>
#include <QTimer>

#include <cmath>

namespace {

struct SignalEntry
{
    quint8 code;
    double maxFreq;
};

// Index order of cmb_signal: the code sent with the start signal and the
// highest frequency the start parameters accept for it.
const SignalEntry kSignals[14] = {
    { 4, 8192 }, { 1, 128 }, { 2, 128 }, { 3, 128 }, { 5, 128 }, { 6, 128 }, { 7, 128 },
    { 8, 128 }, { 9, 128 }, { 10, 128 }, { 11, 128 }, { 16, 8192 }, { 17, 8192 }, { 18, 8192 },
};

void setDropDownRowHeight(QComboBox *box)
{
    auto *model = qobject_cast<QStandardItemModel *>(box->model());
    if (!model)
        return;
    for (int row = 0; row < model->rowCount(); ++row)
        model->item(row)->setData(QSize(0, 35), Qt::SizeHintRole);
}

} // namespace

SrcDesk::SrcDesk(QWidget *parent)
    : QMainWindow(parent)
    , ui(new Ui::SrcDesk)
{
    ui->setupUi(this);
    LogToFile(tr("应用启动!"));
    init();

    connect(responseTimer, &QTimer::timeout, this, &SrcDesk::serialTimeOut);
    connect(pollTimer, &QTimer::timeout, this, &SrcDesk::TimeUpdate);
}

SrcDesk::~SrcDesk()
{
    delete serialPort;
    delete responseTimer;
    delete pollTimer;
    delete stepTimer;
    delete ui;
    delete[] pendingFrame;
}

void SrcDesk::init()
{
    LogToFile(tr("应用初始化..."));

    serialPort = new QSerialPort(this);
    freqData = &freqTable.freq_num;

    responseTimer = new QTimer(this);
    pollTimer = new QTimer(this);
    pollTimer->setInterval(1000);
    stepTimer = new QTimer(this);

    logLines.clear();
    logModel = new QStringListModel(this);
    ui->v_list_log->setModel(logModel);

    ui->edt_time_delay->setValidator(
        new QRegExpValidator(QRegExp("^(([1-9][0-9]*|[1-9])(\\.\\d{1,1})?|0\\.\\d{1,1})$"), ui->edt_time_delay));

    for (const SignalEntry &entry : kSignals) {
        signalCodes.append(entry.code);
        signalMaxFreq.append(entry.maxFreq);
    }
    ui->cmb_signal->setCurrentIndex(3);

    for (int i = 0; i < 26; ++i)
        freqLadder[i] = float(8192.0 * std::pow(2.0, -i));

    setDropDownRowHeight(ui->cmb_model_scan);
    setDropDownRowHeight(ui->cmb_freq);
    setDropDownRowHeight(ui->cmb_signal);

    LogToView(LogSystemInfo, tr("程序已启动！"));

    ShowInterruptProtection(false);
    SetWarningVisible(false, QString());

    LogToFile(tr("应用初始化完成."));
}
