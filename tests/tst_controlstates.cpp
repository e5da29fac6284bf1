#include "testdesk.h"

#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSerialPort>

namespace {

const QString kGreyed = "color: rgb(208, 204, 188);";
const QString kBlack = "color: rgb(0, 0, 0);";
const QString kWhite = "background-color: rgb(255, 255, 255);";

// Whether the operator can use each control, and how it is drawn.
QStringList looks(const TestDesk &d, std::initializer_list<const char *> names)
{
    QStringList all;
    for (const char *name : names) {
        const QWidget *w = d.w<QWidget>(name);
        all << QString(w->isEnabled() ? "on " : "off ") + w->styleSheet();
    }
    return all;
}

QStringList times(int n, const QString &text)
{
    QStringList all;
    while (all.size() < n)
        all << text;
    return all;
}

const auto kButtons
    = { "pushButton", "btn_round_min", "btn_round_circel", "btn_time_delay", "rBtn_single", "rBtn_continue" };
const auto kFields = { "edt_send_time", "edt_time_delay", "cmb_signal", "cmb_freq", "cmb_model_scan" };
const auto kTable = { "tableView", "btn_import", "btn_out", "btn_insert", "btn_add", "btn_delete", "btn_clear" };

} // namespace

class ControlStatesTest : public QObject
{
    Q_OBJECT

private slots:
    void labelsTakeTextAndColour();
    void startStopStates();
    void settingsStates_data();
    void settingsStates();
    void warningAndInterruptVisibility();
    void repaintingTheSameStatesRestylesNothing();

private:
    AppFolderFixture folder;
};

void ControlStatesTest::labelsTakeTextAndColour()
{
    // Each label with its own colour code: 1 green, 2 red, anything else black.
    TestDesk d;
    d.ShowDeviceStatus("已连接", 1);
    d.ShowWorkStatus("工作中", 2);
    d.ShowVersion("V2.1_2019-06-03", 0);
    d.ShowGpsStatus("已锁定", 3, 1);
    d.ShowGpsStatus("已闰秒", -1, 7); // anything but 1 is the leap-second label
    QStringList painted;
    for (const char *n : { "label_dev_statu", "label_work_statu", "lbVersion", "label_gps_lock", "label_gps_sec" })
        painted << d.w<QLabel>(n)->text() + " " + d.w<QLabel>(n)->styleSheet();
    QCOMPARE(painted,
        QStringList({ "已连接 color: rgb(0, 170, 0);", "工作中 color: rgb(255, 0, 0);", "V2.1_2019-06-03 " + kBlack,
            "已锁定 " + kBlack, "已闰秒 " + kBlack }));
}

void ControlStatesTest::startStopStates()
{
    TestDesk d;
    auto state = [&d] { return looks(d, { "btn_start", "btn_stop" }) << d.w<QLineEdit>("edt_com_auto")->text(); };
    const QString on = "on " + kBlack, off = "off " + kGreyed;
    d.serialPort->setPortName("ttyUSB3");
    d.EnableStartStop(true, false); // canStop is not looked at: both usable
    QCOMPARE(state(), QStringList({ on, on, "ttyUSB3" }));
    d.EnableStartStop(false, true);
    QCOMPARE(state(), QStringList({ off, on, "ttyUSB3" }));
    d.serialPort->setPortName("ttyUSB9");
    d.EnableStartStop(false, false);
    QCOMPARE(state(), QStringList({ off, off, "ttyUSB3" })); // only a usable start names the port
}

void ControlStatesTest::settingsStates_data()
{
    QTest::addColumn<bool>("sweep");
    QTest::newRow("single frequency leaves the table") << false;
    QTest::newRow("sweep includes the table") << true;
}

void ControlStatesTest::settingsStates()
{
    QFETCH(bool, sweep);
    TestDesk d;
    d.w<QRadioButton>(sweep ? "rBtn_continue" : "rBtn_single")->setChecked(true);
    const QStringList table = looks(d, kTable);

    d.EnableSettings(false);
    QCOMPARE(looks(d, kButtons), times(6, "off " + kGreyed));
    QCOMPARE(looks(d, kFields), times(5, "off " + kGreyed));
    QCOMPARE(looks(d, kTable), sweep ? times(7, "off " + kGreyed) : table);

    d.EnableSettings(true);
    QCOMPARE(looks(d, kButtons), times(6, "on " + kBlack));
    QCOMPARE(looks(d, kFields), times(5, "on " + kWhite));
    QCOMPARE(looks(d, kTable), sweep ? QStringList("on " + kWhite) + times(6, "on " + kBlack) : table);
}

void ControlStatesTest::warningAndInterruptVisibility()
{
    TestDesk d;
    d.show();
    QVERIFY(QTest::qWaitForWindowExposed(&d));
    auto shown = [&d] {
        QStringList all;
        for (const char *n : { "label_warning", "label_warning_info", "label_safe", "lbInterrupt" })
            all << (d.w<QLabel>(n)->isVisible() ? n : "-");
        return all << d.w<QLabel>("label_warning_info")->text();
    };
    d.ShowWarning("设备过温,缺水");
    QCOMPARE(shown(), QStringList({ "label_warning", "label_warning_info", "-", "-", "设备过温,缺水" }));
    d.ShowInterruptProtection(true);
    d.SetWarningVisible(false, "ignored"); // hiding keeps the old text
    QCOMPARE(shown(), QStringList({ "-", "-", "label_safe", "lbInterrupt", "设备过温,缺水" }));
    d.SetWarningVisible(true, "设备过压");
    d.ShowInterruptProtection(false);
    QCOMPARE(shown(), QStringList({ "label_warning", "label_warning_info", "-", "-", "设备过压" }));
}

// Counts restyles anywhere in the application.
class RestyleCounter : public QObject
{
public:
    RestyleCounter() { qApp->installEventFilter(this); }
    int count = 0;

protected:
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
        d.ShowDeviceStatus("已连接", 1);
        d.ShowWorkStatus("空闲", 0);
        d.ShowGpsStatus("未锁定", 2, 1);
        d.ShowGpsStatus("未闰秒", 2, 2);
        d.EnableStartStop(true, false);
        d.EnableSettings(true);
    };
    paintIdle();
    RestyleCounter restyles;
    paintIdle();
    QCOMPARE(restyles.count, 0);

    d.EnableStartStop(false, true);
    QVERIFY(restyles.count > 0);
    QCOMPARE(d.w<QPushButton>("btn_start")->styleSheet(), kGreyed);
    QCOMPARE(d.w<QLabel>("label_dev_statu")->styleSheet(), QString("color: rgb(0, 170, 0);"));
}

QTEST_MAIN(ControlStatesTest)
#include "tst_controlstates.moc"
