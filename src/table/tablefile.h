#pragma once

#include <QByteArray>
#include <QString>

#include "EM/csamt_pub.h"

// The path in the narrow code page the standard I/O library takes; false when
// the name does not survive the conversion, as it would then name another file.
bool NarrowPath(const QString &path, QByteArray *narrow);

// Writes the table beside the target and moves it over the target only once
// it is complete and closed, so a failed export never costs an existing file.
bool SaveFreqTableFile(const QString &path, const freq_table *table);
