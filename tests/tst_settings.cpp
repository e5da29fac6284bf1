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

const QString kDayTable = "2024-05-17.FTB2", kAsk = "退出|是否保存参数?", kSingle = "single 1/8192 3 0 0";
const QString kEarlierSweep = "sweep 1/8192 3 0 0 1/4:20 8:10", kEmpty = "sweep 1/8192 3 0 0";

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

// param.config: version 1, the table's name, then the five words from the single-mode flag on.
QByteArray settingsFile(const QByteArray &table, const QByteArray &words)
{
    return QByteArray::fromHex("01000000") + table.leftJustified(256, '\0') + QByteArray::fromHex(words);
}

} // namespace

class SettingsTest : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase() { QApplication::setQuitOnLastWindowClosed(false); }

    // After an earlier run saved a sweep of two rows told apart, a trap is set, the window closed and opened again.
    void closingTheWindowAndStartingAgain_data()
    {
        QTest::addColumn<QString>("trap"); // "single": 8 Hz, square wave, 12.4 ms typed; the log; a file; "limit"
        QTest::addColumn<QByteArray>("put"); // what stands at the trapped file: "->" a link, a FIFO, or bytes
        QTest::addColumn<QStringList>("boxes"); // none: the firmware was refused, nothing is asked or saved
        QTest::addColumn<QByteArray>("saved"); // param.config after the close; empty: the earlier one stays
        QTest::addColumn<QString>("shown"); // at the next start
        const QByteArray words = "00000000 00000000 00000000 03000000 00000000", none;
        const QByteArray sweep = settingsFile(kDayTable.toUtf8(), words), cfg = "param.config";
        QTest::newRow("No keeps the earlier files") << "No" << none << QStringList(kAsk) << none << kEarlierSweep;
        QTest::newRow("Yes in sweep output") << "" << none << QStringList(kAsk) << sweep << kEarlierSweep;
        QTest::newRow("Yes in single output, delay rounded")
            << "single" << none << QStringList(kAsk) << settingsFile("", "10000000 01000000 01000000 00000000 0c000000")
            << "single 8 0 1 12";
        // No one, root included, can open a folder as the day's log; the files are saved all the same.
        QTest::newRow("log file a folder") << "log" << none << QStringList(kAsk) << sweep << kEarlierSweep;
        // Any word out of range refuses the whole file.
        const auto start = [&](const char *name, const QString &trap, const QByteArray &put, const QString &shown) {
            QTest::newRow(name) << trap << put << QStringList() << none << shown;
        };
        start("maxima", cfg, settingsFile("", "1a000000 01000000 01000000 0d000000 00000000"), "single 8192 13 1 0");
        start("frequency 27", cfg, settingsFile("", "1b000000 01000000 01000000 02000000 28000000"), kSingle);
        start("table named by a path", cfg, settingsFile("./" + kDayTable.toUtf8(), words), kEmpty);
#ifdef Q_OS_UNIX
        // A lost table costs only the table: the settings are saved, naming none.
        QTest::newRow("day's table on a dead end")
            << kDayTable << QByteArray("->/dev/full") << QStringList({ kAsk, "提示|频率表未保存！" })
            << settingsFile("", words) << kEmpty;
        QTest::newRow("disk fills") << "limit" << none << QStringList({ kAsk, "提示|参数保存失败！" }) << none
                                    << kEarlierSweep;
        // Opened without waiting: a FIFO would otherwise hold the start up for good.
        start("FIFO as param.config", cfg, "FIFO", kSingle);
        start("link to a device as the table", kDayTable, "->/dev/zero", kEmpty);
#endif
    }

    void closingTheWindowAndStartingAgain()
    {
        QFETCH(QString, trap);
        QFETCH(QByteArray, put);
        QFETCH(QStringList, boxes);
        QFETCH(QByteArray, saved);
        QFETCH(QString, shown);
        AppFolderFixture folder;
        {
            TestDesk d;
            d.fixedDate = QDate(2024, 5, 17);
            d.w<QRadioButton>("rBtn_continue")->click();
            d.addRow("1/4", "20");
            d.addRow("8", "10");
            d.tableModel->setData(d.tableModel->index(1, 4), "2400");
            BoxAnswerer yes(QMessageBox::Yes);
            d.close();
        }
        const QByteArray earlier = readFile(folder.file("param.config")), table = readFile(folder.file(kDayTable));
        const QString at = folder.file(trap == "log" ? QDate::currentDate().toString("yyyy-MM-dd") + "_log.txt" : trap);
        {
            TestDesk d;
            d.fixedDate = QDate(2024, 5, 17);
            d.versionCompatible = !boxes.isEmpty();
            if (trap == "single") { // the earlier rows left behind
                d.w<QComboBox>("cmb_model_scan")->setCurrentIndex(1);
                d.w<QRadioButton>("rBtn_single")->click();
                d.w<QComboBox>("cmb_freq")->setCurrentIndex(16);
                d.w<QComboBox>("cmb_signal")->setCurrentIndex(0);
                d.w<QLineEdit>("edt_time_delay")->setText("12.4");
            }
            if (trap == "log")
                QVERIFY(QFile::remove(at) && QDir().mkdir(at));
            else if (!put.isEmpty() && put != "FIFO")
                QVERIFY(QFile::remove(at) && (put.startsWith("->") ? QFile::link(put.mid(2), at) : writeFile(at, put)));
#ifdef Q_OS_UNIX
            if (put == "FIFO")
                QVERIFY(QFile::remove(at) && mkfifo(QFile::encodeName(at).constData(), 0600) == 0);
            rlimit kept, limit; // a disk that fills: no file grows past 40 bytes
            getrlimit(RLIMIT_FSIZE, &kept);
            limit = { trap == "limit" ? rlim_t(40) : kept.rlim_cur, kept.rlim_max };
            QVERIFY(std::signal(SIGXFSZ, SIG_IGN) != SIG_ERR && setrlimit(RLIMIT_FSIZE, &limit) == 0);
#endif
            BoxAnswerer answerer(trap == "No" ? QMessageBox::No : QMessageBox::Yes);
            d.close();
#ifdef Q_OS_UNIX
            setrlimit(RLIMIT_FSIZE, &kept);
#endif
            QCOMPARE(answerer.seen, boxes);
        }
        // The day's table keeps its bytes, or what stands in its place; nothing half-written is left.
        QVERIFY(trap == kDayTable ? !QFileInfo(at).isFile() : readFile(folder.file(kDayTable)) == table);
        QVERIFY(QDir(folder.path()).entryList({ "param.config?*", "*.FTB2?*" }, QDir::Files | QDir::Hidden).isEmpty());
        if (trap != "param.config")
            QCOMPARE(readFile(folder.file("param.config")).toHex(' '), (saved.isEmpty() ? earlier : saved).toHex(' '));
        TestDesk again;
        QCOMPARE(controls(again), shown);
    }
};

QTEST_MAIN(SettingsTest)
#include "tst_settings.moc"
