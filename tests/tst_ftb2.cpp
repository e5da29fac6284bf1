#include "csvtable.h"
#include "ftb2bytes.h"
#include "testdesk.h"

#include <QLineEdit>
#include <QProcess>
#include <QRadioButton>

#include <cstring>

namespace {

// Runs ftb2 in `dir`; returns its exit status, a space and all it wrote.
QString ftb2(const QString &dir, const QStringList &args)
{
    QProcess p;
    p.setWorkingDirectory(dir);
    p.setProcessChannelMode(QProcess::MergedChannels);
    p.start(FTB2_PATH, args, QIODevice::ReadWrite | QIODevice::Text); // lines end in CR LF on Windows
    const bool ended = p.waitForFinished(30000) && p.exitStatus() == QProcess::NormalExit;
    return QString::number(ended ? p.exitCode() : -1) + " " + QString::fromUtf8(p.readAll());
}

// The window's rows, every column, as "ID frequency seconds periods rate", and its total.
QStringList windowRows(TestDesk &d)
{
    QString cells;
    for (int i = 0; i < d.tableModel->rowCount() * 5; ++i)
        cells += d.tableModel->index(i / 5, i % 5).data().toString() + (i % 5 == 4 ? "\n" : " ");
    return (cells + "total time " + d.w<QLineEdit>("label_total_sec")->text()).split('\n');
}

} // namespace

class Ftb2Test : public QObject
{
    Q_OBJECT

private slots:
    void tableComesBackThroughTheWindowAndCsv()
    {
        AppFolderFixture folder;
        TestDesk d;
        BoxAnswerer boxes;
        d.w<QRadioButton>("rBtn_continue")->click();
        // 1/5, 1/3 and 1/10 Hz are no floats; each comes back as the fraction it stands for.
        for (const QString &row : QString("1/5:10 1/3:15 1/10:10 1/8192:8192 1.5:14 4096:3600").split(' '))
            d.addRow(row.section(':', 0, 0), row.section(':', 1));
        d.tableModel->setData(d.tableModel->index(4, 4), "2400");
        d.dialogAnswers = QStringList({ folder.file("day.FTB2"), folder.file("day.FTB2") });
        d.w<QPushButton>("btn_out")->click();
        d.w<QPushButton>("btn_import")->click();
        QCOMPARE(windowRows(d),
            QStringList({ "1 1/5 10 2 150", "2 1/3 15 5 150", "3 1/10 10 1 150", "4 1/8192 8192 1 150",
                "5 1.5 14 21 2400", "6 4096 3600 14745600 150", "total time 03:17:21" }));
        const QByteArray day = readFile(folder.file("day.FTB2"));
        QCOMPARE(ftb2(folder.path(), { "to-csv", "day.FTB2", "day.csv" }), QString("0 "));
        QCOMPARE(ftb2(folder.path(), { "from-csv", "day.csv", "day.FTB2" }),
            QString("1 ftb2: day.FTB2: exists; nothing was written (--force replaces it)\n"));
        QCOMPARE(ftb2(folder.path(), { "from-csv", "--force", "day.csv", "day.FTB2" }), QString("0 "));
        QCOMPARE(readFile(folder.file("day.FTB2")), day); // through a CSV and back, byte for byte
        // A row from elsewhere that from-csv would refuse is told at once.
        QVERIFY(writeFile(folder.file("half.FTB2"), ftb2Bytes({ { 150, 1.0f, 15, 12.5f } })));
        QCOMPARE(ftb2(folder.path(), { "to-csv", "half.FTB2", "half.csv" }),
            "0 ftb2: half.FTB2: from-csv would refuse this CSV: line 2, Sending time(S): \"12.5\" is not a whole "
            "number of seconds\nftb2: half.FTB2: its header fields are not a new table's; the CSV cannot keep them\n");
        QCOMPARE(boxes.seen, QStringList());
    }

    void checkAndImportTakeTheSameFiles_data()
    {
        QTest::addColumn<QByteArray>("file"); // "->path": a link to that path
        QTest::addColumn<QString>("line"); // what check says of it; the window's box when it does not import
        const QByteArray good = ftb2Bytes({ { 150, 1.0f, 15, 15.0f }, { 150, 0.5f, 15, 30.0f } });
        QTest::newRow("tail") << good + "xyz"
                              << "imports, 2 rows, total time 00:00:45; the 3 bytes after the last entry are ignored";
        QTest::newRow("seconds past an int") << ftb2Bytes({ { 150, 1.0f, 1, 2e9f }, { 150, 1.0f, 1, 2e9f } })
                                             << "imports, 2 rows, total time 596523:14:07";
        QTest::newRow("128 rows") << QByteArray(good).replace(64, 4, QByteArray::fromHex("80000000"))
                                  << "holds 128 rows (freq_num at byte 64); SourceDesk takes at most 127";
#ifdef Q_OS_UNIX
        QTest::newRow("a device") << QByteArray("->/dev/zero")
                                  << "is not a regular file (a device, a FIFO or a socket)";
#endif
    }
    void checkAndImportTakeTheSameFiles()
    {
        QFETCH(QByteArray, file);
        QFETCH(QString, line);
        AppFolderFixture folder;
        const QString path = folder.file("t.FTB2");
        QVERIFY(file.startsWith("->") ? QFile::link(file.mid(2), path) : writeFile(path, file));
        const bool imports = line.startsWith("imports");
        QCOMPARE(ftb2(folder.path(), { "check", "t.FTB2" }),
            (imports ? "0 t.FTB2: " : "1 t.FTB2: refused with \"File opening failed!\": ") + line + "\n");
        TestDesk d;
        BoxAnswerer boxes;
        d.w<QRadioButton>("rBtn_continue")->click();
        d.w<QPushButton>("btn_add")->click();
        d.dialogAnswers = QStringList(path);
        d.w<QPushButton>("btn_import")->click();
        QCOMPARE(boxes.seen, imports ? QStringList() : QStringList("提示|文件打开失败！"));
        const QStringList rows = windowRows(d);
        QCOMPARE(QString("%1 rows, %2").arg(rows.size() - 1).arg(rows.last()),
            imports ? line.section(", ", 1, 2).section(';', 0, 0) : "1 rows, total time 00:00:15");
    }

    // What spreadsheets write, read or refused with the line and field to mend.
    void csvReaderTakesWhatSpreadsheetsWrite_data()
    {
        QTest::addColumn<QByteArray>("csv");
        QTest::addColumn<QString>("read"); // entries "frequency/seconds/periods/rate", or the problem
        const auto row = [](const char *name, const QByteArray &csv, const char *read) {
            QTest::newRow(name) << csv << QString::fromUtf8(read);
        };
        row("BOM, Chinese, CR ends", "\xEF\xBB\xBF采样率,发送时长(S),频率（Hz）\r,15,1/3\r", "0.333333343/15/5/150");
        row("quoted separators, quotes, breaks",
            "ID;\"Sending\r\ntime\";Freq;Periods\r\n\"\"\"a\"\"; b\";  \"8\"  ;  1.5 ;\r\n\r\n;;\r\n", "1.5/8/12/150");
        row("periods given", "Freq,Time,Periods\n8192,2147483648,2147483647\n", "8192/2.14748365e+09/2147483647/150");
        row("quote never closed", "Freq,Time\n1,15\n1,\"15\n", "line 3, field 2: opens a quote that is never closed");
        row("quote inside", "Freq,Time\n1,1\"5\n",
            "line 2, field 2: has a quote inside an unquoted value (quote the whole value, doubling the quote)");
        row("value under no heading", "Freq,Time,\n1,15,x\n", "line 2, field 3: holds a value under no heading");
        row("1,5", "Freq;Time\n1,5;15\n", "line 2, Freq: \"1,5\" is not a number or 1/N (decimals take a point)");
        row("overflow", "Freq,Time\n8192,2147483648\n",
            "line 2, Time: \"2147483648\" gives more periods at 8192 Hz than a table file holds");
        row("not UTF-8", "Freq,Time\n1,15\n\xC0,15\n", "line 3: is not UTF-8 text (save the sheet as CSV UTF-8)");
        row("heading twice", "Freq,Time,Frequency(Hz)\n", "line 1, Frequency(Hz): names a column a second time");
        row("no time column", "Freq\n1\n", "line 1: names no sending time column");
        row("no rows", "Freq,Time\n,\n", "line 1: has no rows below it");
    }
    void csvReaderTakesWhatSpreadsheetsWrite()
    {
        QFETCH(QByteArray, csv);
        QFETCH(QString, read);
        freq_table table {};
        freq_table_init(&table);
        const freq_table before = table;
        CsvProblem problem;
        QString entries;
        const bool taken = ReadCsvTable(csv, &table, &problem);
        for (const freq_item *e = table.items; taken && e < table.items + table.freq_num; ++e)
            entries += QString::asprintf(
                "%.9g/%.9g/%d/%d ", double(e->freq), double(e->send_time), e->period_num, e->sample_rate);
        QCOMPARE(taken ? entries.trimmed() : problem.where() + ": " + problem.text, read);
        QVERIFY(taken || std::memcmp(&table, &before, sizeof table) == 0); // a refusal leaves the table alone
    }
};

QTEST_MAIN(Ftb2Test)
#include "tst_ftb2.moc"
