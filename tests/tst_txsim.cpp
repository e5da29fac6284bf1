#include "console.h"
#include "pty.h"
#include "framing.h"
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

// Start-parameters payload: start moment, then (ladder index, count) entries.
static QByteArray startPayload(const QDateTime &at, const QList<QPair<int, qint32>> &entries)
{
    const QDate d = at.date();
    const QTime t = at.time();
    QByteArray p;
    for (int b : { 1, d.year() / 100, d.year() % 100, d.month(), d.day(), t.hour(), t.minute(), t.second() })
        p.append(char(b));
    for (const auto &e : entries) {
        p.append(char(0));
        p.append(char(e.first));
        for (int shift = 24; shift >= 0; shift -= 8)
            p.append(char(quint32(e.second) >> shift));
    }
    return p;
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
    bool await(int count, int timeoutMs = 5000)
    {
        QElapsedTimer clock;
        clock.start();
        while (received.size() < count && clock.elapsed() < timeoutMs)
            QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 20);
        return received.size() >= count;
    }
    // The answer to `request`, followed by the echo of a connection test: the
    // echo proves that nothing else (extra bytes, a late answer) came between.
    QByteArray exchange(const QByteArray &request)
    {
        static const QByteArray probe = hex("7E000502000255AA79");
        send(request);
        send(probe);
        QElapsedTimer clock;
        clock.start();
        while (!received.endsWith(probe) && clock.elapsed() < 5000)
            QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 20);
        if (!received.endsWith(probe))
            return "no echo after: " + received.toHex(' ');
        const QByteArray answer = received.left(received.size() - probe.size());
        received.clear();
        return answer;
    }

    QSerialPort port;
    QByteArray received;
};

class TstTxsim : public QObject
{
    Q_OBJECT

private slots:
    void encoderMatchesWireExamples_data();
    void encoderMatchesWireExamples();
    void decoderAcceptsFrameCutAnywhere_data();
    void decoderAcceptsFrameCutAnywhere();
    void decoderRejectsAndResynchronises_data();
    void decoderRejectsAndResynchronises();

    void answersEachCommand_data();
    void answersEachCommand();
    void gpsTimeFollowsTheSetClock();
    void statusByteShiftsWhenStuffed();
    void frameArrivingInPiecesIsAnswered();
    void badFramesAreCountedAndServingGoesOn();
    void trailingGarbageIsReportedAfterSilence();
    void reopeningThePortKeepsServing();

    void faultsShapeTheAnswer_data();
    void faultsShapeTheAnswer();
    void refusalLeavesStateUnchanged();
    void faultCountRunsOut();
    void splitAnswerComesInTimedPieces();
    void delayedAnswerWaits();
    void unplugFailsTheOpenPortAndReplugServesAgain();

    void armedThenTransmittingThenIdle();
    void pastStartBeginsAtOnceAndStopEndsIt();
    void runLength_data();
    void runLength();
    void impossibleCommandsAreRefused_data();
    void impossibleCommandsAreRefused();
    void remembersSweepSignalAndSignedDelay();

    void servesOnASerialDevice();
    void consoleParsesFaultsAndState();
    void toolHelpDocumentsEveryControl();
    void toolServesOnThePrintedPort();
};

void TstTxsim::encoderMatchesWireExamples_data()
{
    QTest::addColumn<QByteArray>("payload");
    QTest::addColumn<QByteArray>("frame");
    QTest::newRow("connection test") << hex("02000255AA") << hex("7E000502000255AA79");
    QTest::newRow("status poll") << hex("070001") << hex("7E00030700017 6");
    QTest::newRow("stop") << hex("04") << hex("7E0001047C");
    QTest::newRow("version") << hex("0A") << hex("7E00010A76");
    QTest::newRow("gps, stuffed checksum") << hex("03") << hex("7E0001037D5D");
    QTest::newRow("stuffed payload") << hex("7E7D") << hex("7E00027D5E7D5D84");
    // 125 zero bytes: the low length byte itself is 0x7D and gets stuffed.
    QTest::newRow("length 0x7D") << QByteArray(125, 0) << hex("7E007D5D") + QByteArray(125, 0) + hex("04");
}

void TstTxsim::encoderMatchesWireExamples()
{
    QFETCH(QByteArray, payload);
    QFETCH(QByteArray, frame);
    QCOMPARE(txsim::encodeFrame(payload).toHex(' '), frame.toHex(' '));
}

void TstTxsim::decoderAcceptsFrameCutAnywhere_data()
{
    QTest::addColumn<QByteArray>("frame");
    QTest::addColumn<QByteArray>("payload");
    QTest::newRow("gps request") << hex("7E0001037D5D") << hex("03");
    QTest::newRow("stuffed payload") << hex("7E00027D5E7D5D84") << hex("7E7D");
    QTest::newRow("delay") << hex("7E0005090000034729") << hex("0900000347");
}

void TstTxsim::decoderAcceptsFrameCutAnywhere()
{
    QFETCH(QByteArray, frame);
    QFETCH(QByteArray, payload);
    for (int cut = 1; cut < frame.size(); ++cut) {
        FrameDecoder decoder;
        QList<DecodedItem> items = decoder.feed(frame.left(cut));
        QVERIFY2(items.isEmpty(), qPrintable(QString("cut at %1").arg(cut)));
        items = decoder.feed(frame.mid(cut));
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
    for (const DecodedItem &item : items)
        seen += item.good ? 'g' : 'b';
    QCOMPARE(seen, verdicts);
    QCOMPARE(items.last().payload, lastPayload);
    QByteArray rejoined;
    for (const DecodedItem &item : items)
        rejoined += item.raw;
    QCOMPARE(rejoined, stream); // every byte is accounted for exactly once
}

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
    QTest::newRow("unknown command: silence") << hex("7E00010B75") << QByteArray();
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
    QCOMPARE(line.exchange(request).toHex(' '), answer.toHex(' '));
    QCOMPARE(tx.rawFrames().value(0), request);
    QCOMPARE(tx.badFrames(), 0);
}

void TstTxsim::gpsTimeFollowsTheSetClock()
{
    Transmitter tx;
    QVERIFY(tx.start());
    tx.setClock(QDateTime(QDate(2024, 5, 17), QTime(8, 3, 9)));
    Line line(tx.portPath());
    QVERIFY(line.open());
    const QDateTime before = tx.clock();
    // The request ends in a stuffed checksum, 7D 5D.
    const QByteArray answer = line.exchange(hex("7E0001037D5D"));
    const QDateTime after = tx.clock();
    QCOMPARE(tx.payloads().value(0), hex("03"));
    QCOMPARE(answer.size(), 12);
    QCOMPARE(answer.left(4).toHex(' '), hex("7E000813").toHex(' '));
    auto field = [&](int at) { return int(quint8(answer.at(at))); };
    const QDateTime told(QDate(field(4) * 100 + field(5), field(6), field(7)), QTime(field(8), field(9), field(10)));
    QVERIFY2(told.secsTo(before) <= 0 && told.secsTo(after) >= 0, qPrintable(told.toString()));
    QCOMPARE(told.date(), QDate(2024, 5, 17));
    int sum = 0;
    for (char c : answer)
        sum += quint8(c);
    QCOMPARE(sum & 0xFF, 0xFF);
}

void TstTxsim::statusByteShiftsWhenStuffed()
{
    Transmitter tx;
    QVERIFY(tx.start());
    tx.setWarnings(true, false, true, false);
    tx.setInterruptProtection(true);
    Line line(tx.portPath());
    QVERIFY(line.open());
    QCOMPARE(tx.statusByte(), quint8(0x15));
    QCOMPARE(line.exchange(hex("7E000307000176")).toHex(' '), hex("7E000617000015000 04F").toHex(' '));

    // Every flag but transmitting gives 0x7E, which the device stuffs: the
    // byte at position 6 then reads 0x7D.
    tx.setWarnings(true, true, true, true);
    tx.setInterruptProtection(false);
    tx.setGpsLocked(true);
    tx.setLeapDone(true);
    QCOMPARE(line.exchange(hex("7E000307000176")).toHex(' '), hex("7E00061700007D5E0000E6").toHex(' '));
}

void TstTxsim::frameArrivingInPiecesIsAnswered()
{
    Transmitter tx;
    QVERIFY(tx.start());
    Line line(tx.portPath());
    QVERIFY(line.open());
    QSignalSpy arrived(&tx, &Transmitter::bytesReceived);
    QSignalSpy commands(&tx, &Transmitter::commandReceived);
    const QByteArray request = hex("7E0001037D5D");
    for (int i = 0; i < request.size(); ++i) {
        line.send(request.mid(i, 1));
        QVERIFY(arrived.count() > i || arrived.wait(3000));
        QCOMPARE(commands.count(), i + 1 == request.size() ? 1 : 0);
    }
    QVERIFY(line.await(12));
    QCOMPARE(quint8(line.received.at(3)), quint8(0x13));
    QCOMPARE(tx.rawFrames(), QList<QByteArray> { request });
}

void TstTxsim::badFramesAreCountedAndServingGoesOn()
{
    Transmitter tx;
    QVERIFY(tx.start());
    Line line(tx.portPath());
    QVERIFY(line.open());
    QSignalSpy bad(&tx, &Transmitter::badFrameReceived);
    // garbage, a stop with a wrong checksum, then a good stop
    const QByteArray answer = line.exchange(hex("0102037E0001047B7E0001047C"));
    QCOMPARE(answer.toHex(' '), hex("7E000214016A").toHex(' '));
    QCOMPARE(tx.badFrames(), 2);
    QCOMPARE(bad.count(), 2);
    QCOMPARE(bad.at(0).at(0).toByteArray(), hex("010203"));
    QCOMPARE(bad.at(1).at(0).toByteArray(), hex("7E0001047B"));
    QCOMPARE(tx.payloads(), (QList<QByteArray> { hex("04"), hex("02000255AA") }));

    tx.clearRecord();
    QCOMPARE(tx.badFrames(), 0);
    QVERIFY(tx.payloads().isEmpty());
}

void TstTxsim::trailingGarbageIsReportedAfterSilence()
{
    Transmitter tx;
    QVERIFY(tx.start());
    Line line(tx.portPath());
    QVERIFY(line.open());
    QSignalSpy bad(&tx, &Transmitter::badFrameReceived);
    line.send(hex("7E000502")); // a frame that never completes
    QVERIFY(bad.wait(3000));
    QCOMPARE(bad.at(0).at(0).toByteArray(), hex("7E000502"));
    QCOMPARE(tx.badFrames(), 1);
    QVERIFY(line.received.isEmpty());
}

void TstTxsim::reopeningThePortKeepsServing()
{
    Transmitter tx;
    QVERIFY(tx.start());
    for (int round = 0; round < 3; ++round) {
        Line line(tx.portPath());
        QVERIFY2(line.open(), qPrintable(line.port.errorString()));
        QCOMPARE(line.exchange(hex("7E000307000176")).toHex(' '), hex("7E000617000000000064").toHex(' '));
        line.port.close();
    }
    QCOMPARE(tx.payloads().size(), 6);
}

void TstTxsim::faultsShapeTheAnswer_data()
{
    QTest::addColumn<int>("code");
    QTest::addColumn<Fault>("kind");
    QTest::addColumn<QByteArray>("request");
    QTest::addColumn<QByteArray>("answer");
    const QByteArray stop = hex("7E0001047C");
    const QByteArray version = hex("7E00010A76");
    const QByteArray gps = hex("7E0001037D5D");
    QTest::newRow("no answer") << 0x04 << Fault::NoAnswer << stop << QByteArray();
    QTest::newRow("wrong start byte") << 0x04 << Fault::WrongStartByte << stop << hex("00000214016A");
    QTest::newRow("refused stop") << 0x04 << Fault::Refuse << stop << hex("7E000214006B");
    QTest::newRow("refused version") << 0x0A << Fault::Refuse << version << hex("7E0005002113060 33F");
    QTest::newRow("extra bytes") << 0x04 << Fault::ExtraBytes << stop << hex("7E000214016A0055AA");
    QTest::newRow("stuffed code") << 0x04 << Fault::StuffedCode << stop << hex("7E00027D5D0101");
    QTest::newRow("split is whole in the end") << 0x04 << Fault::Split << stop << hex("7E000214016A");
    QTest::newRow("fault on all commands") << 0x00 << Fault::WrongStartByte << version << hex("0000051A2113060325");
    QTest::newRow("fault on another command") << 0x0A << Fault::NoAnswer << stop << hex("7E000214016A");
    QTest::newRow("refused gps") << 0x03 << Fault::Refuse << gps << QByteArray();
}

void TstTxsim::faultsShapeTheAnswer()
{
    QFETCH(int, code);
    QFETCH(Fault, kind);
    QFETCH(QByteArray, request);
    QFETCH(QByteArray, answer);
    Transmitter tx;
    QVERIFY(tx.start());
    FaultSpec spec;
    spec.kind = kind;
    spec.count = 1; // the connection test that closes the exchange must stay clean
    tx.setFault(quint8(code), spec);
    Line line(tx.portPath());
    QVERIFY(line.open());
    const QByteArray got = line.exchange(request);
    if (QByteArray(QTest::currentDataTag()) == "refused gps") {
        // the time itself moves on; the code and the length are what matter
        QCOMPARE(got.size(), 12);
        QCOMPARE(quint8(got.at(3)), quint8(0x00));
    } else {
        QCOMPARE(got.toHex(' '), answer.toHex(' '));
    }
}

void TstTxsim::refusalLeavesStateUnchanged()
{
    Transmitter tx;
    QVERIFY(tx.start());
    Line line(tx.portPath());
    QVERIFY(line.open());
    QCOMPARE(line.exchange(txsim::encodeFrame(hex("058000"))), hex("7E0002150169"));
    FaultSpec refuse;
    refuse.kind = Fault::Refuse;
    tx.setFault(0x05, refuse);
    tx.setFault(0x09, refuse);
    QCOMPARE(line.exchange(txsim::encodeFrame(hex("050000"))).toHex(' '), hex("7E000215006A").toHex(' '));
    QCOMPARE(line.exchange(txsim::encodeFrame(hex("0900000001"))).toHex(' '), hex("7E0002190066").toHex(' '));
    QCOMPARE(tx.lastSweepMode(), 0x80);
    QCOMPARE(tx.lastDelay(), 0);

    tx.clearFaults();
    QCOMPARE(line.exchange(txsim::encodeFrame(hex("050000"))).toHex(' '), hex("7E0002150169").toHex(' '));
    QCOMPARE(tx.lastSweepMode(), 0x00);
}

void TstTxsim::faultCountRunsOut()
{
    Transmitter tx;
    QVERIFY(tx.start());
    FaultSpec spec;
    spec.kind = Fault::NoAnswer;
    spec.count = 2;
    tx.setFault(0x07, spec);
    Line line(tx.portPath());
    QVERIFY(line.open());
    const QByteArray poll = hex("7E000307000176");
    QCOMPARE(line.exchange(poll), QByteArray());
    QCOMPARE(line.exchange(poll), QByteArray());
    QCOMPARE(line.exchange(poll).toHex(' '), hex("7E000617000000000064").toHex(' '));
    QCOMPARE(tx.payloads().size(), 6); // unanswered commands are still recorded
}

void TstTxsim::splitAnswerComesInTimedPieces()
{
    Transmitter tx;
    QVERIFY(tx.start());
    FaultSpec spec;
    spec.kind = Fault::Split;
    spec.pieces = 3;
    spec.pauseMs = 60;
    tx.setFault(0x0A, spec);
    Line line(tx.portPath());
    QVERIFY(line.open());
    QSignalSpy pieces(&tx, &Transmitter::answered);
    QElapsedTimer clock;
    clock.start();
    line.send(hex("7E00010A76"));
    QVERIFY(line.await(9));
    QVERIFY(clock.elapsed() >= 2 * 60 - 10);
    QCOMPARE(pieces.count(), 3);
    QCOMPARE(pieces.at(0).at(0).toByteArray(), hex("7E0005"));
    QCOMPARE(pieces.at(1).at(0).toByteArray(), hex("1A2113"));
    QCOMPARE(pieces.at(2).at(0).toByteArray(), hex("060325"));
    QCOMPARE(line.received, hex("7E00051A2113060325"));
}

void TstTxsim::delayedAnswerWaits()
{
    Transmitter tx;
    QVERIFY(tx.start());
    FaultSpec spec;
    spec.kind = Fault::Delay;
    spec.delayMs = 300;
    tx.setFault(0x04, spec);
    Line line(tx.portPath());
    QVERIFY(line.open());
    QSignalSpy answered(&tx, &Transmitter::answered);
    QElapsedTimer clock;
    clock.start();
    line.send(hex("7E0001047C"));
    QVERIFY(answered.wait(3000));
    QVERIFY2(clock.elapsed() >= 290, qPrintable(QString::number(clock.elapsed())));
    QVERIFY(line.await(6));
    QCOMPARE(line.received, hex("7E000214016A"));
}

void TstTxsim::unplugFailsTheOpenPortAndReplugServesAgain()
{
    Transmitter tx;
    QVERIFY(tx.start());
    const QString path = tx.portPath();
    {
        Line line(path);
        QVERIFY(line.open());
        QCOMPARE(line.exchange(hex("7E0001047C")), hex("7E000214016A"));
        FaultSpec late;
        late.kind = Fault::Delay;
        late.delayMs = 400;
        tx.setFault(0x04, late);
        line.send(hex("7E0001047C"));
        QTRY_COMPARE_WITH_TIMEOUT(tx.payloads().size(), 3, 3000);

        tx.unplug();
        QVERIFY(!tx.isPlugged());
        QVERIFY(!QFileInfo::exists(path));
        QTRY_VERIFY_WITH_TIMEOUT(
            line.port.error() == QSerialPort::ResourceError || line.port.error() == QSerialPort::ReadError, 3000);
        Line again(path);
        QVERIFY(!again.open());
    }
    tx.clearFaults();
    QVERIFY(tx.replug());
    QVERIFY(tx.isPlugged());
    QCOMPARE(tx.portPath(), path);
    Line line(path);
    QVERIFY2(line.open(), qPrintable(line.port.errorString()));
    // Answers leave in order, so the stop answer still under way when the
    // cable went would come first here if it had survived the unplug.
    QCOMPARE(line.exchange(hex("7E00010A76")).toHex(' '), hex("7E00051A2113060325").toHex(' '));
}

void TstTxsim::armedThenTransmittingThenIdle()
{
    Transmitter tx;
    QVERIFY(tx.start());
    const QDateTime t0(QDate(2024, 5, 17), QTime(10, 15, 0));
    tx.setClock(t0);
    Line line(tx.portPath());
    QVERIFY(line.open());
    const QByteArray poll = hex("7E000307000176");
    QCOMPARE(line.exchange(txsim::encodeFrame(hex("050000"))), hex("7E0002150169"));
    QCOMPARE(line.exchange(txsim::encodeFrame(hex("0604"))), hex("7E0002160168"));
    // 2 Hz (ladder index 12), twenty periods: ten seconds, starting a minute on
    const QByteArray params = startPayload(t0.addSecs(60), { { 12, 20 } });
    QCOMPARE(params.mid(0, 8).toHex(' '), hex("0114180511 0A1000").toHex(' '));
    QCOMPARE(line.exchange(txsim::encodeFrame(params)), hex("7E000211016D"));
    QVERIFY(tx.isArmed());
    QCOMPARE(tx.plannedDurationMs(), qint64(10000));
    QCOMPARE(quint8(line.exchange(poll).at(6)), quint8(0x00));

    tx.setClock(t0.addSecs(60));
    QVERIFY(tx.isTransmitting());
    QCOMPARE(quint8(line.exchange(poll).at(6)), quint8(0x80));

    tx.setClock(t0.addSecs(70).addMSecs(200));
    QVERIFY(!tx.isTransmitting());
    QVERIFY(!tx.isArmed());
    QCOMPARE(quint8(line.exchange(poll).at(6)), quint8(0x00));
    tx.setClock(t0.addSecs(60)); // a finished run stays finished
    QVERIFY(!tx.isTransmitting());
}

void TstTxsim::pastStartBeginsAtOnceAndStopEndsIt()
{
    Transmitter tx;
    QVERIFY(tx.start());
    Line line(tx.portPath());
    QVERIFY(line.open());
    QCOMPARE(line.exchange(txsim::encodeFrame(hex("0604"))), hex("7E0002160168"));
    const QByteArray params = startPayload(tx.clock().addSecs(-3600), { { 0, txsim::kUntilStopped } });
    QCOMPARE(line.exchange(txsim::encodeFrame(params)), hex("7E000211016D"));
    QVERIFY(tx.isTransmitting());
    QCOMPARE(tx.plannedDurationMs(), qint64(-1));
    tx.setClock(tx.clock().addDays(400));
    QVERIFY(tx.isTransmitting());
    QCOMPARE(line.exchange(hex("7E0001047C")), hex("7E000214016A"));
    QVERIFY(!tx.isTransmitting());
    QCOMPARE(tx.statusByte() & 0x80, 0);
}

void TstTxsim::runLength_data()
{
    QTest::addColumn<int>("signal");
    QTest::addColumn<int>("sweep");
    QTest::addColumn<QByteArray>("entries");
    QTest::addColumn<qint64>("durationMs");
    QTest::newRow("square 4 Hz, 40 periods") << 4 << 0 << hex("000B00000028") << qint64(10000);
    QTest::newRow("multi-frequency, 10 s") << 8 << 0 << hex("000B0000000A") << qint64(10000);
    QTest::newRow("two entries add up") << 4 << 0 << hex("000D00000003 000C00000001") << qint64(3500);
    QTest::newRow("1/4096 Hz, one period") << 4 << 0 << hex("001900000001") << qint64(4096000);
    QTest::newRow("8192 Hz, 8192 periods") << 4 << 0 << hex("000000002000") << qint64(1000);
    QTest::newRow("until stopped") << 4 << 0 << hex("000D7FFFFFFF") << qint64(-1);
    QTest::newRow("cyclic sweep") << 4 << 0x80 << hex("000D00000001") << qint64(-1);
}

void TstTxsim::runLength()
{
    QFETCH(int, signal);
    QFETCH(int, sweep);
    QFETCH(QByteArray, entries);
    QFETCH(qint64, durationMs);
    const txsim::StartPlan plan = txsim::planStart(hex("0114180511 0A0F00") + entries, signal, sweep);
    QVERIFY2(plan.accepted, qPrintable(plan.refusal));
    QCOMPARE(plan.start, QDateTime(QDate(2024, 5, 17), QTime(10, 15, 0)));
    QCOMPARE(plan.entries, entries.size() / 6);
    QCOMPARE(plan.durationMs, durationMs);
}

void TstTxsim::impossibleCommandsAreRefused_data()
{
    QTest::addColumn<QByteArray>("payload");
    const QByteArray head = hex("0114180511 0A0F00");
    QTest::newRow("no entries") << head;
    QTest::newRow("entry cut short") << head + hex("000B000000");
    QTest::newRow("ladder index 26") << head + hex("001A00000001");
    QTest::newRow("zero periods") << head + hex("000B00000000");
    QTest::newRow("negative periods") << head + hex("000B80000000");
    QTest::newRow("second entry bad") << head + hex("000B00000001 001B00000001");
    QTest::newRow("month 13") << hex("0114180D11 0A0F00") + hex("000B00000001");
    QTest::newRow("8192 Hz on a coded wave") << head + hex("000000000001");
    QTest::newRow("unknown signal code") << hex("060C");
    QTest::newRow("start signal too long") << hex("060400");
    QTest::newRow("unknown sweep mode") << hex("054000");
    QTest::newRow("delay too short") << hex("09000001");
}

void TstTxsim::impossibleCommandsAreRefused()
{
    QFETCH(QByteArray, payload);
    Transmitter tx;
    QVERIFY(tx.start());
    Line line(tx.portPath());
    QVERIFY(line.open());
    const bool coded = QByteArray(QTest::currentDataTag()) == "8192 Hz on a coded wave";
    QCOMPARE(line.exchange(txsim::encodeFrame(coded ? hex("0608") : hex("0604"))), hex("7E0002160168"));
    QSignalSpy refusals(&tx, &Transmitter::refused);
    const quint8 answerCode = quint8(payload.at(0)) + 0x10;
    QCOMPARE(line.exchange(txsim::encodeFrame(payload)).toHex(' '),
        txsim::encodeFrame(QByteArray(1, char(answerCode)) + QByteArray(1, 0)).toHex(' '));
    QCOMPARE(refusals.count(), 1);
    QVERIFY(!tx.isArmed());
    QVERIFY(!tx.isTransmitting());
    QCOMPARE(tx.lastSignalCode(), coded ? 8 : 4);
    QCOMPARE(tx.lastSweepMode(), -1);
}

void TstTxsim::remembersSweepSignalAndSignedDelay()
{
    Transmitter tx;
    QVERIFY(tx.start());
    QCOMPARE(tx.lastSweepMode(), -1);
    QCOMPARE(tx.lastSignalCode(), -1);
    QCOMPARE(tx.lastDelay(), 0);
    Line line(tx.portPath());
    QVERIFY(line.open());
    QCOMPARE(line.exchange(txsim::encodeFrame(hex("058000"))), hex("7E0002150169"));
    QCOMPARE(line.exchange(txsim::encodeFrame(hex("0612"))), txsim::encodeFrame(hex("1601")));
    QCOMPARE(line.exchange(txsim::encodeFrame(hex("09FFFFFF9C"))), hex("7E0002190165"));
    QCOMPARE(tx.lastSweepMode(), 0x80);
    QCOMPARE(tx.lastSignalCode(), 0x12);
    QCOMPARE(tx.lastDelay(), -100);
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
    QVERIFY(tx.isPlugged());
    const QByteArray request = hex("7E00010A76");
    QCOMPARE(::write(cable.master(), request.constData(), size_t(request.size())), ssize_t(request.size()));
    QByteArray got;
    QTRY_VERIFY_WITH_TIMEOUT(
        [&] {
            char buffer[64];
            const ssize_t n = ::read(cable.master(), buffer, sizeof buffer);
            if (n > 0)
                got.append(buffer, int(n));
            return got.size() >= 9;
        }(),
        5000);
    QCOMPARE(got, hex("7E00051A2113060325"));
    QCOMPARE(tx.payloads(), QList<QByteArray> { hex("0A") });
    tx.unplug();
    QVERIFY(!tx.isPlugged());
    QVERIFY(tx.replug());
    QVERIFY(tx.isPlugged());
}

void TstTxsim::consoleParsesFaultsAndState()
{
    quint8 code = 0xFF;
    FaultSpec spec;
    QString error;
    QVERIFY(txsim::parseFault("status:split:3:20@2", &code, &spec, &error));
    QCOMPARE(code, quint8(0x07));
    QCOMPARE(spec.kind, Fault::Split);
    QCOMPARE(spec.pieces, 3);
    QCOMPARE(spec.pauseMs, 20);
    QCOMPARE(spec.count, 2);
    QVERIFY(txsim::parseFault("0x0A:extra:7E7E", &code, &spec, &error));
    QCOMPARE(code, quint8(0x0A));
    QCOMPARE(spec.extra, hex("7E7E"));
    QVERIFY(txsim::parseFault("all:delay:250", &code, &spec, &error));
    QCOMPARE(code, quint8(0));
    QCOMPARE(spec.delayMs, 250);
    for (const char *wrong : { "status", "status:split:1", "nothing:refuse", "stop:delay", "stop:refuse@0",
             "stop:extra:7", "stop:refuse:3" })
        QVERIFY2(!txsim::parseFault(wrong, &code, &spec, &error), wrong);

    Transmitter tx;
    txsim::Console console(tx);
    bool ok = false;
    console.run("warn temp,water", &ok);
    QVERIFY(ok);
    console.run("interrupt on", &ok);
    console.run("lock on", &ok);
    QCOMPARE(tx.statusByte(), quint8(0x53));
    console.run("lock 3600", &ok);
    QVERIFY(ok);
    QCOMPARE(tx.statusByte(), quint8(0x13)); // locks only in an hour
    console.run("warn none", &ok);
    console.run("interrupt off", &ok);
    QCOMPARE(tx.statusByte(), quint8(0x00));
    console.run("clock \"2030/01/02 03:04:05\"", &ok);
    QVERIFY(ok);
    QVERIFY(qAbs(tx.clock().secsTo(QDateTime(QDate(2030, 1, 2), QTime(3, 4, 5)))) <= 1);
    console.run("warn heat", &ok);
    QVERIFY(!ok);
    console.run("jump", &ok);
    QVERIFY(!ok);
    QVERIFY(!console.quitRequested());
    console.run("quit", &ok);
    QVERIFY(console.quitRequested());
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

void TstTxsim::toolServesOnThePrintedPort()
{
    QProcess tool;
    tool.start(TXSIM_PATH, { "--version", "0x30", "--build", "2021-11-09", "--gps-lock", "--warn", "volt" });
    QVERIFY(tool.waitForStarted(10000));
    QByteArray out;
    QTRY_VERIFY_WITH_TIMEOUT((out += tool.readAllStandardOutput()).contains('\n'), 10000);
    QVERIFY2(out.startsWith("PORT "), out.constData());
    const QString path = QString::fromLocal8Bit(out.mid(5, out.indexOf('\n') - 5));

    Line line(path);
    QVERIFY2(line.open(), qPrintable(line.port.errorString()));
    QCOMPARE(line.exchange(hex("7E00010A76")), txsim::encodeFrame(hex("1A30150B09")));
    QCOMPARE(quint8(line.exchange(hex("7E000307000176")).at(6)), quint8(0x48));

    tool.write("record\nquit\n");
    QVERIFY(tool.waitForFinished(10000));
    QCOMPARE(tool.exitCode(), 0);
    out += tool.readAllStandardOutput();
    QVERIFY2(out.contains("<- version 0A"), out.constData());
    QVERIFY2(out.contains("-> 7E 00 05 1A 30 15 0B 09"), out.constData());
    QVERIFY2(out.contains("RECORD 4 good, 0 bad"), out.constData());
    QVERIFY(!QFileInfo::exists(path));
}

QTEST_GUILESS_MAIN(TstTxsim)
#include "tst_txsim.moc"
