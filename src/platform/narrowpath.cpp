#include "platform/narrowpath.h"

bool NarrowPath(const QString &path, QByteArray *narrow)
{
    if (path.isEmpty())
        return false;
    const QByteArray utf8 = path.toUtf8();
    *narrow = Utf8ToLocal(utf8);
    return !narrow->isEmpty() && LocalToUtf8(*narrow) == utf8;
}
