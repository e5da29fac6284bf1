#pragma once

#include <QString>

// The folder beside the executable, where the log files, param.config and the
// day's table files live. Tests point it at a temporary folder of their own.
QString AppFolder();
void SetAppFolder(const QString &path);
