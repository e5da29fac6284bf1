#pragma once

#include <QString>

// Removes a single-instance segment that no running copy holds. On Unix a
// segment outlives a crashed copy; Windows removes it with its last holder.
void RemoveStaleSegment(const QString &key);
