#include "csvtable.h"

#include "table/tablemodel.h"

#include <QRegularExpression>
#include <QStringList>
#include <QTextCodec>
#include <QVector>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <limits>

namespace {

enum Column { ColNumber, ColFrequency, ColSendTime, ColPeriods, ColSampleRate, ColumnCount, ColBlank, ColUnknown };

// Written in the window's English headings; read in either of its languages
// and in the plain words a planner types.
const char kHeaderRow[] = "ID,Frequency(Hz),Sending time(S),Period number,Sampling rate(Hz)";
const char *const kNames[ColumnCount][5] = {
    { "id", "number", "no", "#", "编号" },
    { "frequency", "freq", "频率", nullptr, nullptr },
    { "sending time", "send time", "time", "发送时长", nullptr },
    { "period number", "periods", "周期数", nullptr, nullptr },
    { "sampling rate", "sample rate", "采样率", nullptr, nullptr },
};

struct Record
{
    int line;
    QStringList fields;
};

bool Refuse(CsvProblem *problem, int line, const QString &column, const QString &text)
{
    *problem = { line, column, text };
    return false;
}

QString FieldName(int index)
{
    return QString("field %1").arg(index + 1);
}

// "Frequency (Hz)" and "频率（Hz）" both name the frequency: the unit is dropped.
Column ColumnOf(const QString &heading)
{
    static const QRegularExpression unit(QString::fromUtf8("\\s*[(（][^()（）]*[)）]$"));
    const QString name = QString(heading).remove(unit).simplified().toLower();
    if (name.isEmpty())
        return ColBlank;
    for (int column = 0; column < ColumnCount; ++column) {
        for (const char *known : kNames[column]) {
            if (known && name == QString::fromUtf8(known))
                return Column(column);
        }
    }
    return ColUnknown;
}

bool Decode(const QByteArray &csv, QString *text, CsvProblem *problem)
{
    // Spreadsheets mark their UTF-8 exports with a byte-order mark.
    const QByteArray bytes = csv.startsWith("\xEF\xBB\xBF") ? csv.mid(3) : csv;
    QTextCodec *utf8 = QTextCodec::codecForName("UTF-8");
    const QList<QByteArray> lines = bytes.split('\n');
    for (int i = 0; i < lines.size(); ++i) {
        QTextCodec::ConverterState state(QTextCodec::IgnoreHeader);
        utf8->toUnicode(lines[i].constData(), lines[i].size(), &state);
        if (state.invalidChars || state.remainingChars)
            return Refuse(problem, i + 1, QString(), "is not UTF-8 text (save the sheet as CSV UTF-8)");
    }
    QTextCodec::ConverterState state(QTextCodec::IgnoreHeader);
    *text = utf8->toUnicode(bytes.constData(), bytes.size(), &state);
    return true;
}

// The separator is the first comma or semicolon of the header row.
QChar Separator(const QString &text)
{
    bool quoted = false;
    for (const QChar c : text) {
        if (c == '"')
            quoted = !quoted;
        else if (!quoted && (c == ',' || c == ';'))
            return c;
        else if (!quoted && (c == '\n' || c == '\r'))
            break;
    }
    return ',';
}

// Records with the line each starts on; a quoted field may hold separators,
// doubled quotes and line breaks.
bool SplitRecords(const QString &text, QVector<Record> *records, CsvProblem *problem)
{
    const QChar separator = Separator(text);
    enum { Start, Plain, Quoted, Closed } state = Start;
    Record record { 1, {} };
    QString field;
    int line = 1, quoteLine = 1;
    const auto endField = [&] {
        record.fields << (state == Closed ? field : field.trimmed());
        field.clear();
        state = Start;
    };
    for (int i = 0; i < text.size(); ++i) {
        const QChar c = text.at(i);
        const QChar next = i + 1 < text.size() ? text.at(i + 1) : QChar();
        if (state == Quoted) {
            if (c == '"' && next == '"')
                ++i;
            else if (c == '"') {
                state = Closed;
                continue;
            }
            if (c == '\n' || (c == '\r' && next != '\n'))
                ++line;
            field += c;
        } else if (c == separator) {
            endField();
        } else if (c == '\r' || c == '\n') {
            endField();
            *records << record;
            i += c == '\r' && next == '\n';
            record = { ++line, {} };
        } else if (state == Closed) {
            if (!c.isSpace())
                return Refuse(problem, line, FieldName(record.fields.size()), "has text after its closing quote");
        } else if (c == '"') {
            if (!field.trimmed().isEmpty())
                return Refuse(problem, line, FieldName(record.fields.size()),
                    "has a quote inside an unquoted value (quote the whole value, doubling the quote)");
            state = Quoted;
            quoteLine = line;
            field.clear();
        } else {
            field += c;
            state = Plain;
        }
    }
    if (state == Quoted)
        return Refuse(problem, quoteLine, FieldName(record.fields.size()), "opens a quote that is never closed");
    if (state != Start || !record.fields.isEmpty()) {
        endField();
        *records << record;
    }
    return true;
}

// As the window reads a frequency cell: a number, or 1/N divided in single
// precision.
bool ReadFrequency(const QString &text, float *freq, QString *why)
{
    const QStringList parts = text.split('/');
    bool ok = false, okDivisor = true;
    if (parts.size() == 1)
        *freq = text.toFloat(&ok);
    else if (parts.size() == 2)
        *freq = parts[0].toFloat(&ok) / parts[1].toFloat(&okDivisor);
    if (!ok || !okDivisor)
        *why = "is not a number or 1/N";
    else if (!std::isfinite(*freq) || *freq <= 0.0f)
        *why = "is not a frequency above 0 Hz";
    else
        return true;
    return false;
}

bool ReadSeconds(const QString &text, float *seconds, QString *why)
{
    bool ok = false;
    *seconds = text.toFloat(&ok);
    if (ok && std::isfinite(*seconds) && *seconds >= 0.0f && std::floor(*seconds) == *seconds)
        return true;
    *why = ok ? "is not a whole number of seconds" : "is not a number";
    return false;
}

bool ReadWhole(const QString &text, int32_t lowest, int32_t *value, QString *why)
{
    bool ok = false;
    const double number = text.toDouble(&ok);
    if (ok && std::floor(number) == number && number >= lowest && number <= std::numeric_limits<int32_t>::max()) {
        *value = int32_t(number);
        return true;
    }
    *why = QString("is not a whole number from %1 to %2").arg(lowest).arg(std::numeric_limits<int32_t>::max());
    return false;
}

bool SameBits(float a, float b)
{
    return std::memcmp(&a, &b, sizeof a) == 0;
}

// The shortest text that reads back as the same float; whole values in full.
QString ExactText(float value)
{
    if (std::isfinite(value) && std::floor(value) == value && std::fabs(value) < 1e15f)
        return QString::number(double(value), 'f', 0);
    for (int digits = 6; digits < 9; ++digits) {
        const QString text = QString::number(double(value), 'g', digits);
        if (SameBits(text.toFloat(), value))
            return text;
    }
    return QString::number(double(value), 'g', 9);
}

} // namespace

QString CsvProblem::where() const
{
    QString text = line > 0 ? QString("line %1").arg(line) : QString();
    if (!column.isEmpty())
        text += (text.isEmpty() ? "" : ", ") + column;
    return text;
}

int32_t NewRowSampleRate()
{
    static const int32_t rate = [] {
        TableModel model;
        model.appendDefaultRow();
        return model.sampleRate(0);
    }();
    return rate;
}

bool ReadCsvTable(const QByteArray &csv, freq_table *table, CsvProblem *problem)
{
    QString text;
    QVector<Record> records;
    if (!Decode(csv, &text, problem))
        return false;
    // A broken quote is reported in its place: after the rows before it.
    CsvProblem brokenQuote;
    const bool split = SplitRecords(text, &records, &brokenQuote);
    // Rows a spreadsheet leaves blank, or fills with separators only.
    records.erase(std::remove_if(records.begin(), records.end(),
                      [](const Record &r) {
                          return std::all_of(
                              r.fields.begin(), r.fields.end(), [](const QString &f) { return f.isEmpty(); });
                      }),
        records.end());
    if (!split && records.isEmpty())
        return Refuse(problem, brokenQuote.line, brokenQuote.column, brokenQuote.text);
    if (records.isEmpty())
        return Refuse(problem, 0, QString(), "holds no header row");

    const Record &header = records.first();
    QVector<Column> columns;
    QString headings[ColumnCount];
    for (const QString &heading : header.fields) {
        const Column column = ColumnOf(heading);
        if (column == ColUnknown)
            return Refuse(problem, header.line, heading,
                "is not a column of a frequency table (ID, Frequency, Sending time, Period number, Sampling rate)");
        if (column < ColumnCount && !headings[column].isEmpty())
            return Refuse(problem, header.line, heading, "names a column a second time");
        if (column < ColumnCount)
            headings[column] = heading;
        columns << column;
    }
    for (Column needed : { ColFrequency, ColSendTime }) {
        if (headings[needed].isEmpty())
            return Refuse(problem, header.line, QString(),
                QString("names no %1 column").arg(needed == ColFrequency ? "frequency" : "sending time"));
    }

    freq_table scratch = *table;
    int rows = 0;
    for (const Record &record : records.mid(1)) {
        if (rows == TableModel::MaxRows)
            return Refuse(problem, record.line, QString(),
                QString("is row %1; SourceDesk takes at most %2 rows").arg(rows + 1).arg(TableModel::MaxRows));
        QString cells[ColumnCount];
        for (int i = 0; i < record.fields.size(); ++i) {
            const Column column = i < columns.size() ? columns[i] : ColBlank;
            if (column == ColBlank && !record.fields[i].isEmpty())
                return Refuse(problem, record.line, FieldName(i), "holds a value under no heading");
            if (column < ColumnCount)
                cells[column] = record.fields[i];
        }
        freq_item &item = scratch.items[rows];
        QString why;
        const auto refuse = [&](Column column) {
            if (cells[column].contains(','))
                why += " (decimals take a point)";
            const QString value
                = cells[column].isEmpty() ? QString("is empty") : QString("\"%1\" %2").arg(cells[column], why);
            return Refuse(problem, record.line, headings[column], value);
        };
        if (!ReadFrequency(cells[ColFrequency], &item.freq, &why))
            return refuse(ColFrequency);
        if (!ReadSeconds(cells[ColSendTime], &item.send_time, &why))
            return refuse(ColSendTime);
        // Left empty, the period count is what the window's export computes.
        if (cells[ColPeriods].isEmpty()) {
            item.period_num = csamt_trunc_int32(double(item.send_time) * double(item.freq) + 0.5);
            // The window would store an overflowed count; a planner should hear of it.
            if (item.period_num < 0)
                return Refuse(problem, record.line, headings[ColSendTime],
                    QString("\"%1\" gives more periods at %2 Hz than a table file holds")
                        .arg(cells[ColSendTime], cells[ColFrequency]));
        } else if (!ReadWhole(cells[ColPeriods], 0, &item.period_num, &why))
            return refuse(ColPeriods);
        if (cells[ColSampleRate].isEmpty())
            item.sample_rate = NewRowSampleRate();
        else if (!ReadWhole(cells[ColSampleRate], 1, &item.sample_rate, &why))
            return refuse(ColSampleRate);
        ++rows;
    }
    if (!split)
        return Refuse(problem, brokenQuote.line, brokenQuote.column, brokenQuote.text);
    // The window exports no empty table.
    if (rows == 0)
        return Refuse(problem, header.line, QString(), "has no rows below it");
    scratch.freq_num = rows;
    *table = scratch;
    return true;
}

QByteArray WriteCsvTable(const freq_table &table)
{
    QStringList lines { kHeaderRow };
    const int count = std::clamp(table.freq_num, 0, CSAMT_MAX_FREQ_NUM);
    for (int row = 0; row < count; ++row) {
        const freq_item &entry = table.items[row];
        // The frequency as the window writes it, unless that text loses bits.
        QString frequency = TableModel::frequencyText(entry.freq), why;
        float back = 0.0f;
        if (!ReadFrequency(frequency, &back, &why) || !SameBits(back, entry.freq))
            frequency = ExactText(entry.freq);
        lines << QStringList { QString::number(row + 1), frequency, ExactText(entry.send_time),
            QString::number(entry.period_num), QString::number(entry.sample_rate) }
                     .join(',');
    }
    return (lines.join("\r\n") + "\r\n").toUtf8();
}
