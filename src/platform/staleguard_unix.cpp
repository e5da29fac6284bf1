#include "platform/staleguard.h"

#include <QSharedMemory>

void RemoveStaleSegment(const QString &key)
{
    // Attaching and detaching removes it when no running copy holds it; a
    // live copy keeps it attached, so it survives this.
    QSharedMemory stale(key);
    if (stale.attach())
        stale.detach();
}
