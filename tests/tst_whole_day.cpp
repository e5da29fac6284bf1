#include "txsimfield.h"

#include <QComboBox>
#include <QRadioButton>

namespace {

const int kWaitMs = 20000;

QStringList frequencies(const TestDesk &d)
{
    QStringList texts;
    for (int row = 0; row < d.tableModel->rowCount(); ++row)
        texts << d.tableModel->index(row, 1).data().toString();
    return texts;
}

QString text(const TestDesk &d, const char *name)
{
    return d.findChild<QWidget *>(name)->property("text").toString();
}

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
    // GPS lock and leap second come in while the window is already polling.
    tx.setGpsLockedAt(QDateTime::currentDateTime().addSecs(2));
    tx.setLeapDoneAt(QDateTime::currentDateTime().addSecs(3));
    // A stale entry first: the scan has to move on to the transmitter.
    const QStringList ports = { folder.file("ttyGone"), tx.portPath() };

    auto d = std::make_unique<TestDesk>();
    d->SetPortSource([ports] { return ports; });
    d->show();
    QVERIFY(QTest::qWaitForWindowExposed(d.get()));
    d->w<QPushButton>("pushButton")->click();
    QTRY_COMPARE_WITH_TIMEOUT(text(*d, "label_dev_statu"), QString("已连接"), kWaitMs);

    // Cyclic sweep, square wave: 8 Hz and 4 Hz for 10 s, 1 Hz for 20 s.
    d->w<QRadioButton>("rBtn_continue")->click();
    for (const char *frequency : { "8", "4", "1" })
        d->addRow(frequency, frequency[0] == '1' ? "20" : "10");
    d->w<QComboBox>("cmb_model_scan")->setCurrentIndex(1);
    d->w<QComboBox>("cmb_signal")->setCurrentIndex(0);

    // The GPS clock a little before a whole minute; the send time rounds to it.
    tx.setClock(QDateTime(QDate(2024, 5, 17), QTime(10, 15, 25)));
    QTRY_VERIFY_WITH_TIMEOUT(text(*d, "edt_system_time").startsWith("2024/05/17 10:15:2"), kWaitMs);
    d->w<QPushButton>("btn_round_min")->click();
    QCOMPARE(text(*d, "edt_send_time"), QString("2024/05/17 10:16:00"));

    // The table reaches the device with the rounded moment.
    {
        BoxAnswerer boxes(QMessageBox::Yes);
        d->w<QPushButton>("btn_start")->click();
        QTRY_COMPARE_WITH_TIMEOUT(text(*d, "label_work_statu"), QString("待发送"), kWaitMs);
    }
    QVERIFY(
        tx.payloads().contains(hex("01 14 18 05 11 0A 10 00 00 0A 00 00 00 50 00 0B 00 00 00 28 00 0D 00 00 00 14")));

    // The half minute to the start moment passes on the transmitter's clock.
    tx.setClock(QDateTime(QDate(2024, 5, 17), QTime(10, 15, 58)));
    QTRY_COMPARE_WITH_TIMEOUT(text(*d, "label_work_statu"), QString("工作中"), kWaitMs);
    QVERIFY(tx.isTransmitting());
    d->w<QPushButton>("btn_stop")->click();
    QTRY_COMPARE_WITH_TIMEOUT(text(*d, "label_work_statu"), QString("空闲"), kWaitMs);
    QVERIFY(!tx.isTransmitting());

    // End of the day: close and keep the settings; the next run has them back.
    {
        BoxAnswerer boxes(QMessageBox::Yes);
        d->close();
    }
    d.reset();
    d = std::make_unique<TestDesk>();
    QVERIFY(d->w<QRadioButton>("rBtn_continue")->isChecked());
    QCOMPARE(d->w<QComboBox>("cmb_model_scan")->currentIndex(), 1);
    QCOMPARE(frequencies(*d), QStringList({ "8", "4", "1" }));
}

QTEST_MAIN(WholeDayTest)
#include "tst_whole_day.moc"
