#include "platform/staleguard.h"

void RemoveStaleSegment(const QString &) { }
