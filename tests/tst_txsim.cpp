#include "framing.h"
#include "transmitter.h"

#include <QProcess>
#include <QSerialPort>
#include <QtTest>

#include <fcntl.h>
#include <sys/stat.h>

// What the end-to-end suites, taking the simulator's word, cannot see going wrong in it.

using txsim::Fault;

static const auto bytes = [](const char *text) { return QByteArray::fromHex(text); };
static const QByteArray kStop = bytes("7E0001047C"), kStopAck = bytes("7E000214016A"), kVersion = bytes("7E00010A76");

// The program's side of the cable: what came back once `size` bytes are in, or after 5 s.
static QByteArray ask(QSerialPort &port, const QByteArray &request, int size)
{
    QByteArray received;
    port.write(request);
    (void)QTest::qWaitFor([&] { return (received += port.readAll()).size() >= size; }, 5000); // the caller compares
    return received;
}

struct Case
{
    Fault fault; // on the next command
    QByteArray request, answer;
    int minMs = 0; // before the whole answer is in
    qint64 armedMs = 0; // the duration of the run armed; 0: none or refused
};
Q_DECLARE_METATYPE(Case)

class TstTxsim : public QObject
{
    Q_OBJECT

private slots:
    // The program never sends bad frames or impossible starts, and the fault
    // matrix would pass on plain, prompt answers: all would go unseen end to end.
    void theLineCarriesWhatTheSuitesRelyOn_data()
    {
        QTest::addColumn<Case>("c");
        const QByteArray versionAck = bytes("7E00051A2113060325");
        QTest::newRow("extra bytes") << Case { Fault::ExtraBytes, kStop, kStopAck + bytes("0055AA") };
        QTest::newRow("twice") << Case { Fault::Twice, kStop, kStopAck + kStopAck };
        QTest::newRow("three pieces, 60 ms apart") << Case { Fault::Split, kVersion, versionAck, 120 };
        QTest::newRow("late, past 2 s, not 5 % early") << Case { Fault::Delay, kVersion, versionAck, 2100 };
        QTest::newRow("held until the next command") << Case { Fault::Late, kVersion + kStop, versionAck + kStopAck };
        QTest::newRow("bad checksum, bad stuffing, cut short by a new frame, garbage between") << Case { {},
            bytes("7E0001047B7E00017D247C7E000502") + kStop + bytes("AA55") + kStop, kStopAck + kStopAck };
        QTest::newRow("stuffed both ways") << Case { {}, bytes("7E000509007D5D7D5EFB7D5D"), bytes("7E0002190165") };
        // Starts at 2024/05/17 10:15:00: periods and seconds counted, and one refused.
        for (const auto &[signal, entry, ms] : { std::tuple(4, "000B00000028", 10000),
                 std::tuple(8, "000B0000000A", 10000), std::tuple(8, "00000000000A", 0) }) {
            const QByteArray payload = bytes("01141805110A0F00") + bytes(entry), ack = bytes("11") + char(ms != 0);
            QTest::addRow("start, signal %d, entry %s", signal, entry)
                << Case { {}, txsim::encodeFrame(bytes("06") + char(signal)) + txsim::encodeFrame(payload),
                       bytes("7E0002160168") + txsim::encodeFrame(ack), 0, ms };
        }
    }
    void theLineCarriesWhatTheSuitesRelyOn()
    {
        QFETCH(Case, c);
        txsim::Transmitter tx;
        QVERIFY(tx.start());
        QSerialPort port(tx.portPath());
        QVERIFY(port.open(QIODevice::ReadWrite));
        tx.setFault(0, txsim::FaultSpec { c.fault, 3, 60, c.minMs, 1 }); // pieces, pause, delay, once
        tx.setClock(QDateTime(QDate(2024, 5, 17), QTime(10, 14, 0)));
        const QDeadlineTimer early(c.minMs);
        QCOMPARE(ask(port, c.request, c.answer.size()).toHex(' '), c.answer.toHex(' '));
        QVERIFY(early.hasExpired());
        QCOMPARE(tx.plannedDurationMs(), c.armedMs);
    }

    // The tool serves on the port it prints, as its flags say, and goes on answering
    // while nobody drains its log; once someone reads again, the log says what it lost.
    void toolServesOnItsPrintedPort()
    {
        QTemporaryDir dir;
        const QString fifo = dir.filePath("log");
        QVERIFY(::mkfifo(QFile::encodeName(fifo), 0600) == 0);
        QFile reader; // opened without waiting for the tool to write
        reader.open(
            ::open(QFile::encodeName(fifo), O_RDONLY | O_NONBLOCK), QIODevice::ReadOnly, QFile::AutoCloseHandle);
        QByteArray log;
        QProcess tool;
        tool.setStandardOutputFile(fifo);
        tool.start(TXSIM_PATH, { "--version", "0x30", "--build", "2021-11-09", "--fault", "version:refuse@1" });
        QVERIFY(QTest::qWaitFor([&] { return (log += reader.readAll()).contains('\n'); }, 10000));
        const QString path = QString::fromLocal8Bit(log.mid(5, log.indexOf('\n') - 5)); // "PORT path"
        QSerialPort port(path);
        QVERIFY(port.open(QIODevice::ReadWrite));
        // The first version request is refused, as --fault asked; the answers carry --version and --build.
        QCOMPARE(ask(port, kVersion, 9), txsim::encodeFrame(bytes("0030150B09")));
        QCOMPARE(ask(port, kVersion, 9), txsim::encodeFrame(bytes("1A30150B09")));
        // Some 58 bytes of log an exchange: 2500 of them are twice what the pipe holds.
        QCOMPARE(ask(port, kStop.repeated(2500), kStopAck.size() * 2500).size(), kStopAck.size() * 2500);
        log = reader.readAll();
        ask(port, kStop, kStopAck.size());
        QVERIFY(QTest::qWaitFor([&] { return (log += reader.readAll()).contains("log lines dropped"); }, 5000));
        tool.write("quit\n");
        QVERIFY(tool.waitForFinished(10000) && tool.exitCode() == 0 && !QFileInfo::exists(path));
    }
};

QTEST_GUILESS_MAIN(TstTxsim)
#include "tst_txsim.moc"
