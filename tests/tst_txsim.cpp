#include "console.h"
#include "framing.h"
#include "pty.h"
#include "schedule.h"
#include "transmitter.h"

#include <QProcess>
#include <QSerialPort>
#include <QtTest>

#include <unistd.h>

using txsim::DecodedItem;
using txsim::Fault;
using txsim::FaultSpec;
using txsim::FrameDecoder;
using txsim::Transmitter;

Q_DECLARE_METATYPE(Fault)

static QByteArray hex(const char *text)
{
    return QByteArray::fromHex(text);
}

// The device's acknowledgement of `command`: its code + 0x10, then 1 or 0.
static QByteArray ack(const QByteArray &command, bool accepted)
{
    return txsim::encodeFrame(QByteArray(1, char(quint8(command.at(0)) + 0x10)) + QByteArray(1, char(accepted)));
}

// The program's side of the cable: a QSerialPort on the simulator's path, opened at once.
class Line
{
public:
    explicit Line(const QString &path)
    {
        port.setPortName(path);
        port.setBaudRate(QSerialPort::Baud115200);
        QObject::connect(&port, &QSerialPort::readyRead, [this] { received += port.readAll(); });
        port.open(QIODevice::ReadWrite);
    }
    void send(const QByteArray &bytes)
    {
        port.write(bytes);
        port.flush();
    }
    // The answer to `request`, followed by the echo of a connection test: the
    // echo proves that nothing else (extra bytes, a late answer) came between.
    QByteArray exchange(const QByteArray &request)
    {
        static const QByteArray probe = hex("7E000502000255AA79");
        send(request + probe);
        if (!QTest::qWaitFor([&] { return received.endsWith(probe); }, 5000))
            return "no echo after: " + received.toHex(' ');
        const QByteArray answer = received.chopped(probe.size());
        received.clear();
        return answer;
    }

    QSerialPort port;
    QByteArray received;
};

static QString started(Transmitter &tx)
{
    if (!tx.start())
        qFatal("simulator did not start: %s", qPrintable(tx.errorString()));
    return tx.portPath();
}

// A running simulator with the program's side of its line open.
struct Bench
{
    Transmitter tx;
    Line line { started(tx) };
};

class TstTxsim : public QObject
{
    Q_OBJECT

private slots:
    void framesEncodeAndDecodeInAnyPieces_data();
    void framesEncodeAndDecodeInAnyPieces();
    void decoderRejectsAndResynchronises_data();
    void decoderRejectsAndResynchronises();

    void answersOnTheWire_data();
    void answersOnTheWire();
    void badBytesAreReportedAndServingGoesOn();
    void splitAnswerComesInTimedPieces();
    void unplugFailsTheOpenPortAndReplugServesAgain();

    void commandsAreJudgedLikeTheDevice_data();
    void commandsAreJudgedLikeTheDevice();

    void servesOnASerialDevice();
    void faultSpecsParse();
    void toolHelpDocumentsEveryControl();
    void toolTakesFlagsAndLineCommands();
};

void TstTxsim::framesEncodeAndDecodeInAnyPieces_data()
{
    QTest::addColumn<QByteArray>("payload");
    QTest::addColumn<QByteArray>("frame");
    QTest::newRow("connection test") << hex("02000255AA") << hex("7E000502000255AA79");
    QTest::newRow("status poll") << hex("070001") << hex("7E000307000176");
    QTest::newRow("stop") << hex("04") << hex("7E0001047C");
    QTest::newRow("delay") << hex("0900000347") << hex("7E0005090000034729");
    QTest::newRow("gps, stuffed checksum") << hex("03") << hex("7E0001037D5D");
    QTest::newRow("stuffed payload") << hex("7E7D") << hex("7E00027D5E7D5D84");
    // 125 zero bytes: the low length byte itself is 0x7D and gets stuffed.
    QTest::newRow("length 0x7D") << QByteArray(125, 0) << hex("7E007D5D") + QByteArray(125, 0) + hex("04");
}

void TstTxsim::framesEncodeAndDecodeInAnyPieces()
{
    QFETCH(QByteArray, payload);
    QFETCH(QByteArray, frame);
    QCOMPARE(txsim::encodeFrame(payload).toHex(' '), frame.toHex(' '));
    for (int cut = 1; cut < frame.size(); ++cut) {
        FrameDecoder decoder;
        QVERIFY2(decoder.feed(frame.left(cut)).isEmpty(), qPrintable(QString("cut at %1").arg(cut)));
        const QList<DecodedItem> items = decoder.feed(frame.mid(cut));
        QCOMPARE(items.size(), 1);
        QVERIFY(items.at(0).good);
        QCOMPARE(items.at(0).payload.toHex(' '), payload.toHex(' '));
        QCOMPARE(items.at(0).raw, frame);
        QVERIFY(!decoder.isPending());
    }
}

void TstTxsim::decoderRejectsAndResynchronises_data()
{
    QTest::addColumn<QByteArray>("stream");
    QTest::addColumn<QString>("verdicts"); // one letter per item: g good, b bad
    QTest::addColumn<QByteArray>("lastPayload");
    const QByteArray stop = hex("7E0001047C");
    QTest::newRow("bad checksum") << hex("7E0001047B") + stop << "bg" << hex("04");
    QTest::newRow("garbage before") << hex("001122") + stop << "bg" << hex("04");
    QTest::newRow("bad stuffing") << hex("7E00017D00") + stop << "bg" << hex("04");
    QTest::newRow("frame cut short by a new one") << hex("7E000502") + stop << "bg" << hex("04");
    QTest::newRow("absurd length") << hex("7EFFFF") + stop << "bg" << hex("04");
    QTest::newRow("two in a row") << stop + hex("7E0001037D5D") << "gg" << hex("03");
    QTest::newRow("garbage between") << stop + hex("AA55") + stop << "gbg" << hex("04");
}

void TstTxsim::decoderRejectsAndResynchronises()
{
    QFETCH(QByteArray, stream);
    QFETCH(QString, verdicts);
    QFETCH(QByteArray, lastPayload);
    FrameDecoder decoder;
    const QList<DecodedItem> items = decoder.feed(stream);
    QString seen;
    QByteArray rejoined;
    for (const DecodedItem &item : items) {
        seen += item.good ? 'g' : 'b';
        rejoined += item.raw;
    }
    QCOMPARE(seen, verdicts);
    QCOMPARE(items.last().payload, lastPayload);
    QCOMPARE(rejoined, stream); // every byte is accounted for exactly once
}

void TstTxsim::answersOnTheWire_data()
{
    QTest::addColumn<int>("status"); // device flags: lock, leap second, warnings, interrupt
    QTest::addColumn<Fault>("fault");
    QTest::addColumn<QByteArray>("request");
    QTest::addColumn<QByteArray>("answer");
    auto row = [](const char *tag, int status, Fault fault, const char *request, const char *answer) {
        QTest::newRow(tag) << status << fault << hex(request) << hex(answer);
    };
    const char *poll = "7E000307000176", *stop = "7E0001047C";
    const Fault none = Fault::None;
    row("connection test echoes", 0x60, none, "7E000502000255AA79", "7E000502000255AA79");
    row("status, locked, leap second", 0x60, none, poll, "7E000617000060000004");
    row("status, warnings, interrupt", 0x15, none, poll, "7E00061700001500004F");
    row("status byte 0x7E stuffed", 0x7E, none, poll, "7E00061700007D5E0000E6");
    row("version", 0x60, none, "7E00010A76", "7E00051A2113060325");
    row("stop", 0x60, none, stop, "7E000214016A");
    row("sweep mode cyclic", 0x60, none, "7E0003058000F9", "7E0002150169");
    row("start signal square", 0x60, none, "7E0002060475", "7E0002160168");
    row("delay", 0x60, none, "7E0005090000034729", "7E0002190165");
    row("unknown command: silence", 0x60, none, "7E00010B75", "");
    // Two fault shapes byte for byte; what the window makes of every shape is the fault matrix's.
    row("extra bytes", 0, Fault::ExtraBytes, stop, "7E000214016A0055AA");
    row("stuffed response code", 0, Fault::StuffedCode, stop, "7E00027D5D0101");
}

void TstTxsim::answersOnTheWire()
{
    QFETCH(int, status);
    QFETCH(Fault, fault);
    QFETCH(QByteArray, request);
    QFETCH(QByteArray, answer);
    Bench b;
    b.tx.setGpsLocked(status & 0x40);
    b.tx.setLeapDone(status & 0x20);
    b.tx.setWarnings(status & 0x10, status & 0x08, status & 0x04, status & 0x02);
    b.tx.setInterruptProtection(status & 0x01);
    QCOMPARE(b.tx.statusByte(), quint8(status));
    FaultSpec spec { fault };
    spec.count = 1; // on whatever comes first: the connection test closing the exchange stays clean
    b.tx.setFault(0, spec);

    QCOMPARE(b.line.exchange(request).toHex(' '), answer.toHex(' '));
    QCOMPARE(b.tx.rawFrames().value(0), request);
    QCOMPARE(b.tx.badFrames(), 0);
}

void TstTxsim::badBytesAreReportedAndServingGoesOn()
{
    Bench b;
    QSignalSpy bad(&b.tx, &Transmitter::badFrameReceived);
    // garbage, a stop with a wrong checksum, then a good stop
    QCOMPARE(b.line.exchange(hex("0102037E0001047B7E0001047C")).toHex(' '), hex("7E000214016A").toHex(' '));
    QCOMPARE(b.tx.payloads(), (QList<QByteArray> { hex("04"), hex("02000255AA") }));
    // A frame that never completes is reported once the line falls silent.
    b.line.send(hex("7E000502"));
    QVERIFY(bad.wait(3000) || bad.count() > 2);
    QCOMPARE(b.tx.badFrames(), 3);
    QByteArrayList rejected;
    for (const QList<QVariant> &report : bad)
        rejected << report.at(0).toByteArray();
    QCOMPARE(rejected, QByteArrayList({ hex("010203"), hex("7E0001047B"), hex("7E000502") }));
    QVERIFY(b.line.received.isEmpty());
}

void TstTxsim::splitAnswerComesInTimedPieces()
{
    Bench b;
    FaultSpec spec { Fault::Split };
    spec.pieces = 3;
    spec.pauseMs = 60;
    b.tx.setFault(0x0A, spec);
    QSignalSpy writes(&b.tx, &Transmitter::answered);
    QElapsedTimer clock;
    clock.start();
    b.line.send(hex("7E00010A76"));
    QVERIFY(QTest::qWaitFor([&] { return b.line.received.size() >= 9; }, 5000));
    QVERIFY2(clock.elapsed() >= 2 * 60 - 10, qPrintable(QString::number(clock.elapsed())));
    QByteArrayList written;
    for (const QList<QVariant> &write : writes)
        written << write.at(0).toByteArray();
    QCOMPARE(written, QByteArrayList({ hex("7E0005"), hex("1A2113"), hex("060325") }));
    QCOMPARE(b.line.received, hex("7E00051A2113060325"));
}

void TstTxsim::unplugFailsTheOpenPortAndReplugServesAgain()
{
    Bench b;
    const QString path = b.tx.portPath();
    FaultSpec late;
    late.kind = Fault::Delay;
    late.delayMs = 400;
    b.tx.setFault(0x04, late);
    b.line.send(hex("7E0001047C"));
    QTRY_COMPARE_WITH_TIMEOUT(b.tx.payloads().size(), 1, 3000);

    b.tx.unplug();
    QVERIFY(!b.tx.isPlugged());
    QVERIFY(!QFileInfo::exists(path));
    QTRY_VERIFY_WITH_TIMEOUT(
        b.line.port.error() == QSerialPort::ResourceError || b.line.port.error() == QSerialPort::ReadError, 3000);
    b.line.port.close();

    b.tx.clearFaults();
    QVERIFY(b.tx.replug());
    QCOMPARE(b.tx.portPath(), path);
    Line again(path);
    QVERIFY2(again.port.isOpen(), qPrintable(again.port.errorString()));
    // Answers leave in order, so the stop answer still under way when the
    // cable went would come first here if it had survived the unplug.
    QCOMPARE(again.exchange(hex("7E00010A76")).toHex(' '), hex("7E00051A2113060325").toHex(' '));
}

constexpr qint64 kRefused = -2;

void TstTxsim::commandsAreJudgedLikeTheDevice_data()
{
    QTest::addColumn<int>("sweep");
    QTest::addColumn<int>("signal");
    QTest::addColumn<QByteArray>("payload");
    QTest::addColumn<bool>("onDemand"); // refused by a fault, whatever it holds
    QTest::addColumn<qint64>("durationMs"); // of the run it arms; -1 until stopped
    auto row = [](const char *tag, int sweep, int signal, const QByteArray &payload, qint64 ms, bool onDemand = false) {
        QTest::newRow(tag) << sweep << signal << payload << onDemand << ms;
    };
    const QByteArray at = hex("0114180511 0A0F00"); // start parameters for 2024/05/17 10:15:00
    row("square 4 Hz, 40 periods", 0, 4, at + hex("000B00000028"), 10000);
    row("multi-frequency, 10 s", 0, 8, at + hex("000B0000000A"), 10000);
    row("two entries add up", 0, 4, at + hex("000D00000003 000C00000001"), 3500);
    row("1/4096 Hz, one period", 0, 4, at + hex("001900000001"), 4096000);
    row("8192 Hz, 8192 periods", 0, 4, at + hex("000000002000"), 1000);
    row("until stopped", 0, 4, at + hex("000D7FFFFFFF"), -1);
    row("cyclic sweep", 0x80, 4, at + hex("000D00000001"), -1);

    row("no entries", 0, 4, at, kRefused);
    row("entry cut short", 0, 4, at + hex("000B000000"), kRefused);
    row("ladder index 26", 0, 4, at + hex("001A00000001"), kRefused);
    row("zero periods", 0, 4, at + hex("000B00000000"), kRefused);
    row("negative periods", 0, 4, at + hex("000B80000000"), kRefused);
    row("second entry bad", 0, 4, at + hex("000B00000001 001B00000001"), kRefused);
    row("month 13", 0, 4, hex("0114180D11 0A0F00 000B00000001"), kRefused);
    row("8192 Hz on a coded wave", 0, 8, at + hex("000000000001"), kRefused);
    row("unknown signal code", 0, 4, hex("060C"), kRefused);
    row("start signal too long", 0, 4, hex("060400"), kRefused);
    row("unknown sweep mode", 0, 4, hex("054000"), kRefused);
    row("delay too short", 0, 4, hex("09000001"), kRefused);
    row("start parameters refused on demand", 0, 4, at + hex("000B00000028"), kRefused, true);
    row("sweep mode refused on demand", 0, 4, hex("058000"), kRefused, true);
    row("start signal refused on demand", 0, 4, hex("0608"), kRefused, true);
    row("delay refused on demand", 0, 4, hex("0900000001"), kRefused, true);
}

void TstTxsim::commandsAreJudgedLikeTheDevice()
{
    QFETCH(int, sweep);
    QFETCH(int, signal);
    QFETCH(QByteArray, payload);
    QFETCH(bool, onDemand);
    QFETCH(qint64, durationMs);
    Bench b;
    b.tx.setClock(QDateTime(QDate(2024, 5, 17), QTime(10, 14, 0)));
    auto remembered = [&] { return QList<int> { b.tx.lastSweepMode(), b.tx.lastSignalCode(), b.tx.lastDelay() }; };
    QCOMPARE(remembered(), QList<int>({ -1, -1, 0 }));
    // What it accepts it remembers, the delay as a signed count.
    const QByteArrayList setUp = { hex("05") + char(sweep) + char(0), hex("06") + char(signal), hex("09FFFFFF9C") };
    for (const QByteArray &accepted : setUp)
        QCOMPARE(b.line.exchange(txsim::encodeFrame(accepted)), ack(accepted, true));
    QCOMPARE(remembered(), QList<int>({ sweep, signal, -100 }));

    if (onDemand)
        b.tx.setFault(quint8(payload.at(0)), FaultSpec { Fault::Refuse });
    QSignalSpy refusals(&b.tx, &Transmitter::refused);
    const bool accepted = durationMs != kRefused;
    QCOMPARE(b.line.exchange(txsim::encodeFrame(payload)).toHex(' '), ack(payload, accepted).toHex(' '));
    QCOMPARE(refusals.count(), accepted ? 0 : 1);
    QCOMPARE(b.tx.isArmed(), accepted);
    if (!accepted) {
        QCOMPARE(remembered(), QList<int>({ sweep, signal, -100 }));
        return;
    }
    const QDateTime start(QDate(2024, 5, 17), QTime(10, 15, 0));
    QCOMPARE(b.tx.plannedStart(), start);
    QCOMPARE(b.tx.plannedDurationMs(), durationMs);
    b.tx.setClock(start);
    QVERIFY(b.tx.isTransmitting());
    if (durationMs < 0)
        return;
    b.tx.setClock(start.addMSecs(durationMs + 200));
    QVERIFY(!b.tx.isTransmitting() && !b.tx.isArmed());
    b.tx.setClock(start); // a finished run stays finished
    QVERIFY(!b.tx.isTransmitting());
}

void TstTxsim::servesOnASerialDevice()
{
    // Another pseudo-terminal stands in for the loop-back cable: the
    // simulator takes its slave like a serial device, the test its master.
    txsim::Pty cable;
    QString error;
    QVERIFY2(cable.open(&error), qPrintable(error));
    Transmitter tx;
    QVERIFY2(tx.startOnDevice(cable.slavePath()), qPrintable(tx.errorString()));
    QCOMPARE(tx.portPath(), cable.slavePath());
    const QByteArray request = hex("7E00010A76");
    QCOMPARE(::write(cable.master(), request.constData(), size_t(request.size())), ssize_t(request.size()));
    QByteArray got;
    auto readSome = [&] {
        char buffer[64];
        const ssize_t n = ::read(cable.master(), buffer, sizeof buffer);
        return n > 0 ? QByteArray(buffer, int(n)) : QByteArray();
    };
    QTRY_VERIFY_WITH_TIMEOUT((got += readSome()).size() >= 9, 5000);
    QCOMPARE(got, hex("7E00051A2113060325"));
    QCOMPARE(tx.payloads(), QList<QByteArray> { hex("0A") });
    tx.unplug();
    QVERIFY(!tx.isPlugged());
    QVERIFY(tx.replug() && tx.isPlugged());
}

void TstTxsim::faultSpecsParse()
{
    quint8 code = 0xFF;
    FaultSpec spec;
    QString error;
    QVERIFY(txsim::parseFault("status:split:3:20@2", &code, &spec, &error));
    QCOMPARE(code, quint8(0x07));
    QCOMPARE(spec.kind, Fault::Split);
    QCOMPARE(QList<int>({ spec.pieces, spec.pauseMs, spec.count }), QList<int>({ 3, 20, 2 }));
    for (const char *wrong : { "status", "status:split:1", "nothing:refuse", "stop:delay", "stop:refuse@0",
             "stop:extra:7", "stop:refuse:3" })
        QVERIFY2(!txsim::parseFault(wrong, &code, &spec, &error), wrong);
}

void TstTxsim::toolHelpDocumentsEveryControl()
{
    QProcess tool;
    tool.start(TXSIM_PATH, { "--help" });
    QVERIFY(tool.waitForFinished(10000));
    QCOMPARE(tool.exitCode(), 0);
    const QString help = QString::fromLocal8Bit(tool.readAllStandardOutput());
    for (const char *word : { "--device", "--version", "--build", "--gps-lock", "--leap", "--clock", "--warn",
             "--interrupt", "--fault", "noanswer", "wrongstart", "split", "delay:MS", "refuse", "extra", "stuffed",
             "unplug", "replug", "status", "record", "quit", "lock on|off", "clear" })
        QVERIFY2(help.contains(QLatin1String(word)), word);

    tool.start(TXSIM_PATH, { "--fault", "status:melt" });
    QVERIFY(tool.waitForFinished(10000));
    QCOMPARE(tool.exitCode(), 2);
}

void TstTxsim::toolTakesFlagsAndLineCommands()
{
    QProcess tool;
    tool.start(TXSIM_PATH, { "--version", "0x30", "--build", "2021-11-09", "--gps-lock", "--warn", "volt" });
    QVERIFY(tool.waitForStarted(10000));
    QByteArray out;
    auto printed = [&](const char *text) {
        return QTest::qWaitFor([&] { return (out += tool.readAllStandardOutput()).contains(text); }, 10000);
    };
    QVERIFY2(printed("\n") && out.startsWith("PORT "), out.constData());
    const QString path = QString::fromLocal8Bit(out.mid(5, out.indexOf('\n') - 5));
    Line line(path);
    QVERIFY2(line.port.isOpen(), qPrintable(line.port.errorString()));
    QCOMPARE(line.exchange(hex("7E00010A76")), txsim::encodeFrame(hex("1A30150B09")));
    QCOMPARE(line.exchange(hex("7E000307000176")).mid(6, 1), hex("48"));

    // While it runs: other warnings, interrupt, the lock an hour away, a set clock.
    tool.write("warn temp,water\ninterrupt on\nlock 3600\nclock \"2030/01/02 03:04:05\"\nfault all:refuse@1\n");
    QVERIFY2(printed("fault set on all commands"), out.constData());
    QCOMPARE(line.exchange(hex("7E00010A76")), txsim::encodeFrame(hex("0030150B09")));
    QCOMPARE(line.exchange(hex("7E000307000176")).mid(6, 1), hex("13"));
    // GPS time (a request ending in a stuffed checksum): 2030/01/02 03:04, seconds run on.
    QCOMPARE(line.exchange(hex("7E0001037D5D")).left(10).toHex(' '), hex("7E000813141E01020304").toHex(' '));

    tool.write("record\nquit\n");
    QVERIFY(tool.waitForFinished(10000));
    QCOMPARE(tool.exitCode(), 0);
    out += tool.readAllStandardOutput();
    QVERIFY2(out.contains("<- version 0A"), out.constData());
    QVERIFY2(out.contains("-> 7E 00 05 1A 30 15 0B 09"), out.constData());
    QVERIFY2(out.contains("RECORD 10 good, 0 bad"), out.constData());
    QVERIFY(!QFileInfo::exists(path));
}

QTEST_GUILESS_MAIN(TstTxsim)
#include "tst_txsim.moc"
