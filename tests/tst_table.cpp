#include "table/tablemodel.h"
#include "testdesk.h"

#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QStyleFactory>
#include <QTableView>
#include <QTextCodec>

#include <cstring>
#include <memory>

#ifdef Q_OS_UNIX
#include <csignal>
#include <sys/resource.h>
#include <unistd.h>
#endif

Q_DECLARE_METATYPE(freq_item)

namespace {

// An FTB2 file of our own, with carried fields worth checking.
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
    return d.w<QWidget>("label_total_sec")->property("text").toString();
}

void sweepWithRows(TestDesk &d, int rows)
{
    d.w<QRadioButton>("rBtn_continue")->click();
    for (int i = 0; i < rows; ++i)
        click(d, "btn_add");
}

// Opens the editor of a cell as a double-click would.
QWidget *editCell(TestDesk &d, int row, int col)
{
    auto *view = d.w<QTableView>("tableView");
    view->edit(d.tableModel->index(row, col));
    return view->viewport()->findChild<QWidget *>(QString(), Qt::FindDirectChildrenOnly);
}

} // namespace

class TableTest : public QObject
{
    Q_OBJECT

private slots:
    void init() { folder.reset(new AppFolderFixture); }
    void cleanup() { folder.reset(); }
    void numberColumnIsGreyAndNeverEdited();
    void frequencyEditorStartsAtTheCellsText_data();
    void frequencyEditorStartsAtTheCellsText();
    void editsAndTheTotal();
    void rowButtonsStopAt127Rows();
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
    std::unique_ptr<AppFolderFixture> folder; // a fresh folder, and log, per test
};

void TableTest::numberColumnIsGreyAndNeverEdited()
{
    TestDesk d;
    sweepWithRows(d, 1);
    d.show();
    QVERIFY(QTest::qWaitForWindowExposed(&d));
    auto *view = d.w<QTableView>("tableView");
    const QImage shot = view->viewport()->grab().toImage();
    for (int col : { 0, 2 })
        QCOMPARE(shot.pixelColor(view->visualRect(d.tableModel->index(0, col)).topLeft() + QPoint(3, 3)),
            col == 0 ? QColor(230, 230, 230) : QColor(255, 255, 255));
    QTest::mouseDClick(view->viewport(), Qt::LeftButton, {}, view->visualRect(d.tableModel->index(0, 0)).center());
    QVERIFY(!editCell(d, 0, 0));
}

void TableTest::frequencyEditorStartsAtTheCellsText_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("current");
    QTest::newRow("1/16") << "1/16" << 9;
    QTest::newRow("4096") << "4096" << 25;
    QTest::newRow("new row") << "1" << 13;
    QTest::newRow("1.5, not listed") << "1.5" << -1;
}

void TableTest::frequencyEditorStartsAtTheCellsText()
{
    QFETCH(QString, text);
    QFETCH(int, current);
    TestDesk d;
    sweepWithRows(d, 1);
    d.tableModel->setData(d.tableModel->index(0, 1), text);
    d.show();
    QVERIFY(QTest::qWaitForWindowExposed(&d));
    auto *box = qobject_cast<QComboBox *>(editCell(d, 0, 1));
    QVERIFY(box && !box->isEditable());
    QCOMPARE(box->currentIndex(), current);
    QCOMPARE(box->count(), 27);
    QCOMPARE(box->itemText(0) + " " + box->itemText(26), QString("1/8192 8192"));
    // The Windows style, as on the crew's laptops, lists items at their own
    // size hint; Fusion draws menu rows of its own height.
    // setStyle does not take ownership; the box does, as its child.
    QStyle *windows = QStyleFactory::create("Windows");
    windows->setParent(box);
    box->setStyle(windows);
    box->showPopup();
    for (int i = 0; i < box->count(); ++i)
        QCOMPARE(box->view()->visualRect(box->model()->index(i, 0)).height(), 35);
    box->hidePopup();
}

void TableTest::editsAndTheTotal()
{
    TestDesk d;
    sweepWithRows(d, 2);
    d.tableModel->setData(d.tableModel->index(1, 1), "1.5");
    d.show();
    QVERIFY(QTest::qWaitForWindowExposed(&d));

    auto commit = [&](int row, int col, const std::function<void(QWidget *)> &change) {
        QWidget *editor = editCell(d, row, col);
        QVERIFY(editor);
        change(editor);
        QTest::keyClick(editor, Qt::Key_Return);
        QTRY_VERIFY(
            !d.w<QTableView>("tableView")->viewport()->findChild<QWidget *>(QString(), Qt::FindDirectChildrenOnly));
    };
    commit(0, 2, [](QWidget *e) { qobject_cast<QLineEdit *>(e)->setText("100"); });
    QCOMPARE(total(d), QString("00:01:55"));
    commit(1, 2, [](QWidget *e) { qobject_cast<QLineEdit *>(e)->setText("12.5"); });
    QCOMPARE(total(d), QString("00:01:40"));

    d.tableModel->setData(d.tableModel->index(0, 2), "1"); // not through an editor: the total does not know
    commit(0, 1, [](QWidget *e) { qobject_cast<QComboBox *>(e)->setCurrentIndex(12); });
    QCOMPARE(column(d, 1)[0], QString("1/2"));
    QCOMPARE(d.tableModel->frequency(0), 0.5f);
    QCOMPARE(total(d), QString("00:01:40")); // a frequency edit leaves the total alone
    commit(1, 1, [](QWidget *) {}); // closed without a choice
    QCOMPARE(column(d, 1)[1], QString("1.5"));
}

void TableTest::rowButtonsStopAt127Rows()
{
    TestDesk d;
    sweepWithRows(d, 3);
    auto *view = d.w<QTableView>("tableView");
    view->setCurrentIndex(d.tableModel->index(1, 2));
    click(d, "btn_delete");
    click(d, "btn_add");
    view->setCurrentIndex(d.tableModel->index(0, 1));
    click(d, "btn_insert");
    QCOMPARE(column(d, 0), QStringList({ "1", "2", "3", "4" }));
    QCOMPARE(total(d), QString("00:01:00"));
    BoxAnswerer boxes;
    view->setCurrentIndex(QModelIndex());
    click(d, "btn_delete");
    QCOMPARE(boxes.seen, QStringList("提示|请选择需要删除的条目"));
    QCOMPARE(total(d), QString("00:01:00"));
    click(d, "btn_clear");
    QCOMPARE(total(d), QString("00:00:00"));

    for (int i = 0; i < 127; ++i)
        click(d, "btn_add");
    QCOMPARE(total(d), QString("00:31:45"));
    boxes.seen.clear();
    click(d, "btn_add");
    view->setCurrentIndex(d.tableModel->index(3, 1));
    click(d, "btn_insert");
    QCOMPARE(boxes.seen, QStringList({ "提示|频率表最多只能有127行！", "提示|频率表最多只能有127行！" }));
    QCOMPARE(d.tableModel->rowCount(), 127);

    // The longest table makes a file that reads back.
    d.dialogAnswers = QStringList({ folder->file("long.FTB2"), folder->file("long.FTB2") });
    click(d, "btn_out");
    QCOMPARE(QFileInfo(folder->file("long.FTB2")).size(), 52 + 4 + 5 + 16 * 127);
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
    auto expectSingle = [&](bool single) {
        QCOMPARE(d.w<QWidget>("tableView")->styleSheet(),
            QString("background-color: rgb(%1);").arg(single ? "236, 233, 216" : "255, 255, 255"));
        for (const char *n : { "cmb_freq", "label_freq" })
            QCOMPARE(d.w<QWidget>(n)->isVisible(), single);
        for (const char *n : { "cmb_model_scan", "label_model_scan" })
            QCOMPARE(d.w<QWidget>(n)->isVisible(), !single);
        for (const char *n : { "btn_import", "btn_out", "btn_insert", "btn_add", "btn_delete", "btn_clear" }) {
            QCOMPARE(d.w<QWidget>(n)->isEnabled(), !single);
            QCOMPARE(
                d.w<QWidget>(n)->styleSheet(), QString("color: rgb(%1);").arg(single ? "208, 204, 188" : "0, 0, 0"));
        }
    };
    expectSingle(true);
    sweepWithRows(d, 2);
    expectSingle(false);
    d.w<QRadioButton>("rBtn_single")->click();
    expectSingle(true);
    QCOMPARE(d.tableModel->rowCount(), 0);
    QCOMPARE(total(d), QString("00:00:00"));
    d.w<QRadioButton>("rBtn_continue")->click();
    QCOMPARE(d.tableModel->rowCount(), 0); // the rows do not come back

    // The slot reads the buttons, not its argument.
    d.w<QRadioButton>("rBtn_single")->setChecked(true);
    d.tableModel->appendDefaultRow();
    d.onModelChanged(false);
    QCOMPARE(d.tableModel->rowCount(), 0);
    QCOMPARE(logFileTexts(folder->path()).filter("选择").mid(0, 3),
        QStringList({ "选择单频输出", "选择扫频输出", "选择单频输出" }));
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
    for (int i = 0; i < rows.size(); i += 3) {
        d.tableModel->appendDefaultRow();
        for (int col : { 1, 2, 4 })
            d.tableModel->setData(d.tableModel->index(i / 3, col), rows[i + (col == 4 ? 2 : col - 1)]);
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
}

void TableTest::importThenExportKeepsWhatTheFileCarries()
{
    TestDesk d;
    sweepWithRows(d, 1);
    // Before any import the header fields are the module's defaults.
    d.dialogAnswers = QStringList({ folder->file("first.FTB2") });
    click(d, "btn_out");
    QCOMPARE(readFile(folder->file("first.FTB2")).mid(4, 16).toHex(),
        QByteArray("04000000"
                   "61616100"
                   "65000000"
                   "0080bb45")); // "aaa", 101, 6000.0

    const QVector<freq_item> entries = { { 150, 0.0625f, 3, 48.0f }, { 2400, 1.5f, 99, 14.4f },
        { 75, 8192.0f, 4096, 0.5f }, { 300, 0.26f, 5, 20.0f } };
    QVERIFY(writeFile(folder->file("own.FTB2"), ownFile(entries)));
    d.dialogAnswers = QStringList({ folder->file("own.FTB2"), folder->file("again.FTB2") });
    click(d, "btn_import");
    QCOMPARE(column(d, 1), QStringList({ "1/16", "1.5", "8192", "1/3" }));
    QCOMPARE(column(d, 2), QStringList({ "48", "14", "1", "20" }));
    QCOMPARE(total(d), QString("00:01:23"));
    click(d, "btn_out");
    // Carried fields and sample rates as read; times whole, periods recomputed.
    const QByteArray again = readFile(folder->file("again.FTB2"));
    const QVector<freq_item> want = { { 150, 0.0625f, 3, 48.0f }, { 2400, 1.5f, 21, 14.0f },
        { 75, 8192.0f, 8192, 1.0f }, { 300, 1.0f / 3.0f, 7, 20.0f } };
    QCOMPARE(again, ownFile(want));

    // In single output the file holds the one entry, however many rows there are.
    d.w<QRadioButton>("rBtn_single")->setChecked(true);
    d.tableModel->appendDefaultRow();
    d.tableModel->appendDefaultRow();
    d.dialogAnswers = QStringList({ folder->file("single.FTB2") });
    d.on_btn_out_clicked();
    QCOMPARE(readFile(folder->file("single.FTB2")).mid(64, 4), QByteArray::fromHex("01000000"));
}

void TableTest::dialogsAndTheirFolders()
{
    TestDesk d;
    sweepWithRows(d, 0);
    BoxAnswerer boxes;
    click(d, "btn_out"); // nothing to export: no dialog, no box
    QVERIFY(d.dialogCalls.isEmpty());
    click(d, "btn_add");
    QVERIFY(writeFile(folder->file("a.FTB2"), ownFile({ { 150, 1.0f, 15, 15.0f } })));
    d.dialogAnswers = QStringList({ folder->file("a.FTB2") });
    for (const char *b : { "btn_import", "btn_import", "btn_import", "btn_out" }) // all but the first cancelled
        click(d, b);
    QCOMPARE(boxes.seen, QStringList({ "提示|文件打开失败！", "提示|文件打开失败！", "提示|文件导出失败！" }));
    const QStringList dirs = { folder->path(), folder->file("a.FTB2"), QString(), "/transParam" };
    QCOMPARE(d.dialogCalls.size(), 4);
    for (int i = 0; i < 4; ++i) {
        const TestDesk::DialogCall &call = d.dialogCalls[i];
        QCOMPARE(call.forReading, i < 3);
        QCOMPARE(call.caption + "|" + call.dir + "|" + call.filter,
            QString(i < 3 ? "Open File" : "Save File") + "|" + dirs[i] + "|Text File(*.FTB2)");
    }
}

void TableTest::refusedFilesLeaveTheTable_data()
{
    QTest::addColumn<QByteArray>("file");
    QTest::addColumn<int>("rows"); // -1: refused, the operator's rows stay
    const QByteArray three = ownFile({ { 150, 1.0f, 15, 15.0f }, { 150, 2.0f, 30, 15.0f }, { 150, 4.0f, 60, 15.0f } });
    QByteArray version7 = three, minus5 = ownFile({}), count128 = ownFile({});
    version7[0] = 7;
    minus5.replace(minus5.size() - 4, 4, QByteArray::fromHex("fbffffff"));
    count128.replace(count128.size() - 4, 4, QByteArray::fromHex("80000000"));
    count128 += QByteArray(16 * 128, '\0');
    QTest::newRow("version 7") << version7 << 3;
    QTest::newRow("freq_num -5") << minus5 << 0;
    QTest::newRow("freq_num 128") << count128 << -1;
    QTest::newRow("cut short") << three.left(three.size() - 3) << -1;
    QTest::newRow("empty file") << QByteArray() << -1;
}

void TableTest::refusedFilesLeaveTheTable()
{
    QFETCH(QByteArray, file);
    QFETCH(int, rows);
    TestDesk d;
    sweepWithRows(d, 2);
    d.tableModel->setData(d.tableModel->index(1, 1), "1/4");
    QVERIFY(writeFile(folder->file("in.FTB2"), file));
    d.dialogAnswers = QStringList(folder->file("in.FTB2"));
    BoxAnswerer boxes;
    click(d, "btn_import");
    QCOMPARE(boxes.seen, rows < 0 ? QStringList("提示|文件打开失败！") : QStringList());
    QCOMPARE(d.tableModel->rowCount(), rows < 0 ? 2 : rows);
    if (rows < 0)
        QCOMPARE(column(d, 1) << total(d), QStringList({ "1", "1/4", "00:00:30" }));
}

void TableTest::failedExportKeepsTheOldFile()
{
    TestDesk d;
    sweepWithRows(d, 2);
    const QByteArray old = "an older table that must survive";
    QVERIFY(writeFile(folder->file("old.FTB2"), old));
    QVERIFY(writeFile(folder->file("plain"), "a file, not a folder"));
    BoxAnswerer boxes;
    auto exportFails = [&](const QString &path) {
        boxes.seen.clear();
        d.dialogAnswers = QStringList(path);
        click(d, "btn_out");
        return boxes.seen == QStringList("提示|文件导出失败！");
    };
    QVERIFY(exportFails(folder->file("plain/t.FTB2")));
    if (QFileInfo::exists("/dev/full")) {
        QVERIFY(exportFails("/dev/full"));
        QVERIFY(QFileInfo::exists("/dev/full") && !QFileInfo("/dev/full").isFile());
    }
#ifdef Q_OS_UNIX
    if (geteuid() != 0) { // root writes whatever the permission bits say
        QDir(folder->path()).mkdir("ro");
        QVERIFY(writeFile(folder->file("ro/kept.FTB2"), old));
        QFile::setPermissions(folder->file("ro"), QFile::ReadOwner | QFile::ExeOwner);
        QVERIFY(exportFails(folder->file("ro/kept.FTB2")));
        QCOMPARE(readFile(folder->file("ro/kept.FTB2")), old);
        QFile::setPermissions(folder->file("ro"), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    }

    // A disk that fills while the table is written: only the close fails, for root too.
    std::signal(SIGXFSZ, SIG_IGN);
    rlimit saved;
    getrlimit(RLIMIT_FSIZE, &saved);
    rlimit small = saved;
    small.rlim_cur = 40;
    setrlimit(RLIMIT_FSIZE, &small);
    const bool failed = exportFails(folder->file("old.FTB2"));
    setrlimit(RLIMIT_FSIZE, &saved);
    QVERIFY(failed);
    QCOMPARE(readFile(folder->file("old.FTB2")), old);
    QCOMPARE(QDir(folder->path()).entryList({ "old.FTB2*" }, QDir::Files | QDir::Hidden), QStringList("old.FTB2"));
#endif

    QVERIFY(!exportFails(folder->file("old.FTB2"))); // a good export replaces it whole
    QCOMPARE(QFileInfo(folder->file("old.FTB2")).size(), 52 + 4 + 5 + 32);
}

void TableTest::pathOutsideTheLocaleEncoding()
{
    TestDesk d;
    sweepWithRows(d, 1);
    const QString chinese = folder->file("频率.FTB2");
    QVERIFY(writeFile(chinese, ownFile({ { 150, 1.0f, 15, 15.0f } })));
    QTextCodec *saved = QTextCodec::codecForLocale();
    QTextCodec::setCodecForLocale(QTextCodec::codecForName("ISO-8859-1"));
    BoxAnswerer boxes;
    d.dialogAnswers = QStringList({ chinese, folder->file("输出.FTB2"), folder->file("é.FTB2") });
    for (const char *b : { "btn_import", "btn_out", "btn_out" })
        click(d, b);
    // Checked and removed under Latin-1, the one encoding that names it.
    const bool latinWritten = QFile::remove(folder->file("é.FTB2"));
    const QStringList left = QDir(folder->path()).entryList({ "*.FTB2*" }, QDir::Files | QDir::Hidden);
    QTextCodec::setCodecForLocale(saved);
    QCOMPARE(boxes.seen, QStringList({ "提示|文件打开失败！", "提示|文件导出失败！" }));
    QVERIFY(latinWritten);
    QCOMPARE(left.size(), 1); // the Chinese file; nothing under a mangled name
}

QTEST_MAIN(TableTest)
#include "tst_table.moc"
