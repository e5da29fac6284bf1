#include "txsimfield.h"

#include <QComboBox>
#include <QDir>
#include <QRadioButton>

// The program's files where the disk lets it down: the run goes on, and no
// file saved before is lost.

namespace {

void sweepRows(TestDesk &d, const QStringList &freqs)
{
    d.w<QRadioButton>("rBtn_continue")->click();
    d.tableModel->clearRows();
    for (const QString &freq : freqs)
        d.addRow(freq, "10");
}

} // namespace

class FileFaultsTest : public QObject
{
    Q_OBJECT

private slots:
    void unwritableLogFolderKeepsTheRunGoing();
    void savedFilesOnADeadEnd_data();
    void savedFilesOnADeadEnd();
    void tableChangedOnDiskBetweenImports();
};

void FileFaultsTest::unwritableLogFolderKeepsTheRunGoing()
{
    Field f;
    // The day's log can no longer be written: its name is taken by a folder,
    // which no one, root included, can open as a file.
    const QString log = f.folder.file(QDate::currentDate().toString("yyyy-MM-dd") + "_log.txt");
    QVERIFY(QFile::remove(log));
    QVERIFY(QDir().mkdir(log));
    BoxAnswerer boxes(QMessageBox::Yes);

    QVERIFY(f.connectAndPoll(1));
    QCOMPARE(f.text("label_dev_statu"), QString("已连接"));
    QVERIFY(f.view().contains("系统信息->端口连接成功."));
    f.d.w<QRadioButton>("rBtn_single")->click();
    f.d.w<QComboBox>("cmb_freq")->setCurrentText("1");
    f.d.w<QComboBox>("cmb_signal")->setCurrentIndex(0);
    f.d.w<QLineEdit>("edt_send_time")->clear();
    f.d.w<QPushButton>("btn_start")->click();
    QTRY_VERIFY2_WITH_TIMEOUT(f.view().contains("系统信息->启动成功."), qPrintable(f.view().join("\n")), 5000);
    QVERIFY(f.tx().isArmed() || f.tx().isTransmitting());
    QVERIFY(f.awaitPolls(1));
    QVERIFY(QFileInfo(log).isDir() && QDir(log).isEmpty());
}

void FileFaultsTest::savedFilesOnADeadEnd_data()
{
    QTest::addColumn<QString>("blocked"); // leads to a disk that is always full
    QTest::addColumn<QString>("other");
    QTest::newRow("settings") << "param.config"
                              << "2024-05-17.FTB2";
    QTest::newRow("day's table") << "2024-05-17.FTB2"
                                 << "param.config";
}

void FileFaultsTest::savedFilesOnADeadEnd()
{
    QFETCH(QString, blocked);
    QFETCH(QString, other);
    if (!QFileInfo::exists("/dev/full"))
        QSKIP("no /dev/full here");

    AppFolderFixture folder;
    const QByteArray kept = "saved by an earlier run";
    QVERIFY(writeFile(folder.file(other), kept));
    QVERIFY(QFile::link("/dev/full", folder.file(blocked)));

    TestDesk d;
    d.fixedDate = QDate(2024, 5, 17);
    sweepRows(d, { "1", "4" });
    d.show();
    BoxAnswerer boxes(QMessageBox::Yes);
    QVERIFY(d.close());
    QCOMPARE(boxes.seen, QStringList({ "退出|是否保存参数?", "提示|参数保存失败！" }));
    QCOMPARE(logFileTexts(folder.path()).last(), QString("参数保存失败！"));
    QCOMPARE(readFile(folder.file(other)), kept);
    QVERIFY(QFileInfo(folder.file(blocked)).isSymLink() && !QFileInfo("/dev/full").isFile());
    // Nothing half-written is left behind.
    QCOMPARE(QDir(folder.path()).entryList({ "param.config*", "*.FTB2*" }, QDir::Files | QDir::System).size(), 2);
}

void FileFaultsTest::tableChangedOnDiskBetweenImports()
{
    AppFolderFixture folder;
    TestDesk d;
    BoxAnswerer boxes;
    const QString path = folder.file("field.FTB2");
    auto exportRows = [&](const QStringList &freqs, const QString &to) {
        sweepRows(d, freqs);
        d.dialogAnswers = QStringList(to);
        d.w<QPushButton>("btn_out")->click();
    };
    // Imports the file and returns the frequencies the table then shows.
    auto importFile = [&] {
        d.dialogAnswers = QStringList(path);
        d.w<QPushButton>("btn_import")->click();
        QStringList texts;
        for (int row = 0; row < d.tableModel->rowCount(); ++row)
            texts << d.tableModel->index(row, 1).data().toString();
        return texts;
    };
    exportRows({ "1", "2" }, path);
    exportRows({ "4", "8", "16" }, folder.file("later.FTB2"));
    QCOMPARE(importFile(), QStringList({ "1", "2" }));

    // Another program rewrites the file while the window is open.
    QVERIFY(writeFile(path, readFile(folder.file("later.FTB2"))));
    QCOMPARE(importFile(), QStringList({ "4", "8", "16" }));
    QCOMPARE(boxes.seen, QStringList());

    // Then cuts it short: refused, and the table stays as it was.
    const QByteArray whole = readFile(path);
    QVERIFY(writeFile(path, whole.left(whole.size() - 5)));
    QCOMPARE(importFile(), QStringList({ "4", "8", "16" }));
    QCOMPARE(boxes.seen, QStringList("提示|文件打开失败！"));
}

QTEST_MAIN(FileFaultsTest)
#include "tst_file_faults.moc"
