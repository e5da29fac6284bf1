#pragma once

#include <QByteArray>
#include <QString>

#include "EM/csamt_pub.h"

// Opens and reads a table file with the code of SourceDesk's import, starting
// from a new table's record. False with the reason the import would refuse it;
// *note tells what the import passes over silently (bytes after the last entry).
bool ReadTableFile(const QString &path, freq_table *table, QString *why, QString *note = nullptr);

// Reads a CSV or other small input, regular files only, as the import does.
bool ReadInputBytes(const QString &path, QByteArray *bytes, QString *why);

// Saves beside the target and moves over it only when complete, as the
// window's export does; an existing target is refused unless replacing is
// asked for. False with the reason; the target is then unchanged.
bool SaveTableFile(const QString &path, const freq_table &table, bool replace, QString *why);
bool SaveBytes(const QString &path, const QByteArray &bytes, bool replace, QString *why);

// The table as the window shows it (numbers, frequencies as "1/N", whole
// seconds, the hidden columns too) under the record's header fields and the
// total time.
QString ShowTable(const freq_table &table);
// "3 rows, total time 00:00:45", as the window would count them.
QString TableSummary(const freq_table &table);

// The text the window's import shows when it refuses a file, in the
// program's language for this locale.
QString ImportRefusedText();
