#include "app/srcdesk.h"
#include "ui_srcdesk.h"

#include <QComboBox>
#include <QHeaderView>
#include <QLabel>
#include <QRadioButton>
#include <QRegExp>
#include <QRegExpValidator>
#include <QSerialPort>
#include <QStandardItemModel>
#include <QStatusBar>
#include <QStringListModel>
#include <QTimer>

#include <cmath>

#include "app/logview.h"
#include "table/delegates.h"
#include "table/tablemodel.h"

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

    connect(ui->rBtn_single, &QRadioButton::toggled, this, &SrcDesk::onModelChanged);
    connect(responseTimer, &QTimer::timeout, this, &SrcDesk::serialTimeOut);
    connect(pollTimer, &QTimer::timeout, this, &SrcDesk::TimeUpdate);
    connect(stepTimer, &QTimer::timeout, this, &SrcDesk::DeferredStep);
    connect(progressTimer, &QTimer::timeout, this, &SrcDesk::ShowProgress);
    // Only the sending time's editor moves the total.
    connect(ui->tableView->itemDelegateForColumn(2), &QAbstractItemDelegate::closeEditor, this,
        &SrcDesk::onTableItemChanged);
}

SrcDesk::~SrcDesk()
{
    // Children, but they go first: the port and the timers signal into this
    // window, which is no longer whole once its children are deleted.
    delete serialPort;
    delete responseTimer;
    delete pollTimer;
    delete stepTimer;
    delete progressTimer;
    delete ui;
    delete[] pendingFrame;
}

void SrcDesk::init()
{
    LogToFile(tr("应用初始化..."));

    serialPort = new QSerialPort(this);
    // Defined header fields even for an export made before any file is read.
    freq_table_init(&freqTable);
    freqData = &freqTable.freq_num;

    tableModel = new TableModel(this);

    QTableView *view = ui->tableView;
    view->horizontalHeader()->setSectionResizeMode(QHeaderView::Stretch);
    view->horizontalHeader()->setStyleSheet("QHeaderView::section{background-color:rgb(236, 233, 216);}");
    view->verticalHeader()->hide();
    view->setSelectionBehavior(QAbstractItemView::SelectRows);
    view->setItemDelegateForColumn(0, new LocalDelegate(view));
    view->setItemDelegateForColumn(1, new ComboBoxDelegate(view));
    view->setItemDelegateForColumn(2, new SecondsDelegate(view));
    tableEditTriggers = view->editTriggers();
    view->setModel(tableModel);
    view->setColumnHidden(3, true);
    view->setColumnHidden(4, true);

    responseTimer = new QTimer(this);
    pollTimer = new QTimer(this);
    pollTimer->setInterval(1000);
    stepTimer = new QTimer(this);
    // A coarse timer may fire the operator's 200 ms up to 5 % late.
    stepTimer->setTimerType(Qt::PreciseTimer);
    progressTimer = new QTimer(this);
    progressTimer->setInterval(250);

    // The run's progress and the delay the device acknowledged, at the foot
    // of the window.
    progressLabel = new QLabel(this);
    progressLabel->setObjectName("label_progress");
    // A long line is cut at the window's edge rather than widening the window.
    progressLabel->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
    delayLabel = new QLabel(this);
    delayLabel->setObjectName("label_delay");
    statusBar()->addWidget(progressLabel, 1);
    statusBar()->addPermanentWidget(delayLabel);
    ShowDelay();

    logLines.clear();
    logModel = new LogListModel(this);
    ui->v_list_log->setUniformItemSizes(true);
    ui->v_list_log->setItemDelegate(new LogLineDelegate(ui->v_list_log));
    ui->v_list_log->setModel(logModel);
    connect(logModel, &QAbstractItemModel::dataChanged, this, &SrcDesk::NoteLogViewEdit);

    ui->edt_time_delay->setValidator(
        new QRegExpValidator(QRegExp("^(([1-9][0-9]*|[1-9])(\\.\\d{1,1})?|0\\.\\d{1,1})$"), ui->edt_time_delay));

    for (const SignalEntry &entry : kSignals) {
        signalCodes.append(entry.code);
        signalMaxFreq.append(entry.maxFreq);
    }
    ui->cmb_signal->setCurrentIndex(3);

    for (int i = 0; i < kLadderSteps; ++i)
        freqLadder[i] = float(8192.0 * std::pow(2.0, -i));

    setDropDownRowHeight(ui->cmb_model_scan);
    setDropDownRowHeight(ui->cmb_freq);
    setDropDownRowHeight(ui->cmb_signal);

    LogToView(LogSystemInfo, tr("程序已启动！"));

    ShowInterruptProtection(false);
    SetWarningVisible(false, QString());

    LoadSettings();

    LogToFile(tr("应用初始化完成."));
}
