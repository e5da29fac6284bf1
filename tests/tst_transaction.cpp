#include "ptypeer.h"
#include "testdesk.h"

#include <QLabel>
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
    void connectionTestAnswer_data()
    {
        QTest::addColumn<int>("size"); // of each piece of the answer
        QTest::addColumn<int>("gapTicks"); // between pieces, once the desk has read the last one
        QTest::newRow("8 bytes wait, the 9th completes") << 8 << 10;
        QTest::newRow("single bytes 5 ms apart") << 1 << 0;
    }

    void connectionTestAnswer()
    {
        QFETCH(int, size);
        QFETCH(int, gapTicks);
        Rig rig;
        TestDesk &d = rig.d;
        int ticks = 0;
        connect(d.responseTimer, &QTimer::timeout, [&] { ++ticks; });
        rig.scanAndAwaitConnectionTest();

        // Until the last piece is in, the exchange waits and nothing else is sent.
        const QByteArray answer = kConnectionTest;
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
        trickle.start(5);

        QTRY_COMPARE(rig.label("label_dev_statu"), QString("已连接"));
        QTRY_COMPARE(rig.peer.received(), kVersionRequest);
        QCOMPARE(early, QStringList());
        QVERIFY(d.w<QPushButton>("btn_start")->isEnabled());
    }

    void bytesWhileIdleWaitForTheNextSend()
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
};

QTEST_MAIN(TransactionTest)
#include "tst_transaction.moc"
