#pragma once

// What the benchmarks share: a simulated transmitter on a thread of its own,
// so the desk's latency and CPU figures do not include the simulator's work,
// and small statistics helpers.

#include "testdesk.h"
#include "transmitter.h"

#include <QElapsedTimer>
#include <QThread>

#include <algorithm>
#include <cstdio>
#include <functional>
#include <sys/resource.h>
#include <vector>

class SimThread
{
public:
    SimThread()
    {
        home.moveToThread(&thread);
        thread.start();
        call([this] {
            tx = new txsim::Transmitter;
            started = tx->start();
            path = tx->portPath();
        });
        if (!started)
            qFatal("the simulated transmitter did not start");
    }
    ~SimThread()
    {
        call([this] { delete tx; });
        thread.quit();
        thread.wait();
    }

    // Runs `step` on the simulator's thread and waits for it.
    void call(const std::function<void()> &step)
    {
        QMetaObject::invokeMethod(&home, step, Qt::BlockingQueuedConnection);
    }
    QString portPath() const { return path; }
    txsim::Transmitter *tx = nullptr; // touched on the simulator's thread only

private:
    QThread thread;
    QObject home;
    bool started = false;
    QString path;
};

// CPU time (user and system) in microseconds, of the whole process or of the
// calling thread.
inline qint64 cpuMicros(int who)
{
    rusage usage {};
    getrusage(who, &usage);
    return qint64(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) * 1000000 + usage.ru_utime.tv_usec
        + usage.ru_stime.tv_usec;
}

// Resident set size in KiB, from /proc/self/status.
inline qint64 residentKiB()
{
    QFile status("/proc/self/status");
    if (!status.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray &line : status.readAll().split('\n')) {
        if (line.startsWith("VmRSS:"))
            return line.mid(6).trimmed().split(' ').value(0).toLongLong();
    }
    return -1;
}

// The q-quantile (0..1) of the samples, nearest rank.
inline double quantile(std::vector<double> samples, double q)
{
    if (samples.empty())
        return 0;
    std::sort(samples.begin(), samples.end());
    const size_t rank = size_t(std::max(0.0, std::ceil(q * double(samples.size())) - 1));
    return samples[std::min(rank, samples.size() - 1)];
}

inline void report(const char *what, const std::vector<double> &ms)
{
    std::printf("%-44s n=%-5zu median %8.3f ms  p99 %8.3f ms  max %8.3f ms\n", what, ms.size(), quantile(ms, 0.5),
        quantile(ms, 0.99), quantile(ms, 1.0));
    std::fflush(stdout);
}

// The offscreen platform warns on every window layout; the figures matter more.
inline void quietOffscreen()
{
    static QtMessageHandler previous = nullptr;
    previous = qInstallMessageHandler([](QtMsgType type, const QMessageLogContext &context, const QString &text) {
        if (!text.contains(QLatin1String("propagateSizeHints")))
            previous(type, context, text);
    });
}

// Waits, running the event loop, until `done` holds or `ms` pass. Unlike
// QTest::qWaitFor it never sleeps, so no timer or answer is handled late.
// Objects deleted later (the port's notifiers, at every close) go as they
// would in the program's own event loop.
inline bool waitFor(const std::function<bool()> &done, int ms = 5000)
{
    QElapsedTimer clock;
    clock.start();
    QTimer wake;
    wake.start(std::min(ms, 100));
    while (!done()) {
        if (clock.elapsed() >= ms)
            return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents | QEventLoop::WaitForMoreEvents);
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    }
    return true;
}
