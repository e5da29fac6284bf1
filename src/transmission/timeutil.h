#pragma once

#include <QString>

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

// Date-time arithmetic of the send time, in local time.
class TimeUtil
{
public:
    qint64 ToTimeT(TimeFields t) const;
    TimeFields FromTimeT(qint64 seconds) const;
    TimeFields AddSeconds(TimeFields t, qint64 n) const;
    TimeFields ParseTime(const QString &text) const;
    QString FormatTime(TimeFields t) const;
};
