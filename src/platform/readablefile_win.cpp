#include "platform/readablefile.h"

#include "EM/csamt_pub.h"
#include "platform/narrowpath.h"

#include <QFileInfo>

FILE *OpenRegularFile(const QString &path)
{
    QByteArray narrow;
    if (!QFileInfo(path).isFile() || !NarrowPath(path, &narrow))
        return nullptr;
    return csamt_fopen(narrow.constData(), "rb");
}
