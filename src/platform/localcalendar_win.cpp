#include "platform/localcalendar.h"

bool LocalCalendar(qint64 seconds, tm *out)
{
    const time_t t = static_cast<time_t>(seconds);
    return localtime_s(out, &t) == 0;
}
