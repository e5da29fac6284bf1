#pragma once

#include <QString>
#include <QVector>

// What an accepted start makes the transmitter do, read back from the
// start-parameters payload it was sent, so the window follows the device's
// own count of periods rather than the table as it may have been edited since.
struct SweepPlan
{
    struct Row
    {
        float frequency = 0;
        double seconds = 0;
    };
    double start = 0; // on the transmitter's clock, seconds since the epoch
    QVector<Row> rows; // empty: no plan
    bool cyclic = false;
    bool endless = false; // one frequency until stopped

    bool isValid() const { return !rows.isEmpty(); }
    double sweepSeconds() const;
};

// payload: command code first, as sent. Square waves count periods of their
// frequency, every other signal counts seconds.
SweepPlan PlanOfStart(const unsigned char *payload, int length, bool periodsCounted, bool cyclic, double start);

struct SweepPosition
{
    enum Phase { Waiting, Running, Ended } phase = Waiting;
    double untilStart = 0; // Waiting
    double sinceStart = 0; // Running, Ended
    int row = -1; // Running: the row being sent
    double rowLeft = 0;
    double sweepLeft = 0; // to the end, or to the end of this cycle
    double end = 0; // the planned end, or the end of this cycle
};

SweepPosition PositionAt(const SweepPlan &plan, double now);

// A span as h:mm:ss, hours unbounded; a part second counts as a whole one.
QString SpanText(double seconds);
