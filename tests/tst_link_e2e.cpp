#include "txsimfield.h"

// The transmitter link as the operator reads it and as the device receives it.

static const QByteArray kConnectionTest = hex("7E 00 05 02 00 02 55 AA 79"), kVersionRequest = hex("7E 00 01 0A 76"),
                        kStatusRequest = hex("7E 00 03 07 00 01 76");

// The device label and its colour, the work and GPS labels, and whether a start can be pressed.
static QString linkAsShown(const Field &f)
{
    return QStringList({ f.text("label_dev_statu"), f.sheet("label_dev_statu"), f.text("label_work_statu"),
                           f.text("label_gps_lock"), f.text("label_gps_sec"), f.enabled("btn_start") ? "start" : "" })
        .join('|');
}
static const QString kLost = "连接失败|" + kRed + "||||start";

class LinkEndToEndTest : public QObject
{
    Q_OBJECT

private slots:
    void cleanup() { verifyWindowToldTheTruth(); }

    void scanFindsTheAnsweringPortOrNone()
    {
        Field f(3);
        // No port at all: the labels say so, the buttons keep what they showed.
        const QStringList ports = std::exchange(f.ports, {});
        f.d.EnableStartStop(true, false);
        f.scan();
        QCOMPARE(linkAsShown(f), kLost);

        f.ports = ports;
        f.tx(0).setFault(0, FaultSpec { Fault::NoAnswer });
        f.tx(1).setFault(0, FaultSpec { Fault::WrongStartByte });
        f.live = 2;
        QVERIFY(f.connectAndPoll(1));
        const QDeadlineTimer second(1800);
        QVERIFY(f.awaitPolls(2) && second.hasExpired()); // once a second, not faster
        QCOMPARE(f.d.w<QLineEdit>("edt_com_auto")->text(), f.tx(2).portPath());
        QCOMPARE(f.text("label_dev_statu") + f.sheet("label_dev_statu"), "已连接" + kGreen);
        // The first two only ever saw the connection test.
        QCOMPARE(f.tx(0).rawFrames(), QList<QByteArray>({ kConnectionTest }));
        QCOMPARE(commandCodes(f.tx(1)), QList<quint8>({ 0x02 }));
        QCOMPARE(f.tx(2).rawFrames(),
            QList<QByteArray>({ kConnectionTest, kVersionRequest, kStatusRequest, kStatusRequest, kStatusRequest }));
        for (const QString &line : { f.tx(0).portPath() + "无应答", f.tx(1).portPath() + "应答无法识别" })
            QVERIFY2(f.view().contains("系统信息->" + line), qPrintable(line));
    }

    void answerAgainstTheTicks_data()
    {
        QTest::addColumn<QVector<int>>("after"); // the look after which each byte goes out
        QTest::addColumn<bool>("connected");
        QTest::newRow("8 bytes wait, the 9th completes") << (QVector<int>(8, 1) << 11) << true;
        QTest::newRow("whole, for the 199th look") << QVector<int>(9, 198) << true;
        QTest::newRow("whole, after the 199th look") << QVector<int>(9, 199) << false;
    }

    // The program looks every 10 ms: nothing is judged and nothing else is sent
    // before an answer is whole, and the 200th look declares the time-out.
    void answerAgainstTheTicks()
    {
        QFETCH(QVector<int>, after);
        QFETCH(bool, connected);
        Field f;
        f.tx().setFault(0, { Fault::NoAnswer }); // the test answers
        int looks = 0, sent = 0;
        bool early = false;
        connect(f.d.responseTimer, &QTimer::timeout, &f.tx(), [&] {
            for (++looks; sent < after.size() && after[sent] == looks; ++sent) {
                early = early || f.text("label_dev_statu") != "连接中..." || f.tx().payloads().size() != 1;
                f.tx().sendUnasked(kConnectionTest.mid(sent, 1));
            }
        });
        f.scan();
        QTRY_COMPARE_WITH_TIMEOUT(f.text("label_dev_statu"), QString(connected ? "已连接" : "连接失败"), 5000);
        QVERIFY(!early);
        if (connected)
            QTRY_COMPARE(f.tx().rawFrames(), QList<QByteArray>({ kConnectionTest, kVersionRequest }));
        else
            QVERIFY(looks == 200 && f.view().contains("系统信息->" + f.tx().portPath() + "无应答"));
    }

    void statusIsPaintedUntilTheDeviceIsLost_data()
    {
        QTest::addColumn<int>("status");
        QTest::addColumn<QString>("warning");
        QTest::addColumn<bool>("garbage"); // the loss: answers garbage rather than being pulled
        // 0x7E goes over the line stuffed, as 7D 5E; locked with the leap second, the port stays open.
        QTest::newRow("0x7E locked, leap second, every warning; pulled")
            << 0x7E << QString("设备过温,过压,过流,缺水") << false;
        QTest::newRow("0x13 temperature and water, interrupt; pulled between polls")
            << 0x13 << QString("设备过温,缺水") << false;
        QTest::newRow("0x44 locked, no leap second, current; garbage for as long as the time-out")
            << 0x44 << QString("设备过流") << true;
    }

    // Then bytes no exchange waits for, garbage and a late acknowledgement, spoil
    // no answer, kept by the adapter while the port was closed or come between
    // exchanges on the port held open: the very next poll paints what the device reports.
    void statusIsPaintedUntilTheDeviceIsLost()
    {
        QFETCH(int, status);
        QFETCH(QString, warning);
        QFETCH(bool, garbage);
        const bool lock = status & 0x40, leap = status & 0x20, interrupt = status & 0x01, gps = lock && leap;
        Field f;
        Transmitter &tx = f.tx();
        tx.setGpsLocked(lock);
        tx.setLeapDone(leap);
        tx.setWarnings(status & 0x10, status & 0x08, status & 0x04, status & 0x02);
        tx.setInterruptProtection(interrupt);
        tx.setClock(QDateTime(QDate(2024, 5, 17), QTime(8, 3, 9)));
        QVERIFY(f.connectAndPoll(1));
        const QString shown = QString("空闲|%1|%2|start").arg(lock ? "已锁定" : "未锁定", leap ? "已闰秒" : "未闰秒");
        QCOMPARE(linkAsShown(f).section('|', 2), shown);
        QCOMPARE(f.sheet("label_work_statu") + f.sheet("label_gps_lock") + f.sheet("label_gps_sec"),
            kBlack + (lock ? kGreen : kRed) + (leap ? kGreen : kRed));
        QCOMPARE(f.label("label_safe")->isVisibleTo(&f.d), interrupt);
        QCOMPARE(f.label("label_warning_info")->isVisibleTo(&f.d) ? f.text("label_warning_info") : QString(), warning);

        // Locked with the leap second, the GPS time follows the poll on the port
        // held open; otherwise each poll closes it.
        QTRY_COMPARE(commandCodes(tx).mid(2, 2), QList<quint8>({ 0x07, quint8(gps ? 0x03 : 0x07) }));
        QTRY_COMPARE(f.d.serialPort->isOpen(), gps);
        // The first GPS time fills both fields; later ones move the GPS field only.
        auto *system = f.d.w<QLineEdit>("edt_system_time"), *send = f.d.w<QLineEdit>("edt_send_time");
        QTRY_COMPARE(system->text().left(17), QString(gps ? "2024/05/17 08:03:" : ""));
        const QString first = system->text();
        QVERIFY(!gps || (QTest::qWaitFor([&] { return system->text() > first; }, 10000) && send->text() == first));

        tx.setWarnings(true, false, false, false);
        tx.sendUnasked(hex("00 11 22 7E 00 02 19 01 E5"));
        QVERIFY(f.awaitPolls(1));
        QCOMPARE(f.text("label_warning_info") + f.text("label_work_statu"), QString("设备过温空闲"));

        // A loss is painted, the buttons left as they were; three garbled polls
        // make one and are not logged, a cable still out is reported once.
        const int polled = commandsOf(tx, 0x07), lines = f.view().size() + f.file().size();
        garbage ? tx.setFault(0x07, { Fault::WrongStartByte }) : tx.unplug();
        QTRY_COMPARE_WITH_TIMEOUT(linkAsShown(f), kLost, 6000);
        QVERIFY(!garbage || (commandsOf(tx, 0x07) == polled + 3 && f.view().size() + f.file().size() == lines));
        const int viewed = f.view().size();
        QVERIFY(!QTest::qWaitFor([&] { return f.view().size() > viewed + 1; }, 2500));
        // Back within 3 s, found by the poll, not by a new scan.
        QVERIFY(garbage ? (tx.clearFaults(), true) : tx.replug());
        QTRY_COMPARE_WITH_TIMEOUT(linkAsShown(f), "已连接|" + kGreen + "|" + shown, 3000);
        QCOMPARE(commandsOf(tx, 0x02), 1);
    }

    void rescanOntoAnotherUnit_data()
    {
        QTest::addColumn<int>("version"); // 0: it answers the connection test with garbage
        QTest::addColumn<QString>("shown"); // the version label and its colour
        QTest::addColumn<bool>("pulled"); // pressed as the adapter of the port held open is pulled
        QTest::newRow("firmware 0x29, single-digit date") << 0x29 << "V2.9_2005-01-02" + kBlack << false;
        QTest::newRow("firmware 0x30, refused") << 0x30 << "控制软件版本过低,与发送机不兼容！" + kRed << false;
        QTest::newRow("no unit answers") << 0 << QString() << false;
        QTest::newRow("as the adapter is pulled") << 0x29 << "V2.9_2005-01-02" + kBlack << true;
    }

    // Rescanned from a unit it polls onto another: nothing but the scan's own
    // exchanges goes to a unit it refuses, nor to the one it left, until a scan
    // finds one it knows. The error of a pulled adapter, raised before the scan
    // and handled after it has opened the next unit, does not take that one down.
    void rescanOntoAnotherUnit()
    {
        QFETCH(int, version);
        QFETCH(QString, shown);
        QFETCH(bool, pulled);
        Field f(2);
        const QStringList ports = std::exchange(f.ports, f.ports.mid(0, 1));
        f.tx(0).setGpsLocked(pulled);
        f.tx(0).setLeapDone(pulled);
        QVERIFY(f.connectAndPoll(1));
        QTRY_COMPARE(commandsOf(f.tx(0), 0x03) > 0 && f.d.serialPort->isOpen(), pulled);
        f.ports = ports.mid(1);
        f.live = 1;
        version ? f.tx(1).setVersion(quint8(version), 5, 1, 2) : f.tx(1).setFault(0, { Fault::WrongStartByte });
        bool pressed = !pulled;
        connect(f.d.serialPort, &QSerialPort::errorOccurred, &f.d, [&](QSerialPort::SerialPortError e) {
            if ((e == QSerialPort::ResourceError || e == QSerialPort::ReadError) && !std::exchange(pressed, true))
                f.scan();
        });
        pulled ? f.tx(0).unplug() : f.scan();
        QTRY_VERIFY(pressed && !f.d.responseTimer->isActive());
        QCOMPARE(version ? f.text("lbVersion") + f.sheet("lbVersion") : QString(), shown);
        if (version && version < 0x30) {
            QVERIFY(f.awaitPolls(1) && f.enabled("btn_start") && f.text("label_dev_statu") == "已连接");
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
    }
};

QTEST_MAIN(LinkEndToEndTest)
#include "tst_link_e2e.moc"
