#include "transmitter.h"

#include <QSerialPort>
#include <QtTest>

using txsim::Fault;
using txsim::FaultSpec;
using txsim::Transmitter;

static QByteArray hex(const char *text)
{
    return QByteArray::fromHex(text);
}

// The program's side of the cable: a QSerialPort on the simulator's path.
class Line
{
public:
    explicit Line(const QString &path)
    {
        port.setPortName(path);
        port.setBaudRate(QSerialPort::Baud115200);
        port.setDataBits(QSerialPort::Data8);
        port.setParity(QSerialPort::NoParity);
        port.setStopBits(QSerialPort::OneStop);
        port.setFlowControl(QSerialPort::NoFlowControl);
        QObject::connect(&port, &QSerialPort::readyRead, [this] { received += port.readAll(); });
    }
    bool open() { return port.open(QIODevice::ReadWrite); }
    void send(const QByteArray &bytes)
    {
        port.write(bytes);
        port.flush();
    }
    // Waits until at least `count` bytes have arrived.
    bool await(int count, int timeoutMs = 3000)
    {
        QElapsedTimer clock;
        clock.start();
        while (received.size() < count && clock.elapsed() < timeoutMs)
            QTest::qWait(5);
        return received.size() >= count;
    }
    QByteArray take()
    {
        const QByteArray out = received;
        received.clear();
        return out;
    }

    QSerialPort port;
    QByteArray received;
};

class TstTxsim : public QObject
{
    Q_OBJECT

private slots:
    void answersEachCommand_data();
    void answersEachCommand();
};

void TstTxsim::answersEachCommand_data()
{
    QTest::addColumn<QByteArray>("request");
    QTest::addColumn<QByteArray>("answer");

    QTest::newRow("connection test echoes") << hex("7E000502000255AA79") << hex("7E000502000255AA79");
    // status byte 0x60: GPS locked, leap second done
    QTest::newRow("status") << hex("7E000307000176") << hex("7E000617000060000004");
    QTest::newRow("version") << hex("7E00010A76") << hex("7E00051A2113060325");
    QTest::newRow("stop") << hex("7E0001047C") << hex("7E000214016A");
    QTest::newRow("sweep mode cyclic") << hex("7E0003058000F9") << hex("7E0002150169");
    QTest::newRow("start signal square") << hex("7E0002060475") << hex("7E0002160168");
    QTest::newRow("delay") << hex("7E0005090000034729") << hex("7E0002190165");
}

void TstTxsim::answersEachCommand()
{
    QFETCH(QByteArray, request);
    QFETCH(QByteArray, answer);
    Transmitter tx;
    QVERIFY2(tx.start(), qPrintable(tx.errorString()));
    tx.setGpsLocked(true);
    tx.setLeapDone(true);
    Line line(tx.portPath());
    QVERIFY(line.open());
    line.send(request);
    QVERIFY(line.await(answer.size()));
    QCOMPARE(line.take().toHex(' '), answer.toHex(' '));
    QCOMPARE(tx.rawFrames(), QList<QByteArray> { request });
}

QTEST_GUILESS_MAIN(TstTxsim)
#include "tst_txsim.moc"
