#include "csvtable.h"
#include "tablefiles.h"

#include "app/startup.h"
#include "table/tablemodel.h"

#include <QCoreApplication>
#include <QLocale>
#include <QStringList>
#include <QTranslator>

#include <cstdio>
#include <cstring>

// Outside any namespace, as Qt's resource initialiser must be.
static void LoadProgramLanguage(QCoreApplication &app, QTranslator &translator)
{
    // The catalogue lives in the program's library: make sure it is linked in.
    Q_INIT_RESOURCE(language);
    // The table's headings and the import's refusal read as the window shows them here.
    if (WantsEnglish(QLocale::system().name()) && translator.load(":/language_EN.qm"))
        app.installTranslator(&translator);
}

namespace {

enum ExitStatus { Done = 0, Refused = 1, WrongUse = 2 };

const char kHelp[] = R"(usage: ftb2 VERB [--force] FILE...
Reads, converts and checks SourceDesk's frequency table files (.FTB2) with
SourceDesk's own reader and writer.

  ftb2 show FILE.FTB2              the table as SourceDesk shows it
  ftb2 to-csv FILE.FTB2 [OUT.csv]  the table as CSV, to OUT or to the terminal
  ftb2 from-csv IN.csv OUT.FTB2    a table file from a spreadsheet's CSV
  ftb2 check FILE...               whether SourceDesk would import each file

  --force  replace an output file that exists
  --help   this text; "ftb2 VERB --help" tells more about a verb

Exit status: 0 done (for check: every file would import), 1 a file was
refused or could not be written (nothing is written then), 2 wrong use.
)";

struct Verb
{
    const char *name;
    int minFiles, maxFiles;
    bool writes;
    const char *help;
};

const Verb kVerbs[] = {
    { "show", 1, 1, false, R"(usage: ftb2 show FILE.FTB2
Prints the file's header fields, its number of rows and total time, then the
rows as SourceDesk's table shows them: ID, frequency (below 1 Hz as 1/N),
sending time in whole seconds, and the period number and sampling rate that
the window keeps in hidden columns.
)" },
    { "to-csv", 1, 2, true, R"(usage: ftb2 to-csv [--force] FILE.FTB2 [OUT.csv]
Writes the rows as CSV (commas, CRLF line ends) under the header row
ID,Frequency(Hz),Sending time(S),Period number,Sampling rate(Hz)
to OUT.csv or, without it or for -, to the terminal. Frequencies are written
as the window writes them (1/16, 4096) unless that would change the value;
every value reads back exactly. The header fields (name, header_id, ...) have
no place in a CSV: from-csv gives a new table's. to-csv warns when the file's
differ, and when from-csv would refuse a row (a sending time of 12.5 s, say).
)" },
    { "from-csv", 2, 2, true, R"(usage: ftb2 from-csv [--force] IN.csv OUT.FTB2
Makes a table file from a CSV as spreadsheets save it: a header row, then one
row per frequency; commas or semicolons; values may be quoted; a UTF-8
byte-order mark is fine; numbers with a decimal point. Columns by heading, in
any order, in English or as SourceDesk's Chinese table names them, the unit in
brackets optional:
  Frequency(Hz)      a number, or 1/N for an N-th of a hertz; above 0
  Sending time(S)    whole seconds
  Period number      may be left out or empty: sending time x frequency,
                     rounded, as SourceDesk computes it
  Sampling rate(Hz)  may be left out or empty: %1, as for a new row
  ID                 may be left out; ignored, the rows keep their order
At most %2 rows. The header fields are those of a new table in SourceDesk.
A refused row stops the conversion, naming its line and column.
)" },
    { "check", 1, 1 << 20, false, R"(usage: ftb2 check FILE...
Prints one line per file: whether SourceDesk's import takes it, with its rows
and total time, or refuses it, why, and what SourceDesk says then. The exit
status is 0 only when every file would import.
)" },
};

void Print(FILE *stream, const QString &text)
{
    const QByteArray bytes = text.toLocal8Bit();
    std::fwrite(bytes.constData(), 1, size_t(bytes.size()), stream);
}

int Fail(const QString &where, const QString &why)
{
    Print(stderr, QString("ftb2: %1: %2\n").arg(where, why));
    return Refused;
}

int Show(const QStringList &files)
{
    freq_table table;
    QString why;
    if (!ReadTableFile(files[0], &table, &why))
        return Fail(files[0], why);
    Print(stdout, files[0] + "\n" + ShowTable(table));
    return Done;
}

bool NewTableHeader(const freq_table &table)
{
    freq_table fresh {};
    freq_table_init(&fresh);
    return std::strcmp(table.name, fresh.name) == 0 && std::strcmp(table.name2, fresh.name2) == 0
        && table.header_id == fresh.header_id && table.header_mode == fresh.header_mode
        && table.harmonic_mode == fresh.harmonic_mode
        && std::memcmp(table.header_val, fresh.header_val, sizeof fresh.header_val) == 0;
}

int ToCsv(const QStringList &files, bool force)
{
    freq_table table;
    QString why;
    if (!ReadTableFile(files[0], &table, &why))
        return Fail(files[0], why);
    const QByteArray csv = WriteCsvTable(table);
    if (files.size() == 1 || files[1] == "-")
        std::fwrite(csv.constData(), 1, size_t(csv.size()), stdout);
    else if (!SaveBytes(files[1], csv, force, &why))
        return Fail(files[1], why);
    // A file from elsewhere may hold a sending time of 12.5 s, which cannot come back.
    freq_table back = table;
    CsvProblem problem;
    if (!ReadCsvTable(csv, &back, &problem))
        Print(stderr,
            QString("ftb2: %1: from-csv would refuse this CSV: %2: %3\n").arg(files[0], problem.where(), problem.text));
    if (!NewTableHeader(table))
        Print(stderr,
            QString("ftb2: %1: its header fields are not a new table's; the CSV cannot keep them\n").arg(files[0]));
    return Done;
}

int FromCsv(const QStringList &files, bool force)
{
    QByteArray csv;
    QString why;
    if (!ReadInputBytes(files[0], &csv, &why))
        return Fail(files[0], why);
    // What the window's own new table carries.
    freq_table table {};
    freq_table_init(&table);
    CsvProblem problem;
    if (!ReadCsvTable(csv, &table, &problem)) {
        const QString where = problem.where();
        return Fail(where.isEmpty() ? files[0] : files[0] + ", " + where, problem.text);
    }
    if (!SaveTableFile(files[1], table, force, &why))
        return Fail(files[1], why);
    return Done;
}

int Check(const QStringList &files)
{
    int status = Done;
    for (const QString &path : files) {
        freq_table table;
        QString why, note;
        if (ReadTableFile(path, &table, &why, &note)) {
            Print(stdout,
                QString("%1: imports, %2%3\n").arg(path, TableSummary(table), note.isEmpty() ? "" : "; " + note));
        } else {
            Print(stdout, QString("%1: refused with \"%2\": %3\n").arg(path, ImportRefusedText(), why));
            status = Refused;
        }
    }
    return status;
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    QTranslator translator;
    LoadProgramLanguage(app, translator);

    QStringList args = app.arguments().mid(1);
    const QString name = args.isEmpty() ? QString() : args.takeFirst();
    if (name == "--help" || name == "-h") {
        Print(stdout, kHelp);
        return Done;
    }
    const Verb *verb = nullptr;
    for (const Verb &known : kVerbs)
        verb = name == known.name ? &known : verb;
    if (!verb) {
        Print(stderr,
            name.isEmpty() ? QString(kHelp) : QString("ftb2: no verb \"%1\"; ftb2 --help lists them\n").arg(name));
        return WrongUse;
    }

    bool help = false, force = false, options = true;
    QStringList files;
    for (const QString &arg : args) {
        if (options && arg == "--")
            options = false;
        else if (options && (arg == "--help" || arg == "-h"))
            help = true;
        else if (options && arg == "--force" && verb->writes)
            force = true;
        else if (options && arg.startsWith('-') && arg != "-") {
            Print(stderr, QString("ftb2 %1: no option %2; see ftb2 %1 --help\n").arg(name, arg));
            return WrongUse;
        } else
            files << arg;
    }
    QString text = verb->help;
    if (text.contains("%1"))
        text = text.arg(NewRowSampleRate()).arg(TableModel::MaxRows);
    if (help) {
        Print(stdout, text);
        return Done;
    }
    if (files.size() < verb->minFiles || files.size() > verb->maxFiles) {
        Print(stderr, text.section('\n', 0, 0) + "\n");
        return WrongUse;
    }
    if (name == "show")
        return Show(files);
    if (name == "to-csv")
        return ToCsv(files, force);
    if (name == "from-csv")
        return FromCsv(files, force);
    return Check(files);
}
