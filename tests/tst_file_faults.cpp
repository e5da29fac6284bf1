#include "txsimfield.h"

#include <QComboBox>
#include <QDir>
#include <QRadioButton>

// The program's files where the disk lets it down: the run goes on, and no
// file saved before is lost.

class FileFaultsTest : public QObject
{
    Q_OBJECT

private slots:
    void cleanup() { verifyWindowToldTheTruth(); }
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
    QTest::newRow("settings") << "param.config" << "2024-05-17.FTB2";
    QTest::newRow("day's table") << "2024-05-17.FTB2" << "param.config";
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
    d.w<QRadioButton>("rBtn_continue")->click();
    d.addRow("1", "10");
    d.show();
    BoxAnswerer boxes(QMessageBox::Yes);
    QVERIFY(d.close());
    // A lost table costs only the table: the settings are saved, naming none.
    const QByteArray saved = readFile(folder.file(other));
    if (other == "param.config") {
        QCOMPARE(boxes.seen, QStringList({ "退出|是否保存参数?", "提示|频率表未保存！" }));
        QCOMPARE(saved.size() == 280 ? saved.left(260) : saved, QByteArray::fromHex("01000000") + QByteArray(256, 0));
    } else {
        QCOMPARE(boxes.seen, QStringList({ "退出|是否保存参数?", "提示|参数保存失败！" }));
        QCOMPARE(saved, kept);
    }
    QVERIFY(QFileInfo(folder.file(blocked)).isSymLink() && !QFileInfo("/dev/full").isFile());
    // Nothing half-written is left behind.
    QCOMPARE(QDir(folder.path()).entryList({ "param.config*", "*.FTB2*" }, QDir::Files | QDir::System).size(), 2);
}

void FileFaultsTest::tableChangedOnDiskBetweenImports()
{
    AppFolderFixture folder;
    TestDesk d;
    BoxAnswerer boxes;
    d.w<QRadioButton>("rBtn_continue")->click();
    // Exports these frequencies to `to`, then imports `from` and returns what the table shows.
    const auto exportThenImport = [&](const QStringList &freqs, const QString &to, const QString &from) {
        d.tableModel->clearRows();
        for (const QString &freq : freqs)
            d.addRow(freq, "10");
        d.dialogAnswers = QStringList({ to, from });
        d.w<QPushButton>("btn_out")->click();
        d.w<QPushButton>("btn_import")->click();
        QStringList texts;
        for (int row = 0; row < d.tableModel->rowCount(); ++row)
            texts << d.tableModel->index(row, 1).data().toString();
        return texts;
    };
    const QString path = folder.file("field.FTB2");
    QCOMPARE(exportThenImport({ "1", "2" }, path, path), QStringList({ "1", "2" }));
    // Another program rewrites the file while the window is open: the next
    // import reads what is on disk now.
    QCOMPARE(exportThenImport({ "4", "8", "16" }, folder.file("later.FTB2"), path), QStringList({ "1", "2" }));
    QVERIFY(writeFile(path, readFile(folder.file("later.FTB2"))));
    d.dialogAnswers = QStringList(path);
    d.w<QPushButton>("btn_import")->click();
    QCOMPARE(d.tableModel->rowCount(), 3);
    QCOMPARE(d.tableModel->index(2, 1).data().toString(), QString("16"));
    QCOMPARE(boxes.seen, QStringList());
}

QTEST_MAIN(FileFaultsTest)
#include "tst_file_faults.moc"
