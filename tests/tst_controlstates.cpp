#include "testdesk.h"

#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSerialPort>
#include <QTableView>

static const QString kGreyed = "color: rgb(208, 204, 188);";
static const QString kBlack = "color: rgb(0, 0, 0);";
static const QString kWhite = "background-color: rgb(255, 255, 255);";

class ControlStatesTest : public QObject
{
    Q_OBJECT

private slots:
    void labelsTakeTextAndColour_data();
    void labelsTakeTextAndColour();
    void gpsWhichSelectsTheLabel();
    void startStopStates();
    void settingsInSingleOutputLeaveTheTable();
    void settingsInSweepOutputIncludeTheTable();
    void warningAndInterruptVisibility();
    void repaintingTheSameStatesRestylesNothing();

private:
    AppFolderFixture folder;
};

void ControlStatesTest::labelsTakeTextAndColour_data()
{
    QTest::addColumn<int>("colour");
    QTest::addColumn<QString>("sheet");
    QTest::newRow("green") << 1 << "color: rgb(0, 170, 0);";
    QTest::newRow("red") << 2 << "color: rgb(255, 0, 0);";
    QTest::newRow("0 black") << 0 << kBlack;
    QTest::newRow("3 black") << 3 << kBlack;
    QTest::newRow("-1 black") << -1 << kBlack;
}

void ControlStatesTest::labelsTakeTextAndColour()
{
    QFETCH(int, colour);
    QFETCH(QString, sheet);
    TestDesk d;
    d.ShowDeviceStatus("已连接", colour);
    d.ShowWorkStatus("工作中", colour);
    d.ShowVersion("V2.1_2019-06-03", colour);
    QCOMPARE(d.w<QLabel>("label_dev_statu")->text(), QString("已连接"));
    QCOMPARE(d.w<QLabel>("label_work_statu")->text(), QString("工作中"));
    QCOMPARE(d.w<QLabel>("lbVersion")->text(), QString("V2.1_2019-06-03"));
    for (const char *n : { "label_dev_statu", "label_work_statu", "lbVersion" })
        QCOMPARE(d.w<QLabel>(n)->styleSheet(), sheet);
}

void ControlStatesTest::gpsWhichSelectsTheLabel()
{
    TestDesk d;
    d.ShowGpsStatus("已锁定", 1, 1);
    d.ShowGpsStatus("未闰秒", 2, 2);
    QCOMPARE(d.w<QLabel>("label_gps_lock")->text(), QString("已锁定"));
    QCOMPARE(d.w<QLabel>("label_gps_lock")->styleSheet(), QString("color: rgb(0, 170, 0);"));
    QCOMPARE(d.w<QLabel>("label_gps_sec")->text(), QString("未闰秒"));
    d.ShowGpsStatus("", 0, 7); // anything but 1 is the leap-second label
    QCOMPARE(d.w<QLabel>("label_gps_sec")->text(), QString());
    QCOMPARE(d.w<QLabel>("label_gps_sec")->styleSheet(), kBlack);
    QCOMPARE(d.w<QLabel>("label_gps_lock")->text(), QString("已锁定"));
}

void ControlStatesTest::startStopStates()
{
    TestDesk d;
    auto *start = d.w<QPushButton>("btn_start");
    auto *stop = d.w<QPushButton>("btn_stop");
    d.serialPort->setPortName("ttyUSB3");

    d.EnableStartStop(true, false); // canStop is not looked at: both usable
    QVERIFY(start->isEnabled() && stop->isEnabled());
    QCOMPARE(start->styleSheet(), kBlack);
    QCOMPARE(stop->styleSheet(), kBlack);
    QCOMPARE(d.w<QLineEdit>("edt_com_auto")->text(), QString("ttyUSB3"));

    d.EnableStartStop(false, true);
    QVERIFY(!start->isEnabled() && stop->isEnabled());
    QCOMPARE(start->styleSheet(), kGreyed);
    QCOMPARE(stop->styleSheet(), kBlack);

    d.serialPort->setPortName("ttyUSB9");
    d.EnableStartStop(false, false);
    QVERIFY(!start->isEnabled() && !stop->isEnabled());
    QCOMPARE(start->styleSheet(), kGreyed);
    QCOMPARE(stop->styleSheet(), kGreyed);
    QCOMPARE(d.w<QLineEdit>("edt_com_auto")->text(), QString("ttyUSB3")); // only a usable start names the port
}

static const char *const kSettings[] = { "pushButton", "edt_send_time", "btn_round_min", "btn_round_circel",
    "edt_time_delay", "btn_time_delay", "rBtn_single", "rBtn_continue", "cmb_signal", "cmb_freq", "cmb_model_scan" };
static const char *const kTableButtons[] = { "btn_import", "btn_out", "btn_insert", "btn_add", "btn_delete",
    "btn_clear" };

void ControlStatesTest::settingsInSingleOutputLeaveTheTable()
{
    TestDesk d;
    QVERIFY(d.w<QRadioButton>("rBtn_single")->isChecked());
    const QString tableSheet = d.w<QTableView>("tableView")->styleSheet();
    QHash<QString, QPair<bool, QString>> before;
    for (const char *n : kTableButtons)
        before[n] = { d.w<QWidget>(n)->isEnabled(), d.w<QWidget>(n)->styleSheet() };

    d.EnableSettings(false);
    for (const char *n : kSettings)
        QVERIFY2(!d.w<QWidget>(n)->isEnabled(), n);
    for (const char *n : { "pushButton", "btn_round_min", "btn_round_circel", "btn_time_delay", "rBtn_single",
                           "rBtn_continue", "edt_send_time", "edt_time_delay", "cmb_signal", "cmb_freq",
                           "cmb_model_scan" })
        QCOMPARE(d.w<QWidget>(n)->styleSheet(), kGreyed);
    QCOMPARE(d.w<QTableView>("tableView")->styleSheet(), tableSheet);
    QVERIFY(d.w<QTableView>("tableView")->isEnabled());
    for (const char *n : kTableButtons) {
        QCOMPARE(d.w<QWidget>(n)->isEnabled(), before[n].first);
        QCOMPARE(d.w<QWidget>(n)->styleSheet(), before[n].second);
    }

    d.EnableSettings(true);
    for (const char *n : kSettings)
        QVERIFY2(d.w<QWidget>(n)->isEnabled(), n);
    for (const char *n : { "pushButton", "btn_round_min", "btn_round_circel", "btn_time_delay", "rBtn_single",
                           "rBtn_continue" })
        QCOMPARE(d.w<QWidget>(n)->styleSheet(), kBlack);
    for (const char *n : { "edt_send_time", "edt_time_delay", "cmb_signal", "cmb_freq", "cmb_model_scan" })
        QCOMPARE(d.w<QWidget>(n)->styleSheet(), kWhite);
}

void ControlStatesTest::settingsInSweepOutputIncludeTheTable()
{
    TestDesk d;
    d.w<QRadioButton>("rBtn_continue")->setChecked(true);
    d.EnableSettings(false);
    QVERIFY(!d.w<QTableView>("tableView")->isEnabled());
    QCOMPARE(d.w<QTableView>("tableView")->styleSheet(), kGreyed);
    for (const char *n : kTableButtons) {
        QVERIFY2(!d.w<QWidget>(n)->isEnabled(), n);
        QCOMPARE(d.w<QWidget>(n)->styleSheet(), kGreyed);
    }
    d.EnableSettings(true);
    QVERIFY(d.w<QTableView>("tableView")->isEnabled());
    QCOMPARE(d.w<QTableView>("tableView")->styleSheet(), kWhite);
    for (const char *n : kTableButtons) {
        QVERIFY2(d.w<QWidget>(n)->isEnabled(), n);
        QCOMPARE(d.w<QWidget>(n)->styleSheet(), kBlack);
    }
}

void ControlStatesTest::warningAndInterruptVisibility()
{
    TestDesk d;
    d.show();
    QVERIFY(QTest::qWaitForWindowExposed(&d));
    auto *caption = d.w<QLabel>("label_warning");
    auto *info = d.w<QLabel>("label_warning_info");

    d.ShowWarning("设备过温,缺水");
    QVERIFY(caption->isVisible() && info->isVisible());
    QCOMPARE(info->text(), QString("设备过温,缺水"));

    d.SetWarningVisible(false, "ignored");
    QVERIFY(!caption->isVisible() && !info->isVisible());
    QCOMPARE(info->text(), QString("设备过温,缺水")); // hiding keeps the old text

    d.SetWarningVisible(true, "设备过压");
    QVERIFY(caption->isVisible() && info->isVisible());
    QCOMPARE(info->text(), QString("设备过压"));

    d.ShowInterruptProtection(true);
    QVERIFY(d.w<QLabel>("label_safe")->isVisible() && d.w<QLabel>("lbInterrupt")->isVisible());
    d.ShowInterruptProtection(false);
    QVERIFY(!d.w<QLabel>("label_safe")->isVisible() && !d.w<QLabel>("lbInterrupt")->isVisible());
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
