#include "ptypeer.h"
#include "testdesk.h"

#include <QElapsedTimer>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSerialPort>
#include <QTimer>

static QByteArray hex(const char *text)
{
    return QByteArray::fromHex(QByteArray(text).replace(' ', ""));
}

static const QByteArray kConnectionTest = hex("7E 00 05 02 00 02 55 AA 79");
static const QByteArray kVersionRequest = hex("7E 00 01 0A 76");
static const QByteArray kStatusPoll = hex("7E 00 03 07 00 01 76");
static const QByteArray kVersion21 = hex("7E 00 05 1A 21 13 06 03 25");
static const QByteArray kStatusIdle = hex("7E 00 06 17 00 01 00 00 00 63");

static QStringList viewTexts(const TestDesk &d)
{
    QStringList texts;
    for (const QString &line : d.logLines)
        texts << line.section("->", 1);
    return texts;
}

// A desk whose scan finds exactly one port: the test's end of a pseudo-terminal.
struct Rig
{
    AppFolderFixture folder;
    PtyPeer peer;
    TestDesk d;

    Rig()
    {
        const QString path = peer.slavePath();
        d.SetPortSource([path] { return QStringList { path }; });
    }
    QString deviceLabel() const { return d.w<QLabel>("label_dev_statu")->text(); }
    void scanAndAwaitConnectionTest()
    {
        d.w<QPushButton>("pushButton")->click();
        QTRY_COMPARE(peer.received(), kConnectionTest);
        peer.clearReceived();
    }
};

class TransactionTest : public QObject
{
    Q_OBJECT

private slots:
    void splitAnswerCompletesOnNinthByte();
    void answerInSingleBytesFiveMsApartIsAccepted();
    void malformedAnswerClosesAtOnce();
    void silentDeviceTimesOutAfter200Ticks();
    void bytesWhileIdleWaitForTheNextSend();
    void vanishedDeviceClosesTheOpenPort();
};

void TransactionTest::splitAnswerCompletesOnNinthByte()
{
    Rig rig;
    TestDesk &d = rig.d;
    rig.scanAndAwaitConnectionTest();

    rig.peer.send(kConnectionTest.left(8));
    QTRY_COMPARE(d.receiveBuffer.size(), 8);
    const int ticks = d.responseTicks;
    QTRY_VERIFY(d.responseTicks >= ticks + 10);
    QCOMPARE(rig.deviceLabel(), QString("连接中..."));
    QVERIFY(d.busy);
    QVERIFY(d.responseTimer->isActive());
    QVERIFY(rig.peer.received().isEmpty());

    rig.peer.send(kConnectionTest.mid(8));
    QTRY_COMPARE(rig.deviceLabel(), QString("已连接"));
    QTRY_COMPARE(rig.peer.received(), kVersionRequest);
    QCOMPARE(d.CommandState, 8);
    QCOMPARE(d.w<QLineEdit>("edt_com_auto")->text(), d.serialPort->portName());
    QVERIFY(d.w<QPushButton>("btn_start")->isEnabled());
}

void TransactionTest::answerInSingleBytesFiveMsApartIsAccepted()
{
    Rig rig;
    rig.scanAndAwaitConnectionTest();
    rig.peer.send(kConnectionTest);
    QTRY_COMPARE(rig.peer.received(), kVersionRequest);

    int sent = 0;
    QTimer trickle;
    trickle.setTimerType(Qt::PreciseTimer);
    connect(&trickle, &QTimer::timeout, [&] {
        rig.peer.send(kVersion21.mid(sent++, 1));
        if (sent == kVersion21.size())
            trickle.stop();
    });
    trickle.start(5);
    QTRY_COMPARE(rig.d.w<QLabel>("lbVersion")->text(), QString("V2.1_2019-06-03"));
    QCOMPARE(sent, kVersion21.size());
    QVERIFY(rig.d.pollTimer->isActive());
    QVERIFY(!logFileTexts(rig.folder.path()).contains("命令超时"));
}

void TransactionTest::malformedAnswerClosesAtOnce()
{
    Rig rig;
    TestDesk &d = rig.d;
    rig.scanAndAwaitConnectionTest();
    QElapsedTimer clock;
    clock.start();
    rig.peer.send(hex("00 00 05 02 00 02 55 AA 79"));

    QTRY_VERIFY(!d.serialPort->isOpen());
    QVERIFY(!d.responseTimer->isActive());
    // The last candidate gave up: the same display as after a silent port.
    QCOMPARE(rig.deviceLabel(), QString("连接失败"));
    QCOMPARE(d.w<QLabel>("label_dev_statu")->styleSheet(), QString("color: rgb(255, 0, 0);"));
    QVERIFY(!d.w<QPushButton>("btn_start")->isEnabled());
    QVERIFY(!d.w<QPushButton>("btn_stop")->isEnabled());
    QCOMPARE(viewTexts(d).last(), QString("警告：异常！"));
    const QStringList file = logFileTexts(rig.folder.path());
    QCOMPARE(file.last(), QString("命令返回异常!"));
    QVERIFY(!file.contains("命令超时"));
    QVERIFY(clock.elapsed() < 1900); // a time-out needs 200 ticks of 10 ms
}

void TransactionTest::silentDeviceTimesOutAfter200Ticks()
{
    Rig rig;
    TestDesk &d = rig.d;
    int ticks = 0;
    connect(d.responseTimer, &QTimer::timeout, [&] { ++ticks; });
    QElapsedTimer clock;
    clock.start();
    rig.scanAndAwaitConnectionTest();

    QTRY_COMPARE_WITH_TIMEOUT(rig.deviceLabel(), QString("连接失败"), 15000);
    QCOMPARE(ticks, 200);
    QVERIFY(clock.elapsed() >= 1800);
    QVERIFY(!d.responseTimer->isActive());
    QVERIFY(!d.serialPort->isOpen());
    QVERIFY(!d.w<QPushButton>("btn_start")->isEnabled());
    QCOMPARE(d.w<QLabel>("label_work_statu")->text(), QString());
    QCOMPARE(d.w<QLabel>("label_gps_lock")->text(), QString());
    QCOMPARE(d.w<QLabel>("label_gps_sec")->text(), QString());
    QVERIFY(logFileTexts(rig.folder.path()).contains("命令超时"));
    QVERIFY(rig.peer.received().isEmpty());
}

void TransactionTest::bytesWhileIdleWaitForTheNextSend()
{
    Rig rig;
    TestDesk &d = rig.d;
    rig.scanAndAwaitConnectionTest();
    rig.peer.send(kConnectionTest);
    QTRY_COMPARE(rig.peer.received(), kVersionRequest);
    rig.peer.clearReceived();
    rig.peer.send(kVersion21);
    QTRY_VERIFY(d.pollTimer->isActive());
    QVERIFY(d.linkIdle);

    // Stray bytes between exchanges are kept, not judged ...
    rig.peer.send(hex("00 11 22"));
    QTRY_COMPARE(d.receiveBuffer, hex("00 11 22"));
    QVERIFY(!d.responseTimer->isActive());
    QCOMPARE(rig.deviceLabel(), QString("已连接"));

    // ... and dropped by the next send, so they cannot spoil its answer.
    QTRY_COMPARE(rig.peer.received(), kStatusPoll);
    rig.peer.send(kStatusIdle);
    QTRY_COMPARE(d.w<QLabel>("label_work_statu")->text(), QString("空闲"));
    QTRY_VERIFY(!d.serialPort->isOpen());
}

void TransactionTest::vanishedDeviceClosesTheOpenPort()
{
    Rig rig;
    TestDesk &d = rig.d;
    rig.scanAndAwaitConnectionTest();
    rig.peer.send(kConnectionTest);
    QTRY_COMPARE(rig.peer.received(), kVersionRequest);
    rig.peer.send(kVersion21);
    QTRY_VERIFY(d.pollTimer->isActive());
    QVERIFY(d.serialPort->isOpen());
    const QString name = d.serialPort->portName();

    // Gone between two exchanges: the link check must not find a dead handle
    // open and write into it, but try to reopen the port.
    rig.peer.vanish();
    QTRY_VERIFY(!d.serialPort->isOpen());
    QTRY_VERIFY(viewTexts(d).contains(name + "重新打开失败"));
    QCOMPARE(rig.deviceLabel(), QString("连接失败"));
    const QStringList file = logFileTexts(rig.folder.path());
    QVERIFY(!file.contains("串口已正常开启!"));
    QCOMPARE(file.last(), QString("端口重新打开失败"));
}

QTEST_MAIN(TransactionTest)
#include "tst_transaction.moc"
