#pragma once

#include <QByteArray>

// The standard I/O library takes paths in the system's narrow code page, while
// Qt hands us UTF-8; these convert between the two.
QByteArray Utf8ToLocal(const QByteArray &text);
QByteArray LocalToUtf8(const QByteArray &text);
