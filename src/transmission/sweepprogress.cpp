#include "transmission/sweepprogress.h"

#include <cmath>

namespace {

constexpr qint32 kUntilStopped = 2147483647;

} // namespace

double SweepPlan::sweepSeconds() const
{
    double total = 0;
    for (const Row &row : rows)
        total += row.seconds;
    return total;
}

SweepPlan PlanOfStart(const unsigned char *payload, int length, bool periodsCounted, bool cyclic, double start)
{
    SweepPlan plan;
    plan.start = start;
    plan.cyclic = cyclic;
    for (int at = 8; at + 6 <= length; at += 6) {
        const int ladder = payload[at + 1];
        const qint32 count = qint32(quint32(payload[at + 2]) << 24 | quint32(payload[at + 3]) << 16
            | quint32(payload[at + 4]) << 8 | quint32(payload[at + 5]));
        SweepPlan::Row row;
        row.frequency = float(std::ldexp(8192.0, -ladder));
        row.seconds = periodsCounted ? double(count) / double(row.frequency) : double(count);
        plan.endless = plan.endless || count == kUntilStopped;
        plan.rows.append(row);
    }
    return plan;
}

SweepPosition PositionAt(const SweepPlan &plan, double now)
{
    SweepPosition at;
    if (now < plan.start) {
        at.untilStart = plan.start - now;
        return at;
    }
    at.phase = SweepPosition::Running;
    at.sinceStart = now - plan.start;
    const double total = plan.sweepSeconds();
    if (plan.endless || !(total > 0)) {
        at.row = 0;
        return at;
    }
    double into = at.sinceStart;
    if (plan.cyclic) {
        into = std::fmod(into, total);
    } else if (into >= total) {
        at.phase = SweepPosition::Ended;
        at.end = plan.start + total;
        return at;
    }
    double rowEnd = 0;
    for (int row = 0; row < plan.rows.size(); ++row) {
        rowEnd += plan.rows.at(row).seconds;
        if (into < rowEnd || row == plan.rows.size() - 1) {
            at.row = row;
            at.rowLeft = rowEnd - into;
            break;
        }
    }
    at.sweepLeft = total - into;
    at.end = now + at.sweepLeft;
    return at;
}

QString SpanText(double seconds)
{
    const qint64 whole = seconds > 0 ? qint64(std::ceil(seconds - 1e-6)) : 0;
    return QString("%1:%2:%3")
        .arg(whole / 3600, 2, 10, QChar('0'))
        .arg(whole / 60 % 60, 2, 10, QChar('0'))
        .arg(whole % 60, 2, 10, QChar('0'));
}
