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

    QCOMPARE(f.d.serialPort->portName(), f.tx(2).portPath());
    QCOMPARE(f.d.w<QLineEdit>("edt_com_auto")->text(), f.tx(2).portPath());
    QCOMPARE(f.text("label_dev_statu") + f.sheet("label_dev_statu"), "已连接" + kGreen);
    QCOMPARE(f.text("lbVersion"), QString("V2.2_2023-11-30"));
    // The first two only ever saw the connection test; the third the
    // connection test, the version query and the polls, nothing else.
    QCOMPARE(commandCodes(f.tx(0)), QList<quint8>({ 0x02 }));
    QCOMPARE(commandCodes(f.tx(1)), QList<quint8>({ 0x02 }));
    QCOMPARE(commandCodes(f.tx(2)), QList<quint8>({ 0x02, 0x0A, 0x07, 0x07, 0x07 }));
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
    for (const char *name : { "btn_start", "btn_stop", "pushButton" })
        QVERIFY2(!f.d.w<QPushButton>(name)->isEnabled(), name);
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

QTEST_MAIN(LinkEndToEndTest)
#include "tst_link_e2e.moc"
