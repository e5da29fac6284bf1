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
    QString label(const char *name) const { return d.w<QLabel>(name)->text(); }
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
    void connectionTestAnswer_data();
    void connectionTestAnswer();
    void bytesWhileIdleWaitForTheNextSend();
};

void TransactionTest::connectionTestAnswer_data()
{
    QTest::addColumn<QByteArray>("answer");
    QTest::addColumn<int>("pieceSize"); // 0: all at once
    QTest::addColumn<int>("gapTicks"); // between pieces, once the desk has read the last one
    QTest::addColumn<QString>("failure"); // in the log file; empty: connected
    QTest::newRow("8 bytes wait, the 9th completes") << kConnectionTest << 8 << 10 << QString();
    QTest::newRow("single bytes 5 ms apart") << kConnectionTest << 1 << 0 << QString();
    QTest::newRow("malformed closes at once") << hex("00 00 05 02 00 02 55 AA 79") << 0 << 0 << "命令返回异常!";
    QTest::newRow("silent: time-out on the 200th tick") << QByteArray() << 0 << 0 << "命令超时";
}

void TransactionTest::connectionTestAnswer()
{
    QFETCH(QByteArray, answer);
    QFETCH(int, pieceSize);
    QFETCH(int, gapTicks);
    QFETCH(QString, failure);
    Rig rig;
    TestDesk &d = rig.d;
    int ticks = 0;
    connect(d.responseTimer, &QTimer::timeout, [&] { ++ticks; });
    rig.scanAndAwaitConnectionTest();
    QElapsedTimer clock;
    clock.start();

    // Until the last piece is in, the exchange waits and nothing else is sent.
    const int size = pieceSize ? pieceSize : answer.size();
    int sent = 0, ticksAtLast = 0;
    QStringList early;
    QTimer trickle;
    trickle.setTimerType(Qt::PreciseTimer);
    connect(&trickle, &QTimer::timeout, [&] {
        if (d.receiveBuffer.size() < sent || ticks < ticksAtLast + gapTicks)
            return;
        if (sent > 0
            && !(d.busy && d.responseTimer->isActive() && rig.peer.received().isEmpty()
                && rig.label("label_dev_statu") == "连接中..."))
            early << QString::number(sent);
        rig.peer.send(answer.mid(sent, size));
        sent += size;
        ticksAtLast = ticks;
        if (sent >= answer.size())
            trickle.stop();
    });
    if (!answer.isEmpty())
        trickle.start(5);

    if (failure.isEmpty()) {
        QTRY_COMPARE(rig.label("label_dev_statu"), QString("已连接"));
        QTRY_COMPARE(rig.peer.received(), kVersionRequest);
        QCOMPARE(early, QStringList());
        QCOMPARE(d.CommandState, 8);
        QCOMPARE(d.w<QLineEdit>("edt_com_auto")->text(), d.serialPort->portName());
        QVERIFY(d.w<QPushButton>("btn_start")->isEnabled());
        QVERIFY(!logFileTexts(rig.folder.path()).contains("命令超时"));
        return;
    }
    // The last candidate gave up.
    QTRY_COMPARE_WITH_TIMEOUT(rig.label("label_dev_statu"), QString("连接失败"), 15000);
    const bool timedOut = failure == "命令超时";
    if (timedOut) {
        QCOMPARE(ticks, 200);
        QVERIFY(clock.elapsed() >= 1800);
    } else {
        QVERIFY(clock.elapsed() < 1900); // a time-out needs 200 ticks of 10 ms
        QCOMPARE(d.logLines.last().section("->", 1), QString("警告：异常！"));
        QCOMPARE(logFileTexts(rig.folder.path()).last(), failure);
    }
    QCOMPARE(d.w<QLabel>("label_dev_statu")->styleSheet(), QString("color: rgb(255, 0, 0);"));
    QVERIFY(!d.responseTimer->isActive());
    QVERIFY(!d.serialPort->isOpen());
    QVERIFY(!d.w<QPushButton>("btn_start")->isEnabled());
    QVERIFY(!d.w<QPushButton>("btn_stop")->isEnabled());
    for (const char *name : { "label_work_statu", "label_gps_lock", "label_gps_sec" })
        QCOMPARE(rig.label(name), QString());
    const QStringList file = logFileTexts(rig.folder.path());
    QVERIFY(file.contains(failure));
    QCOMPARE(file.contains("命令超时"), timedOut);
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
    rig.peer.send(hex("7E 00 05 1A 21 13 06 03 25"));
    QTRY_VERIFY(d.pollTimer->isActive());
    QVERIFY(d.linkIdle);

    // Stray bytes between exchanges are kept, not judged ...
    rig.peer.send(hex("00 11 22"));
    QTRY_COMPARE(d.receiveBuffer, hex("00 11 22"));
    QVERIFY(!d.responseTimer->isActive());
    QCOMPARE(rig.label("label_dev_statu"), QString("已连接"));

    // ... and dropped by the next send, so they cannot spoil its answer.
    QTRY_COMPARE(rig.peer.received(), hex("7E 00 03 07 00 01 76"));
    rig.peer.send(hex("7E 00 06 17 00 01 00 00 00 63"));
    QTRY_COMPARE(rig.label("label_work_statu"), QString("空闲"));
    QTRY_VERIFY(!d.serialPort->isOpen());
}

QTEST_MAIN(TransactionTest)
#include "tst_transaction.moc"
