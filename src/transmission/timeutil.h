#pragma once

#include <QString>
#include <QVector>

#include <cstdint>

#pragma pack(push, 1)
struct TimeFields
{
    int8_t second;
    int8_t minute;
    int8_t hour;
    int8_t day;
    int8_t month;
    int16_t year;
};
#pragma pack(pop)

// Date-time arithmetic of the send time, in local time. Counts are seconds
// since 1970-01-01 00:00:00 UTC; the calendar covers 1970 to the end of 3000
// on every platform, so the send time keeps working after January 2038.
class TimeUtil
{
public:
    // -1 for a moment outside the calendar. A clock in the hour a summer-time
    // change repeats reads as its later pass, whatever was converted before.
    qint64 ToTimeT(TimeFields t) const;
    // All fields 0 for a count outside the calendar.
    TimeFields FromTimeT(qint64 seconds) const;
    TimeFields AddSeconds(TimeFields t, qint64 n) const;

    // Reads "yyyy/MM/dd hh:mm:ss" piece by piece; a piece the text lacks
    // leaves its field 0.
    TimeFields ParseTime(const QString &text) const;
    // Accepts only a complete, real date and time written exactly
    // "yyyy/MM/dd hh:mm:ss"; *out is left alone otherwise.
    bool ParseTime(const QString &text, TimeFields *out) const;
    QString FormatTime(TimeFields t) const;

    // The first whole minute more than 30 s after the clock, as that clock
    // shows it: a summer-time change of the PC's zone does not move it.
    TimeFields WholeMinute(TimeFields clock) const;
    // The first instant at least 6 s after the clock whose count is a
    // multiple of period, all fields 0 when that lies outside the calendar;
    // false (and *out left alone) when period < 1.
    bool WholePeriod(TimeFields clock, qint64 period, TimeFields *out) const;

    // Period in whole seconds of a single frequency: its rounded period
    // below 1 Hz, else 1; 0 when the frequency gives no usable period.
    qint64 PeriodOfFrequency(float frequency) const;
    // Period of a sweep: the rows' sending times summed, each fraction
    // dropped at its addition; 0 when that is not a usable period.
    qint64 PeriodOfSweep(const QVector<float> &sendTimes) const;
};
