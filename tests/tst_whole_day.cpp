#include "txsimfield.h"

#include <QTableView>

class WholeDayTest : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase() { QApplication::setQuitOnLastWindowClosed(false); }
    void cleanup() { verifyWindowToldTheTruth(); }
    void fromAFreshInstallToTheNextMorning();
};

void WholeDayTest::fromAFreshInstallToTheNextMorning()
{
    const int waitMs = 20000;
    Field f; // Yes to whatever is asked, and the settings kept at the end
    Transmitter &tx = f.tx();
    // GPS lock and leap second come in while the window is already polling.
    tx.setGpsLockedAt(QDateTime::currentDateTime().addSecs(2));
    tx.setLeapDoneAt(QDateTime::currentDateTime().addSecs(3));
    // A stale entry first: the scan has to move on to the transmitter.
    f.ports.prepend(f.folder.file("ttyGone"));
    f.d.show();
    QVERIFY(QTest::qWaitForWindowExposed(&f.d));
    f.scan();
    QTRY_COMPARE_WITH_TIMEOUT(f.text("label_dev_statu"), QString("已连接"), waitMs);

    // Cyclic sweep, square wave: 8 Hz and 4 Hz for 10 s, 1 Hz for 20 s.
    f.d.w<QRadioButton>("rBtn_continue")->click();
    for (const char *frequency : { "8", "4", "1" })
        f.d.addRow(frequency, frequency[0] == '1' ? "20" : "10");
    f.d.w<QComboBox>("cmb_model_scan")->setCurrentIndex(1);
    f.d.w<QComboBox>("cmb_signal")->setCurrentIndex(0);

    // The GPS clock a little before a whole minute; the send time rounds to it.
    tx.setClock(QDateTime(QDate(2024, 5, 17), QTime(10, 15, 25)));
    QTRY_VERIFY_WITH_TIMEOUT(f.d.w<QLineEdit>("edt_system_time")->text().startsWith("2024/05/17 10:15:2"), waitMs);
    f.d.w<QPushButton>("btn_round_min")->click();
    QCOMPARE(f.d.w<QLineEdit>("edt_send_time")->text(), QString("2024/05/17 10:16:00"));

    // The table reaches the device with the rounded moment.
    f.d.w<QPushButton>("btn_start")->click();
    QTRY_COMPARE_WITH_TIMEOUT(f.text("label_work_statu"), QString("待发送"), waitMs);
    QVERIFY(
        tx.payloads().contains(hex("01 14 18 05 11 0A 10 00 00 0A 00 00 00 50 00 0B 00 00 00 28 00 0D 00 00 00 14")));

    // The half minute to the start moment passes on the transmitter's clock.
    tx.setClock(QDateTime(QDate(2024, 5, 17), QTime(10, 15, 58)));
    QTRY_COMPARE_WITH_TIMEOUT(f.text("label_work_statu"), QString("工作中"), waitMs);
    f.d.w<QPushButton>("btn_stop")->click();
    QTRY_COMPARE_WITH_TIMEOUT(f.text("label_work_statu"), QString("空闲"), waitMs);

    // End of the day: close and keep the settings; the next run has them back.
    f.d.close();
    TestDesk next;
    QVERIFY(next.w<QRadioButton>("rBtn_continue")->isChecked());
    QCOMPARE(next.w<QComboBox>("cmb_model_scan")->currentIndex(), 1);
    const QAbstractItemModel *table = next.w<QTableView>("tableView")->model();
    QStringList frequencies;
    for (int row = 0; row < table->rowCount(); ++row)
        frequencies << table->index(row, 1).data().toString();
    QCOMPARE(frequencies, QStringList({ "8", "4", "1" }));
}

QTEST_MAIN(WholeDayTest)
#include "tst_whole_day.moc"
