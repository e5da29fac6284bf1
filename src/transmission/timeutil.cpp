#include "transmission/timeutil.h"

#include "platform/localcalendar.h"

#include <QDate>
#include <QDateTime>
#include <QRegularExpression>
#include <QStringList>
#include <QTime>

#include <cmath>
#include <ctime>

static_assert(sizeof(time_t) >= 8, "send times after January 2038 need a 64-bit time_t");

namespace {

// The Windows runtime refuses counts before the epoch and after the end of
// the year 3000; the same range everywhere keeps results alike on every PC.
constexpr qint64 LastSecond = 32535215999; // 3000-12-31 23:59:59 UTC

// The seconds of a date and time read on a clock with no zone, the fields
// normalised as mktime normalises them (month 13 is the next January, second
// 60 the next minute); false far outside the calendar.
bool WallSeconds(const TimeFields &t, qint64 *out)
{
    const int months = int(t.year) * 12 + int(t.month) - 1;
    const int year = months >= 0 ? months / 12 : -((11 - months) / 12);
    if (year < 1900 || year > 3100)
        return false;
    const QDateTime first(QDate(year, months - year * 12 + 1, 1), QTime(0, 0), Qt::UTC);
    *out = first.toSecsSinceEpoch() + (qint64(t.day) - 1) * 86400 + qint64(t.hour) * 3600 + qint64(t.minute) * 60
        + t.second;
    return true;
}

TimeFields WallFields(qint64 seconds)
{
    const QDateTime at = QDateTime::fromSecsSinceEpoch(seconds, Qt::UTC);
    TimeFields t = {};
    t.year = static_cast<int16_t>(at.date().year());
    t.month = static_cast<int8_t>(at.date().month());
    t.day = static_cast<int8_t>(at.date().day());
    t.hour = static_cast<int8_t>(at.time().hour());
    t.minute = static_cast<int8_t>(at.time().minute());
    t.second = static_cast<int8_t>(at.time().second());
    return t;
}

TimeFields CalendarFields(const tm &calendar)
{
    TimeFields t = {};
    t.year = static_cast<int16_t>(calendar.tm_year + 1900);
    t.month = static_cast<int8_t>(calendar.tm_mon + 1);
    t.day = static_cast<int8_t>(calendar.tm_mday);
    t.hour = static_cast<int8_t>(calendar.tm_hour);
    t.minute = static_cast<int8_t>(calendar.tm_min);
    t.second = static_cast<int8_t>(calendar.tm_sec);
    return t;
}

// How far the local clock is ahead of UTC at a moment (taken inside the calendar).
bool LocalOffset(qint64 seconds, qint64 *offset)
{
    seconds = qBound<qint64>(0, seconds, LastSecond);
    tm calendar = {};
    qint64 wall = 0;
    if (!LocalCalendar(seconds, &calendar) || !WallSeconds(CalendarFields(calendar), &wall))
        return false;
    *offset = wall - seconds;
    return true;
}

bool IsBlank(QChar c)
{
    return c.unicode() == ' ' || (c.unicode() >= '\t' && c.unicode() <= '\r');
}

bool IsDigit(QChar c)
{
    return c.unicode() >= '0' && c.unicode() <= '9';
}

// atoi on the piece's Latin-1 bytes: blanks, a sign, digits up to the first
// other character. Out-of-range values saturate like the Windows runtime.
int LeadingInteger(const QString &piece)
{
    const int n = piece.size();
    int i = 0;
    while (i < n && IsBlank(piece.at(i)))
        ++i;
    bool negative = false;
    if (i < n && (piece.at(i) == QLatin1Char('+') || piece.at(i) == QLatin1Char('-'))) {
        negative = piece.at(i) == QLatin1Char('-');
        ++i;
    }
    constexpr qint64 limit = qint64(1) << 31;
    qint64 value = 0;
    for (; i < n && IsDigit(piece.at(i)); ++i)
        value = qMin(value * 10 + (piece.at(i).unicode() - '0'), limit);
    return static_cast<int>(negative ? -value : qMin(value, limit - 1));
}

} // namespace

qint64 TimeUtil::ToTimeT(TimeFields t) const
{
    // The clock read with the zone's offset of the next day, unless that
    // moment shows another clock; then with the offset of the day before.
    // So the hour a zone repeats in autumn reads as its later pass, and an
    // hour skipped in spring as the offset before the change puts it, where
    // mktime would go by whatever it converted last.
    qint64 wall = 0, before = 0, after = 0, offset = 0;
    if (!WallSeconds(t, &wall) || !LocalOffset(wall - 86400, &before) || !LocalOffset(wall + 86400, &after))
        return -1;
    qint64 seconds = wall - after;
    if (!LocalOffset(seconds, &offset) || offset != after)
        seconds = wall - before;
    return seconds < 0 || seconds > LastSecond ? -1 : seconds;
}

TimeFields TimeUtil::FromTimeT(qint64 seconds) const
{
    tm calendar = {};
    if (seconds < 0 || seconds > LastSecond || !LocalCalendar(seconds, &calendar))
        return TimeFields {};
    return CalendarFields(calendar);
}

TimeFields TimeUtil::AddSeconds(TimeFields t, qint64 n) const
{
    // A moment outside the calendar stays outside: -1 is no count to add to.
    const qint64 seconds = ToTimeT(t);
    return seconds < 0 ? TimeFields {} : FromTimeT(seconds + n);
}

TimeFields TimeUtil::ParseTime(const QString &text) const
{
    TimeFields t = {};
    const QStringList parts = text.split(QLatin1Char(' '), Qt::KeepEmptyParts);
    const QString date = parts.value(0);
    const QString time = parts.value(1);
    if (!date.isEmpty()) {
        const QStringList pieces = date.split(QLatin1Char('/'), Qt::KeepEmptyParts);
        if (pieces.size() > 0)
            t.year = static_cast<int16_t>(LeadingInteger(pieces.at(0)));
        if (pieces.size() > 1)
            t.month = static_cast<int8_t>(LeadingInteger(pieces.at(1)));
        if (pieces.size() > 2)
            t.day = static_cast<int8_t>(LeadingInteger(pieces.at(2)));
    }
    if (!time.isEmpty()) {
        const QStringList pieces = time.split(QLatin1Char(':'), Qt::KeepEmptyParts);
        if (pieces.size() > 0)
            t.hour = static_cast<int8_t>(LeadingInteger(pieces.at(0)));
        if (pieces.size() > 1)
            t.minute = static_cast<int8_t>(LeadingInteger(pieces.at(1)));
        if (pieces.size() > 2)
            t.second = static_cast<int8_t>(LeadingInteger(pieces.at(2)));
    }
    return t;
}

bool TimeUtil::ParseTime(const QString &text, TimeFields *out) const
{
    static const QRegularExpression form(QRegularExpression::anchoredPattern(
        QStringLiteral("([0-9]{4})/([0-9]{2})/([0-9]{2}) ([0-9]{2}):([0-9]{2}):([0-9]{2})")));
    const QRegularExpressionMatch match = form.match(text);
    if (!match.hasMatch())
        return false;
    const int year = match.captured(1).toInt();
    const int month = match.captured(2).toInt();
    const int day = match.captured(3).toInt();
    const int hour = match.captured(4).toInt();
    const int minute = match.captured(5).toInt();
    const int second = match.captured(6).toInt();
    if (!QDate::isValid(year, month, day) || !QTime::isValid(hour, minute, second))
        return false;
    out->year = static_cast<int16_t>(year);
    out->month = static_cast<int8_t>(month);
    out->day = static_cast<int8_t>(day);
    out->hour = static_cast<int8_t>(hour);
    out->minute = static_cast<int8_t>(minute);
    out->second = static_cast<int8_t>(second);
    return true;
}

QString TimeUtil::FormatTime(TimeFields t) const
{
    return QString::asprintf("%04d/%02d/%02d %02d:%02d:%02d", int(t.year), int(t.month), int(t.day), int(t.hour),
        int(t.minute), int(t.second));
}

TimeFields TimeUtil::WholeMinute(TimeFields clock) const
{
    // Counted on the clock's own face, which the PC's summer time does not
    // change: its hours are neither skipped nor repeated. What lies outside
    // the calendar in the PC's zone stays all zeros.
    qint64 wall = 0;
    if (ToTimeT(clock) < 0 || !WallSeconds(clock, &wall))
        return TimeFields {};
    const qint64 ahead = wall + 30;
    const TimeFields t = WallFields(ahead - (ahead % 60 + 60) % 60 + 60);
    return ToTimeT(t) < 0 ? TimeFields {} : t;
}

bool TimeUtil::WholePeriod(TimeFields clock, qint64 period, TimeFields *out) const
{
    if (period < 1)
        return false;
    qint64 seconds = ToTimeT(AddSeconds(clock, 6));
    if (seconds < 0) {
        *out = TimeFields {};
        return true;
    }
    const qint64 remainder = seconds % period;
    if (remainder != 0)
        seconds = seconds - remainder + period;
    *out = FromTimeT(seconds);
    return true;
}

qint64 TimeUtil::PeriodOfFrequency(float frequency) const
{
    if (!(frequency > 0))
        return 0;
    if (frequency >= 1)
        return 1;
    const double period = static_cast<double>(1.0f / frequency) + 0.5;
    return period < 2147483648.0 ? static_cast<qint64>(period) : 0;
}

qint64 TimeUtil::PeriodOfSweep(const QVector<float> &sendTimes) const
{
    double period = 0;
    for (float sendTime : sendTimes) {
        period = std::trunc(period + static_cast<double>(sendTime));
        if (!(std::fabs(period) < 2147483648.0))
            return 0;
    }
    return period >= 1 ? static_cast<qint64>(period) : 0;
}
