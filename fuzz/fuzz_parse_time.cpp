// Any text as a date-time: the GPS clock field, the send time the operator
// types, and what the rounding buttons derive from them.
#include "fuzzsupport.h"

#include <QString>

#include "transmission/timeutil.h"

namespace {

bool IsZero(const TimeFields &t)
{
    return t.year == 0 && t.month == 0 && t.day == 0 && t.hour == 0 && t.minute == 0 && t.second == 0;
}

bool SameFields(const TimeFields &a, const TimeFields &b)
{
    return a.year == b.year && a.month == b.month && a.day == b.day && a.hour == b.hour && a.minute == b.minute
        && a.second == b.second;
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int *, char ***)
{
    // The rounding checks below count whole minutes and periods from the
    // epoch; in UTC every local minute is one.
    qputenv("TZ", "UTC");
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QString text = QString::fromUtf8(reinterpret_cast<const char *>(data), int(size));
    const TimeUtil util;

    const TimeFields loose = util.ParseTime(text);
    TimeFields strict = {};
    if (util.ParseTime(text, &strict)) {
        // Only the exact form is accepted, and it reads as it is written.
        FUZZ_CHECK(util.FormatTime(strict) == text);
        FUZZ_CHECK(SameFields(strict, loose));
    }

    const qint64 clock = util.ToTimeT(loose);
    if (clock < 0)
        return 0;

    const TimeFields minute = util.WholeMinute(loose);
    if (!IsZero(minute)) {
        const qint64 at = util.ToTimeT(minute);
        FUZZ_CHECK(minute.second == 0);
        FUZZ_CHECK(at - clock > 30 && at - clock <= 90);
    }

    for (qint64 period : { qint64(1), qint64(16), qint64(30), qint64(8192), qint64(2147483647) }) {
        TimeFields out = {};
        FUZZ_CHECK(util.WholePeriod(loose, period, &out));
        if (IsZero(out))
            continue;
        const qint64 at = util.ToTimeT(out);
        FUZZ_CHECK(at % period == 0);
        FUZZ_CHECK(at - clock >= 6 && at - clock < 6 + period);
    }
    TimeFields untouched = {};
    FUZZ_CHECK(!util.WholePeriod(loose, 0, &untouched) && IsZero(untouched));
    return 0;
}
