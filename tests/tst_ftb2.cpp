#include "csvtable.h"
#include "table/tablefile.h"
#include "testdesk.h"

#include <QLineEdit>
#include <QProcess>
#include <QPushButton>
#include <QRadioButton>

#include <cstring>

#ifdef Q_OS_UNIX
#include <csignal>
#include <sys/resource.h>
#include <sys/stat.h>
#endif

namespace {

struct Result
{
    int status;
    QString out, err;
};

// Runs ftb2 in `dir`. A file size limit, when given, is a disk that fills.
Result ftb2(const QString &dir, const QStringList &args, long fileSizeLimit = 0)
{
    QProcess p;
    p.setWorkingDirectory(dir);
#ifdef Q_OS_UNIX
    rlimit saved;
    getrlimit(RLIMIT_FSIZE, &saved);
    rlimit small = saved;
    small.rlim_cur = rlim_t(fileSizeLimit);
    std::signal(SIGXFSZ, SIG_IGN);
    if (fileSizeLimit)
        setrlimit(RLIMIT_FSIZE, &small);
#endif
    // The child takes the limit as it forks; its lines end in CR LF on Windows.
    p.start(FTB2_PATH, args, QIODevice::ReadWrite | QIODevice::Text);
#ifdef Q_OS_UNIX
    setrlimit(RLIMIT_FSIZE, &saved);
#else
    Q_UNUSED(fileSizeLimit);
#endif
    if (!p.waitForFinished(30000) || p.exitStatus() != QProcess::NormalExit)
        return { -1, QString(), p.errorString() };
    return { p.exitCode(), QString::fromUtf8(p.readAllStandardOutput()), QString::fromUtf8(p.readAllStandardError()) };
}

// A two-row table file from the program's own writer: 93 bytes, freq_num at byte 57.
QByteArray programFile(const QString &path)
{
    freq_table t {};
    freq_table_init(&t);
    t.freq_num = 2;
    t.items[0] = { 150, 1.0f, 15, 15.0f };
    t.items[1] = { 150, 0.5f, 15, 30.0f };
    return SaveFreqTableFile(path, &t) ? readFile(path) : QByteArray();
}

QByteArray patched(QByteArray bytes, int at, qint32 value)
{
    return bytes.replace(at, 4, QByteArray(reinterpret_cast<const char *>(&value), 4));
}

// The window's rows, every column, as "ID frequency seconds periods rate".
QStringList windowRows(TestDesk &d)
{
    QStringList rows;
    for (int row = 0; row < d.tableModel->rowCount(); ++row) {
        QStringList cells;
        for (int column = 0; column < 5; ++column)
            cells << d.tableModel->index(row, column).data().toString();
        rows << cells.join(' ');
    }
    return rows;
}

void importInto(TestDesk &d, const QString &path)
{
    d.dialogAnswers = QStringList(path);
    d.w<QPushButton>("btn_import")->click();
}

QMap<QString, QByteArray> folderContents(const QString &path)
{
    QMap<QString, QByteArray> files;
    for (const QString &name : QDir(path).entryList(QDir::Files | QDir::Hidden))
        files[name] = readFile(path + "/" + name);
    return files;
}

} // namespace

class Ftb2Test : public QObject
{
    Q_OBJECT

private slots:
    void windowTableComesBackFromCsvByteForByte_data()
    {
        QTest::addColumn<QStringList>("rows"); // frequency and sending time, as typed
        QTest::newRow("new rows") << QStringList { "1", "15", "1", "15" };
        QTest::newRow("every kind of choice")
            << QStringList { "1/8192", "8192", "1/16", "32", "1/2", "0", "8192", "1", "4096", "3600", "1/4", "7" };
    }
    void windowTableComesBackFromCsvByteForByte()
    {
        QFETCH(QStringList, rows);
        AppFolderFixture folder;
        TestDesk d;
        BoxAnswerer boxes;
        d.w<QRadioButton>("rBtn_continue")->click();
        for (int i = 0; i < rows.size(); i += 2)
            d.addRow(rows[i], rows[i + 1]);
        d.dialogAnswers = QStringList(folder.file("day.FTB2"));
        d.w<QPushButton>("btn_out")->click();
        importInto(d, folder.file("day.FTB2"));
        QCOMPARE(boxes.seen, QStringList());

        QCOMPARE(ftb2(folder.path(), { "to-csv", "day.FTB2", "day.csv" }).err, QString());
        QCOMPARE(ftb2(folder.path(), { "from-csv", "day.csv", "again.FTB2" }).status, 0);
        QCOMPARE(readFile(folder.file("again.FTB2")), readFile(folder.file("day.FTB2")));

        // show prints what the window shows after the import, hidden columns too.
        const Result shown = ftb2(folder.path(), { "show", "day.FTB2" });
        QStringList lines = shown.out.split('\n', Qt::SkipEmptyParts);
        for (QString &line : lines)
            line = line.simplified();
        QCOMPARE(lines.mid(lines.size() - d.tableModel->rowCount()), windowRows(d));
        QVERIFY(lines.contains("total time " + d.w<QLineEdit>("label_total_sec")->text()));
    }

    void spreadsheetCsvImportsInTheWindow()
    {
        AppFolderFixture folder;
        QVERIFY(writeFile(folder.file("plan.csv"),
            "\xEF\xBB\xBF\"Frequency (Hz)\";\"Sending time (s)\";\"Sampling rate (Hz)\"\r\n"
            "\"1/16\";\"32\";\"\"\r\n4096;15;2400\r\n\"1.5\";\"10\";\r\n;;\r\n"));
        QCOMPARE(ftb2(folder.path(), { "from-csv", "plan.csv", "plan.FTB2" }).status, 0);
        TestDesk d;
        BoxAnswerer boxes;
        d.w<QRadioButton>("rBtn_continue")->click();
        importInto(d, folder.file("plan.FTB2"));
        QCOMPARE(boxes.seen, QStringList());
        QCOMPARE(windowRows(d), QStringList({ "1 1/16 32 2 150", "2 4096 15 61440 2400", "3 1.5 10 15 150" }));
        QCOMPARE(d.w<QLineEdit>("label_total_sec")->text(), QString("00:00:57"));
    }

    void badInputIsRefusedAndNothingWritten_data()
    {
        QTest::addColumn<QStringList>("args");
        QTest::addColumn<QByteArray>("csv"); // in.csv
        QTest::addColumn<long>("sizeLimit");
        QTest::addColumn<int>("status");
        QTest::addColumn<QString>("message");
        const QByteArray head = "Frequency,Time\n", good = head + "1,15\n2,15\n";
        const QStringList fromCsv = { "from-csv", "in.csv", "out.FTB2" };
        QTest::newRow("128 rows") << fromCsv << head + QByteArray("1,15\n").repeated(128) << 0L << 1
                                  << "in.csv, line 129: is row 128; SourceDesk takes at most 127 rows";
        QTest::newRow("frequency no number") << fromCsv << good + "abc,15\n"
                                             << 0L << 1 << "in.csv, line 4, Frequency: \"abc\" is not a number or 1/N";
        QTest::newRow("frequency not positive")
            << fromCsv << head + "-2,15\n"
            << 0L << 1 << "in.csv, line 2, Frequency: \"-2\" is not a frequency above 0 Hz";
        QTest::newRow("sending time not whole")
            << fromCsv << head + "1,12.5\n"
            << 0L << 1 << "in.csv, line 2, Time: \"12.5\" is not a whole number of seconds";
        QTest::newRow("no input") << QStringList { "from-csv", "none.csv", "out.FTB2" } << good << 0L << 1
                                  << "none.csv: no such file";
        QTest::newRow("input a folder") << QStringList { "to-csv", ".", "out.csv" } << good << 0L << 1
                                        << ".: is a folder, not a file";
        QTest::newRow("input a FIFO") << QStringList { "from-csv", "fifo", "out.FTB2" } << good << 0L << 1
                                      << "fifo: is not a regular file (a device, a FIFO or a socket)";
        QTest::newRow("input SourceDesk refuses")
            << QStringList { "to-csv", "in.csv" } << QByteArray::fromHex("010000002c010000") << 0L << 1
            << "in.csv: length of name 300 at byte 4 is outside 0 to 255";
        QTest::newRow("table exists") << QStringList { "from-csv", "in.csv", "old" } << good << 0L << 1
                                      << "old: exists; nothing was written (--force replaces it)";
        QTest::newRow("CSV exists") << QStringList { "to-csv", "table.FTB2", "old" } << good << 0L << 1
                                    << "old: exists; nothing was written (--force replaces it)";
        QTest::newRow("disk full, table") << QStringList { "from-csv", "--force", "in.csv", "old" } << good << 40L << 1
                                          << "old: could not be written (File too large); nothing was changed";
        QTest::newRow("disk full, CSV") << QStringList { "to-csv", "table.FTB2", "old", "--force" } << good << 40L << 1
                                        << "old: could not be written (File too large); nothing was changed";
        QTest::newRow("wrong use") << QStringList { "from-csv", "in.csv" } << good << 0L << 2
                                   << "usage: ftb2 from-csv [--force] IN.csv OUT.FTB2";
    }
    void badInputIsRefusedAndNothingWritten()
    {
        QFETCH(QStringList, args);
        QFETCH(QByteArray, csv);
        QFETCH(long, sizeLimit);
        QFETCH(int, status);
        QFETCH(QString, message);
        QTemporaryDir dir;
        QVERIFY(writeFile(dir.filePath("in.csv"), csv) && writeFile(dir.filePath("old"), "an older file"));
        QVERIFY(!programFile(dir.filePath("table.FTB2")).isEmpty());
#ifdef Q_OS_UNIX
        QCOMPARE(mkfifo(QFile::encodeName(dir.filePath("fifo")).constData(), 0600), 0);
#else
        if (sizeLimit || args.contains("fifo"))
            QSKIP("Windows has neither FIFOs nor a file size limit to fill a disk with");
#endif
        const QMap<QString, QByteArray> before = folderContents(dir.path());
        const Result r = ftb2(dir.path(), args, sizeLimit);
        QCOMPARE(r.err, (status == 1 ? "ftb2: " : "") + message + "\n");
        QCOMPARE(r.status, status);
        QCOMPARE(r.out, QString());
        QCOMPARE(folderContents(dir.path()), before);
    }

    void checkSaysWhatTheImportDoes_data()
    {
        QTest::addColumn<QByteArray>("file");
        QTest::addColumn<QString>("line");
        const QByteArray good = programFile(QTemporaryDir().filePath("good.FTB2"));
        const QString refused = "refused with \"File opening failed!\": ";
        QTest::newRow("from SourceDesk") << good << "imports, 2 rows, total time 00:00:45";
        QTest::newRow("bytes after the last entry")
            << good + "xyz"
            << "imports, 2 rows, total time 00:00:45; the 3 bytes after the last entry are ignored";
        QTest::newRow("128 rows") << patched(good, 57, 128)
                                  << refused + "holds 128 rows (freq_num at byte 57); SourceDesk takes at most 127";
        QTest::newRow("ends early") << good.chopped(
            2) << refused + "ends early, inside the send_time of row 2 at byte 89 (the file has 91 bytes)";
        QTest::newRow("name length") << patched(good, 4, -1)
                                     << refused + "length of name -1 at byte 4 is outside 0 to 255";
        QTest::newRow("empty") << QByteArray() << refused + "is empty";
    }
    void checkSaysWhatTheImportDoes()
    {
        QFETCH(QByteArray, file);
        QFETCH(QString, line);
        AppFolderFixture folder;
        QVERIFY(writeFile(folder.file("t.FTB2"), file) && !programFile(folder.file("good.FTB2")).isEmpty());
        const bool imports = line.startsWith("imports");
        const Result r = ftb2(folder.path(), { "check", "good.FTB2", "t.FTB2" });
        QCOMPARE(r.out, "good.FTB2: imports, 2 rows, total time 00:00:45\nt.FTB2: " + line + "\n");
        QCOMPARE(r.status, imports ? 0 : 1);
        // The window decides the same.
        TestDesk d;
        BoxAnswerer boxes;
        d.w<QRadioButton>("rBtn_continue")->click();
        d.addRow("4", "5");
        importInto(d, folder.file("t.FTB2"));
        QCOMPARE(boxes.seen, imports ? QStringList() : QStringList("提示|文件打开失败！"));
        QCOMPARE(d.tableModel->rowCount(), imports ? 2 : 1);
    }

    void csvReaderTakesWhatSpreadsheetsWrite_data()
    {
        QTest::addColumn<QByteArray>("csv");
        QTest::addColumn<QString>("read"); // entries "frequency/seconds/periods/rate", or the problem
        QTest::newRow("Chinese headings, any order, CR line ends")
            << QByteArray("采样率,发送时长(S),频率（Hz）\r,15,1/3\r") << "0.333333343/15/5/150";
        QTest::newRow("quotes around separators, quotes and line breaks")
            << QByteArray("ID;\"Sending\r\ntime\";Freq;Periods\r\n\"\"\"a\"\"; b\";  \"8\"  ;  1.5 ;\r\n\r\n;;\r\n")
            << "1.5/8/12/150";
        QTest::newRow("periods given") << QByteArray("Freq,Time,Periods\n8192,2147483648,2147483647\n")
                                       << "8192/2.14748365e+09/2147483647/150";
        QTest::newRow("quote never closed")
            << QByteArray("Freq,Time\n1,15\n1,\"15\n") << "line 3, field 2: opens a quote that is never closed";
        QTest::newRow("quote inside a value")
            << QByteArray("Freq,Time\n1,1\"5\n")
            << "line 2, field 2: has a quote inside an unquoted value (quote the whole value, doubling the quote)";
        QTest::newRow("value under no heading")
            << QByteArray("Freq,Time,\n1,15,x\n") << "line 2, field 3: holds a value under no heading";
        QTest::newRow("decimal comma") << QByteArray("Freq;Time\n1,5;15\n")
                                       << "line 2, Freq: \"1,5\" is not a number or 1/N (decimals take a point)";
        QTest::newRow("period count overflows")
            << QByteArray("Freq,Time\n8192,2147483648\n")
            << "line 2, Time: \"2147483648\" gives more periods at 8192 Hz than a table file holds";
        QTest::newRow("not UTF-8") << QByteArray("Freq,Time\n1,15\n\xC0,15\n")
                                   << "line 3: is not UTF-8 text (save the sheet as CSV UTF-8)";
        QTest::newRow("heading unknown") << QByteArray("Freq,Time,Note\n")
                                         << "line 1, Note: is not a column of a frequency "
                                            "table (ID, Frequency, Sending time, Period number, Sampling rate)";
        QTest::newRow("heading twice") << QByteArray("Freq,Time,Frequency(Hz)\n")
                                       << "line 1, Frequency(Hz): names a column a second time";
        QTest::newRow("no time column") << QByteArray("Freq\n1\n") << "line 1: names no sending time column";
        QTest::newRow("no rows") << QByteArray("Freq,Time\n,\n") << "line 1: has no rows below it";
        QTest::newRow("empty") << QByteArray("\xEF\xBB\xBF") << ": holds no header row";
    }
    void csvReaderTakesWhatSpreadsheetsWrite()
    {
        QFETCH(QByteArray, csv);
        QFETCH(QString, read);
        freq_table table {};
        freq_table_init(&table);
        const freq_table before = table;
        CsvProblem problem;
        QStringList entries;
        if (ReadCsvTable(csv, &table, &problem)) {
            for (int i = 0; i < table.freq_num; ++i) {
                const freq_item &e = table.items[i];
                entries << QString::asprintf(
                    "%.9g/%.9g/%d/%d", double(e.freq), double(e.send_time), e.period_num, e.sample_rate);
            }
        } else {
            entries << problem.where() + ": " + problem.text;
            QVERIFY(std::memcmp(&table, &before, sizeof table) == 0);
        }
        QCOMPARE(entries.join(' '), read);
    }
};

QTEST_MAIN(Ftb2Test)
#include "tst_ftb2.moc"
