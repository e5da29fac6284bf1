#include "testdesk.h"

#include <QComboBox>
#include <QLineEdit>
#include <QRadioButton>

#ifdef Q_OS_UNIX
#include <csignal>
#include <sys/resource.h>
#include <sys/stat.h>
#endif

namespace {

const QString kDayTable = "2024-05-17.FTB2", kAsk = "退出|是否保存参数?";

// What the controls show, in one line a failure message can print whole.
QString controls(const TestDesk &d)
{
    QStringList shown = { d.w<QRadioButton>("rBtn_single")->isChecked() ? "single" : "sweep",
        d.w<QComboBox>("cmb_freq")->currentText(), QString::number(d.w<QComboBox>("cmb_signal")->currentIndex()),
        QString::number(d.w<QComboBox>("cmb_model_scan")->currentIndex()), d.w<QLineEdit>("edt_time_delay")->text() };
    for (int row = 0; row < d.tableModel->rowCount(); ++row)
        shown << d.tableModel->index(row, 1).data().toString() + ":" + d.tableModel->index(row, 2).data().toString();
    return shown.join(' ');
}

// An earlier run on 2024-05-17 saved a sweep of two rows told apart.
const QString kEarlierSweep = "sweep 1/8192 3 0 0 1/4:20 8:10";
void earlierRun()
{
    TestDesk d;
    d.fixedDate = QDate(2024, 5, 17);
    d.w<QRadioButton>("rBtn_continue")->click();
    d.addRow("1/4", "20");
    d.addRow("8", "10");
    d.tableModel->setData(d.tableModel->index(1, 4), "2400");
    d.show();
    BoxAnswerer yes(QMessageBox::Yes);
    d.close();
}

} // namespace

class SettingsTest : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase() { QApplication::setQuitOnLastWindowClosed(false); }

    void closingTheWindow_data()
    {
        QTest::addColumn<bool>("sweep"); // else single output at 8 Hz, square wave, with a delay of 12.4 ms typed
        QTest::addColumn<int>("answer"); // 0: the firmware was refused, nothing is asked
        QTest::addColumn<QString>("trap"); // the day's log a folder, a file linked to a full disk, or a disk that fills
        QTest::addColumn<QStringList>("boxes");
        QTest::addColumn<QByteArray>("words"); // bytes 260 to 279 saved; empty: the earlier param.config stays
        QTest::addColumn<QString>("shown"); // at the next start
        const int yes = QMessageBox::Yes;
        const QByteArray sweep = QByteArray::fromHex("00000000 00000000 00000000 03000000 00000000");
        QTest::newRow("No keeps the earlier files")
            << true << int(QMessageBox::No) << "" << QStringList(kAsk) << QByteArray() << kEarlierSweep;
        QTest::newRow("refused firmware: nothing asked")
            << true << 0 << "" << QStringList() << QByteArray() << kEarlierSweep;
        QTest::newRow("Yes in sweep output") << true << yes << "" << QStringList(kAsk) << sweep << kEarlierSweep;
        QTest::newRow("Yes in single output, the delay rounded")
            << false << yes << "" << QStringList(kAsk)
            << QByteArray::fromHex("10000000 01000000 01000000 00000000 0c000000") << "single 8 0 1 12";
        // No one, root included, can open a folder as the day's log; the files are saved all the same.
        QTest::newRow("log file a folder") << true << yes << "log" << QStringList(kAsk) << sweep << kEarlierSweep;
#ifdef Q_OS_UNIX
        // A lost table costs only the table: the settings are saved, naming none.
        QTest::newRow("day's table on a dead end")
            << true << yes << kDayTable << QStringList({ kAsk, "提示|频率表未保存！" }) << sweep
            << "sweep 1/8192 3 0 0";
        QTest::newRow("settings on a dead end")
            << true << yes << "param.config" << QStringList({ kAsk, "提示|参数保存失败！" }) << QByteArray()
            << "single 1/8192 3 0 0";
        QTest::newRow("disk fills") << true << yes << "limit" << QStringList({ kAsk, "提示|参数保存失败！" })
                                    << QByteArray() << kEarlierSweep;
#endif
    }

    void closingTheWindow()
    {
        QFETCH(bool, sweep);
        QFETCH(int, answer);
        QFETCH(QString, trap);
        QFETCH(QStringList, boxes);
        QFETCH(QByteArray, words);
        QFETCH(QString, shown);
        AppFolderFixture folder;
        earlierRun();
        const QByteArray settings = readFile(folder.file("param.config")), table = readFile(folder.file(kDayTable));
        const QString log = folder.file(QDate::currentDate().toString("yyyy-MM-dd") + "_log.txt");
        {
            TestDesk d;
            d.fixedDate = QDate(2024, 5, 17);
            d.versionCompatible = answer != 0;
            if (!sweep) { // the earlier rows left behind, then single output at 8 Hz, square wave
                d.w<QComboBox>("cmb_model_scan")->setCurrentIndex(1);
                d.w<QRadioButton>("rBtn_single")->click();
                d.w<QComboBox>("cmb_freq")->setCurrentIndex(16);
                d.w<QComboBox>("cmb_signal")->setCurrentIndex(0);
            }
            d.w<QLineEdit>("edt_time_delay")->setText(sweep ? "0" : "12.4");
            if (trap == "log")
                QVERIFY(QFile::remove(log) && QDir().mkdir(log));
            else if (trap.contains('.'))
                QVERIFY(QFile::remove(folder.file(trap)) && QFile::link("/dev/full", folder.file(trap)));
#ifdef Q_OS_UNIX
            rlimit saved, limit; // a disk that fills: no file grows past 40 bytes
            getrlimit(RLIMIT_FSIZE, &saved);
            limit = { trap == "limit" ? rlim_t(40) : saved.rlim_cur, saved.rlim_max };
            std::signal(SIGXFSZ, SIG_IGN);
            QVERIFY(setrlimit(RLIMIT_FSIZE, &limit) == 0);
#endif
            d.show();
            BoxAnswerer answerer { QMessageBox::StandardButton(answer) };
            d.close();
#ifdef Q_OS_UNIX
            setrlimit(RLIMIT_FSIZE, &saved);
#endif
            QCOMPARE(answerer.seen, boxes);
        }
        // The day's table keeps its bytes, or the trap; nothing half-written is left.
        QVERIFY(
            trap == kDayTable ? QFileInfo(folder.file(trap)).isSymLink() : readFile(folder.file(kDayTable)) == table);
        QVERIFY(trap != "log" || QDir(log).isEmpty());
        QCOMPARE(
            QDir(folder.path()).entryList({ "param.config?*", "*.FTB2?*" }, QDir::Files | QDir::Hidden), QStringList());
        const QByteArray name = sweep && trap != kDayTable ? kDayTable.toLatin1() : "";
        const QByteArray want = QByteArray::fromHex("01000000") + name.leftJustified(256, '\0') + words;
        if (trap != "param.config")
            QCOMPARE(readFile(folder.file("param.config")).toHex(' '), (words.isEmpty() ? settings : want).toHex(' '));
        TestDesk again;
        QCOMPARE(controls(again), shown);
    }

    void startReadsOnlyFilesOfOurOwn_data()
    {
        QTest::addColumn<QString>("place"); // param.config, or the table it names
        QTest::addColumn<QByteArray>("file"); // the bytes there, or what else stands in the file's place
        QTest::addColumn<QString>("shown");
        const QString none = "single 1/8192 3 0 0", empty = "sweep 1/8192 3 0 0", settings = "param.config";
        const auto ours = [](const char *words) { // naming no table
            return QByteArray::fromHex("01000000") + QByteArray(256, '\0') + QByteArray::fromHex(words);
        };
        // Any word out of range refuses the whole file.
        QTest::newRow("highest indices") << settings << ours("1a000000 01000000 01000000 0d000000 00000000")
                                         << "single 8192 13 1 0";
        QTest::newRow("frequency 27") << settings << ours("1b000000 01000000 01000000 02000000 28000000") << none;
        QTest::newRow("table named through ..") << settings << QByteArray("../") << empty;
#ifdef Q_OS_UNIX
        // Opened without waiting: a FIFO would otherwise hold the start up for good.
        for (const char *kind : { "FIFO", "link to a device" }) {
            QTest::addRow("%s as param.config", kind) << settings << QByteArray(kind) << none;
            QTest::addRow("%s as the table", kind) << kDayTable << QByteArray(kind) << empty;
        }
#endif
    }

    void startReadsOnlyFilesOfOurOwn()
    {
        QFETCH(QString, place);
        QFETCH(QByteArray, file);
        QFETCH(QString, shown);
        AppFolderFixture folder;
        earlierRun();
        const QString at = folder.file(place);
        const QByteArray up = "../" + QFileInfo(folder.path()).fileName().toUtf8() + "/" + kDayTable.toUtf8();
        const QByteArray bytes = file == "../" ? readFile(at).replace(4, up.size(), up) : file;
        QVERIFY(QFile::remove(at));
#ifdef Q_OS_UNIX
        if (file == "FIFO")
            QVERIFY(mkfifo(QFile::encodeName(at).constData(), 0600) == 0);
        else if (file == "link to a device")
            QVERIFY(QFile::link("/dev/zero", at));
        else
#endif
            QVERIFY(writeFile(at, bytes));
        TestDesk d;
        QCOMPARE(controls(d), shown);
    }
};

QTEST_MAIN(SettingsTest)
#include "tst_settings.moc"
