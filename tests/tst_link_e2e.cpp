#include "txsimfield.h"

#include <QComboBox>
#include <QElapsedTimer>

// The link as the operator reads it: the device label and its colour, the
// work and GPS labels, and whether a start can be pressed.
static QString linkAsShown(const Field &f)
{
    const bool start = f.d.w<QPushButton>("btn_start")->isEnabled();
    return QStringList({ f.text("label_dev_statu"), f.sheet("label_dev_statu"), f.text("label_work_statu"),
                           f.text("label_gps_lock"), f.text("label_gps_sec"), start ? "start" : "no start" })
        .join('|');
}

class LinkEndToEndTest : public QObject
{
    Q_OBJECT

private slots:
    void cleanup() { verifyWindowToldTheTruth(); }
    void scanFindsTheAnsweringPortOrNone();
    void statusBytePaintsTheWindow_data();
    void statusBytePaintsTheWindow();
    void firmwareVersion_data();
    void firmwareVersion();
    void lostTransmitterIsShownUntilItAnswers();
    void refusedFirmwareIsSentNothingUntilARescan();
    void onlyAStatusAnswerPaintsTheStatus();
    void cablePulledWithGpsLockedIsReportedOnce();
    void garbageAsLongAsTheTimeOutIsALostLink();
    void failedRescanPollsNoPort();
    void scanPressedAsTheAdapterIsPulled();
};

void LinkEndToEndTest::scanFindsTheAnsweringPortOrNone()
{
    Field f(3);
    // No port at all: the labels say so, the buttons keep what they showed.
    const QStringList ports = f.ports;
    f.ports.clear();
    f.d.EnableStartStop(true, false);
    f.scan();
    QCOMPARE(linkAsShown(f), "连接失败|" + kRed + "||||start");
    QVERIFY(!f.d.pollTimer->isActive());

    f.ports = ports;
    f.tx(0).setFault(0, FaultSpec { Fault::NoAnswer });
    f.tx(1).setFault(0, FaultSpec { Fault::WrongStartByte });
    f.tx(2).setVersion(0x22, 23, 11, 30);
    f.live = 2;
    QVERIFY(f.connectAndPoll(1));
    QElapsedTimer clock;
    clock.start();
    QVERIFY(f.awaitPolls(2));
    QVERIFY(clock.elapsed() >= 1800); // once a second, not faster

    QCOMPARE(f.d.serialPort->portName(), f.tx(2).portPath());
    QCOMPARE(f.d.w<QLineEdit>("edt_com_auto")->text(), f.tx(2).portPath());
    QCOMPARE(f.text("label_dev_statu") + f.sheet("label_dev_statu"), "已连接" + kGreen);
    QCOMPARE(f.text("lbVersion"), QString("V2.2_2023-11-30"));
    // The first two only ever saw the connection test; the third the
    // connection test, the version query and the polls, nothing else.
    QCOMPARE(commandCodes(f.tx(0)), QList<quint8>({ 0x02 }));
    QCOMPARE(commandCodes(f.tx(1)), QList<quint8>({ 0x02 }));
    QCOMPARE(commandCodes(f.tx(2)), QList<quint8>({ 0x02, 0x0A, 0x07, 0x07, 0x07 }));
    // The view says what each port did, not only the file.
    for (const QString &line : { f.tx(0).portPath() + "无应答", f.tx(1).portPath() + "应答无法识别" })
        QVERIFY2(f.view().contains("系统信息->" + line), qPrintable(line));
}

void LinkEndToEndTest::statusBytePaintsTheWindow_data()
{
    QTest::addColumn<int>("status");
    QTest::addColumn<QString>("warning");
    QTest::newRow("0x60 locked, leap second") << 0x60 << QString();
    QTest::newRow("0x1F every warning, interrupt") << 0x1F << QString("设备过温,过压,过流,缺水");
    QTest::newRow("0x40 locked, no leap second") << 0x40 << QString();
    QTest::newRow("0x12 temperature and water") << 0x12 << QString("设备过温,缺水");
    QTest::newRow("0x04 current alone") << 0x04 << QString("设备过流");
}

void LinkEndToEndTest::statusBytePaintsTheWindow()
{
    QFETCH(int, status);
    QFETCH(QString, warning);
    const bool lock = status & 0x40, leap = status & 0x20, interrupt = status & 0x01;

    Field f;
    Transmitter &tx = f.tx();
    tx.setGpsLocked(lock);
    tx.setLeapDone(leap);
    tx.setWarnings(status & 0x10, status & 0x08, status & 0x04, status & 0x02);
    tx.setInterruptProtection(interrupt);
    tx.setClock(QDateTime(QDate(2024, 5, 17), QTime(8, 3, 9)));
    QVERIFY(f.connectAndPoll(1));

    QCOMPARE(f.text("label_work_statu") + f.sheet("label_work_statu"), "空闲" + kBlack);
    QCOMPARE(f.text("label_gps_lock") + f.sheet("label_gps_lock"), lock ? "已锁定" + kGreen : "未锁定" + kRed);
    QCOMPARE(f.text("label_gps_sec") + f.sheet("label_gps_sec"), leap ? "已闰秒" + kGreen : "未闰秒" + kRed);
    QCOMPARE(f.label("label_safe")->isVisibleTo(&f.d), interrupt);
    QCOMPARE(f.label("label_warning_info")->isVisibleTo(&f.d), !warning.isEmpty());
    if (!warning.isEmpty())
        QCOMPARE(f.text("label_warning_info"), warning);
    QVERIFY(f.d.w<QPushButton>("btn_start")->isEnabled());

    // Locked with the leap second, the GPS time follows the poll on the port
    // held open; otherwise each poll closes it.
    const bool gps = lock && leap;
    QTRY_COMPARE(commandCodes(tx).mid(2, 2), gps ? QList<quint8>({ 0x07, 0x03 }) : QList<quint8>({ 0x07, 0x07 }));
    QTRY_COMPARE(f.d.serialPort->isOpen(), gps);
    auto *system = f.d.w<QLineEdit>("edt_system_time");
    auto *send = f.d.w<QLineEdit>("edt_send_time");
    if (!gps) {
        QVERIFY(system->text().isEmpty());
        return;
    }
    // The first GPS time fills both fields; later ones move the GPS field only.
    QTRY_VERIFY(!system->text().isEmpty());
    const QString first = system->text();
    QVERIFY2(first.startsWith("2024/05/17 08:03:"), qPrintable(first));
    QCOMPARE(send->text(), first);
    QTRY_VERIFY_WITH_TIMEOUT(system->text() > first, 10000);
    QCOMPARE(send->text(), first);
}

void LinkEndToEndTest::firmwareVersion_data()
{
    QTest::addColumn<int>("version");
    QTest::addColumn<QString>("shown");
    // Refused and unanswered version queries are in the fault matrix.
    QTest::newRow("0x29, single-digit date") << 0x29 << "V2.9_2005-01-02";
    QTest::newRow("0x30 incompatible") << 0x30 << "控制软件版本过低,与发送机不兼容！";
}

void LinkEndToEndTest::firmwareVersion()
{
    QFETCH(int, version);
    QFETCH(QString, shown);

    Field f;
    f.tx().setVersion(quint8(version), 5, 1, 2);
    f.scan();
    QTRY_COMPARE_WITH_TIMEOUT(f.text("lbVersion"), shown, 10000);
    QCOMPARE(f.sheet("lbVersion"), version < 0x30 ? kBlack : kRed);
    if (version < 0x30) {
        QVERIFY(f.awaitPolls(1));
        return;
    }
    QVERIFY(!f.d.pollTimer->isActive());
    for (const char *name : { "btn_start", "btn_stop" })
        QVERIFY2(!f.d.w<QPushButton>(name)->isEnabled(), name);
    // Another unit can be found without a restart.
    QVERIFY(f.d.w<QPushButton>("pushButton")->isEnabled());
    QVERIFY(!f.d.w<QComboBox>("cmb_signal")->isEnabled());
    QCOMPARE(commandCodes(f.tx()), QList<quint8>({ 0x02, 0x0A }));
}

// Pulled between polls; a loss during an exchange is in the fault matrix.
void LinkEndToEndTest::lostTransmitterIsShownUntilItAnswers()
{
    Field f;
    Transmitter &tx = f.tx();
    QVERIFY(f.connectAndPoll(1));
    const int lostAt = tx.payloads().size();

    // The loss is painted, the buttons left as they were.
    tx.unplug();
    QTRY_COMPARE_WITH_TIMEOUT(linkAsShown(f), "连接失败|" + kRed + "||||start", 10000);

    // Back within 3 s, found by the poll, not by a new scan.
    QVERIFY(tx.replug());
    QTRY_COMPARE_WITH_TIMEOUT(f.text("label_dev_statu"), QString("已连接"), 3000);
    QCOMPARE(f.sheet("label_dev_statu"), kGreen);
    QVERIFY(f.awaitPolls(1));
    QVERIFY(!commandCodes(tx).mid(lostAt).contains(quint8(0x02)));
}

// Rescanned from a unit it polls onto one whose firmware it refuses: nothing
// but the link's own exchanges goes to it, until a scan finds one it knows.
void LinkEndToEndTest::refusedFirmwareIsSentNothingUntilARescan()
{
    Field f(2);
    f.tx(1).setVersion(0x30, 19, 6, 3);
    const QStringList ports = f.ports;
    f.ports = ports.mid(0, 1);
    QVERIFY(f.connectAndPoll(1));
    f.ports = ports.mid(1);
    f.live = 1;
    f.scan();
    QTRY_COMPARE(f.text("lbVersion"), QString("控制软件版本过低,与发送机不兼容！"));
    const int polled = f.tx(0).payloads().size();
    QPushButton *start = f.d.w<QPushButton>("btn_start");
    QVERIFY(!QTest::qWaitFor(
        [&] { return f.tx(1).payloads().size() > 2 || f.tx(0).payloads().size() > polled || start->isEnabled(); },
        3000));
    start->click();
    f.d.w<QPushButton>("btn_stop")->click();
    QVERIFY(!f.d.w<QPushButton>("btn_stop")->isEnabled() && !f.d.w<QComboBox>("cmb_signal")->isEnabled());
    QCOMPARE(commandCodes(f.tx(1)), QList<quint8>({ 0x02, 0x0A }));

    f.tx(1).setVersion(0x21, 19, 6, 3);
    QVERIFY(f.connectAndPoll(1));
    QTRY_VERIFY(start->isEnabled() && f.d.w<QComboBox>("cmb_signal")->isEnabled());
    BoxAnswerer no(QMessageBox::No);
    f.d.close();
    QCOMPARE(no.seen, QStringList({ "退出|是否保存参数?" }));
}

// A late acknowledgement left in the adapter while the port was closed is no
// status: the truth watch of cleanup() sees no warning or GPS state the
// device never reported. One that lands in a status exchange is in the fault
// matrix.
void LinkEndToEndTest::onlyAStatusAnswerPaintsTheStatus()
{
    Field f;
    Transmitter &tx = f.tx();
    QVERIFY(f.connectAndPoll(1));
    QTRY_VERIFY(!f.d.serialPort->isOpen());
    tx.sendUnasked(hex("7E 00 02 19 01 E5"));
    QVERIFY(f.awaitPolls(2));
    QCOMPARE(f.text("label_dev_statu") + f.text("label_work_statu"), QString("已连接空闲"));
}

void LinkEndToEndTest::cablePulledWithGpsLockedIsReportedOnce()
{
    Field f;
    Transmitter &tx = f.tx();
    tx.setGpsLocked(true);
    tx.setLeapDone(true);
    QVERIFY(f.connectAndPoll(1));
    QTRY_VERIFY(commandsOf(tx, 0x03) > 0);
    tx.unplug();
    QTRY_COMPARE_WITH_TIMEOUT(f.text("label_dev_statu"), QString("连接失败"), 3000);
    const QString failed = "系统信息->" + f.d.serialPort->portName() + "重新打开失败";
    QVERIFY(!QTest::qWaitFor([&] { return f.view().count(failed) > 1; }, 3500));
    QVERIFY(tx.replug());
    QTRY_COMPARE_WITH_TIMEOUT(f.text("label_dev_statu"), QString("已连接"), 3000);
}

void LinkEndToEndTest::garbageAsLongAsTheTimeOutIsALostLink()
{
    Field f;
    Transmitter &tx = f.tx();
    QVERIFY(f.connectAndPoll(1));
    const int polled = commandsOf(tx, 0x07), viewed = f.view().size(), filed = f.file().size();
    tx.setFault(0x07, FaultSpec { Fault::WrongStartByte });
    QTRY_COMPARE_WITH_TIMEOUT(linkAsShown(f), "连接失败|" + kRed + "||||start", 6000);
    QCOMPARE(commandsOf(tx, 0x07), polled + 3);
    QCOMPARE(f.view().size() + f.file().size(), viewed + filed);
    tx.clearFaults();
    QTRY_COMPARE_WITH_TIMEOUT(linkAsShown(f), "已连接|" + kGreen + "|空闲|未锁定|未闰秒|start", 3000);
}

void LinkEndToEndTest::failedRescanPollsNoPort()
{
    Field f(2);
    const QStringList ports = f.ports;
    f.ports = ports.mid(0, 1);
    QVERIFY(f.connectAndPoll(1));
    f.tx(1).setFault(0, FaultSpec { Fault::WrongStartByte });
    f.ports = ports.mid(1);
    f.scan();
    QTRY_COMPARE(f.text("label_dev_statu"), QString("连接失败"));
    const int sent = f.tx(0).payloads().size();
    QVERIFY(!QTest::qWaitFor([&] { return commandsOf(f.tx(1), 0x07) > 0 || f.tx(0).payloads().size() > sent; }, 2500));
}

// The error of the pulled adapter is raised before the scan and handled after
// it has opened the next unit, which is not gone.
void LinkEndToEndTest::scanPressedAsTheAdapterIsPulled()
{
    Field f(2);
    const QStringList ports = f.ports;
    f.ports = ports.mid(0, 1);
    f.tx(0).setGpsLocked(true);
    f.tx(0).setLeapDone(true);
    QVERIFY(f.connectAndPoll(1));
    QTRY_VERIFY(commandsOf(f.tx(0), 0x03) > 0 && f.d.serialPort->isOpen());
    f.ports = ports.mid(1);
    f.live = 1;
    bool pressed = false;
    connect(f.d.serialPort, &QSerialPort::errorOccurred, &f.d, [&](QSerialPort::SerialPortError error) {
        if (!pressed && (error == QSerialPort::ResourceError || error == QSerialPort::ReadError)) {
            pressed = true;
            f.scan();
        }
    });
    f.tx(0).unplug();
    QTRY_VERIFY(pressed);
    QTRY_VERIFY_WITH_TIMEOUT(f.d.pollTimer->isActive(), 5000);
    QVERIFY(f.awaitPolls(1));
    QCOMPARE(f.text("label_dev_statu"), QString("已连接"));
}

QTEST_MAIN(LinkEndToEndTest)
#include "tst_link_e2e.moc"
