#include "table/tablemodel.h"
#include "testdesk.h"

#include <QComboBox>
#include <QDataStream>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>

#include <memory>

#ifdef Q_OS_UNIX
#include <csignal>
#include <sys/resource.h>
#include <unistd.h>
#endif

namespace {

struct Fields
{
    QByteArray name; // without its NUL
    qint32 freq = 0, single = 1, sweep = 0, signal = 3, delay = 0;
    quint32 version = 1;
};

// param.config as the layout has it: version, 256 name bytes, five words.
QByteArray settingsFile(const Fields &f)
{
    QByteArray bytes;
    QDataStream s(&bytes, QIODevice::WriteOnly);
    s.setByteOrder(QDataStream::LittleEndian);
    s << f.version;
    const QByteArray name = f.name.left(255) + QByteArray(256 - qMin(f.name.size(), 255), '\0');
    s.writeRawData(name.constData(), 256);
    s << f.freq << f.single << f.sweep << f.signal << f.delay;
    return bytes;
}

// A small FTB2 table: empty texts, the given (sample rate, Hz, periods, s) entries.
QByteArray tableFile(const QVector<freq_item> &entries, qint32 count = -1)
{
    QByteArray bytes;
    QDataStream s(&bytes, QIODevice::WriteOnly);
    s.setByteOrder(QDataStream::LittleEndian);
    s.setFloatingPointPrecision(QDataStream::SinglePrecision);
    s << qint32(1) << qint32(1);
    s.writeRawData("", 1);
    s << qint32(0) << 0u << 0u << 0u << 0u << 0u << 0u << qint32(1);
    s.writeRawData("", 1);
    s << qint32(0) << qint32(0) << (count < 0 ? qint32(entries.size()) : count);
    for (const freq_item &e : entries)
        s << e.sample_rate << e.freq << e.period_num << e.send_time;
    return bytes;
}

qint32 wordAt(const QByteArray &bytes, int offset)
{
    return qFromLittleEndian<qint32>(bytes.constData() + offset);
}

// Closes the window as the operator would, answering every box; returns
// "title|text" of each box and whether the window went.
QStringList closeAnswering(TestDesk &d, QMessageBox::StandardButton answer, bool *closed = nullptr)
{
    d.show();
    BoxAnswerer boxes(answer);
    const bool gone = d.close();
    if (closed)
        *closed = gone;
    return boxes.seen;
}

QStringList column(const TestDesk &d, int col)
{
    QStringList texts;
    for (int row = 0; row < d.tableModel->rowCount(); ++row)
        texts << d.tableModel->index(row, col).data().toString();
    return texts;
}

// What the controls show, in one line a failure message can print whole.
QString controls(const TestDesk &d)
{
    return QStringList(
        { d.w<QRadioButton>("rBtn_single")->isChecked() ? "single" : "sweep", d.w<QComboBox>("cmb_freq")->currentText(),
            QString::number(d.w<QComboBox>("cmb_signal")->currentIndex()),
            QString::number(d.w<QComboBox>("cmb_model_scan")->currentIndex()), d.w<QLineEdit>("edt_time_delay")->text(),
            QString::number(d.tableModel->rowCount()) + " rows" })
        .join(" ");
}

const QString kDefaults = "single 1/8192 3 0 0 0 rows";
const QString kQuestion = "退出|是否保存参数?";
const QString kSaveFailed = "提示|参数保存失败！";

// Two rows a sweep can be told apart by: 1/4 Hz for 20 s, 8 Hz for 10 s.
void twoDistinctRows(TestDesk &d)
{
    d.w<QRadioButton>("rBtn_continue")->click();
    d.w<QPushButton>("btn_add")->click();
    d.w<QPushButton>("btn_add")->click();
    d.tableModel->setData(d.tableModel->index(0, 1), "1/4");
    d.tableModel->setData(d.tableModel->index(0, 2), "20");
    d.tableModel->setData(d.tableModel->index(1, 1), "8");
    d.tableModel->setData(d.tableModel->index(1, 2), "10");
    d.tableModel->setData(d.tableModel->index(1, 4), "2400");
    d.tableModel->recomputeTotal();
}

} // namespace

class SettingsTest : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase() { QApplication::setQuitOnLastWindowClosed(false); }
    void init() { folder.reset(new AppFolderFixture); }
    void cleanup() { folder.reset(); }

    void noSettingsStartsFromTheDefaults_data();
    void noSettingsStartsFromTheDefaults();
    void noKeepsTheFileAndLogsTheExit();
    void refusedFirmwareClosesWithoutAQuestion();
    void yesInSweepSavesTheDaysTable();
    void singleFrequencySaveAndRestart();
    void delayIsKeptInWholeMilliseconds_data();
    void delayIsKeptInWholeMilliseconds();
    void filesOfOurOwn_data();
    void filesOfOurOwn();
    void rememberedTableThatCannotBeRead_data();
    void rememberedTableThatCannotBeRead();
    void failedSaveKeepsWhatWasSavedBefore();

private:
    std::unique_ptr<AppFolderFixture> folder;
    QString path(const QString &name) const { return folder->file(name); }
};

void SettingsTest::noSettingsStartsFromTheDefaults_data()
{
    QTest::addColumn<QByteArray>("file");
    QTest::newRow("no file") << QByteArray("<none>");
    QTest::newRow("empty file") << QByteArray();
    QTest::newRow("three bytes") << QByteArray("\x01\x00\x00", 3);
}

void SettingsTest::noSettingsStartsFromTheDefaults()
{
    QFETCH(QByteArray, file);
    if (file != "<none>")
        QVERIFY(writeFile(path("param.config"), file));
    TestDesk d;
    QCOMPARE(controls(d), kDefaults);
    QCOMPARE(d.w<QComboBox>("cmb_signal")->currentText(), QString("5阶扩频波"));
    QVERIFY(d.w<QComboBox>("cmb_freq")->isVisibleTo(&d));
    QVERIFY(!d.w<QPushButton>("btn_add")->isEnabled());
    // Nothing to report: the start is silent about a missing file.
    const QStringList log = logFileTexts(folder->path());
    QCOMPARE(log.mid(log.indexOf("应用初始化...") + 1), QStringList({ "选择单频输出", "应用初始化完成." }));
}

void SettingsTest::noKeepsTheFileAndLogsTheExit()
{
    const QByteArray before = settingsFile({ "old.FTB2", 16, 0, 1, 0, 250 });
    QVERIFY(writeFile(path("param.config"), before));
    {
        TestDesk d;
        twoDistinctRows(d);
        d.w<QComboBox>("cmb_signal")->setCurrentIndex(12);
        bool closed = false;
        QCOMPARE(closeAnswering(d, QMessageBox::No, &closed), QStringList(kQuestion));
        QVERIFY(closed);
    }
    QCOMPARE(readFile(path("param.config")), before);
    QCOMPARE(logFileTexts(folder->path()).last(), QString("退出应用"));
    QCOMPARE(QDir(folder->path()).entryList({ "*.FTB2*" }, QDir::Files | QDir::Hidden), QStringList());
}

void SettingsTest::refusedFirmwareClosesWithoutAQuestion()
{
    TestDesk d;
    d.versionCompatible = false;
    bool closed = false;
    QCOMPARE(closeAnswering(d, QMessageBox::Yes, &closed), QStringList());
    QVERIFY(closed);
    QVERIFY(!QFileInfo::exists(path("param.config")));
    const QStringList log = logFileTexts(folder->path());
    QCOMPARE(log.last(), QString("应用初始化完成."));
}

void SettingsTest::yesInSweepSavesTheDaysTable()
{
    TestDesk d;
    d.fixedDate = QDate(2024, 5, 17);
    twoDistinctRows(d);
    QCOMPARE(closeAnswering(d, QMessageBox::Yes), QStringList(kQuestion));

    const QByteArray settings = readFile(path("param.config"));
    QCOMPARE(settings.size(), 280);
    QCOMPARE(wordAt(settings, 0), 1);
    QCOMPARE(settings.mid(4, 16), QByteArray("2024-05-17.FTB2\0", 16));
    QCOMPARE(settings.mid(20, 240), QByteArray(240, '\0'));
    QCOMPARE(wordAt(settings, 264), 0);

    // The table as the export writes it: the record's texts, two entries.
    const QByteArray table = readFile(path("2024-05-17.FTB2"));
    QCOMPARE(table.size(), 52 + 4 + 5 + 2 * 16);
    const QByteArray entries = table.right(32);
    QCOMPARE(wordAt(table, table.size() - 36), 2);
    QCOMPARE(wordAt(entries, 0), 150);
    QCOMPARE(wordAt(entries, 8), 5); // 20 s at 1/4 Hz
    QCOMPARE(wordAt(entries, 16), 2400);
    QCOMPARE(wordAt(entries, 24), 80); // 10 s at 8 Hz
    QCOMPARE(logFileTexts(folder->path()).last(), QString("退出应用并保存配置"));
    QCOMPARE(QDir(folder->path()).entryList(QDir::Files | QDir::Hidden).filter("FTB2").size(), 1);
}

void SettingsTest::singleFrequencySaveAndRestart()
{
    {
        TestDesk d;
        d.w<QRadioButton>("rBtn_continue")->click();
        d.w<QComboBox>("cmb_model_scan")->setCurrentIndex(1);
        d.w<QPushButton>("btn_add")->click();
        d.w<QRadioButton>("rBtn_single")->click();
        d.w<QComboBox>("cmb_freq")->setCurrentIndex(16);
        QCOMPARE(d.w<QComboBox>("cmb_freq")->currentText(), QString("8"));
        d.w<QComboBox>("cmb_signal")->setCurrentIndex(0);
        d.w<QLineEdit>("edt_time_delay")->setText("100");
        closeAnswering(d, QMessageBox::Yes);
    }
    const QByteArray settings = readFile(path("param.config"));
    QCOMPARE(settings.size(), 280);
    QCOMPARE(settings.mid(4, 256), QByteArray(256, '\0'));
    QCOMPARE(settings.mid(260).toHex(' '), QByteArray("10 00 00 00 01 00 00 00 01 00 00 00 00 00 00 00 64 00 00 00"));
    QCOMPARE(QDir(folder->path()).entryList({ "*.FTB2*" }, QDir::Files), QStringList());

    TestDesk again;
    QCOMPARE(controls(again), QString("single 8 0 1 100 0 rows"));
    QVERIFY(!again.w<QPushButton>("btn_add")->isEnabled());
}

void SettingsTest::delayIsKeptInWholeMilliseconds_data()
{
    QTest::addColumn<QString>("typed");
    QTest::addColumn<int>("stored");
    QTest::newRow("12.5 rounds up") << "12.5" << 13;
    QTest::newRow("12.4 rounds down") << "12.4" << 12;
    QTest::newRow("empty") << "" << 0;
    QTest::newRow("beyond 32 bits") << "99999999999" << 0;
}

void SettingsTest::delayIsKeptInWholeMilliseconds()
{
    QFETCH(QString, typed);
    QFETCH(int, stored);
    {
        TestDesk d;
        d.w<QLineEdit>("edt_time_delay")->setText(typed);
        closeAnswering(d, QMessageBox::Yes);
    }
    QCOMPARE(wordAt(readFile(path("param.config")), 276), stored);
    TestDesk again;
    QCOMPARE(again.w<QLineEdit>("edt_time_delay")->text(), QString::number(stored));
}

void SettingsTest::filesOfOurOwn_data()
{
    QTest::addColumn<QByteArray>("file");
    QTest::addColumn<QString>("shown");
    QTest::addColumn<bool>("refused");

    QTest::newRow("foreign version word")
        << settingsFile({ "", 20, 1, 1, 13, 40, 0xDEADBEEF }) << "single 128 13 1 40 0 rows" << false;
    QTest::newRow("highest indices") << settingsFile({ "", 26, 1, 1, 13, 0 }) << "single 8192 13 1 0 0 rows" << false;
    QTest::newRow("signal 99") << settingsFile({ "", 20, 1, 1, 99, 40 }) << kDefaults << true;
    QTest::newRow("frequency 27") << settingsFile({ "", 27, 1, 1, 2, 40 }) << kDefaults << true;
    QTest::newRow("sweep 2") << settingsFile({ "", 20, 0, 2, 2, 40 }) << kDefaults << true;
    QTest::newRow("negative delay") << settingsFile({ "", 20, 1, 1, 2, -5 }) << kDefaults << true;
    // Cut short: what the file no longer reaches starts from the defaults.
    const QByteArray full = settingsFile({ "", 16, 0, 1, 5, 77 });
    QTest::newRow("up to the frequency") << full.left(264) << "single 8 3 0 0 0 rows" << false;
    QTest::newRow("up to the sweep mode") << full.left(272) << "sweep 8 3 1 0 0 rows" << false;
    QTest::newRow("version only") << full.left(4) << kDefaults << false;
    QTest::newRow("trailing bytes") << full + "xyz"
                                    << "sweep 8 5 1 77 0 rows" << false;
}

void SettingsTest::filesOfOurOwn()
{
    QFETCH(QByteArray, file);
    QFETCH(QString, shown);
    QFETCH(bool, refused);
    QVERIFY(writeFile(path("param.config"), file));
    TestDesk d;
    QCOMPARE(controls(d), shown);
    QCOMPARE(logFileTexts(folder->path()).contains("参数文件无效，使用默认参数"), refused);
    // What a later Yes writes is always the full layout again.
    closeAnswering(d, QMessageBox::Yes);
    QCOMPARE(readFile(path("param.config")).size(), 280);
}

void SettingsTest::rememberedTableThatCannotBeRead_data()
{
    QTest::addColumn<QByteArray>("table");
    const QVector<freq_item> three = { { 150, 1.0f, 15, 15.0f }, { 150, 2.0f, 30, 15.0f }, { 150, 4.0f, 60, 15.0f } };
    QTest::newRow("missing") << QByteArray("<none>");
    QTest::newRow("count of 128") << tableFile(three, 128);
    QTest::newRow("entries cut off") << tableFile(three).left(52 + 2 + 16);
}

void SettingsTest::rememberedTableThatCannotBeRead()
{
    QFETCH(QByteArray, table);
    QVERIFY(writeFile(path("param.config"), settingsFile({ "2024-05-17.FTB2", 0, 0, 1, 2, 0 })));
    if (table != "<none>")
        QVERIFY(writeFile(path("2024-05-17.FTB2"), table));
    TestDesk d;
    QCOMPARE(controls(d), QString("sweep 1/8192 2 1 0 0 rows"));
    QCOMPARE(d.freqTable.freq_num, 0);
    QCOMPARE(d.w<QLineEdit>("label_total_sec")->text(), QString("00:00:00"));

    // The same remembered name with a good file beside it does load.
    QVERIFY(writeFile(path("2024-05-17.FTB2"), tableFile({ { 150, 0.5f, 10, 20.0f } })));
    TestDesk good;
    QCOMPARE(column(good, 1) << column(good, 2), QStringList({ "1/2", "20" }));
}

void SettingsTest::failedSaveKeepsWhatWasSavedBefore()
{
    const QDate day(2024, 5, 17);
    const QString tablePath = path("2024-05-17.FTB2");
    {
        TestDesk d;
        d.fixedDate = day;
        twoDistinctRows(d);
        closeAnswering(d, QMessageBox::Yes);
    }
    const QByteArray settingsBefore = readFile(path("param.config"));
    const QByteArray tableBefore = readFile(tablePath);
    QCOMPARE(settingsBefore.size(), 280);

    // Three rows, a new signal: both files would change.
    // The log shares the folder (and the file size limit) with the settings,
    // so it is read only where it could still be written.
    auto failingSave = [&](const std::function<void()> &during, bool logged) {
        TestDesk d;
        d.fixedDate = day;
        d.w<QPushButton>("btn_add")->click();
        d.w<QComboBox>("cmb_signal")->setCurrentIndex(0);
        d.show();
        BoxAnswerer boxes(QMessageBox::Yes);
        during();
        const bool closed = d.close();
        QVERIFY(closed);
        QCOMPARE(boxes.seen, QStringList({ kQuestion, kSaveFailed }));
        if (logged) {
            const QStringList log = logFileTexts(folder->path());
            QCOMPARE(log.mid(log.lastIndexOf("应用初始化完成.")), QStringList({ "应用初始化完成.", "参数保存失败！" }));
        }
    };
    auto nothingLost = [&] {
        QCOMPARE(readFile(path("param.config")), settingsBefore);
        QCOMPARE(readFile(tablePath), tableBefore);
        QCOMPARE(QDir(folder->path()).entryList({ "param.config*", "*.FTB2*" }, QDir::Files | QDir::Hidden),
            QStringList({ "2024-05-17.FTB2", "param.config" }));
    };

#ifdef Q_OS_UNIX
    // A disk that fills up: at the table (40 bytes), or once the table is
    // written whole but the settings (280 bytes) do not fit.
    std::signal(SIGXFSZ, SIG_IGN);
    for (const rlim_t limit : { rlim_t(40), rlim_t(200) }) {
        rlimit saved;
        getrlimit(RLIMIT_FSIZE, &saved);
        failingSave(
            [&] {
                rlimit small = saved;
                small.rlim_cur = limit;
                setrlimit(RLIMIT_FSIZE, &small);
            },
            false);
        setrlimit(RLIMIT_FSIZE, &saved);
        nothingLost();
    }

    if (geteuid() != 0) { // root writes whatever the permission bits say
        const QFile::Permissions open = QFile::permissions(folder->path());
        failingSave([&] { QFile::setPermissions(folder->path(), QFile::ReadOwner | QFile::ExeOwner); }, true);
        QFile::setPermissions(folder->path(), open);
        nothingLost();
    }
#endif

    // A folder that cannot hold files at all: the exit still goes on.
    QVERIFY(writeFile(path("plain"), "a file, not a folder"));
    failingSave([&] { SetAppFolder(path("plain/sub")); }, true);
    SetAppFolder(folder->path());
    nothingLost();

    // And with room again the same save goes through whole.
    {
        TestDesk d;
        d.fixedDate = day;
        d.w<QPushButton>("btn_add")->click();
        QCOMPARE(closeAnswering(d, QMessageBox::Yes), QStringList(kQuestion));
    }
    QCOMPARE(readFile(tablePath).size(), 52 + 4 + 5 + 3 * 16);
}

QTEST_MAIN(SettingsTest)
#include "tst_settings.moc"
