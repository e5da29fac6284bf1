#include "table/tablemodel.h"
#include "testdesk.h"

#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>

#include <memory>

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

const QString kDefaults = "single 1/8192 3 0 0 rows[]";
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

private:
    std::unique_ptr<AppFolderFixture> folder;
    QString path(const QString &name) const { return folder->file(name); }

    // An earlier run that kept a sweep of the two rows.
    void saveTwoRows()
    {
        TestDesk d;
        twoDistinctRows(d);
        closeAnswering(d, QMessageBox::Yes);
    }
};

void SettingsTest::closingTheWindow_data()
{
    QTest::addColumn<bool>("sweep"); // else single output at 8 Hz, square wave
    QTest::addColumn<QString>("delay"); // as typed
    QTest::addColumn<int>("answer"); // 0: the firmware was refused, nothing is asked
    QTest::addColumn<QString>("fault"); // what keeps the save from the disk
    QTest::addColumn<QByteArray>("words"); // bytes 260 to 279 saved; empty: the earlier files stay
    QTest::addColumn<QString>("restored");

    const int yes = QMessageBox::Yes;
    const QString twoRows = "sweep 1/8192 3 0 0 rows[1/4:20 8:10]";
    QTest::newRow("No keeps the earlier files") << true << "5" << int(QMessageBox::No) << "" << QByteArray() << twoRows;
    QTest::newRow("refused firmware: nothing asked") << true << "5" << 0 << "" << QByteArray() << twoRows;
    QTest::newRow("Yes in sweep output, two rows")
        << true << "0" << yes << "" << QByteArray::fromHex("00000000 00000000 00000000 03000000 00000000") << twoRows;
    const auto single = [](const char *name, const char *typed, qint32 stored) {
        QByteArray words = QByteArray::fromHex("10000000 01000000 01000000 00000000 00000000");
        qToLittleEndian(stored, words.data() + 16);
        QTest::newRow(name) << false << typed << int(QMessageBox::Yes) << "" << words
                            << QString("single 8 0 1 %1 rows[]").arg(stored);
    };
    single("Yes in single output, delay 12.4 rounds down", "12.4", 12);
    single("delay beyond 32 bits", "99999999999", 0);

    // A save that cannot start: the earlier files stay whole.
    QTest::newRow("Yes, a folder that cannot hold files")
        << true << "5" << yes << "no folder" << QByteArray() << twoRows;
}

void SettingsTest::closingTheWindow()
{
    QFETCH(bool, sweep);
    QFETCH(QString, delay);
    QFETCH(int, answer);
    QFETCH(QString, fault);
    QFETCH(QByteArray, words);
    QFETCH(QString, restored);
    if (words.isEmpty())
        saveTwoRows();
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
        if (fault == "no folder" && writeFile(path("plain"), "a file, not a folder"))
            SetAppFolder(path("plain/sub"));
        const QStringList boxes = closeAnswering(d, QMessageBox::StandardButton(answer));
        SetAppFolder(folder->path());

        // The window goes whatever the save did; a failed save says so.
        QVERIFY(!d.isVisible());
        QCOMPARE(boxes.size(), (answer ? 1 : 0) + (fault.isEmpty() ? 0 : 1));
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
    QCOMPARE(controls(again), restored);
    if (!sweep)
        return;

    // A remembered table that is gone or refused gives an empty table, never
    // entries from an unread record.
    const QByteArray good = readFile(path(kDayTable));
    const QByteArray count128 = QByteArray(good).replace(good.size() - 36, 4, QByteArray::fromHex("80000000"));
    for (const QByteArray &bad : { QByteArray(), count128, good.left(good.size() - 24) }) {
        QVERIFY(bad.isNull() ? QFile::remove(path(kDayTable)) : writeFile(path(kDayTable), bad));
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
    QTest::newRow("signal 99") << settingsFile(20, 1, 1, 99, 40) << kDefaults;
    QTest::newRow("frequency 27") << settingsFile(27, 1, 1, 2, 40) << kDefaults;
    QTest::newRow("sweep 2") << settingsFile(20, 0, 2, 2, 40) << kDefaults;
    QTest::newRow("negative delay") << settingsFile(20, 1, 1, 2, -5) << kDefaults;
    // Cut short: what the file no longer reaches starts from the defaults.
    const QByteArray full = settingsFile(16, 0, 1, 5, 77);
    QTest::newRow("up to the frequency") << full.left(264) << "single 8 3 0 0 rows[]";
    QTest::newRow("up to the sweep mode") << full.left(272) << "sweep 8 3 1 0 rows[]";
    QTest::newRow("trailing bytes") << full + "xyz"
                                    << "sweep 8 5 1 77 rows[]";
}

void SettingsTest::filesOfOurOwn()
{
    QFETCH(QByteArray, file);
    QFETCH(QString, shown);
    QVERIFY(writeFile(path("param.config"), file));
    TestDesk d;
    QCOMPARE(controls(d), shown);
}

QTEST_MAIN(SettingsTest)
#include "tst_settings.moc"
