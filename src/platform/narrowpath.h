#pragma once

#include <QByteArray>
#include <QString>

// The standard I/O library takes paths in the system's narrow code page, while
// Qt hands us UTF-8; these convert between the two.
QByteArray Utf8ToLocal(const QByteArray &text);
QByteArray LocalToUtf8(const QByteArray &text);

// The path in the narrow code page the standard I/O library takes; false when
// the name does not survive the conversion, as it would then name another file.
bool NarrowPath(const QString &path, QByteArray *narrow);
