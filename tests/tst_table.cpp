#include "testdesk.h"

#include <QComboBox>
#include <QLineEdit>
#include <QRadioButton>
#include <QTableView>

#ifdef Q_OS_UNIX
#include <sys/stat.h>
#endif

class TableTest : public QObject
{
    Q_OBJECT

private slots:

    void editorsButtonsAndExports()
    {
        AppFolderFixture folder;
        TestDesk d;
        BoxAnswerer boxes;
        auto *view = d.w<QTableView>("tableView");
        const auto cells = [&](int column) {
            QStringList texts;
            for (int row = 0; row < d.tableModel->rowCount(); ++row)
                texts << d.tableModel->index(row, column).data().toString();
            return texts << d.w<QLineEdit>("label_total_sec")->text();
        };
        const auto click = [&](const char *button, const QString &answer = QString()) {
            d.dialogAnswers = QStringList(answer);
            d.w<QPushButton>(button)->click();
        };
        d.w<QRadioButton>("rBtn_continue")->click();
        click("btn_add");
        click("btn_add");
        // Commits an editor as the operator would, once the last one has gone.
        auto editor = [&] { return view->viewport()->findChild<QWidget *>(QString(), Qt::FindDirectChildrenOnly); };
        const auto commit = [&](int row, int col, const std::function<void(QWidget *)> &change) {
            QVERIFY(QTest::qWaitFor([&] { return !editor(); }));
            view->edit(d.tableModel->index(row, col));
            change(editor());
            QTest::keyClick(editor(), Qt::Key_Return);
        };
        // Whole seconds only: Enter does not take "1.5" (Escape keeps 15 s), a letter is dropped.
        commit(1, 2, [](QWidget *e) { qobject_cast<QLineEdit *>(e)->setText("1.5"); });
        QTest::keyClick(editor(), Qt::Key_Escape);
        commit(0, 2, [](QWidget *e) { QTest::keyClicks(e, "1x00"); });
        commit(1, 1, [](QWidget *e) { qobject_cast<QComboBox *>(e)->setCurrentIndex(12); });
        QTRY_COMPARE(cells(1) + cells(2), QStringList({ "1", "1/2", "00:01:55", "100", "15", "00:01:55" }));

        // 127 rows at most, by either button; the longest table exports (from a real folder) and imports back.
        for (int i = 0; i < 126; ++i)
            click("btn_add");
        view->setCurrentIndex(d.tableModel->index(3, 1));
        click("btn_insert");
        view->setCurrentIndex(QModelIndex());
        click("btn_delete"); // nothing selected: no row goes
        const QString path = QDir::toNativeSeparators(folder.file("long.FTB2"));
        click("btn_out", path);
        click("btn_clear");
        click("btn_import", path);
        QVERIFY(QFileInfo(d.dialogDirs.first()).isDir() && d.logLines.last().endsWith(path + "，共127行"));
        // A row goes in before the current one, and the rows are numbered again.
        view->setCurrentIndex(d.tableModel->index(0, 1));
        click("btn_delete");
        click("btn_insert");
        QCOMPARE(cells(0).mid(0, 3) + cells(1).mid(0, 3) + cells(0).mid(126),
            QStringList({ "1", "2", "3", "1", "1/2", "1", "127", "00:31:45" }));

        // ".FTB2" is added, replacing is asked; a new file takes the umask's permissions, a replaced one its own.
        const QString line1 = folder.file("line1"), replace = "提示|line1.FTB2 已存在，是否替换？";
#ifdef Q_OS_UNIX
        const auto permissions = [&] { return int(QFile::permissions(line1 + ".FTB2") & 0x7077); };
        const mode_t mask = umask(027);
#endif
        click("btn_out", line1);
        click("btn_out", line1);
#ifdef Q_OS_UNIX
        umask(mask);
        QCOMPARE(permissions(), 0x6040);
        QVERIFY(QFile::setPermissions(line1 + ".FTB2", QFile::ReadOwner | QFile::WriteOwner));
#endif
        boxes.answer = QMessageBox::Yes;
        click("btn_out", line1);
        QCOMPARE(boxes.seen.mid(3), QStringList({ replace, "提示|文件导出失败！", replace }));
#ifdef Q_OS_UNIX
        QCOMPARE(permissions(), 0x6000);
#endif

        // Single output empties the table; it exports its one entry, whatever rows there are.
        d.w<QRadioButton>("rBtn_single")->click();
        QCOMPARE(cells(0), QStringList("00:00:00"));
        d.w<QComboBox>("cmb_freq")->setCurrentIndex(10);
        d.tableModel->appendDefaultRow();
        d.dialogAnswers = QStringList({ folder.file("single.FTB2") });
        d.on_btn_out_clicked(); // the button is off in single output
        QCOMPARE(readFile(folder.file("single.FTB2")).right(20).toHex(' '),
            QByteArray("01 00 00 00 96 00 00 00 00 00 00 3e ff ff ff 7f 00 00 00 4f"));
    }
};

QTEST_MAIN(TableTest)
#include "tst_table.moc"
