#include "schedule.h"

#include <cmath>

namespace txsim {

bool isKnownSignal(int signalCode)
{
    return (signalCode >= 1 && signalCode <= 11) || (signalCode >= 16 && signalCode <= 18);
}

int lowestLadderIndex(int signalCode)
{
    // Square waves reach the top of the ladder; the coded waves stop at 128 Hz.
    const bool square = signalCode == 4 || (signalCode >= 16 && signalCode <= 18);
    return square ? 0 : 6;
}

StartPlan planStart(const QByteArray &payload, int signalCode, int sweepMode)
{
    StartPlan plan;
    auto refuse = [&](const QString &why) {
        plan.refusal = why;
        return plan;
    };
    const int n = (payload.size() - 8) / 6;
    if (payload.size() < 14 || (payload.size() - 8) % 6 != 0)
        return refuse(QStringLiteral("payload length %1 is not 8 + 6n with n >= 1").arg(payload.size()));

    auto byte = [&](int i) { return int(quint8(payload.at(i))); };
    const QDate date(byte(1) * 100 + byte(2), byte(3), byte(4));
    const QTime time(byte(5), byte(6), byte(7));
    if (!date.isValid() || !time.isValid())
        return refuse(QStringLiteral("start moment %1 %2 %3 %4 %5 %6 %7 is not a real time")
                          .arg(byte(1))
                          .arg(byte(2))
                          .arg(byte(3))
                          .arg(byte(4))
                          .arg(byte(5))
                          .arg(byte(6))
                          .arg(byte(7)));
    plan.start = QDateTime(date, time, Qt::LocalTime);

    bool endless = (sweepMode & kCyclicSweep) != 0;
    double seconds = 0;
    for (int k = 0; k < n; ++k) {
        const int at = 8 + 6 * k;
        const int ladder = byte(at + 1);
        const qint32 count = qint32(quint32(byte(at + 2)) << 24 | quint32(byte(at + 3)) << 16
            | quint32(byte(at + 4)) << 8 | quint32(byte(at + 5)));
        if (ladder > kLadderTop)
            return refuse(QStringLiteral("entry %1: ladder index %2 above %3").arg(k + 1).arg(ladder).arg(kLadderTop));
        if (ladder < lowestLadderIndex(signalCode))
            return refuse(QStringLiteral("entry %1: %2 Hz too high for signal %3")
                              .arg(k + 1)
                              .arg(8192 >> ladder)
                              .arg(signalCode));
        if (count <= 0)
            return refuse(QStringLiteral("entry %1: period count %2").arg(k + 1).arg(count));
        if (count == kUntilStopped)
            endless = true;
        else if (signalCode == kPeriodCountedSignal)
            seconds += double(count) * std::ldexp(1.0, ladder) / 8192.0;
        else
            seconds += count;
    }
    plan.accepted = true;
    plan.entries = n;
    // Anything longer than a century is as good as endless.
    plan.durationMs = endless || seconds > 3.2e9 ? -1 : qint64(std::llround(seconds * 1000.0));
    return plan;
}

} // namespace txsim
