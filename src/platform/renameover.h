#pragma once

#include <QByteArray>

// Moves a finished file over its target in one step, replacing the target if
// it exists. Paths are in the system's narrow code page.
bool RenameOver(const QByteArray &from, const QByteArray &to);
