#pragma once

// A desk wired to simulated transmitters, shared by the end-to-end suites.

#include "link/framecodec.h"
#include "testdesk.h"
#include "transmitter.h"

#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSerialPort>

#include <memory>
#include <vector>

using txsim::Fault;
using txsim::FaultSpec;
using txsim::Transmitter;

const QString kGreen = "color: rgb(0, 170, 0);";
const QString kRed = "color: rgb(255, 0, 0);";
const QString kBlack = "color: rgb(0, 0, 0);";

inline QByteArray hex(const char *text)
{
    return QByteArray::fromHex(QByteArray(text).replace(' ', ""));
}

inline int commandsOf(const Transmitter &tx, quint8 code)
{
    int n = 0;
    for (const QByteArray &payload : tx.payloads())
        n += quint8(payload.at(0)) == code;
    return n;
}

inline QList<quint8> commandCodes(const Transmitter &tx)
{
    QList<quint8> codes;
    for (const QByteArray &payload : tx.payloads())
        codes << quint8(payload.at(0));
    return codes;
}

// Talks to the simulator over its own line while the desk has its port
// closed, as a second controller on the same transmitter would.
inline bool commandFromOutside(Transmitter &tx, const QByteArray &payload)
{
    QSerialPort port;
    port.setPortName(tx.portPath());
    if (!port.open(QIODevice::ReadWrite))
        return false;
    unsigned char out[FrameAreaSize(kMaxPayloadLength)];
    const int length = EncodeFrame(out, reinterpret_cast<const unsigned char *>(payload.constData()), payload.size());
    int answers = 0;
    const auto counter = QObject::connect(&tx, &Transmitter::answered, [&] { ++answers; });
    port.write(reinterpret_cast<const char *>(out), length);
    port.flush();
    const bool answered = QTest::qWaitFor([&] { return answers > 0; }, 3000);
    QObject::disconnect(counter);
    port.close();
    return answered;
}

// A desk whose scan finds the given simulated transmitters, in order, plus
// any extra locations a test puts in front of them.
struct Field
{
    AppFolderFixture folder;
    std::vector<std::unique_ptr<Transmitter>> sims;
    QStringList ports;
    int live = 0; // the simulator the desk ends up talking to
    TestDesk d;

    explicit Field(int count = 1)
    {
        for (int i = 0; i < count; ++i) {
            sims.push_back(std::make_unique<Transmitter>());
            if (!sims.back()->start())
                qFatal("simulator did not start: %s", qPrintable(sims.back()->errorString()));
            ports << sims.back()->portPath();
        }
        d.SetPortSource([this] { return ports; });
    }

    Transmitter &tx(int i = 0) { return *sims.at(size_t(i)); }
    QLabel *label(const char *name) const { return d.w<QLabel>(name); }
    QString text(const char *name) const { return label(name)->text(); }
    QString sheet(const char *name) const { return label(name)->styleSheet(); }
    QStringList file() const { return logFileTexts(folder.path()); }
    QStringList view() const
    {
        QStringList texts;
        for (const QString &line : d.logLines)
            texts << line.mid(9); // "hh:mm:ss-"
        return texts;
    }

    void scan() { d.w<QPushButton>("pushButton")->click(); }

    // Waits until the link is up, the poll runs and `polls` status answers
    // have been painted.
    bool connectAndPoll(int polls = 1)
    {
        scan();
        return QTest::qWaitFor([&] { return d.pollTimer->isActive(); }, 10000) && awaitPolls(polls);
    }

    // Waits for `count` further status exchanges of the simulator to end.
    bool awaitPolls(int count, int timeoutMs = 10000)
    {
        const int target = commandsOf(tx(live), 0x07) + count;
        return QTest::qWaitFor(
            [&] { return commandsOf(tx(live), 0x07) >= target && !d.responseTimer->isActive(); }, timeoutMs);
    }
};
