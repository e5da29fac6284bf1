#pragma once

#include <QtGlobal>

#include <ctime>

// The local calendar fields of a count of seconds since the epoch, by the
// runtime's own zone rules; false where the runtime refuses the count.
bool LocalCalendar(qint64 seconds, tm *out);
