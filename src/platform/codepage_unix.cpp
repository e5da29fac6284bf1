#include "platform/narrowpath.h"

#include <QFile>
#include <QString>

// On Unix the narrow encoding is the locale's, as Qt itself names files.
QByteArray Utf8ToLocal(const QByteArray &text)
{
    return QFile::encodeName(QString::fromUtf8(text));
}

QByteArray LocalToUtf8(const QByteArray &text)
{
    return QFile::decodeName(text).toUtf8();
}
