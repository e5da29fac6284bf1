#include "txsimfield.h"

// The transmitter link as the operator reads it and as the device receives it.

static const QByteArray kConnectionTest = hex("7E 00 05 02 00 02 55 AA 79");
static const QByteArray kVersionRequest = hex("7E 00 01 0A 76");
static const QByteArray kStatusRequest = hex("7E 00 03 07 00 01 76");

// The device label and its colour, the work and GPS labels, and whether a
// start can be pressed.
static QString linkAsShown(const Field &f)
{
    return QStringList({ f.text("label_dev_statu"), f.sheet("label_dev_statu"), f.text("label_work_statu"),
                           f.text("label_gps_lock"), f.text("label_gps_sec"), f.enabled("btn_start") ? "start" : "" })
        .join('|');
}

class LinkEndToEndTest : public QObject
{
    Q_OBJECT

private slots:
    void cleanup() { verifyWindowToldTheTruth(); }

    void scanFindsTheAnsweringPortOrNone()
    {
        Field f(3);
        // No port at all: the labels say so, the buttons keep what they showed.
        const QStringList ports = f.ports;
        f.ports.clear();
        f.d.EnableStartStop(true, false);
        f.scan();
        QCOMPARE(linkAsShown(f), "连接失败|" + kRed + "||||start");

        f.ports = ports;
        f.tx(0).setFault(0, FaultSpec { Fault::NoAnswer });
        f.tx(1).setFault(0, FaultSpec { Fault::WrongStartByte });
        f.live = 2;
        QVERIFY(f.connectAndPoll(1));
        QElapsedTimer clock;
        clock.start();
        QVERIFY(f.awaitPolls(2));
        QVERIFY(clock.elapsed() >= 1800); // once a second, not faster

        QCOMPARE(f.d.w<QLineEdit>("edt_com_auto")->text(), f.tx(2).portPath());
        QCOMPARE(f.text("label_dev_statu") + f.sheet("label_dev_statu"), "已连接" + kGreen);
        // The first two only ever saw the connection test; the third that, the
        // version query and the polls, nothing else.
        QCOMPARE(f.tx(0).rawFrames(), QList<QByteArray>({ kConnectionTest }));
        QCOMPARE(commandCodes(f.tx(1)), QList<quint8>({ 0x02 }));
        QCOMPARE(f.tx(2).rawFrames(),
            QList<QByteArray>({ kConnectionTest, kVersionRequest, kStatusRequest, kStatusRequest, kStatusRequest }));
        // The view says what each port did, not only the file.
        for (const QString &line : { f.tx(0).portPath() + "无应答", f.tx(1).portPath() + "应答无法识别" })
            QVERIFY2(f.view().contains("系统信息->" + line), qPrintable(line));
    }

    void answerAgainstTheTicks_data()
    {
        QTest::addColumn<QVector<int>>("after"); // the look after which each byte goes out
        QTest::addColumn<bool>("connected");
        QTest::newRow("8 bytes wait, the 9th completes") << (QVector<int>(8, 1) << 11) << true;
        QTest::newRow("a byte a look") << QVector<int>({ 1, 2, 3, 4, 5, 6, 7, 8, 9 }) << true;
        QTest::newRow("whole, for the 199th look") << QVector<int>(9, 198) << true;
        QTest::newRow("whole, after the 199th look") << QVector<int>(9, 199) << false;
    }

    // The program looks at what came in every 10 ms: nothing is judged and nothing
    // else is sent before an answer is whole, and the 200th look, some 2 s after
    // the command, declares the time-out.
    void answerAgainstTheTicks()
    {
        QFETCH(QVector<int>, after);
        QFETCH(bool, connected);
        Field f;
        Transmitter &tx = f.tx();
        tx.setFault(0, FaultSpec { Fault::NoAnswer }); // the test answers
        int looks = 0, sent = 0;
        QStringList early;
        connect(f.d.responseTimer, &QTimer::timeout, &tx, [&] {
            for (++looks; sent < after.size() && after[sent] == looks; ++sent) {
                if (f.text("label_dev_statu") != "连接中..." || tx.payloads().size() != 1)
                    early << QString::number(sent);
                tx.sendUnasked(kConnectionTest.mid(sent, 1));
            }
        });
        f.scan();
        QTRY_COMPARE_WITH_TIMEOUT(f.text("label_dev_statu"), QString(connected ? "已连接" : "连接失败"), 5000);
        QCOMPARE(early, QStringList());
        if (connected) {
            QTRY_COMPARE(tx.rawFrames(), QList<QByteArray>({ kConnectionTest, kVersionRequest }));
        } else {
            QCOMPARE(looks, 200);
            QVERIFY(f.view().contains("系统信息->" + tx.portPath() + "无应答"));
        }
    }

    void statusBytePaintsTheWindow_data()
    {
        QTest::addColumn<int>("status");
        QTest::addColumn<QString>("warning");
        // 0x7E goes over the line stuffed, as 7D 5E.
        QTest::newRow("0x7E locked, leap second, every warning") << 0x7E << QString("设备过温,过压,过流,缺水");
        QTest::newRow("0x1F every warning, interrupt") << 0x1F << QString("设备过温,过压,过流,缺水");
        QTest::newRow("0x40 locked, no leap second") << 0x40 << QString();
        QTest::newRow("0x12 temperature and water") << 0x12 << QString("设备过温,缺水");
        QTest::newRow("0x04 current alone") << 0x04 << QString("设备过流");
    }

    void statusBytePaintsTheWindow()
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
        QCOMPARE(f.label("label_warning_info")->isVisibleTo(&f.d) ? f.text("label_warning_info") : QString(), warning);
        QVERIFY(f.enabled("btn_start"));

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

    void strayBytesAreNoAnswer_data()
    {
        QTest::addColumn<bool>("open"); // the program's port, as the bytes come
        QTest::newRow("kept by the adapter while the port was closed") << false;
        QTest::newRow("between exchanges on the open port") << true;
    }

    // Bytes no exchange waits for, garbage and a late acknowledgement, spoil no
    // answer: the very next poll paints what the device reports.
    void strayBytesAreNoAnswer()
    {
        QFETCH(bool, open);
        Field f;
        Transmitter &tx = f.tx();
        QVERIFY(f.connectAndPoll(open ? 0 : 1));
        QTRY_COMPARE(f.d.serialPort->isOpen(), open);
        tx.setWarnings(true, false, false, false);
        tx.sendUnasked(hex("00 11 22 7E 00 02 19 01 E5"));
        QVERIFY(f.awaitPolls(1));
        QCOMPARE(f.text("label_warning_info") + f.text("label_work_statu"), QString("设备过温空闲"));
    }

    void lossIsShownUntilTheDeviceAnswers_data()
    {
        QTest::addColumn<bool>("gps"); // locked with the leap second: the port stays open
        QTest::addColumn<bool>("garbage"); // answers garbage rather than being pulled
        QTest::newRow("pulled between polls") << false << false;
        QTest::newRow("pulled, the port held open") << true << false;
        QTest::newRow("garbage for as long as the time-out") << false << true;
    }

    // A loss during an exchange is in the fault matrix.
    void lossIsShownUntilTheDeviceAnswers()
    {
        QFETCH(bool, gps);
        QFETCH(bool, garbage);
        Field f;
        Transmitter &tx = f.tx();
        tx.setGpsLocked(gps);
        tx.setLeapDone(gps);
        QVERIFY(f.connectAndPoll(1));
        QTRY_COMPARE(commandsOf(tx, 0x03) > 0, gps);
        const int polled = commandsOf(tx, 0x07), lines = f.view().size() + f.file().size();
        if (garbage)
            tx.setFault(0x07, FaultSpec { Fault::WrongStartByte });
        else
            tx.unplug();

        // The loss is painted, the buttons left as they were; garbage is not
        // logged, a cable still out is reported once.
        QTRY_COMPARE_WITH_TIMEOUT(linkAsShown(f), "连接失败|" + kRed + "||||start", 6000);
        if (garbage) {
            QCOMPARE(commandsOf(tx, 0x07), polled + 3);
            QCOMPARE(f.view().size() + f.file().size(), lines);
        }
        const int viewed = f.view().size();
        QVERIFY(!QTest::qWaitFor([&] { return f.view().size() > viewed + 1; }, 2500));

        // Back within 3 s, found by the poll, not by a new scan.
        if (garbage)
            tx.clearFaults();
        else
            QVERIFY(tx.replug());
        const QString gpsShown = gps ? "已锁定|已闰秒" : "未锁定|未闰秒";
        QTRY_COMPARE_WITH_TIMEOUT(linkAsShown(f), "已连接|" + kGreen + "|空闲|" + gpsShown + "|start", 3000);
        QCOMPARE(commandsOf(tx, 0x02), 1);
    }

    void rescanOntoAnotherUnit_data()
    {
        QTest::addColumn<int>("version"); // 0: it answers the connection test with garbage
        QTest::addColumn<QString>("shown"); // the version label and its colour
        QTest::newRow("firmware 0x29, single-digit date") << 0x29 << "V2.9_2005-01-02" + kBlack;
        QTest::newRow("firmware 0x30, refused") << 0x30 << "控制软件版本过低,与发送机不兼容！" + kRed;
        QTest::newRow("no unit answers") << 0 << QString();
    }

    // Rescanned from a unit it polls onto another: nothing but the scan's own
    // exchanges goes to a unit it refuses, nor to the one it left, until a scan
    // finds one it knows.
    void rescanOntoAnotherUnit()
    {
        QFETCH(int, version);
        QFETCH(QString, shown);
        Field f(2, QMessageBox::No);
        const QStringList ports = f.ports;
        f.ports = ports.mid(0, 1);
        QVERIFY(f.connectAndPoll(1));
        f.ports = ports.mid(1);
        f.live = 1;
        if (version)
            f.tx(1).setVersion(quint8(version), 5, 1, 2);
        else
            f.tx(1).setFault(0, FaultSpec { Fault::WrongStartByte });
        f.scan();
        QTRY_VERIFY(!f.d.responseTimer->isActive());
        if (!shown.isEmpty())
            QCOMPARE(f.text("lbVersion") + f.sheet("lbVersion"), shown);
        if (version && version < 0x30) {
            QVERIFY(f.awaitPolls(1) && f.enabled("btn_start"));
            return;
        }
        const auto sent = [&] { return f.tx(0).payloads().size() + f.tx(1).payloads().size(); };
        const int scanned = sent();
        QVERIFY(!QTest::qWaitFor([&] { return sent() > scanned || f.enabled("btn_start"); }, 2500));
        QVERIFY(!f.enabled("btn_stop") && f.enabled("pushButton"));
        QCOMPARE(f.enabled("cmb_signal"), !version);

        f.tx(1).setVersion(0x21, 19, 6, 3);
        f.tx(1).clearFaults();
        QVERIFY(f.connectAndPoll(1));
        QTRY_VERIFY(f.enabled("btn_start") && f.enabled("cmb_signal"));
        f.d.close();
        QCOMPARE(f.boxes.seen, QStringList({ "退出|是否保存参数?" }));
    }

    // The error of the pulled adapter is raised before the scan and handled after
    // it has opened the next unit, which is not gone.
    void scanPressedAsTheAdapterIsPulled()
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
        QVERIFY(f.awaitPolls(1));
        QCOMPARE(f.text("label_dev_statu"), QString("已连接"));
    }
};

QTEST_MAIN(LinkEndToEndTest)
#include "tst_link_e2e.moc"