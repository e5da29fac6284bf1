#include "table/tablemodel.h"
#include "testdesk.h"

#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>

#include <future>
#include <memory>

#ifdef Q_OS_UNIX
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace {

// param.config naming no table: the version word, then the five words.
QByteArray settingsFile(qint32 freq, qint32 single, qint32 sweep, qint32 signal, qint32 delay, quint32 version = 1)
{
    QByteArray bytes(280, '\0');
    qToLittleEndian<quint32>(version, bytes.data());
    const qint32 words[] = { freq, single, sweep, signal, delay };
    qToLittleEndian<qint32>(words, 5, bytes.data() + 260);
    return bytes;
}

// Closes the window as the operator would, answering every box; returns
// "title|text" of each box.
QStringList closeAnswering(TestDesk &d, QMessageBox::StandardButton answer)
{
    d.show();
    BoxAnswerer boxes(answer);
    d.close();
    return boxes.seen;
}

// What the controls show, in one line a failure message can print whole.
QString controls(const TestDesk &d)
{
    QStringList rows;
    for (int row = 0; row < d.tableModel->rowCount(); ++row)
        rows << d.tableModel->index(row, 1).data().toString() + ":" + d.tableModel->index(row, 2).data().toString();
    return QStringList(
        { d.w<QRadioButton>("rBtn_single")->isChecked() ? "single" : "sweep", d.w<QComboBox>("cmb_freq")->currentText(),
            QString::number(d.w<QComboBox>("cmb_signal")->currentIndex()),
            QString::number(d.w<QComboBox>("cmb_model_scan")->currentIndex()), d.w<QLineEdit>("edt_time_delay")->text(),
            "rows[" + rows.join(' ') + "]" })
        .join(" ");
}

const QString kDayTable = "2024-05-17.FTB2";

// Two rows a sweep can be told apart by, saved on 2024-05-17: 1/4 Hz for
// 20 s, 8 Hz for 10 s at 2400.
void twoDistinctRows(TestDesk &d)
{
    d.fixedDate = QDate(2024, 5, 17);
    d.w<QRadioButton>("rBtn_continue")->click();
    d.addRow("1/4", "20");
    d.addRow("8", "10");
    d.tableModel->setData(d.tableModel->index(1, 4), "2400");
}

} // namespace

class SettingsTest : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase() { QApplication::setQuitOnLastWindowClosed(false); }
    void init() { folder.reset(new AppFolderFixture); }
    void cleanup() { folder.reset(); }

    void closingTheWindow_data();
    void closingTheWindow();
    void filesOfOurOwn_data();
    void filesOfOurOwn();
    void noFileButARegularOneIsRead_data();
    void noFileButARegularOneIsRead();

private:
    std::unique_ptr<AppFolderFixture> folder;
    QString path(const QString &name) const { return folder->file(name); }
};

void SettingsTest::closingTheWindow_data()
{
    QTest::addColumn<bool>("sweep"); // else single output at 8 Hz, square wave
    QTest::addColumn<QString>("delay"); // as typed
    QTest::addColumn<int>("answer"); // 0: the firmware was refused, nothing is asked
    QTest::addColumn<QByteArray>("words"); // bytes 260 to 279 saved; empty: the earlier files stay

    QTest::newRow("No keeps the earlier files") << true << "5" << int(QMessageBox::No) << QByteArray();
    QTest::newRow("refused firmware: nothing asked") << true << "5" << 0 << QByteArray();
    const auto yes = [](const char *name, bool sweep, const char *typed, const char *words) {
        QTest::newRow(name) << sweep << typed << int(QMessageBox::Yes) << QByteArray::fromHex(words);
    };
    yes("Yes in sweep output, two rows", true, "0", "00000000 00000000 00000000 03000000 00000000");
    yes("Yes in single output, delay 12.4 rounds down", false, "12.4", "10000000 01000000 01000000 00000000 0c000000");
    yes("delay beyond 32 bits", false, "99999999999", "10000000 01000000 01000000 00000000 00000000");
}

void SettingsTest::closingTheWindow()
{
    QFETCH(bool, sweep);
    QFETCH(QString, delay);
    QFETCH(int, answer);
    QFETCH(QByteArray, words);
    if (words.isEmpty()) { // an earlier run kept a sweep of the two rows
        TestDesk d;
        twoDistinctRows(d);
        closeAnswering(d, QMessageBox::Yes);
    }
    const QByteArray settings = readFile(path("param.config")), table = readFile(path(kDayTable));
    {
        TestDesk d;
        d.versionCompatible = answer != 0;
        if (sweep) {
            twoDistinctRows(d);
        } else {
            // A sweep row left behind, then single output at 8 Hz, square wave.
            d.w<QRadioButton>("rBtn_continue")->click();
            d.w<QComboBox>("cmb_model_scan")->setCurrentIndex(1);
            d.w<QPushButton>("btn_add")->click();
            d.w<QRadioButton>("rBtn_single")->click();
            d.w<QComboBox>("cmb_freq")->setCurrentIndex(16);
            d.w<QComboBox>("cmb_signal")->setCurrentIndex(0);
        }
        d.w<QLineEdit>("edt_time_delay")->setText(delay);
        QCOMPARE(closeAnswering(d, QMessageBox::StandardButton(answer)).size(), answer ? 1 : 0);
        QVERIFY(!d.isVisible());
    }
    // The day's table is kept only in sweep output, and nothing half-written is left.
    QCOMPARE(QDir(folder->path()).entryList({ "param.config*", "*.FTB2*" }, QDir::Files | QDir::Hidden),
        sweep ? QStringList({ kDayTable, "param.config" }) : QStringList("param.config"));
    if (words.isEmpty()) {
        QCOMPARE(readFile(path("param.config")), settings);
        QCOMPARE(readFile(path(kDayTable)), table);
    } else {
        const QByteArray saved = readFile(path("param.config")), name = sweep ? kDayTable.toLatin1() : QByteArray();
        QCOMPARE(saved.left(260), QByteArray::fromHex("01000000") + name + QByteArray(256 - name.size(), '\0'));
        QCOMPARE(saved.mid(260).toHex(' '), words.toHex(' '));
    }
    TestDesk again;
    QCOMPARE(controls(again),
        sweep ? QString("sweep 1/8192 3 0 0 rows[1/4:20 8:10]")
              : QString("single 8 0 1 %1 rows[]").arg(qFromLittleEndian<qint32>(words.data() + 16)));
    if (!sweep)
        return;

    // A remembered table that is refused or cut short gives an empty table,
    // never entries from an unread record.
    const QByteArray good = readFile(path(kDayTable));
    const QByteArray count128 = QByteArray(good).replace(good.size() - 36, 4, QByteArray::fromHex("80000000"));
    for (const QByteArray &bad : { count128, good.left(good.size() - 24) }) {
        QVERIFY(writeFile(path(kDayTable), bad));
        TestDesk d;
        QCOMPARE(controls(d), QString("sweep 1/8192 3 0 0 rows[]"));
        QCOMPARE(d.freqTable.freq_num, 0);
    }
}

void SettingsTest::filesOfOurOwn_data()
{
    QTest::addColumn<QByteArray>("file");
    QTest::addColumn<QString>("shown");

    QTest::newRow("foreign version word") << settingsFile(20, 1, 1, 13, 40, 0xDEADBEEF) << "single 128 13 1 40 rows[]";
    QTest::newRow("highest indices") << settingsFile(26, 1, 1, 13, 0) << "single 8192 13 1 0 rows[]";
    // Any word out of range refuses the whole file.
    QTest::newRow("frequency 27") << settingsFile(27, 1, 1, 2, 40) << "single 1/8192 3 0 0 rows[]";
    // Cut short: what the file no longer reaches starts from the defaults.
    const QByteArray full = settingsFile(16, 0, 1, 5, 77);
    QTest::newRow("up to the sweep mode") << full.left(272) << "sweep 8 3 1 0 rows[]";
}

void SettingsTest::filesOfOurOwn()
{
    QFETCH(QByteArray, file);
    QFETCH(QString, shown);
    QVERIFY(writeFile(path("param.config"), file));
    TestDesk d;
    QCOMPARE(controls(d), shown);
}

void SettingsTest::noFileButARegularOneIsRead_data()
{
    QTest::addColumn<QString>("kind"); // what stands in the file's place
    QTest::addColumn<bool>("table"); // the remembered table's place, else param.config's
    for (bool table : { false, true }) {
        for (const char *kind : { "FIFO", "folder", "link to a device", "link to a FIFO" })
            QTest::addRow("%s as %s", kind, table ? "table" : "param.config") << QString(kind) << table;
    }
    QTest::newRow("table named through ..") << "../" << true;
}

void SettingsTest::noFileButARegularOneIsRead()
{
#ifdef Q_OS_UNIX
    QFETCH(QString, kind);
    QFETCH(bool, table);
    {
        TestDesk d;
        twoDistinctRows(d);
        closeAnswering(d, QMessageBox::Yes);
    }
    const QString place = path(table ? kDayTable : "param.config");
    const QString fifo = kind == "FIFO" ? place : path("fifo");
    QVERIFY(kind == "../" || QFile::remove(place));
    QVERIFY(!kind.endsWith("FIFO") || mkfifo(QFile::encodeName(fifo).constData(), 0600) == 0);
    if (kind == "../") { // names the day's table, but by a path
        QByteArray settings = readFile(path("param.config"));
        const QByteArray name = "../" + QFileInfo(folder->path()).fileName().toUtf8() + "/" + kDayTable.toUtf8();
        QVERIFY(writeFile(path("param.config"), settings.replace(4, name.size(), name)));
    } else if (kind != "FIFO") {
        QVERIFY(
            kind == "folder" ? QDir().mkdir(place) : QFile::link(kind.endsWith("FIFO") ? fifo : "/dev/zero", place));
    }
    // A start that waits on the FIFO is let go after 3 s, to fail rather than hang.
    std::promise<void> shown;
    auto watchdog = std::async(std::launch::async, [&fifo, up = shown.get_future()] {
        if (up.wait_for(std::chrono::seconds(3)) == std::future_status::timeout)
            ::close(::open(QFile::encodeName(fifo).constData(), O_WRONLY | O_NONBLOCK));
    });
    QElapsedTimer started;
    started.start();
    TestDesk d;
    shown.set_value();
    QVERIFY(started.elapsed() < 3000);
    QCOMPARE(controls(d), table ? QString("sweep 1/8192 3 0 0 rows[]") : QString("single 1/8192 3 0 0 rows[]"));
#endif
}

QTEST_MAIN(SettingsTest)
#include "tst_settings.moc"
