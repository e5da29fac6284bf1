#include "testdesk.h"

#include <QAbstractItemView>
#include <QLabel>
#include <QLineEdit>
#include <QRadioButton>
#include <QSerialPort>

namespace {

const QString kGreyed = "color: rgb(208, 204, 188);";

// Which of the controls the operator can use; each must also be drawn greyed
// exactly when it is not usable, except the send time and the table, which
// stay readable while locked (the table refuses edits instead).
QString usable(const TestDesk &d, std::initializer_list<const char *> names)
{
    QString all;
    for (const char *name : names) {
        const QWidget *w = d.w<QWidget>(name);
        bool on = w->isEnabled();
        if (auto *view = qobject_cast<const QAbstractItemView *>(w))
            on = on && view->editTriggers() != QAbstractItemView::NoEditTriggers;
        const bool grey = w->styleSheet() == kGreyed;
        const bool readable = QString(name) == "edt_send_time" || QString(name) == "tableView";
        if (readable ? grey : on == grey)
            return QString(name) + " drawn as it is not";
        all += on ? '1' : '0';
    }
    return all;
}

const auto kSettings = { "pushButton", "btn_round_min", "btn_round_circel", "btn_time_delay", "rBtn_single",
    "rBtn_continue", "edt_send_time", "edt_time_delay", "cmb_signal", "cmb_freq", "cmb_model_scan" };
const auto kTable = { "tableView", "btn_import", "btn_out", "btn_insert", "btn_add", "btn_delete", "btn_clear" };

} // namespace

class ControlStatesTest : public QObject
{
    Q_OBJECT

private slots:
    void startStopStates();
    void settingsStates();
    void warningAndInterruptVisibility();
    void repaintingTheSameStatesRestylesNothing();

private:
    AppFolderFixture folder;
};

void ControlStatesTest::startStopStates()
{
    TestDesk d;
    auto state = [&d] { return usable(d, { "btn_start", "btn_stop" }) + " " + d.w<QLineEdit>("edt_com_auto")->text(); };
    d.serialPort->setPortName("ttyUSB3");
    d.EnableStartStop(true, false); // canStop is not looked at: both usable
    QCOMPARE(state(), QString("11 ttyUSB3"));
    d.EnableStartStop(false, true);
    QCOMPARE(state(), QString("01 ttyUSB3"));
    d.serialPort->setPortName("ttyUSB9");
    d.EnableStartStop(false, false);
    QCOMPARE(state(), QString("00 ttyUSB3")); // only a usable start names the port
}

void ControlStatesTest::settingsStates()
{
    for (bool sweep : { false, true }) {
        TestDesk d;
        d.w<QRadioButton>(sweep ? "rBtn_continue" : "rBtn_single")->setChecked(true);
        const QString table = usable(d, kTable); // single frequency leaves it as it is
        for (bool enable : { false, true }) {
            d.EnableSettings(enable);
            QCOMPARE(usable(d, kSettings), QString(11, enable ? '1' : '0'));
            QCOMPARE(usable(d, kTable), sweep ? QString(7, enable ? '1' : '0') : table);
        }
    }
}

void ControlStatesTest::warningAndInterruptVisibility()
{
    TestDesk d;
    d.show();
    QVERIFY(QTest::qWaitForWindowExposed(&d));
    auto shown = [&d] {
        QString all;
        for (const char *n : { "label_warning", "label_warning_info", "label_safe", "lbInterrupt" })
            all += d.w<QLabel>(n)->isVisible() ? '1' : '0';
        return all + " " + d.w<QLabel>("label_warning_info")->text();
    };
    d.ShowWarning("设备过温,缺水");
    QCOMPARE(shown(), QString("1100 设备过温,缺水"));
    d.ShowInterruptProtection(true);
    d.SetWarningVisible(false, "ignored"); // hiding keeps the old text
    QCOMPARE(shown(), QString("0011 设备过温,缺水"));
    d.SetWarningVisible(true, "设备过压");
    d.ShowInterruptProtection(false);
    QCOMPARE(shown(), QString("1100 设备过压"));
}

// Counts restyles anywhere in the application.
struct RestyleCounter : QObject
{
    int count = 0;
    RestyleCounter() { qApp->installEventFilter(this); }
    bool eventFilter(QObject *, QEvent *event) override
    {
        count += event->type() == QEvent::StyleChange;
        return false;
    }
};

void ControlStatesTest::repaintingTheSameStatesRestylesNothing()
{
    // Every status answer paints the states again, once a second for the whole
    // run; restyling unchanged widgets cost milliseconds of CPU each time.
    TestDesk d;
    d.w<QRadioButton>("rBtn_continue")->setChecked(true);
    d.show();
    QVERIFY(QTest::qWaitForWindowExposed(&d));
    const auto paintIdle = [&d] {
        d.ShowDeviceStatus("已连接", ColourGreen);
        d.ShowWorkStatus("空闲", ColourBlack);
        d.ShowGpsStatus("未锁定", ColourRed, GpsLockLabel);
        d.ShowGpsStatus("未闰秒", ColourRed, GpsLeapLabel);
        d.EnableStartStop(true, false);
        d.EnableSettings(true);
    };
    paintIdle();
    RestyleCounter restyles;
    paintIdle();
    QCOMPARE(restyles.count, 0);

    d.EnableStartStop(false, true);
    QVERIFY(restyles.count > 0);
    QCOMPARE(usable(d, { "btn_start", "btn_stop" }), QString("01"));
}

QTEST_MAIN(ControlStatesTest)
#include "tst_controlstates.moc"
