#pragma once

// A desk wired to simulated transmitters, shared by the end-to-end suites.

#include "link/framecodec.h"
#include "testdesk.h"
#include "transmitter.h"

#include <QElapsedTimer>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSerialPort>

#include <algorithm>
#include <functional>
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

// The warning label's text for a status byte.
inline QString warningOf(quint8 byte)
{
    QString text;
    const char *const names[4][2]
        = { { "设备过温", ",过温" }, { "设备过压", ",过压" }, { "设备过流", ",过流" }, { "设备缺水", ",缺水" } };
    for (int i = 0; i < 4; ++i) {
        if (byte & (0x10 >> i))
            text += QString::fromUtf8(names[i][text.isEmpty() ? 0 : 1]);
    }
    return text;
}

// Lies of the window, as the TruthWatch of each Field found them; a suite's
// cleanup() fails the test that left any.
inline QStringList &truthLies()
{
    static QStringList lies;
    return lies;
}

// Checks what the window shows against what the simulators answered before
// every event the application delivers, so each state an event handler left
// behind is seen, however soon the next one paints over it.
class TruthWatch : public QObject
{
public:
    TruthWatch(TestDesk &desk, const std::vector<std::unique_ptr<Transmitter>> &sims)
        : d(desk)
        , sims(sims)
        , gpsLock(desk.w<QLabel>("label_gps_lock"))
        , gpsLeap(desk.w<QLabel>("label_gps_sec"))
        , work(desk.w<QLabel>("label_work_statu"))
        , warning(desk.w<QLabel>("label_warning_info"))
        , interrupt(desk.w<QLabel>("label_safe"))
        , start(desk.w<QPushButton>("btn_start"))
        , progress(desk.w<QLabel>("label_progress"))
    {
        since.start();
        qApp->installEventFilter(this);
    }

    void watch(Transmitter *sim)
    {
        connect(sim, &Transmitter::commandReceived, this, [this, sim](const QByteArray &payload) {
            if (quint8(payload.at(0)) == 0x07)
                answered.append({ since.elapsed(), sim->statusByte() });
            if (quint8(payload.at(0)) == 0x0A) {
                versionAsked = since.elapsed();
                linesAtVerdict = d.logLines.size();
                versionAnswer.clear();
                refusing = sim->versionByte() >= 0x30;
                refusedFirmware = false;
            }
        });
        connect(sim, &Transmitter::answered, this, [this](const QByteArray &bytes) {
            // What a status answer carried when it left, however late.
            if (bytes.size() > 6 && quint8(bytes.at(0)) == 0x7E && quint8(bytes.at(3)) == 0x17)
                delivered.append(quint8(bytes.at(6)));
            // Refused firmware as the program can know it: a whole version
            // answer, in well before its time-out.
            if (versionAsked < 0)
                return;
            versionAnswer += bytes;
            if (versionAnswer.size() < 9)
                return;
            refusedFirmware = refusing && quint8(versionAnswer.at(0)) == 0x7E && quint8(versionAnswer.at(3)) == 0x1A
                && since.elapsed() - versionAsked < 1900;
            versionAsked = -1;
        });
    }

    bool firmwareRefused() const { return refusedFirmware; }

private:
    struct Status
    {
        qint64 at;
        quint8 byte;
    };

    // Status bytes the window may still be showing: any asked for in the last
    // 3 s, and the last three that left the device, however long ago.
    bool reported(const std::function<bool(quint8)> &holds) const
    {
        for (const Status &s : answered) {
            if (since.elapsed() - s.at < 3000 && holds(s.byte))
                return true;
        }
        for (int i = std::max(0, int(delivered.size()) - 3); i < delivered.size(); ++i) {
            if (holds(delivered[i]))
                return true;
        }
        return false;
    }

    bool eventFilter(QObject *, QEvent *) override
    {
        check();
        return false;
    }

    void lie(const QString &what)
    {
        const QString line = QString("%1 ms: %2").arg(since.elapsed()).arg(what);
        if (truthLies().size() < 5 && !truthLies().contains(line))
            truthLies() << line;
    }

    void check()
    {
        const auto bit = [](int n, bool set) { return [n, set](quint8 b) { return bool(b & (1 << n)) == set; }; };
        const struct
        {
            QLabel *label;
            const char *text;
            int bit;
            bool set;
        } gps[4] = { { gpsLock, "已锁定", 6, true }, { gpsLock, "未锁定", 6, false }, { gpsLeap, "已闰秒", 5, true },
            { gpsLeap, "未闰秒", 5, false } };
        for (const auto &g : gps) {
            if (g.label->text() == QString::fromUtf8(g.text) && !reported(bit(g.bit, g.set)))
                lie(QString("%1 never reported").arg(QString::fromUtf8(g.text)));
        }
        const QString warned = warning->text();
        if (warning->isVisibleTo(&d) && !reported([&](quint8 b) { return warningOf(b) == warned; }))
            lie(QString("warning %1 never reported").arg(warned));
        if (interrupt->isVisibleTo(&d) && !reported(bit(0, true)))
            lie("interrupt protection never reported");

        bool armed = false, running = false;
        for (const auto &tx : sims) {
            armed = armed || tx->isArmed();
            running = running || tx->isTransmitting();
        }
        // A scan begun since the question drops the verdict with the port.
        for (; refusedFirmware && linesAtVerdict < d.logLines.size(); ++linesAtVerdict)
            refusedFirmware = !d.logLines.at(linesAtVerdict).endsWith("扫描端口...");
        // From the verdict on: the version exchange may still be open.
        if (refusedFirmware && start->isEnabled() && d.CommandState != StateVersion)
            lie("Start usable with refused firmware");
        const QString state = work->text();
        const bool ready = state == "空闲" && start->isEnabled();
        if (ready && armed)
            lie("idle and ready while the device holds a start");
        // The status shows a run's start or end one poll later.
        // So does the status bar's count of a run.
        const QString bar = progress->text();
        const bool stale = (ready && running) || ((state == "待发送" || state == "工作中") && !armed && !running)
            || (bar.startsWith("距发送") && !armed) || (bar.startsWith("正在发送") && !running);
        if (!stale)
            staleSince = -1;
        else if (staleSince < 0)
            staleSince = since.elapsed();
        else if (since.elapsed() - staleSince > 3000)
            lie(QString("%1 (%2) for over 3 s while the device %3")
                    .arg(state, bar.left(8),
                        running     ? "runs"
                            : armed ? "waits"
                                    : "is idle"));
    }

    TestDesk &d;
    const std::vector<std::unique_ptr<Transmitter>> &sims;
    QLabel *gpsLock, *gpsLeap, *work, *warning, *interrupt;
    QPushButton *start;
    QLabel *progress;
    QElapsedTimer since;
    QList<Status> answered;
    QList<quint8> delivered;
    qint64 staleSince = -1;
    qint64 versionAsked = -1; // while its answer is awaited
    QByteArray versionAnswer;
    int linesAtVerdict = 0;
    bool refusing = false, refusedFirmware = false;
};

// For each end-to-end suite's cleanup(): the test fails if its window lied.
inline void verifyWindowToldTheTruth()
{
    const QStringList lies = truthLies();
    truthLies().clear();
    QVERIFY2(lies.isEmpty(), qPrintable(lies.join("; ")));
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
    TruthWatch truth { d, sims };

    explicit Field(int count = 1)
    {
        for (int i = 0; i < count; ++i) {
            sims.push_back(std::make_unique<Transmitter>());
            if (!sims.back()->start())
                qFatal("simulator did not start: %s", qPrintable(sims.back()->errorString()));
            ports << sims.back()->portPath();
            truth.watch(sims.back().get());
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
