#include "table/tablemodel.h"
#include "testdesk.h"

#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QStyleFactory>
#include <QTableView>
#include <QTextCodec>

#include <memory>

#ifdef Q_OS_UNIX
#include <csignal>
#include <sys/resource.h>
#include <unistd.h>
#endif

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
    return d.w<QLineEdit>("label_total_sec")->text();
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
    void cellEditorsAndTheTotal();
    void rowButtonsAndOutputMode();
    void importThenExportKeepsWhatTheFileCarries();
    void refusedFilesChangeNothing();

private:
    std::unique_ptr<AppFolderFixture> folder; // a fresh folder, and log, per test
};

void TableTest::cellEditorsAndTheTotal()
{
    TestDesk d;
    sweepWithRows(d, 2);
    d.show();
    QVERIFY(QTest::qWaitForWindowExposed(&d));
    auto *view = d.w<QTableView>("tableView");

    // The number column is grey and opens no editor.
    const QImage shot = view->viewport()->grab().toImage();
    for (int col : { 0, 2 })
        QCOMPARE(shot.pixelColor(view->visualRect(d.tableModel->index(0, col)).topLeft() + QPoint(3, 3)),
            col == 0 ? QColor(230, 230, 230) : QColor(Qt::white));
    QTest::mouseDClick(view->viewport(), Qt::LeftButton, {}, view->visualRect(d.tableModel->index(0, 0)).center());
    QVERIFY(!editCell(d, 0, 0));

    // The frequency list starts at the cell's text; under the Windows style of
    // the crews' laptops it lists 27 rows of 35 pixels (Fusion draws menu rows
    // of its own height).
    const auto noEditor = [&] {
        return QTest::qWaitFor(
            [&] { return !view->viewport()->findChild<QWidget *>(QString(), Qt::FindDirectChildrenOnly); });
    };
    const std::unique_ptr<QStyle> windows(QStyleFactory::create("Windows")); // outlives every editor
    for (const auto &[text, current] :
        { std::pair<QString, int>("1/16", 9), { "4096", 25 }, { "1", 13 }, { "1.5", -1 } }) {
        d.tableModel->setData(d.tableModel->index(1, 1), text);
        auto *box = qobject_cast<QComboBox *>(editCell(d, 1, 1));
        QVERIFY(box && !box->isEditable());
        QCOMPARE(box->currentIndex(), current);
        box->setStyle(windows.get());
        box->showPopup();
        QCOMPARE(box->count(), 27);
        for (int i = 0; i < box->count(); ++i)
            QCOMPARE(box->view()->visualRect(box->model()->index(i, 0)).height(), 35);
        box->hidePopup();
        QTest::keyClick(box, Qt::Key_Escape);
        QVERIFY(noEditor());
    }

    auto commit = [&](int row, int col, const std::function<void(QWidget *)> &change) {
        QWidget *editor = editCell(d, row, col);
        QVERIFY(editor);
        change(editor);
        QTest::keyClick(editor, Qt::Key_Return);
        QVERIFY(noEditor());
    };
    commit(0, 2, [](QWidget *e) { qobject_cast<QLineEdit *>(e)->setText("100"); });
    QCOMPARE(total(d), QString("00:01:55"));

    d.tableModel->setData(d.tableModel->index(0, 2), "1"); // not through an editor: the total does not know
    commit(0, 1, [](QWidget *e) { qobject_cast<QComboBox *>(e)->setCurrentIndex(12); });
    QCOMPARE(column(d, 1)[0], QString("1/2"));
    QCOMPARE(d.tableModel->frequency(0), 0.5f);
    QCOMPARE(total(d), QString("00:01:55")); // a frequency edit leaves the total alone
    commit(1, 1, [](QWidget *) {}); // closed without a choice
    QCOMPARE(column(d, 1)[1], QString("1.5"));
}

void TableTest::rowButtonsAndOutputMode()
{
    TestDesk d;
    // Single output: only the frequency box; the row buttons are off.
    const auto expectSingle = [&](bool single) {
        QCOMPARE(d.w<QWidget>("cmb_freq")->isVisibleTo(&d), single);
        QCOMPARE(d.w<QWidget>("cmb_model_scan")->isVisibleTo(&d), !single);
        for (const char *n : { "btn_import", "btn_out", "btn_insert", "btn_add", "btn_delete", "btn_clear" })
            QCOMPARE(d.w<QWidget>(n)->isEnabled(), !single);
    };
    expectSingle(true);
    sweepWithRows(d, 3);
    expectSingle(false);
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

    // Single output empties the table and its total; the rows do not come back.
    d.w<QRadioButton>("rBtn_single")->click();
    expectSingle(true);
    QCOMPARE(d.tableModel->rowCount(), 0);
    QCOMPARE(total(d), QString("00:00:00"));
    d.w<QRadioButton>("rBtn_continue")->click();
    expectSingle(false);
    QCOMPARE(d.tableModel->rowCount(), 0);
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
    const QVector<freq_item> want = { { 150, 0.0625f, 3, 48.0f }, { 2400, 1.5f, 21, 14.0f },
        { 75, 8192.0f, 8192, 1.0f }, { 300, 1.0f / 3.0f, 7, 20.0f } };
    QCOMPARE(readFile(folder->file("again.FTB2")), ownFile(want));

    // Single output writes its one entry, whatever rows the table holds.
    d.w<QRadioButton>("rBtn_single")->setChecked(true);
    d.w<QComboBox>("cmb_freq")->setCurrentIndex(10);
    d.tableModel->appendDefaultRow();
    d.tableModel->appendDefaultRow();
    d.dialogAnswers = QStringList({ folder->file("single.FTB2") });
    d.on_btn_out_clicked();
    QCOMPARE(readFile(folder->file("single.FTB2")), ownFile({ { 150, 0.125f, 2147483647, 2147483648.0f } }));
}

void TableTest::refusedFilesChangeNothing()
{
    TestDesk d;
    BoxAnswerer boxes;
    sweepWithRows(d, 0);
    click(d, "btn_out"); // nothing to export: no dialog, no box
    QVERIFY(d.dialogCalls.isEmpty() && boxes.seen.isEmpty());
    sweepWithRows(d, 2);
    d.tableModel->setData(d.tableModel->index(1, 1), "1/4");
    // Answers the file dialog of `button` with `path`; returns the boxes that follow.
    const auto answer = [&](const char *button, const QString &path) {
        boxes.seen.clear();
        d.dialogAnswers = QStringList(path);
        click(d, button);
        return boxes.seen;
    };
    const QStringList openFailed("提示|文件打开失败！"), exportFailed("提示|文件导出失败！");

    // A refused or cancelled import leaves the operator's rows.
    QByteArray count128 = ownFile({});
    count128.replace(count128.size() - 4, 4, QByteArray::fromHex("80000000"));
    QVERIFY(writeFile(folder->file("128.FTB2"), count128 + QByteArray(16 * 128, '\0')));
    QCOMPARE(answer("btn_import", folder->file("128.FTB2")), openFailed);
    QCOMPARE(answer("btn_import", QString()), openFailed);
    QCOMPARE(column(d, 1) << total(d), QStringList({ "1", "1/4", "00:00:30" }));
    // The first import opens in the application folder, the next where the last one was.
    QCOMPARE(d.dialogCalls[0].dir + "|" + d.dialogCalls[1].dir, folder->path() + "|" + folder->file("128.FTB2"));

    // A failed export keeps the file it would have replaced.
    const QByteArray old = "an older table that must survive";
    QVERIFY(writeFile(folder->file("old.FTB2"), old));
    QVERIFY(writeFile(folder->file("plain"), "a file, not a folder"));
    QCOMPARE(answer("btn_out", QString()), exportFailed);
    QCOMPARE(answer("btn_out", folder->file("plain/t.FTB2")), exportFailed);
    if (QFileInfo::exists("/dev/full")) {
        QCOMPARE(answer("btn_out", "/dev/full"), exportFailed);
        QVERIFY(QFileInfo::exists("/dev/full") && !QFileInfo("/dev/full").isFile());
    }
#ifdef Q_OS_UNIX
    if (geteuid() != 0) { // root writes whatever the permission bits say
        QDir(folder->path()).mkdir("ro");
        QVERIFY(writeFile(folder->file("ro/kept.FTB2"), old));
        QFile::setPermissions(folder->file("ro"), QFile::ReadOwner | QFile::ExeOwner);
        QCOMPARE(answer("btn_out", folder->file("ro/kept.FTB2")), exportFailed);
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
    const QStringList diskFull = answer("btn_out", folder->file("old.FTB2"));
    setrlimit(RLIMIT_FSIZE, &saved);
    QCOMPARE(diskFull, exportFailed);
#endif
    QCOMPARE(readFile(folder->file("old.FTB2")), old);

    // A name the locale's encoding cannot carry is refused both ways; one it
    // can carry is written, and looked for under that encoding.
    QVERIFY(writeFile(folder->file("频率.FTB2"), ownFile({ { 150, 1.0f, 15, 15.0f } })));
    QTextCodec *locale = QTextCodec::codecForLocale();
    QTextCodec::setCodecForLocale(QTextCodec::codecForName("ISO-8859-1"));
    const QStringList chinese
        = answer("btn_import", folder->file("频率.FTB2")) + answer("btn_out", folder->file("输出.FTB2"));
    const QStringList latin = answer("btn_out", folder->file("é.FTB2"));
    const bool latinWritten = QFile::remove(folder->file("é.FTB2"));
    QTextCodec::setCodecForLocale(locale);
    QCOMPARE(chinese, openFailed + exportFailed);
    QCOMPARE(latin, QStringList());
    QVERIFY(latinWritten);
    QCOMPARE(column(d, 1), QStringList({ "1", "1/4" }));
    // Nothing half-written, nothing under a mangled name.
    QCOMPARE(QDir(folder->path()).entryList({ "*.FTB2*" }, QDir::Files | QDir::Hidden),
        QStringList({ "128.FTB2", "old.FTB2", "频率.FTB2" }));

    // A good export replaces the old file whole; a count of -5 imports as no rows.
    QCOMPARE(answer("btn_out", folder->file("old.FTB2")), QStringList());
    QCOMPARE(QFileInfo(folder->file("old.FTB2")).size(), 52 + 4 + 5 + 32);
    QByteArray minus5 = ownFile({});
    minus5.replace(minus5.size() - 4, 4, QByteArray::fromHex("fbffffff"));
    QVERIFY(writeFile(folder->file("minus5.FTB2"), minus5));
    QCOMPARE(answer("btn_import", folder->file("minus5.FTB2")), QStringList());
    QCOMPARE(d.tableModel->rowCount(), 0);
}

QTEST_MAIN(TableTest)
#include "tst_table.moc"
