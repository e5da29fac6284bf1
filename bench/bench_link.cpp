// Figures of the link against the simulated transmitter on a pseudo-terminal:
//   roundtrip [N]  status poll from the write to the painted window
//   start [N]      start button to the accepted start parameters
//   cpu [S]        CPU of the steady one-second poll over S seconds
//   soak [N]       N status transactions back to back; resident memory
// Without arguments: all four with their default sizes. Exit status 1 when a
// run could not complete or the soak's memory grew too much.

#include "benchdesk.h"

#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QStringListModel>

#include <atomic>
#include <cstring>

namespace {

QElapsedTimer monotonic;

qint64 nowNs()
{
    return monotonic.nsecsElapsed();
}

double ms(qint64 ns)
{
    return double(ns) / 1e6;
}

// Runs the event loop for `ms` without waking it for anything of its own.
void runFor(int ms)
{
    QEventLoop loop;
    QTimer::singleShot(ms, &loop, &QEventLoop::quit);
    loop.exec();
}

// A shown desk connected to a simulator on its own thread.
struct Rig
{
    AppFolderFixture folder;
    SimThread sim;
    TestDesk d;

    explicit Rig(bool gps)
    {
        sim.call([this, gps] {
            sim.tx->setGpsLocked(gps);
            sim.tx->setLeapDone(gps);
        });
        d.SetPortSource([this] { return QStringList(sim.portPath()); });
        d.resize(1280, 800);
        d.show();
        if (!QTest::qWaitForWindowExposed(&d))
            qFatal("the window was not exposed");
    }

    int commands(quint8 code)
    {
        int n = 0;
        sim.call([&] {
            for (const QByteArray &payload : sim.tx->payloads())
                n += quint8(payload.at(0)) == code;
        });
        return n;
    }

    bool idle() const { return d.linkIdle && !d.busy && !d.responseTimer->isActive() && !d.stepTimer->isActive(); }

    // Scans, and waits for the version exchange and the first status poll.
    bool connect()
    {
        d.w<QPushButton>("pushButton")->click();
        return waitFor([&] { return d.pollTimer->isActive(); }, 10000)
            && waitFor([&] { return commands(0x07) > 0 && idle(); }, 10000);
    }
};

// Stamps the end of the first repaint of the window after an exchange ended:
// the whole update (every dirty label painted and flushed) is run inside the
// filter, so the stamp falls after it.
class PaintStamp : public QObject
{
public:
    PaintStamp(TestDesk &desk)
        : d(desk)
    {
        d.installEventFilter(this);
    }
    void arm()
    {
        armed = true;
        at = 0;
    }
    qint64 at = 0;

protected:
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (!armed || watched != &d || event->type() != QEvent::UpdateRequest || d.responseTimer->isActive())
            return false;
        armed = false;
        static_cast<QObject &>(d).event(event);
        at = nowNs();
        return true;
    }

private:
    TestDesk &d;
    bool armed = false;
};

bool roundTrip(int n)
{
    Rig rig(false);
    std::atomic<qint64> answeredAt { 0 };
    rig.sim.call([&] {
        // Every answer changes the warning's text, so every poll has something to paint.
        QObject::connect(rig.sim.tx, &txsim::Transmitter::commandReceived, rig.sim.tx,
            [&rig, flip = false](const QByteArray &payload) mutable {
                if (quint8(payload.at(0)) == 0x07) {
                    flip = !flip;
                    rig.sim.tx->setWarnings(flip, !flip, false, false);
                }
            });
        QObject::connect(rig.sim.tx, &txsim::Transmitter::answered, rig.sim.tx,
            [&answeredAt](const QByteArray &) { answeredAt = nowNs(); });
    });
    if (!rig.connect())
        return false;
    rig.d.pollTimer->stop();

    qint64 writtenAt = 0;
    QObject::connect(rig.d.serialPort, &QSerialPort::bytesWritten, [&] { writtenAt = nowNs(); });
    PaintStamp painted(rig.d);
    // Connected after the desk's own handler: runs at the end of each tick.
    qint64 handledAt = 0;
    QObject::connect(rig.d.responseTimer, &QTimer::timeout, [&] {
        if (!rig.d.responseTimer->isActive() && handledAt == 0)
            handledAt = nowNs();
    });

    std::vector<double> total, afterAnswer, wire, handled;
    const int warmUp = 20;
    for (int i = 0; i < warmUp + n; ++i) {
        if (!waitFor([&] { return rig.idle(); }))
            return false;
        writtenAt = 0;
        answeredAt = 0;
        handledAt = 0;
        painted.arm();
        rig.d.TimeUpdate();
        if (!waitFor([&] { return painted.at != 0; }) || writtenAt == 0 || answeredAt == 0)
            return false;
        if (i < warmUp)
            continue;
        total.push_back(ms(painted.at - writtenAt));
        afterAnswer.push_back(ms(painted.at - answeredAt));
        wire.push_back(ms(answeredAt - writtenAt));
        handled.push_back(ms(handledAt - writtenAt));
    }
    report("status poll: write -> painted", total);
    report("status poll: answer's last byte -> painted", afterAnswer);
    report("status poll: write -> answer's last byte", wire);
    report("status poll: write -> answer handled", handled);
    return true;
}

bool startChain(int n)
{
    Rig rig(true);
    if (!rig.connect())
        return false;
    rig.d.pollTimer->stop();
    if (!waitFor([&] { return rig.idle(); }))
        return false;

    BoxAnswerer boxes; // a box that opens fails the run instead of blocking it
    rig.d.w<QRadioButton>("rBtn_single")->click();
    auto *frequency = rig.d.w<QComboBox>("cmb_freq");
    frequency->setCurrentIndex(frequency->findText("1"));
    rig.d.w<QComboBox>("cmb_signal")->setCurrentIndex(0);
    auto *sendTime = rig.d.w<QLineEdit>("edt_send_time");
    qint64 acceptedAt = 0;
    qint64 firstWriteAt = 0;
    bool stopped = false;
    QObject::connect(rig.d.serialPort, &QSerialPort::bytesWritten, [&] {
        if (firstWriteAt == 0)
            firstWriteAt = nowNs();
    });
    const auto look = [&] {
        const QString &last = rig.d.logLines.last();
        if (last.endsWith(QStringLiteral("->启动成功.")) && acceptedAt == 0)
            acceptedAt = nowNs();
        if (last.endsWith(QStringLiteral("->任务已停止.")))
            stopped = true;
    };
    QObject::connect(rig.d.logModel, &QAbstractItemModel::modelReset, look);
    QObject::connect(rig.d.logModel, &QAbstractItemModel::rowsInserted, look);

    std::vector<double> chain, step;
    for (int i = 0; i < n; ++i) {
        sendTime->clear(); // now, every time
        acceptedAt = 0;
        firstWriteAt = 0;
        const qint64 clickedAt = nowNs();
        rig.d.w<QPushButton>("btn_start")->click();
        if (!waitFor([&] { return acceptedAt != 0; }) || !boxes.seen.isEmpty())
            return false;
        chain.push_back(ms(acceptedAt - clickedAt));
        step.push_back(ms(firstWriteAt - clickedAt));

        stopped = false;
        rig.d.w<QPushButton>("btn_stop")->click();
        if (!waitFor([&] { return stopped && rig.idle(); }))
            return false;
    }
    report("start chain: button -> accepted parameters", chain);
    report("start chain: button -> sweep mode written", step);
    return true;
}

bool pollCpu(int seconds, bool gps)
{
    Rig rig(gps);
    if (!rig.connect())
        return false;
    runFor(1500); // past the first cycles, which log more

    const auto simCpu = [&rig] {
        qint64 us = 0;
        rig.sim.call([&us] { us = cpuMicros(RUSAGE_THREAD); });
        return us;
    };
    const int polls0 = rig.commands(0x07);
    const qint64 sim0 = simCpu();
    const qint64 all0 = cpuMicros(RUSAGE_SELF);
    QElapsedTimer wall;
    wall.start();
    runFor(seconds * 1000);
    const qint64 all1 = cpuMicros(RUSAGE_SELF);
    const qint64 sim1 = simCpu();
    const qint64 wallUs = wall.nsecsElapsed() / 1000;
    const int polls = rig.commands(0x07) - polls0;

    const qint64 desk = (all1 - all0) - (sim1 - sim0);
    std::printf("%-44s %d s, %d polls: %.3f %% of one core (%.1f ms CPU; simulator %.1f ms apart)\n",
        gps ? "steady poll, GPS locked (status + GPS time):" : "steady poll, GPS unlocked (status only):", seconds,
        polls, 100.0 * double(desk) / double(wallUs), double(desk) / 1000, double(sim1 - sim0) / 1000);
    std::fflush(stdout);
    return polls >= seconds - 2;
}

bool soak(int n)
{
    Rig rig(false);
    if (!rig.connect())
        return false;
    rig.d.pollTimer->stop();
    std::atomic<int> polled { 0 };
    rig.sim.call([&rig, &polled] {
        QObject::connect(rig.sim.tx, &txsim::Transmitter::commandReceived, rig.sim.tx,
            [&rig, &polled, flip = false](const QByteArray &payload) mutable {
                // A new warning text with every answer: the window repaints each time.
                flip = !flip;
                rig.sim.tx->setWarnings(flip, !flip, false, false);
                polled += quint8(payload.at(0)) == 0x07;
            });
    });

    const int block = std::min(1000, n / 2);
    std::vector<double> first, last;
    int done = 0;
    QElapsedTimer wall;
    wall.start();
    for (int i = 0; i < n; ++i) {
        if (!waitFor([&] { return rig.idle(); }))
            break;
        if (i % 100 == 0) // the simulator's own record of commands would grow
            rig.sim.call([&rig] { rig.sim.tx->clearRecord(); });
        rig.d.TimeUpdate();
        if (!waitFor([&] { return rig.idle(); }))
            break;
        ++done;
        if (i < block)
            first.push_back(double(residentKiB()));
        else if (i >= n - block)
            last.push_back(double(residentKiB()));
    }
    const int answered = polled;
    const double growth = quantile(last, 0.5) - quantile(first, 0.5);
    std::printf("soak: %d of %d status transactions in %.1f s; resident memory median %.0f KiB over the first %d, "
                "%.0f KiB over the last %d: growth %.0f KiB (limit 256)\n",
        answered, n, wall.elapsed() / 1000.0, quantile(first, 0.5), block, quantile(last, 0.5), block, growth);
    std::printf("soak: window still shows %s\n", qPrintable(rig.d.w<QLabel>("label_dev_statu")->text()));
    std::fflush(stdout);
    return done == n && answered == n && growth < 256;
}

} // namespace

int main(int argc, char *argv[])
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    quietOffscreen();
    QApplication app(argc, argv);
    monotonic.start();

    const QStringList args = app.arguments().mid(1);
    const QString what = args.value(0);
    const auto count = [&](int fallback) { return args.size() > 1 ? args.at(1).toInt() : fallback; };
    bool ok = true;
    if (what.isEmpty() || what == "roundtrip")
        ok = roundTrip(count(1000)) && ok;
    if (what.isEmpty() || what == "start")
        ok = startChain(count(50)) && ok;
    if (what.isEmpty() || what == "cpu") {
        ok = pollCpu(count(60), false) && ok;
        ok = pollCpu(count(60), true) && ok;
    }
    if (what.isEmpty() || what == "soak")
        ok = soak(count(10000)) && ok;
    if (!ok)
        std::fprintf(stderr, "bench_link: a run did not complete or missed its limit\n");
    return ok ? 0 : 1;
}
