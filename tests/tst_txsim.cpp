#include "framing.h"
#include "transmitter.h"

#include <QProcess>
#include <QSerialPort>
#include <QtTest>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

// The end-to-end suites take the simulator's word for what went over the line;
// these checks cover what they cannot see going wrong in it.

using txsim::Fault;

static const auto bytes = [](const char *text) { return QByteArray::fromHex(text); };

// The program's side of the cable.
struct Line
{
    explicit Line(const QString &path)
    {
        port.setPortName(path);
        QObject::connect(&port, &QSerialPort::readyRead, [this] { received += port.readAll(); });
        port.open(QIODevice::ReadWrite);
    }
    QByteArray ask(const QByteArray &request, int answerSize)
    {
        received.clear();
        port.write(request);
        (void)QTest::qWaitFor([&] { return received.size() >= answerSize; }, 5000); // the caller compares
        return received;
    }
    QSerialPort port;
    QByteArray received;
};

struct Bench
{
    txsim::Transmitter tx;
    Line line { tx.start() ? tx.portPath() : QString() };
};

class TstTxsim : public QObject
{
    Q_OBJECT

private slots:
    // The program never sends bad frames and the fault matrix would pass on
    // plain, prompt answers: both would go unseen in the end-to-end suites.
    void theLineCarriesWhatTheSuitesRelyOn_data()
    {
        QTest::addColumn<int>("fault"); // on every command
        QTest::addColumn<QByteArray>("request");
        QTest::addColumn<QByteArray>("answer");
        QTest::addColumn<int>("minMs"); // before the whole answer is in
        const int none = int(Fault::None);
        const QByteArray stop = bytes("7E0001047C"), stopAck = bytes("7E000214016A"), version = bytes("7E00010A76");
        const QByteArray versionAnswer = bytes("7E00051A2113060325");
        QTest::newRow("extra bytes") << int(Fault::ExtraBytes) << stop << stopAck + bytes("0055AA") << 0;
        QTest::newRow("twice") << int(Fault::Twice) << stop << stopAck + stopAck << 0;
        QTest::newRow("three pieces, 60 ms apart") << int(Fault::Split) << version << versionAnswer << 120;
        // Not early even past 2 s, where a coarse timer would fire 5 % early.
        QTest::newRow("late, past the time-out") << int(Fault::Delay) << version << versionAnswer << 2100;
        QTest::newRow("held until the next command")
            << int(Fault::Late) << version + stop << versionAnswer + stopAck << 0;
        QTest::newRow("bad checksum") << none << bytes("7E0001047B") + stop << stopAck << 0;
        QTest::newRow("bad stuffing") << none << bytes("7E00017D247C") + stop << stopAck << 0;
        QTest::newRow("cut short by a new frame") << none << bytes("7E000502") + stop << stopAck << 0;
        QTest::newRow("garbage between") << none << stop + bytes("AA55") + stop << stopAck + stopAck << 0;
        QTest::newRow("stuffed payload, checksum")
            << none << bytes("7E000509007D5D7D5EFB7D5D") << bytes("7E0002190165") << 0;
    }
    void theLineCarriesWhatTheSuitesRelyOn()
    {
        QFETCH(int, fault);
        QFETCH(QByteArray, request);
        QFETCH(QByteArray, answer);
        QFETCH(int, minMs);
        Bench b;
        b.tx.setFault(0, txsim::FaultSpec { Fault(fault), 3, 60, minMs, 1 }); // pieces, pause, delay, once
        QElapsedTimer clock;
        clock.start();
        QCOMPARE(b.line.ask(request, answer.size()).toHex(' '), answer.toHex(' '));
        QVERIFY2(clock.elapsed() >= minMs, qPrintable(QString::number(clock.elapsed())));
    }

    // The program checks these itself, so no end-to-end case hears the refusal.
    void impossibleCommandsAreRefused_data()
    {
        QTest::addColumn<int>("signal");
        QTest::addColumn<QByteArray>("payload");
        QTest::addColumn<qint64>("durationMs"); // of the run it arms; 0: refused
        const QByteArray at = bytes("01141805110A0F00"); // 2024/05/17 10:15:00
        auto row = [](const char *tag, int signal, const QByteArray &payload, qint64 ms) {
            QTest::newRow(tag) << signal << payload << ms;
        };
        // Each refused start differs from one of these in one field.
        row("square wave counts periods", 4, at + bytes("000B00000028"), 10000);
        row("coded wave counts seconds", 8, at + bytes("000B0000000A"), 10000);
        row("no entries", 4, at, 0);
        row("entry cut short", 4, at + bytes("000B000000"), 0);
        row("zero periods", 4, at + bytes("000B00000000"), 0);
        row("second entry's ladder index 27", 4, at + bytes("000B00000028001B00000001"), 0);
        row("month 13", 4, bytes("0114180D110A0F00000B00000028"), 0);
        row("8192 Hz on a coded wave", 8, at + bytes("00000000000A"), 0);
        row("unknown signal code", 4, bytes("060C"), 0);
        row("unknown sweep mode", 4, bytes("054000"), 0);
        row("delay too short", 4, bytes("09000001"), 0);
    }
    void impossibleCommandsAreRefused()
    {
        QFETCH(int, signal);
        QFETCH(QByteArray, payload);
        QFETCH(qint64, durationMs);
        Bench b;
        b.tx.setClock(QDateTime(QDate(2024, 5, 17), QTime(10, 14, 0)));
        QCOMPARE(b.line.ask(txsim::encodeFrame(bytes("06") + char(signal)), 6), bytes("7E0002160168"));
        const QByteArray ack = QByteArray(1, char(payload.at(0) + 0x10)) + char(durationMs != 0);
        QCOMPARE(b.line.ask(txsim::encodeFrame(payload), 6).toHex(' '), txsim::encodeFrame(ack).toHex(' '));
        QCOMPARE(b.tx.plannedDurationMs(), durationMs);
    }

    // The tool serves on the port it prints, as its flags say, and goes on
    // answering while nobody drains its log; once someone reads again, the
    // log says what it lost.
    void toolServesOnItsPrintedPort()
    {
        QTemporaryDir dir;
        const QString fifo = dir.filePath("log");
        QVERIFY(::mkfifo(QFile::encodeName(fifo), 0600) == 0);
        const int reader = ::open(QFile::encodeName(fifo), O_RDONLY | O_NONBLOCK);
        QByteArray log;
        auto readLog = [&] {
            char chunk[65536];
            for (ssize_t n; (n = ::read(reader, chunk, sizeof chunk)) > 0;)
                log.append(chunk, int(n));
            return log;
        };
        QProcess tool;
        tool.setStandardOutputFile(fifo);
        tool.start(TXSIM_PATH, { "--version", "0x30", "--build", "2021-11-09", "--fault", "version:refuse@1" });
        QVERIFY(QTest::qWaitFor([&] { return readLog().contains('\n'); }, 10000));
        QVERIFY2(log.startsWith("PORT "), log.constData());
        const QString path = QString::fromLocal8Bit(log.mid(5, log.indexOf('\n') - 5));
        Line line(path);
        // The first version request is refused, as --fault asked; the answers carry --version and --build.
        QCOMPARE(line.ask(bytes("7E00010A76"), 9), txsim::encodeFrame(bytes("0030150B09")));
        QCOMPARE(line.ask(bytes("7E00010A76"), 9), txsim::encodeFrame(bytes("1A30150B09")));
        // Some 58 bytes of log an exchange: 2500 of them are twice what the pipe holds.
        const QByteArray stop = bytes("7E0001047C"), stopAck = bytes("7E000214016A");
        QCOMPARE(line.ask(stop.repeated(2500), stopAck.size() * 2500).size(), stopAck.size() * 2500);
        readLog();
        line.ask(stop, stopAck.size());
        QVERIFY(QTest::qWaitFor([&] { return readLog().contains("log lines dropped"); }, 5000));
        tool.write("quit\n");
        QVERIFY(tool.waitForFinished(10000));
        QCOMPARE(tool.exitCode(), 0);
        QVERIFY(!QFileInfo::exists(path));
        ::close(reader);
    }
};

QTEST_GUILESS_MAIN(TstTxsim)
#include "tst_txsim.moc"
