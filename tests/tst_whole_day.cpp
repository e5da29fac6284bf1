#include "txsimfield.h"

#include <QComboBox>
#include <QDataStream>
#include <QRadioButton>

namespace {

const int kWaitMs = 20000;

// The survey's table as the office hands it out: 8 Hz and 4 Hz for 10 s,
// 1 Hz for 20 s at a higher sampling rate.
QByteArray surveyTable()
{
    QByteArray bytes;
    QDataStream s(&bytes, QIODevice::WriteOnly);
    s.setByteOrder(QDataStream::LittleEndian);
    s.setFloatingPointPrecision(QDataStream::SinglePrecision);
    s << qint32(1) << qint32(8);
    s.writeRawData("line 12", 8);
    s << qint32(7) << 1u << 2u << 3u << 4u << 5u << 6u << qint32(1);
    s.writeRawData("", 1);
    s << qint32(2) << qint32(0) << qint32(3);
    s << qint32(150) << 8.0f << qint32(80) << 10.0f;
    s << qint32(150) << 4.0f << qint32(40) << 10.0f;
    s << qint32(2400) << 1.0f << qint32(20) << 20.0f;
    return bytes;
}

QByteArray lastPayload(const Transmitter &tx, quint8 code)
{
    const QList<QByteArray> payloads = tx.payloads();
    for (int i = payloads.size() - 1; i >= 0; --i) {
        if (quint8(payloads.at(i).at(0)) == code)
            return payloads.at(i);
    }
    return QByteArray();
}

// One run of the program in the day's folder.
struct Run
{
    TestDesk d;

    QString text(const char *name) const { return d.findChild<QWidget *>(name)->property("text").toString(); }
    void click(const char *name) { d.w<QAbstractButton>(name)->click(); }
    bool enabled(const char *name) const { return d.w<QWidget>(name)->isEnabled(); }
    QStringList column(int col) const
    {
        QStringList texts;
        for (int row = 0; row < d.tableModel->rowCount(); ++row)
            texts << d.tableModel->index(row, col).data().toString();
        return texts;
    }
    QStringList closeAnswering(QMessageBox::StandardButton answer)
    {
        BoxAnswerer boxes(answer);
        d.close();
        return boxes.seen;
    }
};

} // namespace

class WholeDayTest : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase() { QApplication::setQuitOnLastWindowClosed(false); }
    void fromAFreshInstallToTheNextMorning();
};

void WholeDayTest::fromAFreshInstallToTheNextMorning()
{
    AppFolderFixture folder;
    Transmitter tx;
    QVERIFY2(tx.start(), qPrintable(tx.errorString()));
    tx.setVersion(0x21, 19, 6, 3);
    // GPS lock and leap second come in while the window is already polling.
    const QDateTime now = QDateTime::currentDateTime();
    tx.setGpsLockedAt(now.addSecs(2));
    tx.setLeapDoneAt(now.addSecs(3));
    // A stale entry first: the scan has to move on to the transmitter.
    const QStringList ports = { folder.file("ttyGone"), tx.portPath() };

    auto first = std::make_unique<Run>();
    Run &r = *first;
    r.d.SetPortSource([ports] { return ports; });
    r.d.show();
    QVERIFY(QTest::qWaitForWindowExposed(&r.d));

    // A fresh installation: scan, connect, version, then the poll: idle, and
    // the GPS arriving.
    r.click("pushButton");
    QTRY_COMPARE_WITH_TIMEOUT(r.text("label_dev_statu"), QString("已连接"), kWaitMs);
    QTRY_COMPARE_WITH_TIMEOUT(r.text("lbVersion"), QString("V2.1_2019-06-03"), kWaitMs);
    QTRY_COMPARE_WITH_TIMEOUT(r.text("label_work_statu"), QString("空闲"), kWaitMs);
    QTRY_COMPARE_WITH_TIMEOUT(r.text("label_gps_lock"), QString("已锁定"), kWaitMs);
    QTRY_COMPARE_WITH_TIMEOUT(r.text("label_gps_sec"), QString("已闰秒"), kWaitMs);
    QTRY_VERIFY_WITH_TIMEOUT(!r.text("edt_system_time").isEmpty(), kWaitMs);
    QCOMPARE(commandCodes(tx).mid(0, 3), QList<quint8>({ 0x02, 0x0A, 0x07 }));
    QTRY_VERIFY_WITH_TIMEOUT(!lastPayload(tx, 0x03).isEmpty(), kWaitMs);
    QVERIFY(r.enabled("btn_start"));

    // Sweep output with the survey's table, cyclic, square wave.
    r.click("rBtn_continue");
    QVERIFY(writeFile(folder.file("line12.FTB2"), surveyTable()));
    r.d.dialogAnswers = QStringList(folder.file("line12.FTB2"));
    r.click("btn_import");
    QCOMPARE(r.column(1), QStringList({ "8", "4", "1" }));
    QCOMPARE(r.text("label_total_sec"), QString("00:00:40"));
    r.d.w<QComboBox>("cmb_model_scan")->setCurrentIndex(1);
    r.d.w<QComboBox>("cmb_signal")->setCurrentIndex(0);

    // The delay, sent on its own: 12.5 ms is 839 counts of 2^-26 s.
    r.d.w<QLineEdit>("edt_time_delay")->setText("12.5");
    r.click("btn_time_delay");
    QTRY_COMPARE_WITH_TIMEOUT(tx.lastDelay(), 839, kWaitMs);
    QTRY_VERIFY_WITH_TIMEOUT(!r.d.busy, kWaitMs);

    // The GPS clock a little before a whole minute; the send time rounds to it.
    tx.setClock(QDateTime(QDate(2024, 5, 17), QTime(10, 15, 25)));
    QTRY_VERIFY_WITH_TIMEOUT(r.text("edt_system_time").startsWith("2024/05/17 10:15:2"), kWaitMs);
    r.click("btn_round_min");
    QCOMPARE(r.text("edt_send_time"), QString("2024/05/17 10:16:00"));

    // Start: GPS is locked, so no question; the three commands go out in order.
    {
        BoxAnswerer boxes(QMessageBox::Yes);
        r.click("btn_start");
        QTRY_COMPARE_WITH_TIMEOUT(r.text("label_work_statu"), QString("待发送"), kWaitMs);
        QCOMPARE(boxes.seen, QStringList());
    }
    QCOMPARE(lastPayload(tx, 0x05).toHex(' '), QByteArray("05 80 00"));
    QCOMPARE(lastPayload(tx, 0x06).toHex(' '), QByteArray("06 04"));
    QCOMPARE(lastPayload(tx, 0x01).toHex(' '),
        QByteArray("01 14 18 05 11 0a 10 00 00 0a 00 00 00 50 00 0b 00 00 00 28 00 0d 00 00 00 14"));
    QVERIFY(tx.isArmed());
    QVERIFY(!r.enabled("btn_start") && r.enabled("btn_stop"));

    // The half minute to the start moment passes on the transmitter's clock.
    tx.setClock(QDateTime(QDate(2024, 5, 17), QTime(10, 15, 58)));
    QTRY_COMPARE_WITH_TIMEOUT(r.text("label_work_statu"), QString("工作中"), kWaitMs);
    QVERIFY(tx.isTransmitting());

    r.click("btn_stop");
    QTRY_COMPARE_WITH_TIMEOUT(r.text("label_work_statu"), QString("空闲"), kWaitMs);
    QTRY_VERIFY_WITH_TIMEOUT(r.enabled("btn_start"), kWaitMs);
    QVERIFY(!tx.isTransmitting() && !tx.isArmed());

    // End of the day: close and keep the settings.
    QCOMPARE(r.closeAnswering(QMessageBox::Yes), QStringList("退出|是否保存参数?"));
    QCOMPARE(logFileTexts(folder.path()).last(), QString("退出应用并保存配置"));
    first.reset();
    const QString dayTable = QDate::currentDate().toString("yyyy-MM-dd") + ".FTB2";
    QVERIFY(QFileInfo::exists(folder.file(dayTable)));
    const QByteArray saved = readFile(folder.file("param.config"));
    QCOMPARE(saved.size(), 280);

    // Next start: sweep output, the indices, the delay and the table are back.
    auto second = std::make_unique<Run>();
    Run &n = *second;
    QVERIFY(n.d.w<QRadioButton>("rBtn_continue")->isChecked());
    QCOMPARE(n.d.w<QComboBox>("cmb_model_scan")->currentIndex(), 1);
    QCOMPARE(n.d.w<QComboBox>("cmb_signal")->currentIndex(), 0);
    QCOMPARE(n.text("edt_time_delay"), QString("13"));
    QCOMPARE(n.column(1), QStringList({ "8", "4", "1" }));
    QCOMPARE(n.column(2), QStringList({ "10", "10", "20" }));
    QCOMPARE(n.column(4), QStringList({ "150", "150", "2400" }));
    QCOMPARE(n.text("label_total_sec"), QString("00:00:40"));
    // The imported file's own header travelled with the table.
    QCOMPARE(QByteArray(n.d.freqTable.name), QByteArray("line 12"));

    // Changes made and then not kept: param.config stays as saved.
    n.d.show();
    n.click("rBtn_single");
    n.d.w<QComboBox>("cmb_signal")->setCurrentIndex(5);
    n.d.w<QLineEdit>("edt_time_delay")->setText("99");
    QCOMPARE(n.closeAnswering(QMessageBox::No), QStringList("退出|是否保存参数?"));
    QCOMPARE(logFileTexts(folder.path()).last(), QString("退出应用"));
    second.reset();
    QCOMPARE(readFile(folder.file("param.config")), saved);
}

QTEST_MAIN(WholeDayTest)
#include "tst_whole_day.moc"
