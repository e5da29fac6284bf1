#pragma once

#include <QByteArray>
#include <QString>

#include "EM/csamt_pub.h"

// A frequency table as a spreadsheet keeps it: a header row naming the
// columns, then one row per entry. Comma or semicolon separated, quoted
// fields, a UTF-8 byte-order mark allowed, a decimal point.

// Where a CSV was refused: the line (1 is the header row; 0 for the file as a
// whole), the heading of the column, and what is wrong.
struct CsvProblem
{
    int line = 0;
    QString column;
    QString text;
    // "line 5, Frequency(Hz)", or nothing for the file as a whole.
    QString where() const;
};

// Fills freq_num and the entries of *table from the CSV; the header fields are
// left as they are. False, with *table untouched, when anything is refused.
bool ReadCsvTable(const QByteArray &csv, freq_table *table, CsvProblem *problem);

// The entries as CSV with CRLF line ends, every value written so that
// ReadCsvTable gives back the same bits.
QByteArray WriteCsvTable(const freq_table &table);

// The sampling rate a row without one gets: a new row's in the window.
int32_t NewRowSampleRate();
