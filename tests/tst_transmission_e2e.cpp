#include "txsimfield.h"

#include <QRegularExpression>
#include <QTableView>

namespace {

// The start, stop and delay payloads the device got, in order, without the polls.
QList<QByteArray> sequence(const Transmitter &tx)
{
    QList<QByteArray> found = tx.payloads();
    found.erase(std::remove_if(found.begin(), found.end(),
                    [](const QByteArray &p) { return !hex("05 06 01 04 09").contains(p[0]); }),
        found.end());
    return found;
}

const FaultSpec kSlowOnce = { Fault::Delay, 2, 5, 400, 1 }, kRefusedOnce = { Fault::Refuse, 2, 5, 0, 1 };

const QString kMay17 = "2024/05/17 10:15:00", kStarted = "系统信息->启动成功.", kStopped = "系统信息->任务已停止.";

} // namespace

class TransmissionEndToEndTest : public QObject
{
    Q_OBJECT

private slots:
    void cleanup() { verifyWindowToldTheTruth(); }

    void startChain_data()
    {
        QTest::addColumn<QString>("output");
        QTest::addColumn<int>("signal");
        QTest::addColumn<int>("mode");
        QTest::addColumn<QString>("sendTime");
        QTest::addColumn<bool>("locked"); // GPS, with the leap second
        QTest::addColumn<QList<QByteArray>>("sent"); // empty: every question answered No
        const auto chain = [](const char *sweepMode, const char *signal, const QByteArray &parameters) {
            return QList<QByteArray> { hex(sweepMode), hex(signal), parameters };
        };
        const QByteArray may17 = hex("01 14 18 05 11 0A 0F 00");
        QTest::newRow("single 1/4096 Hz, zero passage 70 %, GPS locked")
            << "single 1/4096" << 13 << 0 << kMay17 << true
            << chain("05 80 00", "06 12", may17 + hex("00 19 7F FF FF FF"));
        // Also pressed again and edited while its chain runs.
        QTest::newRow("cyclic sweep, multi-frequency, 4 Hz for 10 s: 10 seconds")
            << "4:10" << 7 << 1 << kMay17 << false << chain("05 80 00", "06 08", may17 + hex("00 0B 00 00 00 0A"));
        QTest::newRow("single sweep, square: periods, 1/16 Hz for 10 s rounded to one")
            << "4:1 8192:0.5 1/16:10" << 0 << 0 << kMay17 << false
            << chain("05 00 00", "06 04", may17 + hex("00 0B 00 00 00 04 00 00 00 00 10 00 00 11 00 00 00 01"));
        QTest::newRow("26 rows fill the 164 bytes, after 2038")
            << QString("1:1 ").repeated(26) << 1 << 0 << "2040/02/29 23:59:59" << false
            << chain("05 00 00", "06 01", hex("01 14 28 02 1D 17 3B 3B") + hex("00 0D 00 00 00 01").repeated(26));
        QTest::newRow("GPS not locked: No") << "single 1" << 0 << 0 << kMay17 << false << QList<QByteArray>();
        QTest::newRow("passed send time: No") << "single 1" << 0 << 0 << kMay17 << true << QList<QByteArray>();
    }

    // Without GPS lock and leap second, or with a send time under 10 s ahead, Start asks first, Enter declining.
    void startChain()
    {
        QFETCH(QString, output);
        QFETCH(int, signal);
        QFETCH(int, mode);
        QFETCH(QString, sendTime);
        QFETCH(bool, locked);
        QFETCH(QList<QByteArray>, sent);
        Field f { 1, sent.isEmpty() ? QMessageBox::No : QMessageBox::Yes };
        Transmitter &tx = f.tx();
        tx.setGpsLocked(locked);
        tx.setLeapDone(locked);
        QVERIFY(f.connectAndPoll(0));
        QTRY_COMPARE(
            f.text("label_gps_lock") + f.text("label_gps_sec"), QString(locked ? "已锁定已闰秒" : "未锁定未闰秒"));
        f.choose(output, signal, sendTime, mode);
        tx.setFault(0x05, kSlowOnce);
        f.click("btn_start");
        QStringList asked;
        if (!locked)
            asked << "提示|发射机GPS未锁定/未闰秒，无法与接收机同步，是否继续发射？";
        if ((locked || !sent.isEmpty()) && sendTime == kMay17)
            asked << "提示|发送时间已过或距现在不足10秒，是否立即启动？";
        QCOMPARE(f.boxes.seen, asked);
        QCOMPARE(f.boxes.defaults.count(QMessageBox::No), asked.size());
        if (mode == 1) {
            // One chain per press, from the table as pressed: Start and the
            // table wait until the chain ends.
            QTRY_COMPARE(commandsOf(tx, 0x05), 1);
            for (const char *widget : { "btn_start", "btn_add", "btn_import", "cmb_signal", "edt_send_time" })
                QVERIFY2(!f.enabled(widget), widget);
            QCOMPARE(f.d.w<QTableView>("tableView")->editTriggers(), QAbstractItemView::NoEditTriggers);
            f.click("btn_start");
            f.d.tableModel->item(0, 1)->setText("2");
            f.d.addRow("4", "10");
        }
        QVERIFY(sent.isEmpty() ? f.usable() : QTest::qWaitFor([&] { return f.view().last() == kStarted; }, 5000));
        QCOMPARE(sequence(tx), sent);
    }

    // Each refused before anything goes out, its reason in a box (and the view); the window stays usable for the next.
    void refusedStartsAndDelays()
    {
        Field f;
        f.tx().setGpsLocked(true);
        f.tx().setLeapDone(true);
        QVERIFY(f.connectAndPoll(0));
        QTRY_COMPARE(f.text("label_gps_lock") + f.text("label_gps_sec"), QString("已锁定已闰秒"));
        const struct
        {
            QString output; // or the delay's field, for no signal
            int signal;
            const char *sendTime, *refusal;
        } refused[] = {
            { "single 1/8192", 0, "", "发送机不能产生0.00012207Hz信号，请重新设置！" },
            { "single 8192", 4, "", "第1个频率不能发送超过128Hz，请重新设置！" },
            { "4:10 1/16:5", 0, "", "周期数必须大于0且小于2147483647，请重新设置第2个频率的发送时长！" },
            { "", 0, "", "频率表不能为空！" }, { QString("4:10 ").repeated(27), 0, "", "扫频输出最多只能有26行！" },
            { "4:10", 0, "2024/05/32 10:15:00", "发送时间无效，请按yyyy/MM/dd hh:mm:ss填写真实的日期和时间！" },
            { "", -1, "", "同步延时时间为空！" }, { "32000000", -1, "", "同步延时超出范围！" }, // not sent as 0
        };
        for (const auto &r : refused) {
            const int boxes = f.boxes.seen.size();
            f.choose(r.output, qMax(r.signal, 0), r.sendTime);
            f.d.w<QLineEdit>("edt_time_delay")->setText(r.output);
            f.click(r.signal < 0 ? "btn_time_delay" : "btn_start");
            QTRY_COMPARE(f.boxes.seen.mid(boxes), QStringList("提示|" + QString(r.refusal)));
            const QStringList lines = { "系统信息->警告：启动失败！", "系统信息->" + QString(r.refusal) };
            QVERIFY2(r.signal < 0 || f.view().mid(f.view().size() - 2) == lines, r.refusal);
            QVERIFY2(f.usable(), r.refusal);
        }
        QCOMPARE(f.text("label_delay"), QString("同步延时：本次运行未设置"));
        for (const QString fits : { "12.5", "31999999.9" }) {
            f.d.w<QLineEdit>("edt_time_delay")->setText(fits);
            f.click("btn_time_delay");
            QTRY_COMPARE(f.text("label_delay"), "同步延时：" + fits + " ms（本次运行已设置）");
            QVERIFY(f.usable());
        }
        // 12.5 ms is 839 ticks of 2^26 per thousand seconds.
        QCOMPARE(sequence(f.tx()), QList<QByteArray>({ hex("09 00 00 03 47"), hex("09 7F FF FF F9") }));
    }

    void lastButtonWins_data()
    {
        QTest::addColumn<QString>("step"); // pressed before the stop
        QTest::addColumn<QList<QByteArray>>("sent");
        QTest::newRow("stop at once") << "start" << QList { hex("04") };
        QTest::newRow("stop after the sweep mode went out") << "sweep" << QList { hex("05 80 00"), hex("04") };
        QTest::newRow("stop while a delay waits its 200 ms") << "delay" << QList { hex("04") };
    }

    // A stop cancels a start or delay not sent yet; both buttons' lines reach the day's file.
    void lastButtonWins()
    {
        QFETCH(QString, step);
        Field f;
        Transmitter &tx = f.tx();
        QVERIFY(f.connectAndPoll(0));
        f.choose("single 1", 0, kMay17);
        tx.setFault(0x05, kSlowOnce);
        if (step == "delay") {
            f.d.w<QLineEdit>("edt_time_delay")->setText("1");
            f.click("btn_time_delay");
        } else {
            f.click("btn_start");
            QVERIFY(!f.enabled("btn_start") && f.enabled("btn_stop"));
        }
        if (step == "sweep")
            QTRY_COMPARE(commandsOf(tx, 0x05), 1);
        f.click("btn_stop");
        QTRY_VERIFY(f.view().contains(kStopped));
        QVERIFY(f.usable());
        QTEST(sequence(tx), "sent");
        QVERIFY(f.view().contains(step == "delay" ? "系统信息->同步延时已取消." : "系统信息->启动已取消."));
        QVERIFY(step == "delay" || (f.file().contains("启动发射") && f.file().contains("开始停止任务")));
    }

    void lostTrackOfAnArmedDevice_data()
    {
        QTest::addColumn<bool>("ahead"); // else a 2-s sweep from now, over before the link is back
        QTest::addColumn<QString>("shown"); // once the link is back
        QTest::newRow("device gone and back, its start still ahead") << true << "待发送";
        QTest::newRow("device gone for its whole run") << false << "未知";
    }

    // Pulled as the start is accepted, before a poll can see the run. Once it
    // is back, the status byte cannot tell armed from idle: a start still ahead
    // is shown waiting, one whose moment passed unseen reads unknown; Stop
    // stays usable and stops it.
    void lostTrackOfAnArmedDevice()
    {
        QFETCH(bool, ahead);
        QFETCH(QString, shown);
        Field f;
        Transmitter &tx = f.tx();
        QVERIFY(f.connectAndPoll(0));
        f.choose(ahead ? "single 1" : "4:2", 0, ahead ? tx.clock().addSecs(3600).toString("yyyy/MM/dd hh:mm:ss") : "");
        QObject::connect(f.d.logModel, &QAbstractItemModel::rowsInserted, [&] {
            if (f.view().last() == kStarted && tx.isPlugged())
                tx.unplug();
        });
        f.click("btn_start");
        QTRY_VERIFY_WITH_TIMEOUT(!tx.isPlugged() && tx.isArmed() == ahead && !tx.isTransmitting(), 8000);
        QTRY_COMPARE_WITH_TIMEOUT(f.text("label_dev_statu"), QString("连接失败"), 3000);
        QVERIFY(tx.replug());
        QTRY_COMPARE_WITH_TIMEOUT(f.text("label_dev_statu") + f.text("label_work_statu"), "已连接" + shown, 5000);
        QVERIFY(f.enabled("btn_stop"));

        f.click("btn_stop");
        QTRY_VERIFY(f.view().last() == kStopped);
        QVERIFY(!tx.isArmed());
        QTRY_COMPARE(f.text("label_work_statu"), QString("空闲"));
        QVERIFY(f.usable());
    }

    // The status bar counts down and follows the run on the transmitter's clock (not the PC's), marks the row being
    // sent, and says when the sweep ended by itself.
    void progressFollowsTheDeviceClock()
    {
        Field f;
        Transmitter &tx = f.tx();
        tx.setClock(QDateTime(QDate(2030, 1, 1), QTime(0, 0)));
        tx.setGpsLocked(true);
        tx.setLeapDone(true);
        QVERIFY(f.connectAndPoll(0));
        auto *clock = f.d.w<QLineEdit>("edt_system_time");
        QTRY_VERIFY(clock->text().startsWith("2030/01/01"));
        const QDateTime start = QDateTime::fromString(clock->text(), "yyyy/MM/dd hh:mm:ss").addSecs(4);
        const QString sendTime = start.toString("yyyy/MM/dd hh:mm:ss");
        f.choose("1:2 2:2 4:2", 0, sendTime);
        f.click("btn_start");
        QTRY_VERIFY(f.text("label_progress").startsWith("距发送 00:00:0"));
        QVERIFY(f.text("label_progress").endsWith("（" + sendTime + " 开始）"));

        // Every state painted until the end: the row shown and marked is the
        // row the device sends, give or take the clock's one-second reading.
        QSet<int> rows, repainted; // rows marked, and rows repainted across every cell
        QObject::connect(
            f.d.tableModel, &QAbstractItemModel::dataChanged, [&](const QModelIndex &a, const QModelIndex &b) {
                if (a.row() == b.row() && a.column() == 0 && b.column() == f.d.tableModel->columnCount() - 1)
                    repainted << a.row();
            });
        QString wrong;
        const auto follow = [&] {
            const QRegularExpressionMatch m = QRegularExpression("^正在发送第(\\d)行").match(f.text("label_progress"));
            const int row = m.captured(1).toInt() - 1;
            const double elapsed = start.msecsTo(tx.clock()) / 1000.0;
            if (m.hasMatch() && (qAbs(elapsed - 2 * row - 1) > 2.1 || f.d.tableModel->currentRow() != row))
                wrong = m.captured() + QString(" at %1 s").arg(elapsed);
            rows << row;
            return !wrong.isEmpty() || f.view().last().startsWith("系统信息->发射已结束 2030/01/01");
        };
        QVERIFY(QTest::qWaitFor(follow, 20000));
        QVERIFY2(wrong.isEmpty(), qPrintable(wrong));
        QCOMPARE(rows, QSet<int>({ -1, 0, 1, 2 }));
        QCOMPARE(repainted, QSet<int>({ 0, 1, 2 }));
        // The bar says so with the line, not a tick later.
        QVERIFY(f.text("label_progress").startsWith("发射已结束 2030/01/01 00:00:"));
        QCOMPARE(f.d.tableModel->currentRow(), -1);
        QCOMPARE(commandsOf(tx, 0x04), 0);
    }

    void closeWhileTheDeviceHoldsAStart_data()
    {
        QTest::addColumn<int>("answer");
        QTest::addColumn<bool>("refused"); // the stop
        QTest::newRow("Cancel") << int(QMessageBox::Cancel) << false;
        QTest::newRow("close, leave it running") << int(QMessageBox::No) << false;
        QTest::newRow("stop and close") << int(QMessageBox::Yes) << false;
        QTest::newRow("stop and close, stop refused") << int(QMessageBox::Yes) << true;
    }

    // The window asks, Enter cancelling; Stop and close closes only once the stop is confirmed.
    void closeWhileTheDeviceHoldsAStart()
    {
        QFETCH(int, answer);
        QFETCH(bool, refused);
        const bool closed = answer != QMessageBox::Cancel && !refused;
        Field f;
        Transmitter &tx = f.tx();
        QVERIFY(f.connectAndPoll(0));
        f.d.show();
        QVERIFY(f.startSingle());
        if (refused)
            tx.setFault(0x04, kRefusedOnce);
        f.boxes.answer = QMessageBox::StandardButton(answer);
        const int before = f.boxes.seen.size();
        f.d.close();
        QStringList asked = { "退出|发射机正在发射或等待发送，关闭窗口不会使其停止。" };
        if (closed)
            asked << "退出|是否保存参数?";
        QTRY_COMPARE(f.boxes.seen.mid(before), asked);
        QCOMPARE(f.boxes.defaults.at(before), QMessageBox::Cancel);
        QTRY_COMPARE(f.d.isVisible(), !closed);
        QTRY_COMPARE(commandsOf(tx, 0x04), answer == QMessageBox::Yes ? 1 : 0);
        QTRY_COMPARE(f.view().contains("系统信息->停止未成功，窗口未关闭。"), refused);
        QCOMPARE(f.file().contains("关闭窗口，发射机继续发射"), answer == QMessageBox::No);
        QCOMPARE(f.d.isVisible(), !closed);
    }
};

QTEST_MAIN(TransmissionEndToEndTest)
#include "tst_transmission_e2e.moc"
