#pragma once

#include <QByteArray>
#include <QDateTime>
#include <QString>

namespace txsim {

constexpr int kLadderTop = 25; // 8192 Hz / 2^25 = 1/4096 Hz
constexpr qint32 kUntilStopped = 0x7FFFFFFF;
constexpr int kPeriodCountedSignal = 4; // plain square wave: counts are periods, otherwise seconds
constexpr quint8 kCyclicSweep = 0x80;

// What an accepted start-parameters command makes the device do.
struct StartPlan
{
    bool accepted = false;
    QString refusal; // why not, when refused
    QDateTime start; // local time of the device's GPS clock
    int entries = 0;
    qint64 durationMs = 0; // -1: runs until stopped
};

// Judges a start-parameters payload (command code included) the way the
// device would, given the signal and sweep mode it last accepted.
StartPlan planStart(const QByteArray &payload, int signalCode, int sweepMode);

// The signal codes the device can generate, and whether a code is limited to
// the low part of the frequency ladder.
bool isKnownSignal(int signalCode);
int lowestLadderIndex(int signalCode);

} // namespace txsim
