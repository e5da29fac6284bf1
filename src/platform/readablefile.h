#pragma once

#include <QString>

#include <cstdio>

// Opens a file for reading ("rb") only when it is a regular file, and never
// waits doing so: a FIFO, a folder or a device in a file's place reads as a
// file that cannot be opened. Null when it cannot be opened.
FILE *OpenRegularFile(const QString &path);
