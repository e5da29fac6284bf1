#include "table/tablefile.h"
#include "table/tablemodel.h"
#include "testdesk.h"

#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QStyleFactory>
#include <QTableView>
#include <QTextCodec>

#include <csignal>
#include <cstring>
#include <sys/resource.h>
#include <unistd.h>

namespace {

// An FTB2 file of our own with carried fields worth checking.
QByteArray ownFile(const QVector<freq_item> &entries)
{
    QByteArray bytes;
    QDataStream s(&bytes, QIODevice::WriteOnly);
    s.setByteOrder(QDataStream::LittleEndian);
    s.setFloatingPointPrecision(QDataStream::SinglePrecision);
    s << qint32(1) << qint32(9);
    s.writeRawData("survey-7", 9);
    s << qint32(42) << 11u << 12u << 13u << 14u << 15u << 16u << qint32(7);
    s.writeRawData("line B", 7);
    s << qint32(3) << qint32(1) << qint32(entries.size());
    for (const freq_item &e : entries)
        s << e.sample_rate << e.freq << e.period_num << e.send_time;
    return bytes;
}

QByteArray readFile(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<missing>");
}

bool writeFile(const QString &path, const QByteArray &bytes)
{
    QFile f(path);
    return f.open(QIODevice::WriteOnly | QIODevice::Truncate) && f.write(bytes) == bytes.size();
}

freq_table readTable(const QString &path)
{
    freq_table t {};
    FILE *fp = csamt_fopen(QFile::encodeName(path), "rb");
    if (fp) {
        freq_table_read(fp, &t);
        fclose(fp);
    }
    return t;
}

QStringList column(TestDesk &d, int col)
{
    QStringList texts;
    for (int row = 0; row < d.tableModel->rowCount(); ++row)
        texts << d.tableModel->index(row, col).data().toString();
    return texts;
}

void click(TestDesk &d, const char *button)
{
    d.w<QPushButton>(button)->click();
}

QString total(TestDesk &d)
{
    return d.w<QLineEdit>("label_total_sec")->text();
}

// Puts the window in sweep output with rows already in it.
void sweepWithRows(TestDesk &d, int rows)
{
    d.w<QRadioButton>("rBtn_continue")->click();
    for (int i = 0; i < rows; ++i)
        click(d, "btn_add");
}

} // namespace

Q_DECLARE_METATYPE(freq_item)

class TableTest : public QObject
{
    Q_OBJECT

private slots:
    void init() { fixture.reset(new AppFolderFixture); }
    void cleanup() { fixture.reset(); }
    void numberColumnIsGreyAndNeverEdited();
    void frequencyEditorStartsAtTheCellsText_data();
    void frequencyEditorStartsAtTheCellsText();
    void frequencyEditorStoresOnlyAChoice();
    void sendingTimeEditUpdatesTheTotal();
    void rowButtons();
    void tableStopsAt127Rows();
    void outputModeSwitches();
    void recordFromTheChoices_data();
    void recordFromTheChoices();
    void importThenExportKeepsWhatTheFileCarries();
    void dialogsAndTheirFolders();
    void refusedFilesLeaveTheTable_data();
    void refusedFilesLeaveTheTable();
    void failedExportKeepsTheOldFile();
    void pathOutsideTheLocaleEncoding();

private:
    std::unique_ptr<AppFolderFixture> fixture; // a fresh folder, and log, per test
    struct Folder
    {
        TableTest *t;
        QString path() const { return t->fixture->path(); }
        QString file(const QString &name) const { return t->fixture->file(name); }
    } folder { this };
};

void TableTest::numberColumnIsGreyAndNeverEdited()
{
    TestDesk d;
    sweepWithRows(d, 1);
    d.show();
    QVERIFY(QTest::qWaitForWindowExposed(&d));
    auto *view = d.w<QTableView>("tableView");
    const QRect cell = view->visualRect(d.tableModel->index(0, 0));
    const QImage shot = view->viewport()->grab().toImage();
    QCOMPARE(shot.pixelColor(cell.topLeft() + QPoint(3, 3)), QColor(230, 230, 230));
    QCOMPARE(
        shot.pixelColor(view->visualRect(d.tableModel->index(0, 2)).topLeft() + QPoint(3, 3)), QColor(255, 255, 255));

    QTest::mouseDClick(view->viewport(), Qt::LeftButton, {}, cell.center());
    view->edit(d.tableModel->index(0, 0));
    QVERIFY(!view->viewport()->findChild<QWidget *>(QString(), Qt::FindDirectChildrenOnly));
}

void TableTest::frequencyEditorStartsAtTheCellsText_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("current");
    QTest::newRow("1/16") << "1/16" << 9;
    QTest::newRow("4096") << "4096" << 25;
    QTest::newRow("new row") << "" << 13;
    QTest::newRow("1.5, not listed") << "1.5" << -1;
}

void TableTest::frequencyEditorStartsAtTheCellsText()
{
    QFETCH(QString, text);
    QFETCH(int, current);
    TestDesk d;
    sweepWithRows(d, 1);
    if (!text.isEmpty())
        d.tableModel->setData(d.tableModel->index(0, 1), text);
    d.show();
    QVERIFY(QTest::qWaitForWindowExposed(&d));
    auto *view = d.w<QTableView>("tableView");
    view->edit(d.tableModel->index(0, 1));
    auto *box = view->viewport()->findChild<QComboBox *>();
    QVERIFY(box);
    QCOMPARE(box->currentIndex(), current);
    QCOMPARE(box->count(), 27);
    QVERIFY(!box->isEditable());
    QCOMPARE(box->itemText(0), QString("1/8192"));
    QCOMPARE(box->itemText(26), QString("8192"));
    QCOMPARE(box->geometry(), view->visualRect(d.tableModel->index(0, 1)));
    // The Windows style lists items with their own size hints, as on the
    // crew's laptops; Fusion draws menu rows of its own height.
    box->setStyle(QStyleFactory::create("Windows"));
    box->showPopup();
    for (int i = 0; i < box->count(); ++i)
        QCOMPARE(box->view()->visualRect(box->model()->index(i, 0)).height(), 35);
    box->hidePopup();
}

void TableTest::frequencyEditorStoresOnlyAChoice()
{
    TestDesk d;
    sweepWithRows(d, 2);
    d.tableModel->setData(d.tableModel->index(0, 2), "100"); // not through an editor: the total does not know
    d.tableModel->setData(d.tableModel->index(1, 1), "1.5");
    d.show();
    QVERIFY(QTest::qWaitForWindowExposed(&d));
    auto *view = d.w<QTableView>("tableView");

    view->edit(d.tableModel->index(0, 1));
    auto *box = view->viewport()->findChild<QComboBox *>();
    box->setCurrentIndex(12);
    QTest::keyClick(box, Qt::Key_Return);
    QTRY_VERIFY(!view->viewport()->findChild<QComboBox *>());
    QCOMPARE(column(d, 1)[0], QString("1/2"));
    QCOMPARE(d.tableModel->frequency(0), 0.5f);
    QCOMPARE(total(d), QString("00:00:30")); // a frequency edit leaves the total alone

    view->edit(d.tableModel->index(1, 1));
    QTest::keyClick(view->viewport()->findChild<QComboBox *>(), Qt::Key_Return);
    QTRY_VERIFY(!view->viewport()->findChild<QComboBox *>());
    QCOMPARE(column(d, 1)[1], QString("1.5"));
}

void TableTest::sendingTimeEditUpdatesTheTotal()
{
    TestDesk d;
    sweepWithRows(d, 2);
    d.show();
    QVERIFY(QTest::qWaitForWindowExposed(&d));
    auto *view = d.w<QTableView>("tableView");
    for (const auto &[typed, shown] : { std::pair<QString, QString>("100", "00:01:55"), { "12.5", "00:00:15" } }) {
        view->edit(d.tableModel->index(0, 2));
        auto *editor = view->viewport()->findChild<QLineEdit *>();
        QVERIFY(editor);
        editor->setText(typed);
        QTest::keyClick(editor, Qt::Key_Return);
        QTRY_COMPARE(total(d), shown);
    }
}

void TableTest::rowButtons()
{
    TestDesk d;
    sweepWithRows(d, 3);
    QCOMPARE(total(d), QString("00:00:45"));
    auto *view = d.w<QTableView>("tableView");
    view->setCurrentIndex(d.tableModel->index(1, 2));
    click(d, "btn_delete");
    QCOMPARE(column(d, 0), QStringList({ "1", "3" }));
    QCOMPARE(total(d), QString("00:00:30"));
    click(d, "btn_add");
    QCOMPARE(column(d, 0), QStringList({ "1", "3", "3" }));
    view->setCurrentIndex(d.tableModel->index(0, 1));
    click(d, "btn_insert");
    QCOMPARE(column(d, 0), QStringList({ "1", "2", "3", "4" }));
    QCOMPARE(total(d), QString("00:01:00"));

    view->setCurrentIndex(QModelIndex());
    click(d, "btn_insert"); // no current row: at the end
    QCOMPARE(column(d, 0).last(), QString("5"));
    BoxAnswerer boxes;
    click(d, "btn_delete");
    QCOMPARE(boxes.seen, QStringList("提示|请选择需要删除的条目"));
    QCOMPARE(d.tableModel->rowCount(), 5);
    QCOMPARE(total(d), QString("00:01:15"));
    click(d, "btn_clear");
    QCOMPARE(d.tableModel->rowCount(), 0);
    QCOMPARE(total(d), QString("00:00:00"));
}

void TableTest::tableStopsAt127Rows()
{
    TestDesk d;
    sweepWithRows(d, 127);
    QCOMPARE(total(d), QString("00:31:45"));
    BoxAnswerer boxes;
    click(d, "btn_add");
    d.w<QTableView>("tableView")->setCurrentIndex(d.tableModel->index(3, 1));
    click(d, "btn_insert");
    QCOMPARE(boxes.seen, QStringList({ "提示|频率表最多只能有127行！", "提示|频率表最多只能有127行！" }));
    QCOMPARE(d.tableModel->rowCount(), 127);

    // The longest table makes a file that reads back.
    d.dialogAnswers = QStringList({ folder.file("long.FTB2"), folder.file("long.FTB2") });
    click(d, "btn_out");
    QCOMPARE(QFileInfo(folder.file("long.FTB2")).size(), 52 + 4 + 5 + 16 * 127);
    click(d, "btn_clear");
    click(d, "btn_import");
    QCOMPARE(d.tableModel->rowCount(), 127);
    QCOMPARE(boxes.seen.size(), 2);
}

void TableTest::outputModeSwitches()
{
    TestDesk d;
    d.show();
    QVERIFY(QTest::qWaitForWindowExposed(&d));
    const char *const buttons[] = { "btn_import", "btn_out", "btn_insert", "btn_add", "btn_delete", "btn_clear" };
    auto expectSingle = [&](bool single) {
        QCOMPARE(d.w<QTableView>("tableView")->styleSheet(),
            single ? QString("background-color: rgb(236, 233, 216);")
                   : QString("background-color: rgb(255, 255, 255);"));
        QCOMPARE(d.w<QWidget>("cmb_freq")->isVisible(), single);
        QCOMPARE(d.w<QWidget>("label_freq")->isVisible(), single);
        QCOMPARE(d.w<QWidget>("cmb_model_scan")->isVisible(), !single);
        QCOMPARE(d.w<QWidget>("label_model_scan")->isVisible(), !single);
        for (const char *b : buttons) {
            QCOMPARE(d.w<QWidget>(b)->isEnabled(), !single);
            QCOMPARE(d.w<QWidget>(b)->styleSheet(),
                single ? QString("color: rgb(208, 204, 188);") : QString("color: rgb(0, 0, 0);"));
        }
    };
    expectSingle(true);
    sweepWithRows(d, 2);
    expectSingle(false);
    QCOMPARE(total(d), QString("00:00:30"));
    d.w<QRadioButton>("rBtn_single")->click();
    expectSingle(true);
    QCOMPARE(d.tableModel->rowCount(), 0);
    QCOMPARE(total(d), QString("00:00:00"));
    d.w<QRadioButton>("rBtn_continue")->click();
    QCOMPARE(d.tableModel->rowCount(), 0); // the rows do not come back

    // The slot reads the buttons, not its argument.
    click(d, "btn_add");
    d.w<QRadioButton>("rBtn_single")->setChecked(true);
    d.tableModel->appendDefaultRow();
    d.onModelChanged(false);
    expectSingle(true);
    QCOMPARE(d.tableModel->rowCount(), 0);
    const QStringList log = logFileTexts(folder.path());
    QCOMPARE(log.filter("选择").mid(0, 3), QStringList({ "选择单频输出", "选择扫频输出", "选择单频输出" }));
}

void TableTest::recordFromTheChoices_data()
{
    QTest::addColumn<bool>("single");
    QTest::addColumn<QStringList>("rows"); // frequency, seconds, sampling rate
    QTest::addColumn<QVector<freq_item>>("entries");
    const QStringList rows = { "1/16", "48", "150", "8192", "0.5", "2400", "8", "3.3", "75", "1/2", "10", "150" };
    QTest::newRow("single 1/8 over rows")
        << true << rows << QVector<freq_item>({ { 150, 0.125f, 2147483647, 2147483648.0f } });
    QTest::newRow("sweep") << false << rows
                           << QVector<freq_item>({ { 150, 0.0625f, 3, 48.0f }, { 2400, 8192.0f, 4096, 0.5f },
                                  { 75, 8.0f, 26, 3.3f }, { 150, 0.5f, 5, 10.0f } });
    QTest::newRow("empty sweep") << false << QStringList() << QVector<freq_item>();
}

void TableTest::recordFromTheChoices()
{
    QFETCH(bool, single);
    QFETCH(QStringList, rows);
    QFETCH(QVector<freq_item>, entries);
    TestDesk d;
    d.w<QRadioButton>(single ? "rBtn_single" : "rBtn_continue")->setChecked(true);
    d.w<QComboBox>("cmb_freq")->setCurrentIndex(10);
    for (int i = 0; i + 2 < rows.size(); i += 3) {
        d.tableModel->appendDefaultRow();
        const int row = i / 3;
        for (int col : { 1, 2, 4 })
            d.tableModel->setData(d.tableModel->index(row, col), rows[i + (col == 4 ? 2 : col - 1)]);
    }
    std::memset(&d.freqTable.items, 0x77, sizeof d.freqTable.items);
    d.freqTable.freq_num = 99;
    d.BuildFreqTable();
    QCOMPARE(d.freqTable.freq_num, entries.size());
    for (int i = 0; i < entries.size(); ++i)
        QVERIFY2(!std::memcmp(&d.freqTable.items[i], &entries[i], sizeof(freq_item)), qPrintable(QString::number(i)));
    QCOMPARE(d.freqTable.items[entries.size()].sample_rate, 0x77777777); // the rest as it was

    // And back: the record's entries become the rows, whatever was there.
    d.SyncFreqTable(false);
    QCOMPARE(d.tableModel->rowCount(), entries.size());
    d.freqTable.freq_num = -5;
    d.SyncFreqTable(false);
    QCOMPARE(d.tableModel->rowCount(), 0);
}

void TableTest::importThenExportKeepsWhatTheFileCarries()
{
    TestDesk d;
    sweepWithRows(d, 1);
    // Before any import the header fields are the module's defaults.
    d.dialogAnswers = QStringList({ folder.file("first.FTB2") });
    click(d, "btn_out");
    const QByteArray first = readFile(folder.file("first.FTB2"));
    QCOMPARE(first.mid(4, 8), QByteArray::fromHex("04000000") + QByteArray("aaa", 4));
    QCOMPARE(first.mid(12, 8).toHex(), QByteArray("650000000080bb45"));

    const QVector<freq_item> entries = { { 150, 0.0625f, 3, 48.0f }, { 2400, 1.5f, 99, 14.4f },
        { 75, 8192.0f, 4096, 0.5f }, { 300, 0.26f, 5, 20.0f } };
    QVERIFY(writeFile(folder.file("own.FTB2"), ownFile(entries)));
    d.dialogAnswers = QStringList({ folder.file("own.FTB2"), folder.file("again.FTB2") });
    click(d, "btn_import");
    QCOMPARE(column(d, 1), QStringList({ "1/16", "1.5", "8192", "1/3" }));
    QCOMPARE(column(d, 2), QStringList({ "48", "14", "1", "20" }));
    QCOMPARE(total(d), QString("00:01:23"));
    click(d, "btn_out");

    const QByteArray mine = ownFile(entries), again = readFile(folder.file("again.FTB2"));
    QCOMPARE(again.size(), mine.size());
    QCOMPARE(again.left(52 + 9 + 7), mine.left(52 + 9 + 7)); // every carried field
    const freq_table t = readTable(folder.file("again.FTB2"));
    const freq_item want[] = { { 150, 0.0625f, 3, 48.0f }, { 2400, 1.5f, 21, 14.0f }, { 75, 8192.0f, 8192, 1.0f },
        { 300, 1.0f / 3.0f, 7, 20.0f } };
    for (int i = 0; i < 4; ++i)
        QVERIFY2(!std::memcmp(&t.items[i], &want[i], sizeof(freq_item)), qPrintable(QString::number(i)));

    // In single output the file holds the one entry, however many rows there are.
    d.w<QRadioButton>("rBtn_single")->setChecked(true);
    d.tableModel->appendDefaultRow();
    d.tableModel->appendDefaultRow();
    d.dialogAnswers = QStringList({ folder.file("single.FTB2") });
    d.on_btn_out_clicked();
    QCOMPARE(readTable(folder.file("single.FTB2")).freq_num, 1);
}

void TableTest::dialogsAndTheirFolders()
{
    TestDesk d;
    sweepWithRows(d, 0);
    BoxAnswerer boxes;
    click(d, "btn_out"); // nothing to export: no dialog, no box
    QVERIFY(d.dialogCalls.isEmpty());
    click(d, "btn_add");

    QVERIFY(writeFile(folder.file("a.FTB2"), ownFile({ { 150, 1.0f, 15, 15.0f } })));
    d.dialogAnswers = QStringList({ folder.file("a.FTB2") });
    click(d, "btn_import");
    click(d, "btn_import"); // cancelled
    click(d, "btn_import");
    click(d, "btn_out"); // cancelled
    QCOMPARE(boxes.seen, QStringList({ "提示|文件打开失败！", "提示|文件打开失败！", "提示|文件导出失败！" }));
    QCOMPARE(d.dialogCalls.size(), 4);
    const QStringList dirs = { folder.path(), folder.file("a.FTB2"), QString(), "/transParam" };
    for (int i = 0; i < 4; ++i) {
        QCOMPARE(d.dialogCalls[i].forReading, i < 3);
        QCOMPARE(d.dialogCalls[i].caption, QString(i < 3 ? "Open File" : "Save File"));
        QCOMPARE(d.dialogCalls[i].dir, dirs[i]);
        QCOMPARE(d.dialogCalls[i].filter, QString("Text File(*.FTB2)"));
    }
}

void TableTest::refusedFilesLeaveTheTable_data()
{
    QTest::addColumn<QByteArray>("file");
    QTest::addColumn<int>("rows"); // -1: the operator's rows stay
    const QByteArray three = ownFile({ { 150, 1.0f, 15, 15.0f }, { 150, 2.0f, 30, 15.0f }, { 150, 4.0f, 60, 15.0f } });
    QByteArray version7 = three, minus5 = ownFile({}), count128 = ownFile({}), length256 = three;
    version7[0] = 7;
    minus5.replace(minus5.size() - 4, 4, QByteArray::fromHex("fbffffff"));
    count128.replace(count128.size() - 4, 4, QByteArray::fromHex("80000000"));
    count128 += QByteArray(16 * 128, '\0');
    length256.replace(4, 4, QByteArray::fromHex("00010000"));
    QTest::newRow("version 7") << version7 << 3;
    QTest::newRow("freq_num -5") << minus5 << 0;
    QTest::newRow("freq_num 128") << count128 << -1;
    QTest::newRow("text length 256") << length256 << -1;
    QTest::newRow("cut in the last entry") << three.left(three.size() - 3) << -1;
    QTest::newRow("empty file") << QByteArray() << -1;
}

void TableTest::refusedFilesLeaveTheTable()
{
    QFETCH(QByteArray, file);
    QFETCH(int, rows);
    TestDesk d;
    sweepWithRows(d, 2);
    d.tableModel->setData(d.tableModel->index(1, 1), "1/4");
    QVERIFY(writeFile(folder.file("in.FTB2"), file));
    d.dialogAnswers = QStringList(folder.file("in.FTB2"));
    BoxAnswerer boxes;
    click(d, "btn_import");
    if (rows >= 0) {
        QCOMPARE(d.tableModel->rowCount(), rows);
        QVERIFY(boxes.seen.isEmpty());
        return;
    }
    QCOMPARE(boxes.seen, QStringList("提示|文件打开失败！"));
    QCOMPARE(column(d, 1), QStringList({ "1", "1/4" }));
    QCOMPARE(total(d), QString("00:00:30"));
}

void TableTest::failedExportKeepsTheOldFile()
{
    TestDesk d;
    sweepWithRows(d, 2);
    const QByteArray old = "an older table that must survive";
    QVERIFY(writeFile(folder.file("old.FTB2"), old));
    QVERIFY(writeFile(folder.file("plain"), "a file, not a folder"));
    BoxAnswerer boxes;
    auto exportTo = [&](const QString &path) {
        boxes.seen.clear();
        d.dialogAnswers = QStringList(path);
        click(d, "btn_out");
        return boxes.seen == QStringList("提示|文件导出失败！");
    };

    QVERIFY(exportTo(folder.file("plain/t.FTB2")));
    if (QFileInfo::exists("/dev/full")) {
        QVERIFY(exportTo("/dev/full"));
        QVERIFY(QFileInfo::exists("/dev/full") && !QFileInfo("/dev/full").isFile());
    }
    if (geteuid() != 0) { // root writes through permission bits
        QDir(folder.path()).mkdir("ro");
        QVERIFY(writeFile(folder.file("ro/kept.FTB2"), old));
        QFile::setPermissions(folder.file("ro"), QFile::ReadOwner | QFile::ExeOwner);
        QVERIFY(exportTo(folder.file("ro/kept.FTB2")));
        QCOMPARE(readFile(folder.file("ro/kept.FTB2")), old);
        QFile::setPermissions(folder.file("ro"), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    }

    // A disk that fills while the table is written: the write fails at the
    // close, for root too.
    std::signal(SIGXFSZ, SIG_IGN);
    rlimit saved;
    getrlimit(RLIMIT_FSIZE, &saved);
    rlimit small = saved;
    small.rlim_cur = 40;
    setrlimit(RLIMIT_FSIZE, &small);
    const bool failed = exportTo(folder.file("old.FTB2"));
    setrlimit(RLIMIT_FSIZE, &saved);
    QVERIFY(failed);
    QCOMPARE(readFile(folder.file("old.FTB2")), old);
    QCOMPARE(QDir(folder.path()).entryList({ "old.FTB2*" }, QDir::Files | QDir::Hidden), QStringList("old.FTB2"));

    // A good export replaces the old file whole.
    QVERIFY(!exportTo(folder.file("old.FTB2")));
    QCOMPARE(QFileInfo(folder.file("old.FTB2")).size(), 52 + 4 + 5 + 32);
}

void TableTest::pathOutsideTheLocaleEncoding()
{
    TestDesk d;
    sweepWithRows(d, 1);
    const QString chinese = folder.file("频率.FTB2");
    QVERIFY(writeFile(chinese, ownFile({ { 150, 1.0f, 15, 15.0f } })));
    QTextCodec *saved = QTextCodec::codecForLocale();
    QTextCodec::setCodecForLocale(QTextCodec::codecForName("ISO-8859-1"));
    BoxAnswerer boxes;
    d.dialogAnswers = QStringList({ chinese, folder.file("输出.FTB2"), folder.file("é.FTB2") });
    click(d, "btn_import");
    click(d, "btn_out");
    click(d, "btn_out"); // representable: written under its Latin-1 name
    // Checked and cleaned up under Latin-1, the only encoding that names it.
    const bool latinWritten = QFile::remove(folder.file("é.FTB2"));
    const QStringList left = QDir(folder.path()).entryList({ "*.FTB2*" }, QDir::Files | QDir::Hidden);
    QTextCodec::setCodecForLocale(saved);
    QCOMPARE(boxes.seen, QStringList({ "提示|文件打开失败！", "提示|文件导出失败！" }));
    QVERIFY(latinWritten);
    QCOMPARE(left.size(), 1); // the Chinese file itself; nothing under a mangled name
}

QTEST_MAIN(TableTest)
#include "tst_table.moc"
