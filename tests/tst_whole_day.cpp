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

// One run of the program in the day's folder.
struct Run
{
    TestDesk d;

    QString text(const char *name) const { return d.findChild<QWidget *>(name)->property("text").toString(); }
    void click(const char *name) { d.w<QAbstractButton>(name)->click(); }
    QStringList column(int col) const
    {
        QStringList texts;
        for (int row = 0; row < d.tableModel->rowCount(); ++row)
            texts << d.tableModel->index(row, col).data().toString();
        return texts;
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

    // A fresh installation: scan, connect, then the poll, and the GPS time
    // once lock and leap second arrive.
    r.click("pushButton");
    QTRY_COMPARE_WITH_TIMEOUT(r.text("label_dev_statu"), QString("已连接"), kWaitMs);
    QTRY_VERIFY_WITH_TIMEOUT(!r.text("edt_system_time").isEmpty(), kWaitMs);

    // Sweep output with the survey's table, cyclic, square wave.
    r.click("rBtn_continue");
    QVERIFY(writeFile(folder.file("line12.FTB2"), surveyTable()));
    r.d.dialogAnswers = QStringList(folder.file("line12.FTB2"));
    r.click("btn_import");
    QCOMPARE(r.column(1), QStringList({ "8", "4", "1" }));
    r.d.w<QComboBox>("cmb_model_scan")->setCurrentIndex(1);
    r.d.w<QComboBox>("cmb_signal")->setCurrentIndex(0);
    r.d.w<QLineEdit>("edt_time_delay")->setText("12.5");

    // The GPS clock a little before a whole minute; the send time rounds to it.
    tx.setClock(QDateTime(QDate(2024, 5, 17), QTime(10, 15, 25)));
    QTRY_VERIFY_WITH_TIMEOUT(r.text("edt_system_time").startsWith("2024/05/17 10:15:2"), kWaitMs);
    r.click("btn_round_min");
    QCOMPARE(r.text("edt_send_time"), QString("2024/05/17 10:16:00"));

    // Start: the imported table reaches the device with the rounded moment.
    {
        BoxAnswerer boxes(QMessageBox::Yes);
        r.click("btn_start");
        QTRY_COMPARE_WITH_TIMEOUT(r.text("label_work_statu"), QString("待发送"), kWaitMs);
    }
    QVERIFY(tx.payloads().contains(
        hex("01 14 18 05 11 0A 10 00 00 0A 00 00 00 50 00 0B 00 00 00 28 00 0D 00 00 00 14")));

    // The half minute to the start moment passes on the transmitter's clock.
    tx.setClock(QDateTime(QDate(2024, 5, 17), QTime(10, 15, 58)));
    QTRY_COMPARE_WITH_TIMEOUT(r.text("label_work_statu"), QString("工作中"), kWaitMs);
    QVERIFY(tx.isTransmitting());

    r.click("btn_stop");
    QTRY_COMPARE_WITH_TIMEOUT(r.text("label_work_statu"), QString("空闲"), kWaitMs);
    QTRY_VERIFY_WITH_TIMEOUT(r.d.w<QWidget>("btn_start")->isEnabled(), kWaitMs);
    QVERIFY(!tx.isTransmitting());

    // End of the day: close and keep the settings.
    {
        BoxAnswerer boxes(QMessageBox::Yes);
        r.d.close();
    }
    first.reset();

    // Next start: sweep output, the indices, the delay and the table are back.
    auto second = std::make_unique<Run>();
    Run &n = *second;
    QVERIFY(n.d.w<QRadioButton>("rBtn_continue")->isChecked());
    QCOMPARE(n.d.w<QComboBox>("cmb_model_scan")->currentIndex(), 1);
    QCOMPARE(n.d.w<QComboBox>("cmb_signal")->currentIndex(), 0);
    QCOMPARE(n.text("edt_time_delay"), QString("13"));
    QCOMPARE(n.column(1), QStringList({ "8", "4", "1" }));
    QCOMPARE(n.column(4), QStringList({ "150", "150", "2400" }));
    // The imported file's own header travelled with the table.
    QCOMPARE(QByteArray(n.d.freqTable.name), QByteArray("line 12"));
}

QTEST_MAIN(WholeDayTest)
#include "tst_whole_day.moc"
