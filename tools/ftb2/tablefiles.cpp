#include "tablefiles.h"

#include "platform/narrowpath.h"
#include "platform/readablefile.h"
#include "platform/stagedfile.h"
#include "table/tablefile.h"
#include "table/tablemodel.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <QStringList>
#include <QVector>

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstring>

namespace {

// A CSV of 127 rows is a few kilobytes; anything this large is not one.
const int kMaxInputBytes = 1 << 20;

// OpenRegularFile only says no; this says why, for the person at the terminal.
QString WhyNotOpened(const QString &path)
{
    const QFileInfo info(path);
    QByteArray narrow;
    if (!NarrowPath(path, &narrow))
        return "its name cannot be written in this system's code page";
    if (!info.exists())
        return "no such file";
    if (info.isDir())
        return "is a folder, not a file";
    if (!info.isFile())
        return "is not a regular file (a device, a FIFO or a socket)";
    return "cannot be opened for reading";
}

QString FaultText(const freq_table_fault &fault, long size)
{
    const QString field
        = fault.entry < 0 ? QString(fault.field) : QString("%1 of row %2").arg(fault.field).arg(fault.entry + 1);
    if (fault.ended && size == 0)
        return "is empty";
    if (fault.ended)
        return QString("ends early, inside the %1 at byte %2 (the file has %3 bytes)")
            .arg(field)
            .arg(fault.offset)
            .arg(size);
    if (std::strcmp(fault.field, "freq_num") == 0)
        return QString("holds %1 rows (freq_num at byte %2); SourceDesk takes at most %3")
            .arg(fault.value)
            .arg(fault.offset)
            .arg(TableModel::MaxRows);
    return QString("%1 %2 at byte %3 is outside 0 to %4")
        .arg(field)
        .arg(fault.value)
        .arg(fault.offset)
        .arg(MAX_FILE_NAME_LEN - 1);
}

bool TargetRefused(const QString &path, bool replace, QString *why)
{
    const QFileInfo info(path);
    if (!info.exists() && !info.isSymLink())
        return false;
    if (!info.isFile())
        *why = "is not a regular file; nothing was written";
    else if (!replace)
        *why = "exists; nothing was written (--force replaces it)";
    else
        return false;
    return true;
}

QString WriteFailure()
{
    // errno is whatever the failing write, flush or close left.
    const QString cause = errno ? QString(" (%1)").arg(QString::fromLocal8Bit(std::strerror(errno))) : QString();
    return QString("could not be written%1; nothing was changed").arg(cause);
}

// Texts carried in the record are bytes from anywhere; keep control bytes
// off the terminal.
QString Printable(const char *text)
{
    QString shown;
    for (const QChar c : QString::fromUtf8(text, int(qstrnlen(text, MAX_FILE_NAME_LEN)))) {
        shown += c.isPrint() ? QString(c) : QString("\\x%1").arg(c.unicode(), 2, 16, QChar('0'));
    }
    return "\"" + shown + "\"";
}

// The carried words are floats in every table SourceDesk makes.
QString WordText(uint32_t word)
{
    float value;
    std::memcpy(&value, &word, sizeof value);
    if (word == 0 || std::isnormal(value))
        return QString::number(double(value));
    return QString("0x%1").arg(word, 8, 16, QChar('0'));
}

// Chinese headings take two columns of a terminal.
int Width(const QString &text)
{
    int width = 0;
    for (const QChar c : text)
        width += c.unicode() >= 0x1100 ? 2 : 1;
    return width;
}

// The rows as SyncFreqTable puts them into the window's table.
void FillModel(TableModel *model, const freq_table &table)
{
    const int count = std::min<int>(table.freq_num, CSAMT_MAX_FREQ_NUM);
    for (int i = 0; i < count; ++i)
        model->insertEntryRow(i, table.items[i]);
}

} // namespace

bool ReadTableFile(const QString &path, freq_table *table, QString *why, QString *note)
{
    FILE *fp = OpenRegularFile(path);
    if (!fp) {
        *why = WhyNotOpened(path);
        return false;
    }
    *table = freq_table {};
    freq_table_init(table);
    freq_table_fault fault {};
    const bool read = freq_table_read_fault(fp, table, &fault) == 1;
    const long stopped = std::ftell(fp);
    std::fseek(fp, 0, SEEK_END);
    const long size = std::ftell(fp);
    std::fclose(fp);
    if (!read)
        *why = FaultText(fault, size);
    else if (note && size > stopped)
        *note = QString("the %1 bytes after the last entry are ignored").arg(size - stopped);
    return read;
}

bool ReadInputBytes(const QString &path, QByteArray *bytes, QString *why)
{
    FILE *fp = OpenRegularFile(path);
    if (!fp) {
        *why = WhyNotOpened(path);
        return false;
    }
    bytes->resize(kMaxInputBytes + 1);
    const size_t got = std::fread(bytes->data(), 1, size_t(bytes->size()), fp);
    const bool failed = std::ferror(fp);
    std::fclose(fp);
    bytes->resize(int(got));
    if (failed)
        *why = "could not be read";
    else if (got > size_t(kMaxInputBytes))
        *why = QString("is larger than any table of %1 rows (over %2 bytes)")
                   .arg(TableModel::MaxRows)
                   .arg(kMaxInputBytes);
    else
        return true;
    return false;
}

bool SaveTableFile(const QString &path, const freq_table &table, bool replace, QString *why)
{
    if (TargetRefused(path, replace, why))
        return false;
    errno = 0;
    if (SaveFreqTableFile(path, &table))
        return true;
    *why = WriteFailure();
    return false;
}

bool SaveBytes(const QString &path, const QByteArray &bytes, bool replace, QString *why)
{
    if (TargetRefused(path, replace, why))
        return false;
    errno = 0;
    StagedFile file(path);
    if (file.write([&bytes](FILE *fp) { return csamt_fwrite(fp, bytes.constData(), bytes.size()) == bytes.size(); })
        && file.commit())
        return true;
    *why = WriteFailure();
    return false;
}

QString TableSummary(const freq_table &table)
{
    TableModel model;
    FillModel(&model, table);
    return QString("%1 rows, total time %2").arg(model.rowCount()).arg(model.totalText);
}

QString ShowTable(const freq_table &table)
{
    TableModel model;
    FillModel(&model, table);
    QStringList words;
    for (uint32_t word : table.header_val)
        words << WordText(word);
    const QStringList fields = { "name", Printable(table.name), "header_id", QString::number(table.header_id),
        "header_val", words.join(' '), "name2", Printable(table.name2), "header_mode",
        QString::number(table.header_mode), "harmonic_mode", QString::number(table.harmonic_mode), "rows",
        QString::number(model.rowCount()), "total time", model.totalText };
    QStringList lines;
    for (int i = 0; i < fields.size(); i += 2)
        lines << QString("%1 %2").arg(fields[i], -14).arg(fields[i + 1]);
    lines << QString();

    // Every column, the hidden ones too, centred as the window centres them.
    QVector<QStringList> cells(model.rowCount() + 1);
    QVector<int> widths(model.columnCount(), 0);
    for (int column = 0; column < model.columnCount(); ++column) {
        cells[0] << model.headerData(column, Qt::Horizontal).toString();
        for (int row = 0; row < model.rowCount(); ++row)
            cells[row + 1] << model.index(row, column).data().toString();
        for (const QStringList &line : cells)
            widths[column] = std::max(widths[column], Width(line[column]));
    }
    for (const QStringList &line : cells) {
        QString text;
        for (int column = 0; column < line.size(); ++column) {
            const int pad = widths[column] - Width(line[column]);
            text += QString(pad / 2 + (column ? 3 : 0), ' ') + line[column] + QString(pad - pad / 2, ' ');
        }
        while (text.endsWith(' '))
            text.chop(1);
        lines << text;
    }
    return lines.join('\n') + '\n';
}

QString ImportRefusedText()
{
    return QCoreApplication::translate("SrcDesk", "文件打开失败！");
}
