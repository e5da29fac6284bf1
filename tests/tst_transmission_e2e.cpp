#include "txsimfield.h"

#include <QComboBox>
#include <QRadioButton>
#include <QRegularExpression>
#include <QTableView>

namespace {

// The payloads of the start, stop and delay sequences the device got, in
// order; the polls around them are left out.
QList<QByteArray> sequence(const Transmitter &tx)
{
    QList<QByteArray> found;
    for (const QByteArray &payload : tx.payloads()) {
        if (hex("05 06 01 04 09").contains(payload.at(0)))
            found << payload;
    }
    return found;
}

// The start sequence's payloads as far as it went.
QList<QByteArray> chain(const char *sweepMode, const char *startSignal, const QByteArray &parameters = QByteArray())
{
    QList<QByteArray> payloads = { hex(sweepMode), hex(startSignal) };
    if (!parameters.isEmpty())
        payloads << parameters;
    return payloads;
}

// The next matching command only.
FaultSpec once(Fault kind, int delayMs = 0)
{
    return { kind, 2, 5, delayMs, 1 };
}

const QString kMay17 = "2024/05/17 10:15:00";
const QString kGpsQuestion = "提示|发射机GPS未锁定/未闰秒，无法与接收机同步，是否继续发射？";
const QString kSendTimeQuestion = "提示|发送时间已过或距现在不足10秒，是否立即启动？";
const QString kStarted = "系统信息->启动成功.";
const QString kStopped = "系统信息->任务已停止.";
enum Gps { Asked, Declined, Locked }; // Locked: with the leap second done

} // namespace

// A connected desk whose message boxes are answered as they open: the GPS
// question with `answer`, every other box with its only button.
struct Desk : Field
{
    BoxAnswerer boxes;

    explicit Desk(QMessageBox::StandardButton answer = QMessageBox::Yes)
        : boxes(answer)
    {
    }

    // "single 8" is single-frequency output at 8 Hz; anything else lists the
    // rows of a sweep as "frequency:seconds", separated by blanks.
    void choose(const QString &output, int signal, const QString &sendTime, int mode = 0)
    {
        if (output.startsWith("single ")) {
            d.w<QRadioButton>("rBtn_single")->click();
            d.w<QComboBox>("cmb_freq")->setCurrentText(output.mid(7));
            QVERIFY(d.w<QComboBox>("cmb_freq")->currentText() == output.mid(7));
        } else {
            d.w<QRadioButton>("rBtn_continue")->click();
            d.tableModel->clearRows();
            for (const QString &row : output.split(' ', Qt::SkipEmptyParts))
                d.addRow(row.section(':', 0, 0), row.section(':', 1));
        }
        d.w<QComboBox>("cmb_signal")->setCurrentIndex(signal);
        d.w<QComboBox>("cmb_model_scan")->setCurrentIndex(mode);
        d.w<QLineEdit>("edt_send_time")->setText(sendTime);
    }

    void click(const char *button) { d.w<QPushButton>(button)->click(); }
    bool enabled(const char *widget) const { return d.w<QWidget>(widget)->isEnabled(); }

    // The window is usable again: no sequence pending, the status poll
    // reaches the device within 2 s, the start button can be pressed.
    bool usable() { return !d.busy && !d.stepTimer->isActive() && awaitPolls(1, 2000) && enabled("btn_start"); }

    // Starts 1 Hz until stopped, from the send time (empty: now).
    bool startSingle(const QString &sendTime = QString())
    {
        choose("single 1", 0, sendTime);
        const int before = view().count(kStarted);
        click("btn_start");
        return QTest::qWaitFor([&] { return view().count(kStarted) > before; }, 5000);
    }
};

class TransmissionEndToEndTest : public QObject
{
    Q_OBJECT

private slots:
    void cleanup() { verifyWindowToldTheTruth(); }
    void startChainAcceptedOrRefused_data()
    {
        QTest::addColumn<QString>("output");
        QTest::addColumn<int>("signal");
        QTest::addColumn<int>("mode");
        QTest::addColumn<QString>("sendTime");
        QTest::addColumn<int>("gps");
        QTest::addColumn<QString>("box"); // after the GPS question; empty: none
        QTest::addColumn<QString>("viewLine"); // the last one; empty: none
        QTest::addColumn<QList<QByteArray>>("sent");

        const QByteArray may17 = hex("01 14 18 05 11 0A 0F 00");
        const auto accepted = [](const char *name, const QString &output, int signal, int mode, const QString &sendTime,
                                  const QList<QByteArray> &sent) {
            QTest::newRow(name) << output << signal << mode << sendTime << int(Asked) << QString() << kStarted << sent;
        };
        accepted("single 8192 Hz, square, sweep box at single sweep", "single 8192", 0, 0, kMay17,
            chain("05 80 00", "06 04", may17 + hex("00 00 7F FF FF FF")));
        accepted("single 1/4096 Hz, zero passage 70 %", "single 1/4096", 13, 0, kMay17,
            chain("05 80 00", "06 12", may17 + hex("00 19 7F FF FF FF")));
        accepted("cyclic sweep, multi-frequency, 4 Hz for 10 s: 10 seconds", "4:10", 7, 1, kMay17,
            chain("05 80 00", "06 08", may17 + hex("00 0B 00 00 00 0A")));
        accepted("1/16 Hz for 10 s rounds to one period", "1/16:10", 0, 0, kMay17,
            chain("05 00 00", "06 04", may17 + hex("00 11 00 00 00 01")));
        accepted("single sweep, square: periods of 4 Hz for 1 s, 8192 Hz for 0.5 s, 1/2 Hz for 2 s",
            "4:1 8192:0.5 1/2:2", 0, 0, kMay17,
            chain("05 00 00", "06 04", may17 + hex("00 0B 00 00 00 04 00 00 00 00 10 00 00 0E 00 00 00 01")));
        accepted("a start after 2038", "single 1", 0, 0, "2040/02/29 23:59:59",
            chain("05 80 00", "06 04", hex("01 14 28 02 1D 17 3B 3B 00 0D 7F FF FF FF")));
        accepted("26 rows fill the 164 bytes", QString("1:1 ").repeated(26), 1, 0, kMay17,
            chain("05 00 00", "06 01", may17 + hex("00 0D 00 00 00 01").repeated(26)));

        // The start parameters' own checks, before anything goes out.
        const QString warning = "系统信息->警告：启动失败！";
        const auto check = [&](const char *name, const QString &output, int signal, const QString &box,
                               const QList<QByteArray> &sent) {
            QTest::newRow(name) << output << signal << 0 << kMay17 << int(Asked) << box << warning << sent;
        };
        check("1/8192 Hz is below the ladder", "single 1/8192", 0, "发送机不能产生0.00012207Hz信号，请重新设置！", {});
        check("8192 Hz is above a spread-spectrum wave's 128", "single 8192", 3,
            "第1个频率不能发送超过128Hz，请重新设置！", {});
        check("1/16 Hz for 5 s is no whole period", "4:10 1/16:5", 0,
            "周期数必须大于0且小于2147483647，请重新设置第2个频率的发送时长！", {});

        // Refused before anything is sent.
        const auto early = [](const char *name, const QString &output, const QString &sendTime, const QString &box,
                               const QString &viewLine) {
            QTest::newRow(name) << output << 0 << 0 << sendTime << int(Asked) << box << viewLine << QList<QByteArray>();
        };
        early("empty sweep table", "", kMay17, "频率表不能为空！", warning);
        early("27 rows", QString("4:10 ").repeated(27), kMay17, "扫频输出最多只能有26行！", warning);
        early("send time on day 32", "4:10", "2024/05/32 10:15:00",
            "发送时间无效，请按yyyy/MM/dd hh:mm:ss填写真实的日期和时间！", warning);

        // Without GPS lock and leap second the operator is asked first.
        QTest::newRow("GPS not locked, No cancels")
            << "single 1" << 0 << 0 << kMay17 << int(Declined) << QString() << QString() << QList<QByteArray>();
        QTest::newRow("GPS locked, nothing asked")
            << "single 1" << 0 << 0 << kMay17 << int(Locked) << QString() << kStarted
            << chain("05 80 00", "06 04", may17 + hex("00 0D 7F FF FF FF"));
    }

    void startChainAcceptedOrRefused()
    {
        QFETCH(QString, output);
        QFETCH(int, signal);
        QFETCH(int, mode);
        QFETCH(QString, sendTime);
        QFETCH(int, gps);
        QFETCH(QString, box);
        QFETCH(QString, viewLine);
        QFETCH(QList<QByteArray>, sent);

        Desk f { gps == Declined ? QMessageBox::No : QMessageBox::Yes };
        Transmitter &tx = f.tx();
        tx.setGpsLocked(gps == Locked);
        tx.setLeapDone(gps == Locked);
        QVERIFY(f.connectAndPoll(0));
        QTRY_VERIFY(f.d.gpsLocked == (gps == Locked) && f.d.gpsLeapDone == (gps == Locked));
        f.choose(output, signal, sendTime, mode);
        f.click("btn_start");
        QStringList boxes = gps == Locked ? QStringList() : QStringList(kGpsQuestion);
        const QDateTime at = QDateTime::fromString(sendTime, "yyyy/MM/dd hh:mm:ss");
        if (gps != Declined && at.isValid() && at < QDateTime::currentDateTime().addSecs(10))
            boxes << kSendTimeQuestion;
        if (!box.isEmpty())
            boxes << "提示|" + box;
        QTRY_COMPARE(f.boxes.seen, boxes);
        // A refusal's reason follows it in the view, as in its box.
        const QStringList lines
            = viewLine == kStarted ? QStringList(viewLine) : QStringList({ viewLine, "系统信息->" + box });
        if (!viewLine.isEmpty())
            QTRY_COMPARE(f.view().mid(f.view().size() - lines.size()), lines);
        // Refused: the poll takes over again, with nothing more sent.
        QVERIFY(viewLine == kStarted || f.usable());
        QCOMPARE(sequence(tx), sent);
        if (viewLine == kStarted)
            return;

        // A corrected start goes through.
        QVERIFY(!f.view().contains(kStarted) && !f.d.transmitting);
        QVERIFY(gps == Declined || f.startSingle());
    }

    void stopRefusedThenAccepted_data()
    {
        QTest::addColumn<bool>("pending");
        QTest::newRow("while transmitting") << false;
        QTest::newRow("before the start moment") << true;
    }

    void stopRefusedThenAccepted()
    {
        QFETCH(bool, pending);
        Desk f;
        Transmitter &tx = f.tx();
        QVERIFY(f.connectAndPoll(0));
        QVERIFY(f.startSingle(pending ? tx.clock().addSecs(3600).toString("yyyy/MM/dd hh:mm:ss") : QString()));
        const QString shown = pending ? "待发送" : "工作中";
        QTRY_COMPARE_WITH_TIMEOUT(f.text("label_work_statu"), shown, 5000);

        tx.setFault(0x04, once(Fault::Refuse));
        f.click("btn_stop");
        QTRY_VERIFY(f.view().contains("系统信息->任务停止失败!"));
        QVERIFY(pending ? tx.isArmed() : tx.isTransmitting());
        QCOMPARE(f.text("label_work_statu"), shown);
        QVERIFY(f.d.serialPort->isOpen() && !f.d.busy); // left as it was
        QVERIFY(f.awaitPolls(1, 2000));

        f.click("btn_stop");
        QTRY_VERIFY(f.view().contains(kStopped));
        QCOMPARE(sequence(tx).mid(3), QList<QByteArray>({ hex("04"), hex("04") }));
        QVERIFY(!tx.isArmed() && !tx.isTransmitting() && !f.d.transmitting);
        QVERIFY(f.usable());

        // Once the label has been emptied, as a lost link does, the next status
        // must paint the idle device again, not wait for a start called off.
        f.d.ShowWorkStatus(QString(), ColourBlack);
        f.d.EnableStartStop(false, false);
        QVERIFY(f.awaitPolls(1, 2000));
        QCOMPARE(f.text("label_work_statu"), QString("空闲"));
        QVERIFY(f.enabled("btn_start"));
    }

    void pendingStartIsShownAgainAfterALostExchange_data()
    {
        QTest::addColumn<bool>("unplug"); // else the stop's answer comes too late
        QTest::addColumn<bool>("runEnds"); // a 2-s sweep from now, over before the link is back
        QTest::newRow("stop answered too late") << false << false;
        QTest::newRow("device gone and back") << true << false;
        QTest::newRow("device gone for its whole run") << true << true;
    }

    // A start waiting for its moment, hours ahead, must not leave the window
    // blank with both buttons dead once a lost exchange has painted the link
    // loss: the status byte cannot tell armed from idle, so the window shows the
    // start it knows of and the operator can stop it.
    void pendingStartIsShownAgainAfterALostExchange()
    {
        QFETCH(bool, unplug);
        QFETCH(bool, runEnds);
        Desk f;
        Transmitter &tx = f.tx();
        QVERIFY(f.connectAndPoll(0));
        if (runEnds) {
            // Pulled as the start is accepted, before any poll can see the run.
            f.choose("4:2", 0, QString());
            QObject::connect(f.d.logModel, &QAbstractItemModel::rowsInserted, [&] {
                if (f.view().last() == kStarted && tx.isPlugged())
                    tx.unplug();
            });
            f.click("btn_start");
            QTRY_VERIFY_WITH_TIMEOUT(!tx.isPlugged() && !tx.isArmed() && !tx.isTransmitting(), 8000);
        } else {
            QVERIFY(f.startSingle(tx.clock().addSecs(3600).toString("yyyy/MM/dd hh:mm:ss")));
            QTRY_VERIFY_WITH_TIMEOUT(f.enabled("btn_stop") && !f.d.busy, 5000);
        }

        if (unplug) {
            if (tx.isPlugged())
                tx.unplug();
            QTRY_COMPARE_WITH_TIMEOUT(f.text("label_dev_statu"), QString("连接失败"), 3000);
            QVERIFY(tx.replug());
        } else {
            tx.setFault(0x04, once(Fault::Delay, 2600));
            f.click("btn_stop");
            QTRY_COMPARE_WITH_TIMEOUT(f.text("label_dev_statu"), QString("连接失败"), 3000);
            QVERIFY(!tx.isArmed()); // it did stop; only the answer was lost
            QCOMPARE(f.view().mid(f.view().size() - 2),
                QStringList({ "系统信息->停止未确认！", "系统信息->发射机状态未知！" }));
            QVERIFY(f.enabled("btn_stop"));
        }
        QVERIFY(f.awaitPolls(1, 3000));
        QTRY_COMPARE_WITH_TIMEOUT(f.text("label_dev_statu"), QString("已连接"), 3000);
        // The status cannot tell armed from idle: a start still known is
        // shown waiting, one a lost stop may have called off is unknown, and
        // so is one whose moment has passed without a run being seen.
        QTRY_COMPARE_WITH_TIMEOUT(f.text("label_work_statu"), QString(unplug && !runEnds ? "待发送" : "未知"), 5000);
        QVERIFY(f.enabled("btn_stop"));

        f.click("btn_stop");
        QTRY_VERIFY(f.view().contains(kStopped));
        QVERIFY(!tx.isArmed() && !f.d.transmitting);
        QCOMPARE(f.text("label_work_statu"), QString("空闲"));
        QVERIFY(f.usable());
    }

    void lostStartAnswerIsStopped_data()
    {
        QTest::addColumn<int>("startFault");
        QTest::addColumn<int>("stopFault");
        QTest::addColumn<bool>("pulled"); // the moment the start parameters reach the device
        QTest::addColumn<QStringList>("ending"); // the view's last lines once the window is sure
        const QString unknown = "系统信息->启动结果未知，发送停止命令.", stopped = kStopped;
        const int none = int(Fault::None), late = int(Fault::Delay);
        QTest::newRow("no answer") << int(Fault::NoAnswer) << none << false << QStringList { unknown, stopped };
        QTest::newRow("answer after its time-out") << late << none << false << QStringList { unknown, stopped };
        QTest::newRow("answer in the next exchange")
            << int(Fault::Late) << none << false << QStringList { unknown, stopped };
        QTest::newRow("garbled answer") << int(Fault::WrongStartByte) << none << false
                                        << QStringList { "系统信息->警告：异常！", unknown, stopped };
        QTest::newRow("pulled, stopped once back")
            << none << none << true << QStringList { "系统信息->发射机状态未知！", stopped };
        QTest::newRow("the stop is lost too")
            << late << int(Fault::NoAnswer) << false
            << QStringList { unknown, "系统信息->停止未确认！", "系统信息->发射机状态未知！" };
    }

    // Armed an hour ahead, the device would transmit while the window showed
    // it idle: a start of unknown outcome is stopped, or the window says the
    // state is unknown and keeps Stop usable.
    void lostStartAnswerIsStopped()
    {
        QFETCH(int, startFault);
        QFETCH(int, stopFault);
        QFETCH(bool, pulled);
        QFETCH(QStringList, ending);
        Desk f;
        Transmitter &tx = f.tx();
        QVERIFY(f.connectAndPoll(0));
        f.choose("single 1", 0, tx.clock().addSecs(3600).toString("yyyy/MM/dd hh:mm:ss"));
        tx.setFault(0x01, once(Fault(startFault), 2600));
        tx.setFault(0x04, once(Fault(stopFault)));
        if (pulled) {
            connect(&tx, &Transmitter::commandReceived, &tx, [&](const QByteArray &payload) {
                if (payload.at(0) == 0x01)
                    tx.unplug();
            });
        }
        const int from = f.view().size();
        f.click("btn_start");
        if (pulled) {
            QTRY_VERIFY_WITH_TIMEOUT(f.view().mid(from).contains(ending.first()), 8000);
            QVERIFY(tx.isArmed() && !f.d.transmitting);
            QVERIFY(tx.replug());
        }
        QTRY_VERIFY_WITH_TIMEOUT(f.view().mid(from).endsWith(ending.last()), 8000);
        const QStringList view = f.view().mid(from);
        QCOMPARE(view.mid(view.size() - ending.size()), ending);
        QVERIFY(!view.contains(kStarted));
        QVERIFY(!f.d.transmitting);
        if (stopFault == int(Fault::None)) {
            QVERIFY(!tx.isArmed());
            QVERIFY(f.usable());
            QCOMPARE(f.text("label_work_statu"), QString("空闲"));
            return;
        }
        // Armed still, and the window does not claim otherwise.
        QVERIFY(tx.isArmed() && f.enabled("btn_stop"));
        QVERIFY(f.awaitPolls(1, 3000));
        QTRY_COMPARE(f.text("label_work_statu") + f.sheet("label_work_statu"), "未知" + kRed);
        f.click("btn_stop");
        QTRY_VERIFY(f.view().last() == kStopped);
        QVERIFY(!tx.isArmed());
        QVERIFY(f.awaitPolls(1, 3000));
        QCOMPARE(f.text("label_work_statu"), QString("空闲"));
    }

    void lastButtonWins_data()
    {
        QTest::addColumn<QString>("stopWhen");
        QTest::addColumn<QList<QByteArray>>("sent");
        QTest::newRow("stop at once") << "at once" << QList<QByteArray> { hex("04") };
        QTest::newRow("stop with a status exchange open") << "poll open" << QList<QByteArray> { hex("04") };
        QTest::newRow("stop after the sweep mode went out")
            << "sweep sent" << QList<QByteArray> { hex("05 80 00"), hex("04") };
        QTest::newRow("stop while a delay waits its 200 ms") << "delay waits" << QList<QByteArray> { hex("04") };
    }

    // A stop cancels a start not sent yet, whatever exchange is open; both
    // buttons' lines reach the day's file though the last exchange was a poll.
    void lastButtonWins()
    {
        QFETCH(QString, stopWhen);
        QFETCH(QList<QByteArray>, sent);
        Desk f;
        Transmitter &tx = f.tx();
        QVERIFY(f.connectAndPoll(1));
        QTRY_VERIFY(!f.d.responseTimer->isActive() && f.d.CommandState == StateDeviceStatus);
        f.choose("single 1", 0, kMay17);
        if (stopWhen == "poll open") {
            tx.setFault(0x07, once(Fault::Delay, 600));
            QVERIFY(f.awaitPolls(0) && QTest::qWaitFor([&] { return f.d.responseTimer->isActive(); }, 3000));
        }
        tx.setFault(0x05, once(Fault::Delay, 400));
        if (stopWhen == "delay waits") {
            f.d.w<QLineEdit>("edt_time_delay")->setText("1");
            f.click("btn_time_delay");
            f.click("btn_stop");
            QTRY_VERIFY(f.view().contains(kStopped));
            QVERIFY(f.usable());
            QCOMPARE(sequence(tx), sent);
            QVERIFY(f.view().contains("系统信息->同步延时已取消."));
            return;
        }
        f.click("btn_start");
        QVERIFY(!f.enabled("btn_start") && f.enabled("btn_stop"));
        if (stopWhen == "sweep sent")
            QTRY_COMPARE(commandsOf(tx, 0x05), 1);
        f.click("btn_stop");
        QTRY_VERIFY(f.view().contains(kStopped));
        QVERIFY(f.usable());
        QCOMPARE(sequence(tx), sent);
        QVERIFY(f.view().contains("系统信息->启动已取消.") && !f.view().contains(kStarted));
        QVERIFY(!tx.isArmed() && !tx.isTransmitting());
        const QStringList file = f.file();
        QVERIFY(file.contains("启动发射") && file.contains("开始停止任务"));
    }

    // One start chain per press, sent from the table as it was pressed:
    // Start and the table wait until the chain ends.
    void chainSendsTheTableAsPressed()
    {
        Desk f;
        Transmitter &tx = f.tx();
        QVERIFY(f.connectAndPoll(0));
        f.choose("1:20", 0, kMay17);
        tx.setFault(0x05, once(Fault::Delay, 400));
        f.click("btn_start");
        QTRY_COMPARE(commandsOf(tx, 0x05), 1);
        for (const char *locked : { "btn_start", "btn_add", "btn_import", "cmb_signal", "edt_send_time" })
            QVERIFY2(!f.enabled(locked), locked);
        QCOMPARE(f.d.w<QTableView>("tableView")->editTriggers(), QAbstractItemView::NoEditTriggers);
        f.click("btn_start");
        f.d.tableModel->item(0, 1)->setText("2");
        f.d.addRow("4", "10");
        QTRY_VERIFY(f.view().contains(kStarted));
        QCOMPARE(sequence(tx), chain("05 00 00", "06 04", hex("01 14 18 05 11 0A 0F 00 00 0D 00 00 00 14")));
    }

    // The status bar follows the run on the transmitter's clock (not the
    // PC's), marks the row being sent, and says when the sweep ended by itself.
    void progressFollowsTheDeviceClock()
    {
        Desk f;
        Transmitter &tx = f.tx();
        tx.setClock(QDateTime(QDate(2030, 1, 1), QTime(0, 0)));
        tx.setGpsLocked(true);
        tx.setLeapDone(true);
        QVERIFY(f.connectAndPoll(1));
        auto *clock = f.d.w<QLineEdit>("edt_system_time");
        QTRY_VERIFY(clock->text().startsWith("2030/01/01"));
        TimeUtil time;
        const QString sendTime = time.FormatTime(time.AddSeconds(time.ParseTime(clock->text()), 4));
        f.choose("1:2 2:2 4:2", 0, sendTime);
        f.click("btn_start");
        QCOMPARE(f.boxes.seen, QStringList({ kSendTimeQuestion }));
        QTRY_VERIFY(f.text("label_progress").startsWith("距发送 00:00:0"));
        QVERIFY(f.text("label_progress").endsWith("（" + sendTime + " 开始）"));

        // Every state painted until the end: the row shown is the row the
        // device is sending, give or take the clock's one-second reading.
        const QDateTime start = QDateTime::fromString(sendTime, "yyyy/MM/dd hh:mm:ss");
        QSet<int> rows;
        QString wrong;
        QVERIFY(QTest::qWaitFor(
            [&] {
                const QString text = f.text("label_progress");
                const QRegularExpressionMatch m = QRegularExpression("^正在发送第(\\d)行").match(text);
                if (m.hasMatch()) {
                    const int row = m.captured(1).toInt() - 1;
                    const double elapsed = start.msecsTo(tx.clock()) / 1000.0;
                    if (elapsed < 2 * row - 1.1 || elapsed > 2 * row + 3.1 || f.d.tableModel->currentRow() != row)
                        wrong
                            = QString("%1 at %2 s, marked %3").arg(text).arg(elapsed).arg(f.d.tableModel->currentRow());
                    rows << row;
                }
                return !wrong.isEmpty() || f.view().join('\n').contains("发射已结束");
            },
            20000));
        QVERIFY2(wrong.isEmpty(), qPrintable(wrong));
        QCOMPARE(rows, QSet<int>({ 0, 1, 2 }));
        QVERIFY(f.text("label_progress").startsWith("发射已结束 2030/01/01 00:00:"));
        QCOMPARE(f.d.tableModel->currentRow(), -1);
        QCOMPARE(commandsOf(tx, 0x04), 0);
    }

    // Before a step that cannot be undone the window asks, with the safe
    // answer on Enter; Stop itself never asks.
    void guardsAskBeforeIrreversibleSteps_data()
    {
        QTest::addColumn<QString>("step");
        QTest::addColumn<int>("answer");
        QTest::addColumn<QStringList>("asked");
        QTest::addColumn<int>("chains");
        QTest::addColumn<int>("stops");
        QTest::addColumn<bool>("closed");
        const QString sendTime = kSendTimeQuestion;
        const QString gps = kGpsQuestion;
        const QString running = "退出|发射机正在发射或等待发送，关闭窗口不会使其停止。";
        const QString save = "退出|是否保存参数?";
        const int no = QMessageBox::No, yes = QMessageBox::Yes;
        QTest::newRow("passed send time: No") << "start" << no << QStringList { sendTime } << 0 << 0 << false;
        QTest::newRow("passed send time: Yes") << "start" << yes << QStringList { sendTime } << 1 << 0 << false;
        QTest::newRow("GPS not locked: No") << "start unlocked" << no << QStringList { gps } << 0 << 0 << false;
        QTest::newRow("close while sending: Cancel")
            << "close" << int(QMessageBox::Cancel) << QStringList { running } << 1 << 0 << false;
        QTest::newRow("close, leave it running") << "close" << no << QStringList { running, save } << 1 << 0 << true;
        QTest::newRow("stop and close") << "close" << yes << QStringList { running, save } << 1 << 1 << true;
        QTest::newRow("stop and close, stop refused")
            << "close refused" << yes << QStringList { running } << 1 << 1 << false;
        QTest::newRow("close when idle: only the save question")
            << "close idle" << no << QStringList { save } << 0 << 0 << true;
    }
    void guardsAskBeforeIrreversibleSteps()
    {
        QFETCH(QString, step);
        QFETCH(int, answer);
        QFETCH(QStringList, asked);
        Desk f { QMessageBox::StandardButton(answer) };
        Transmitter &tx = f.tx();
        tx.setGpsLocked(!step.endsWith("unlocked"));
        tx.setLeapDone(true);
        QVERIFY(f.connectAndPoll(1));
        f.d.show();
        if (step.startsWith("start")) {
            f.choose("single 1", 0, f.d.w<QLineEdit>("edt_system_time")->text());
            if (step == "start unlocked")
                f.d.w<QLineEdit>("edt_send_time")->clear();
            f.click("btn_start");
        } else {
            if (step != "close idle") {
                f.boxes.answer = QMessageBox::Yes;
                QVERIFY(f.startSingle());
                QTRY_VERIFY(tx.isTransmitting());
                f.boxes.answer = QMessageBox::StandardButton(answer);
            }
            if (step == "close refused")
                tx.setFault(0x04, once(Fault::Refuse));
            f.boxes.seen.clear();
            f.boxes.defaults.clear();
            f.d.close();
        }
        QFETCH(bool, closed);
        QTRY_COMPARE(f.boxes.seen, asked);
        QTRY_COMPARE(f.d.isVisible(), !closed);
        QFETCH(int, chains);
        QTRY_COMPARE(commandsOf(tx, 0x01), chains);
        QFETCH(int, stops);
        QTRY_COMPARE(commandsOf(tx, 0x04), stops);
        // Enter answers the guards with the step not taken.
        const QMessageBox::StandardButton safe = step.startsWith("close") ? QMessageBox::Cancel : QMessageBox::No;
        if (asked.first() != "退出|是否保存参数?")
            QCOMPARE(f.boxes.defaults.first(), safe);
        QTRY_COMPARE(f.view().contains("系统信息->停止未成功，窗口未关闭。"), step == "close refused");
        QCOMPARE(f.d.isVisible(), !closed);
    }

    void syncDelay_data()
    {
        QTest::addColumn<QString>("field");
        QTest::addColumn<QByteArray>("payload"); // empty: refused
        QTest::addColumn<QString>("box");
        QTest::newRow("12.5 ms rounds to 839 ticks") << "12.5" << hex("09 00 00 03 47") << QString();
        QTest::newRow("1000 ms: 67109 ticks") << "1000" << hex("09 00 01 06 25") << QString();
        QTest::newRow("the largest that fits") << "31999999.9" << hex("09 7F FF FF F9") << QString();
        QTest::newRow("empty field") << "" << QByteArray() << "提示|同步延时时间为空！";
        QTest::newRow("beyond four bytes, not sent as 0") << "32000000" << QByteArray() << "提示|同步延时超出范围！";
    }

    void syncDelay()
    {
        QFETCH(QString, field);
        QFETCH(QByteArray, payload);
        QFETCH(QString, box);
        Desk f;
        QVERIFY(f.connectAndPoll(0));
        f.d.w<QLineEdit>("edt_time_delay")->setText(field);
        f.click("btn_time_delay");
        if (payload.isEmpty())
            QCOMPARE(f.boxes.seen, QStringList({ box }));
        else
            QTRY_VERIFY(f.view().contains("系统信息->同步延时设置成功."));
        QVERIFY(f.usable());
        QCOMPARE(f.text("label_delay"),
            payload.isEmpty() ? QString("同步延时：本次运行未设置") : "同步延时：" + field + " ms（本次运行已设置）");
        QCOMPARE(f.view().contains("系统信息->同步延时已设置为" + field + " ms"), !payload.isEmpty());
        QCOMPARE(sequence(f.tx()), payload.isEmpty() ? QList<QByteArray>() : QList<QByteArray>({ payload }));
    }

    void buttonWhenTheLinkIsNotFree_data()
    {
        QTest::addColumn<QString>("button");
        QTest::addColumn<bool>("unplugged"); // else a slow status answer is still awaited
        QTest::newRow("start, device unplugged") << "btn_start" << true;
        QTest::newRow("stop, device unplugged") << "btn_stop" << true;
        QTest::newRow("start during a status exchange") << "btn_start" << false;
        QTest::newRow("stop during a status exchange") << "btn_stop" << false;
    }

    void buttonWhenTheLinkIsNotFree()
    {
        QFETCH(QString, button);
        QFETCH(bool, unplugged);
        Desk f;
        Transmitter &tx = f.tx();
        QVERIFY(f.connectAndPoll(1));
        f.choose("single 1", 0, kMay17);
        if (unplugged) {
            tx.unplug();
            QTRY_VERIFY_WITH_TIMEOUT(!f.d.serialPort->isOpen(), 5000);
            tx.clearRecord();
            f.click(qPrintable(button));
            QTRY_VERIFY(f.view().contains("系统信息->" + f.d.serialPort->portName() + "重新打开失败"));
            QVERIFY(!f.d.busy && !f.d.stepTimer->isActive());

            QVERIFY(tx.replug());
            QTRY_COMPARE_WITH_TIMEOUT(f.text("label_dev_statu"), QString("已连接"), 3000);
            QVERIFY(sequence(tx).isEmpty());
            QVERIFY(f.usable());
            return;
        }

        tx.setFault(0x07, once(Fault::Delay, 600));
        const int polls = commandsOf(tx, 0x07);
        QTRY_VERIFY_WITH_TIMEOUT(commandsOf(tx, 0x07) > polls, 3000);
        QVERIFY(f.d.responseTimer->isActive() && f.d.CommandState == StateDeviceStatus);
        f.click(qPrintable(button));
        const bool start = button == "btn_start";
        QTRY_VERIFY(f.view().contains(start ? kStarted : kStopped));
        // The sequence went out after the slow status answer, not into its exchange.
        const QList<quint8> codes = commandCodes(tx);
        const int sequenceAt = codes.indexOf(start ? 0x05 : 0x04);
        QVERIFY(sequenceAt > 0 && codes.mid(0, sequenceAt).count(0x07) >= polls + 1);
    }
};

QTEST_MAIN(TransmissionEndToEndTest)
#include "tst_transmission_e2e.moc"
