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
    void scanFindsTheAnsweringPortOrNone();
    void statusBytePaintsTheWindow_data();
    void statusBytePaintsTheWindow();
    void firmwareVersion_data();
    void firmwareVersion();
    void lostTransmitterIsShownUntilItAnswers_data();
    void lostTransmitterIsShownUntilItAnswers();
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

    const QString third = f.d.serialPort->portName();
    QCOMPARE(third, f.tx(2).portPath());
    QCOMPARE(f.d.w<QLineEdit>("edt_com_auto")->text(), third);
    QCOMPARE(f.text("label_dev_statu"), QString("已连接"));
    QCOMPARE(f.sheet("label_dev_statu"), kGreen);
    QCOMPARE(f.text("lbVersion"), QString("V2.2_2023-11-30"));
    QCOMPARE(f.text("label_work_statu"), QString("空闲"));

    // The first two only ever saw the connection test; the third the
    // connection test, the version query and the polls, nothing else.
    QCOMPARE(commandCodes(f.tx(0)), QList<quint8>({ 0x02 }));
    QCOMPARE(commandCodes(f.tx(1)), QList<quint8>({ 0x02 }));
    QCOMPARE(commandCodes(f.tx(2)), QList<quint8>({ 0x02, 0x0A, 0x07, 0x07, 0x07 }));
}

void LinkEndToEndTest::statusBytePaintsTheWindow_data()
{
    QTest::addColumn<int>("status");
    QTest::addColumn<QString>("work");
    QTest::addColumn<QString>("warning");
    QTest::newRow("0xE0 transmitting, locked, leap second") << 0xE0 << "工作中" << QString();
    QTest::newRow("0x1F every warning, interrupt") << 0x1F << "空闲" << QString("设备过温,过压,过流,缺水");
    QTest::newRow("0x40 locked, no leap second") << 0x40 << "空闲" << QString();
    QTest::newRow("0x12 temperature and water") << 0x12 << "空闲" << QString("设备过温,缺水");
    QTest::newRow("0x04 current alone") << 0x04 << "空闲" << QString("设备过流");
}

void LinkEndToEndTest::statusBytePaintsTheWindow()
{
    QFETCH(int, status);
    QFETCH(QString, work);
    QFETCH(QString, warning);
    const bool running = status & 0x80, lock = status & 0x40, leap = status & 0x20, interrupt = status & 0x01;

    Field f;
    Transmitter &tx = f.tx();
    tx.setGpsLocked(lock);
    tx.setLeapDone(leap);
    tx.setWarnings(status & 0x10, status & 0x08, status & 0x04, status & 0x02);
    tx.setInterruptProtection(interrupt);
    tx.setClock(QDateTime(QDate(2024, 5, 17), QTime(8, 3, 9)));
    // Started by another controller at 08:00: it runs at once, until stopped.
    if (running) {
        QVERIFY(commandFromOutside(tx, hex("06 04")));
        QVERIFY(commandFromOutside(tx, hex("01 14 18 05 11 08 00 00 00 0D 7F FF FF FF")));
        QVERIFY(tx.isTransmitting());
    }
    tx.clearRecord();
    QVERIFY(f.connectAndPoll(1));

    QCOMPARE(f.text("label_work_statu"), work);
    QCOMPARE(f.sheet("label_work_statu"), running ? kGreen : kBlack);
    QCOMPARE(f.text("label_gps_lock"), lock ? QString("已锁定") : QString("未锁定"));
    QCOMPARE(f.sheet("label_gps_lock"), lock ? kGreen : kRed);
    QCOMPARE(f.text("label_gps_sec"), leap ? QString("已闰秒") : QString("未闰秒"));
    QCOMPARE(f.sheet("label_gps_sec"), leap ? kGreen : kRed);
    QCOMPARE(f.label("label_safe")->isVisibleTo(&f.d), interrupt);
    QCOMPARE(f.label("lbInterrupt")->isVisibleTo(&f.d), interrupt);
    QCOMPARE(f.label("label_warning")->isVisibleTo(&f.d), !warning.isEmpty());
    QCOMPARE(f.label("label_warning_info")->isVisibleTo(&f.d), !warning.isEmpty());
    if (!warning.isEmpty())
        QCOMPARE(f.text("label_warning_info"), warning);

    QCOMPARE(f.d.w<QPushButton>("btn_start")->isEnabled(), !running);
    QVERIFY(f.d.w<QPushButton>("btn_stop")->isEnabled());
    QCOMPARE(f.d.w<QPushButton>("pushButton")->isEnabled(), !running);
    QCOMPARE(f.d.w<QComboBox>("cmb_signal")->isEnabled(), !running);

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
    QTest::addColumn<QByteArray>("build"); // year since 2000, month, day
    QTest::addColumn<int>("fault");
    QTest::addColumn<QString>("shown");
    QTest::addColumn<bool>("polls");
    const int none = int(Fault::None);
    const QString tooOld = "控制软件版本过低,与发送机不兼容！";
    QTest::newRow("0x29") << 0x29 << hex("18 0C 1F") << none << "V2.9_2024-12-31" << true;
    QTest::newRow("0x10 single digits") << 0x10 << hex("05 01 02") << none << "V1.0_2005-01-02" << true;
    QTest::newRow("0x30") << 0x30 << hex("13 06 03") << none << tooOld << false;
    // Refused and unanswered versions are in the fault matrix; a stuffed code is a refusal too.
    QTest::newRow("stuffed response code") << 0x21 << hex("13 06 03") << int(Fault::StuffedCode) << "获取失败" << true;
}

void LinkEndToEndTest::firmwareVersion()
{
    QFETCH(int, version);
    QFETCH(QByteArray, build);
    QFETCH(int, fault);
    QFETCH(QString, shown);
    QFETCH(bool, polls);

    Field f;
    f.tx().setVersion(quint8(version), build.at(0), build.at(1), build.at(2));
    f.tx().setFault(0x0A, FaultSpec { Fault(fault) });
    f.scan();
    QTRY_COMPARE_WITH_TIMEOUT(f.text("lbVersion"), shown, 10000);
    QCOMPARE(f.sheet("lbVersion"), shown.startsWith('V') ? kBlack : kRed);
    if (polls) {
        QVERIFY(f.awaitPolls(1));
        return;
    }
    QVERIFY(!f.d.pollTimer->isActive());
    for (const char *name : { "btn_start", "btn_stop", "pushButton" })
        QVERIFY2(!f.d.w<QPushButton>(name)->isEnabled(), name);
    QVERIFY(!f.d.w<QComboBox>("cmb_signal")->isEnabled());
    QCOMPARE(commandCodes(f.tx()), QList<quint8>({ 0x02, 0x0A }));
}

void LinkEndToEndTest::lostTransmitterIsShownUntilItAnswers_data()
{
    QTest::addColumn<bool>("gps"); // locked with the leap second: the port stays open for the GPS time
    QTest::newRow("pulled between polls") << false;
    QTest::newRow("pulled, port held open for GPS") << true;
}

void LinkEndToEndTest::lostTransmitterIsShownUntilItAnswers()
{
    QFETCH(bool, gps);
    Field f;
    Transmitter &tx = f.tx();
    tx.setGpsLocked(gps);
    tx.setLeapDone(gps);
    QVERIFY(f.connectAndPoll(1));
    QTRY_VERIFY(!gps || commandsOf(tx, 0x03) > 0);
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
    if (gps) {
        const int asked = commandsOf(tx, 0x03);
        QTRY_VERIFY(commandsOf(tx, 0x03) > asked);
    }
}

QTEST_MAIN(LinkEndToEndTest)
#include "tst_link_e2e.moc"
