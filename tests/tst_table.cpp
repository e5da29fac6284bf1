#include "table/tablemodel.h"
#include "testdesk.h"

#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTableView>
#include <QTextCodec>

#include <memory>

#ifdef Q_OS_UNIX
#include <csignal>
#include <sys/resource.h>
#include <sys/stat.h>
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
    // Commits an editor as the operator would, once the last one has gone.
    auto *view = d.w<QTableView>("tableView");
    auto commit = [&](int row, int col, const std::function<void(QWidget *)> &change) {
        const auto editor
            = [&] { return view->viewport()->findChild<QWidget *>(QString(), Qt::FindDirectChildrenOnly); };
        QVERIFY(QTest::qWaitFor([&] { return !editor(); }));
        view->edit(d.tableModel->index(row, col));
        QVERIFY(editor());
        change(editor());
        QTest::keyClick(editor(), Qt::Key_Return);
    };
    // Whole seconds only: a fraction is not taken (Enter leaves the editor
    // open, Escape keeps the 15 s), a letter typed is dropped.
    commit(1, 2, [](QWidget *e) { qobject_cast<QLineEdit *>(e)->setText("1.5"); });
    QVERIFY(view->viewport()->findChild<QLineEdit *>());
    QTest::keyClick(view->viewport()->findChild<QLineEdit *>(), Qt::Key_Escape);
    commit(0, 2, [](QWidget *e) {
        qobject_cast<QLineEdit *>(e)->clear();
        QTest::keyClicks(e, "1x00");
    });
    QTRY_COMPARE(total(d), QString("00:01:55"));
    commit(1, 1, [](QWidget *e) { qobject_cast<QComboBox *>(e)->setCurrentIndex(12); });
    QTRY_COMPARE(column(d, 1)[1], QString("1/2"));
    QCOMPARE(d.tableModel->frequency(1), 0.5f);
}

void TableTest::rowButtonsAndOutputMode()
{
    // 127 rows at most, by either button; the longest table exports and imports back.
    TestDesk d;
    BoxAnswerer boxes;
    sweepWithRows(d, 128);
    QCOMPARE(total(d), QString("00:31:45"));
    auto *view = d.w<QTableView>("tableView");
    view->setCurrentIndex(d.tableModel->index(3, 1));
    click(d, "btn_insert");
    view->setCurrentIndex(QModelIndex());
    click(d, "btn_delete"); // nothing selected: no row goes
    QCOMPARE(d.tableModel->rowCount(), 127);
    QCOMPARE(boxes.seen.size(), 3); // a warning from each
    d.dialogAnswers = QStringList({ folder->file("long.FTB2"), folder->file("long.FTB2") });
    click(d, "btn_out");
    click(d, "btn_clear");
    click(d, "btn_import");
    QCOMPARE(d.tableModel->rowCount(), 127);
    QCOMPARE(boxes.seen.size(), 3); // the export and the import said nothing but a line each
    QVERIFY(
        d.logLines.last().endsWith("已导入频率表" + QDir::toNativeSeparators(folder->file("long.FTB2")) + "，共127行"));
    QVERIFY(d.logLines.at(d.logLines.size() - 2).contains("已导出频率表"));
    QVERIFY(QFileInfo(d.dialogCalls.first().dir).isDir()); // the export's dialog starts in a real folder

    // Single output empties the table and its total.
    d.w<QRadioButton>("rBtn_single")->click();
    QCOMPARE(d.tableModel->rowCount(), 0);
    QCOMPARE(total(d), QString("00:00:00"));
}

void TableTest::importThenExportKeepsWhatTheFileCarries()
{
    TestDesk d;
    sweepWithRows(d, 1);
    // 1/5, 1/3 and 1/10 Hz are no floats; each shows as the fraction it stands for.
    const QVector<freq_item> exact = { { 150, 0.2f, 2, 10.0f }, { 150, 1.0f / 3.0f, 5, 15.0f }, { 150, 0.1f, 1, 10.0f },
        { 150, 1.0f / 8192.0f, 1, 8192.0f } };
    const QVector<freq_item> entries = QVector<freq_item>({ { 150, 0.0625f, 3, 48.0f }, { 2400, 1.5f, 99, 14.4f },
                                           { 75, 8192.0f, 4096, 0.5f }, { 300, 0.26f, 5, 20.0f } })
        + exact;
    QVERIFY(writeFile(folder->file("own.FTB2"), ownFile(entries)));
    d.dialogAnswers = QStringList({ folder->file("own.FTB2"), folder->file("again.FTB2") });
    click(d, "btn_import");
    const QStringList shown = { "1/16", "1.5", "8192", "1/3", "1/5", "1/3", "1/10", "1/8192" };
    QCOMPARE(column(d, 1), shown);
    QCOMPARE(column(d, 2), QStringList({ "48", "14", "1", "20", "10", "15", "10", "8192" }));
    QCOMPARE(total(d), QString("02:18:30"));
    click(d, "btn_out");
    // Carried fields and sample rates as read; times whole, periods recomputed.
    const QVector<freq_item> want = QVector<freq_item>({ { 150, 0.0625f, 3, 48.0f }, { 2400, 1.5f, 21, 14.0f },
                                        { 75, 8192.0f, 8192, 1.0f }, { 300, 1.0f / 3.0f, 7, 20.0f } })
        + exact;
    QCOMPARE(readFile(folder->file("again.FTB2")), ownFile(want));
    for (int i = 0; i < 2; ++i) { // read back and saved again: no cell changes
        d.dialogAnswers = QStringList({ folder->file("again.FTB2"), folder->file("again.FTB2") });
        click(d, "btn_import");
        QCOMPARE(column(d, 1), shown);
        click(d, "btn_out");
        QCOMPARE(readFile(folder->file("again.FTB2")), ownFile(want));
    }

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

    // A cancelled import leaves the operator's rows.
    QCOMPARE(answer("btn_import", QString()), openFailed);
    QCOMPARE(column(d, 1) << total(d), QStringList({ "1", "1/4", "00:00:30" }));

    // A disk that fills while the table is written keeps the file it would have
    // replaced: only the close fails, for root too.
    const QByteArray old = "an older table that must survive";
    QVERIFY(writeFile(folder->file("old.FTB2"), old));
#ifdef Q_OS_UNIX
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

    // A name the locale's encoding cannot carry is refused both ways.
    QVERIFY(writeFile(folder->file("频率.FTB2"), ownFile({ { 150, 1.0f, 15, 15.0f } })));
    QTextCodec *locale = QTextCodec::codecForLocale();
    QTextCodec::setCodecForLocale(QTextCodec::codecForName("ISO-8859-1"));
    const QStringList chinese
        = answer("btn_import", folder->file("频率.FTB2")) + answer("btn_out", folder->file("输出.FTB2"));
    QTextCodec::setCodecForLocale(locale);
    QCOMPARE(chinese, openFailed + exportFailed);
    QCOMPARE(column(d, 1), QStringList({ "1", "1/4" }));
    // Nothing half-written, nothing under a mangled name.
    QCOMPARE(QDir(folder->path()).entryList({ "*.FTB2*" }, QDir::Files | QDir::Hidden),
        QStringList({ "old.FTB2", "频率.FTB2" }));

    // A name typed without a suffix gets ".FTB2"; replacing such a file is asked first.
    // The new file's permissions are what the umask leaves; a replaced one keeps its own.
    const QString line1 = folder->file("line1"), replace = "提示|line1.FTB2 已存在，是否替换？";
#ifdef Q_OS_UNIX
    const auto permissions = [&] { return int(QFile::permissions(line1 + ".FTB2") & 0x7077); };
    const mode_t mask = umask(027);
#endif
    QCOMPARE(answer("btn_out", line1) + answer("btn_out", line1), QStringList({ replace, exportFailed[0] }));
#ifdef Q_OS_UNIX
    umask(mask);
    QCOMPARE(permissions(), 0x6040);
    QVERIFY(QFile::setPermissions(line1 + ".FTB2", QFile::ReadOwner | QFile::WriteOwner));
#endif
    boxes.answer = QMessageBox::Yes;
    QCOMPARE(answer("btn_out", line1), QStringList(replace));
    QVERIFY(QFileInfo(line1 + ".FTB2").isFile() && !QFileInfo::exists(line1));
#ifdef Q_OS_UNIX
    QCOMPARE(permissions(), 0x6000);
#endif

    // A file cut short, or a device, is refused and the rows stay; a count of -5 imports as no rows.
    QVERIFY(writeFile(folder->file("short.FTB2"), ownFile({ { 150, 1.0f, 15, 15.0f } }).chopped(5)));
    QCOMPARE(answer("btn_import", folder->file("short.FTB2")), openFailed);
#ifdef Q_OS_UNIX
    QCOMPARE(answer("btn_import", "/dev/zero"), openFailed);
#endif
    QCOMPARE(column(d, 1), QStringList({ "1", "1/4" }));
    QByteArray minus5 = ownFile({});
    minus5.replace(minus5.size() - 4, 4, QByteArray::fromHex("fbffffff"));
    QVERIFY(writeFile(folder->file("minus5.FTB2"), minus5));
    QCOMPARE(answer("btn_import", folder->file("minus5.FTB2")), QStringList());
    QCOMPARE(d.tableModel->rowCount(), 0);
}

QTEST_MAIN(TableTest)
#include "tst_table.moc"
