#pragma once

#include <QByteArray>
#include <QString>

#include "EM/csamt_pub.h"

// Writes the table beside the target and moves it over the target only once
// it is complete and closed, so a failed export never costs an existing file.
bool SaveFreqTableFile(const QString &path, const freq_table *table);
