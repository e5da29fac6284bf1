#include "txsimfield.h"

#include <QComboBox>
#include <QElapsedTimer>
#include <QRadioButton>

namespace {

// What the device got of the start, stop and delay sequences, in order, as
// payloads or as the frames on the line; the polls around them are left out.
QList<QByteArray> sequence(const Transmitter &tx, bool raw = false)
{
    const QList<QByteArray> payloads = tx.payloads(), frames = tx.rawFrames();
    QList<QByteArray> found;
    for (int i = 0; i < payloads.size(); ++i) {
        if (hex("05 06 01 04 09").contains(payloads.at(i).at(0)))
            found << (raw ? frames : payloads).at(i);
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

FaultSpec once(Fault kind, int delayMs = 0)
{
    FaultSpec spec { kind };
    spec.count = 1;
    spec.delayMs = delayMs;
    return spec;
}

const QByteArray kHeader20240517 = hex("01 14 18 05 11 0A 0F 00");
const QString kMay17 = "2024/05/17 10:15:00";
const QString kGpsQuestion = "提示|发射机GPS未锁定/未闰秒，无法与接收机同步，是否继续发射？";
const QString kStarted = "系统信息->启动成功.";

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
            auto *box = d.w<QComboBox>("cmb_freq");
            box->setCurrentIndex(box->findText(output.mid(7)));
            QVERIFY(box->currentText() == output.mid(7));
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

    // Waits until the view has shown `line` `times` times in all.
    bool viewShows(const QString &line, int times = 1)
    {
        return QTest::qWaitFor([&] { return view().count(line) >= times; }, 5000);
    }

    // The window is usable again: no sequence pending, the status poll
    // reaches the device within 2 s, the start button can be pressed.
    bool usable() { return !d.busy && !d.stepTimer->isActive() && awaitPolls(1, 2000) && enabled("btn_start"); }

    // Starts 1 Hz until stopped, from the send time (empty: now).
    bool startSingle(const QString &sendTime = QString())
    {
        choose("single 1", 0, sendTime);
        const int before = view().count(kStarted);
        click("btn_start");
        return viewShows(kStarted, before + 1);
    }
};

class TransmissionEndToEndTest : public QObject
{
    Q_OBJECT

private slots:
    void threeRowSweepReachesTheDeviceAndRuns();
    void startChainAcceptedOrRefused_data();
    void startChainAcceptedOrRefused();
    void gpsQuestion_data();
    void gpsQuestion();
    void stopRefusedThenAccepted_data();
    void stopRefusedThenAccepted();
    void pendingStartIsShownAgainAfterALostExchange_data();
    void pendingStartIsShownAgainAfterALostExchange();
    void syncDelay_data();
    void syncDelay();
    void buttonWhenTheLinkIsNotFree_data();
    void buttonWhenTheLinkIsNotFree();
};

void TransmissionEndToEndTest::threeRowSweepReachesTheDeviceAndRuns()
{
    Desk f;
    Transmitter &tx = f.tx();
    QVERIFY(f.connectAndPoll(0));
    // 1 s at 4 Hz, 0.5 s at 8192 Hz, one period of 1/2 Hz: 3.5 s in all.
    f.choose("4:1 8192:0.5 1/2:2", 0, kMay17);
    tx.setClock(QDateTime(QDate(2024, 5, 17), QTime(10, 14, 57)));
    f.click("btn_start");
    QVERIFY(f.viewShows(kStarted));

    QCOMPARE(sequence(tx, true),
        QList<QByteArray>({ hex("7E 00 03 05 00 00 79"), hex("7E 00 02 06 04 75"),
            hex("7E 00 1A 01 14 18 05 11 0A 0F 00 00 0B 00 00 00 04 00 00 00 00 10 00 00 0E 00 00 00 01 DD") }));
    const QStringList view = f.view();
    QCOMPARE(view.mid(view.indexOf("系统信息->设置扫频模式")),
        QStringList({ "系统信息->设置扫频模式", "系统信息->扫频模式设置成功.", "用户操作->启动发射...", kStarted }));
    QCOMPARE(f.text("label_work_statu"), QString("待发送"));
    QVERIFY(!f.enabled("btn_start") && f.enabled("btn_stop") && !f.enabled("cmb_signal"));
    QVERIFY(!f.d.serialPort->isOpen() && !f.d.busy && tx.isArmed());

    QTRY_COMPARE_WITH_TIMEOUT(f.text("label_work_statu"), QString("工作中"), 10000);
    QCOMPARE(f.sheet("label_work_statu"), kGreen);
    QTRY_COMPARE_WITH_TIMEOUT(f.text("label_work_statu"), QString("空闲"), 10000);
    QVERIFY(f.enabled("btn_start") && f.enabled("cmb_signal"));
}

void TransmissionEndToEndTest::startChainAcceptedOrRefused_data()
{
    QTest::addColumn<QString>("output");
    QTest::addColumn<int>("signal");
    QTest::addColumn<int>("mode");
    QTest::addColumn<QString>("sendTime");
    QTest::addColumn<int>("refusedBy"); // the device refuses this command once; 0: none
    QTest::addColumn<QString>("box"); // after the GPS question; empty: none
    QTest::addColumn<QString>("fileLine"); // where the chain ended
    QTest::addColumn<QString>("viewLine"); // the last one; empty: not looked at
    QTest::addColumn<QList<QByteArray>>("sent");

    const QByteArray may17 = kHeader20240517;
    const auto accepted = [](const char *name, const QString &output, int signal, int mode, const QString &sendTime,
                              const QList<QByteArray> &sent) {
        QTest::newRow(name) << output << signal << mode << sendTime << 0 << QString() << "启动成功" << kStarted << sent;
    };
    accepted("single 8192 Hz, square, sweep box at single sweep", "single 8192", 0, 0, kMay17,
        chain("05 80 00", "06 04", may17 + hex("00 00 7F FF FF FF")));
    accepted("single 1/4096 Hz, zero passage 70 %", "single 1/4096", 13, 0, kMay17,
        chain("05 80 00", "06 12", may17 + hex("00 19 7F FF FF FF")));
    accepted("single sweep, square, 4 Hz for 10 s: 40 periods", "4:10", 0, 0, kMay17,
        chain("05 00 00", "06 04", may17 + hex("00 0B 00 00 00 28")));
    accepted("cyclic sweep, multi-frequency, 4 Hz for 10 s: 10 seconds", "4:10", 7, 1, kMay17,
        chain("05 80 00", "06 08", may17 + hex("00 0B 00 00 00 0A")));
    accepted("1/16 Hz for 10 s rounds to one period", "1/16:10", 0, 0, kMay17,
        chain("05 00 00", "06 04", may17 + hex("00 11 00 00 00 01")));
    accepted("a start after 2038", "single 1", 0, 0, "2040/02/29 23:59:59",
        chain("05 80 00", "06 04", hex("01 14 28 02 1D 17 3B 3B 00 0D 7F FF FF FF")));
    accepted("26 rows fill the 164 bytes", QString("1:1 ").repeated(26), 1, 0, kMay17,
        chain("05 00 00", "06 01", may17 + hex("00 0D 00 00 00 01").repeated(26)));

    // The start parameters' own check, once the sweep mode and start signal went out.
    const QString warning = "系统信息->警告：启动失败！";
    const auto check = [&](const char *name, const QString &output, int signal, const QString &box,
                           const QList<QByteArray> &sent) {
        QTest::newRow(name) << output << signal << 0 << kMay17 << 0 << box << "启动参数组装失败！" << warning << sent;
    };
    const QString noPeriods = "周期数必须大于0且小于2147483647，请重新设置第%1个频率的发送时长！";
    check("1/8192 Hz is below the ladder", "single 1/8192", 0, "发送机不能产生0.00012207Hz信号，请重新设置！",
        chain("05 80 00", "06 04"));
    check("a negative frequency is not on the ladder", "-8:10", 7, "发送机不能产生-8Hz信号，请重新设置！",
        chain("05 00 00", "06 08"));
    check("8192 Hz is above a spread-spectrum wave's 128", "single 8192", 3, "第1个频率不能发送超过128Hz，请重新设置！",
        chain("05 80 00", "06 03"));
    check("1/16 Hz for 5 s is no whole period", "4:10 1/16:5", 0, noPeriods.arg(2), chain("05 00 00", "06 04"));
    check("0.4 s of a coded wave is no whole second", "4:0.4", 7, noPeriods.arg(1), chain("05 00 00", "06 08"));

    // Refused before anything is sent.
    const auto early = [](const char *name, const QString &output, const QString &sendTime, const QString &box,
                           const QString &fileLine, const QString &viewLine) {
        QTest::newRow(name) << output << 0 << 0 << sendTime << 0 << box << fileLine << viewLine << QList<QByteArray>();
    };
    const QString malformed = "发送时间无效，请按yyyy/MM/dd hh:mm:ss填写真实的日期和时间！";
    const QString tooMany = "扫频输出最多只能有26行！";
    early("empty sweep table", "", kMay17, "频率表不能为空！", "当前扫频模式且频率表为空，停止特殊设置", "");
    early("27 rows", QString("4:10 ").repeated(27), kMay17, tooMany, tooMany, warning);
    early("send time without its blank", "4:10", "2024/05/1710:15:00", malformed, malformed, warning);
    early("send time on day 32", "4:10", "2024/05/32 10:15:00", malformed, malformed, warning);

    // Refused by the device.
    const auto refused
        = [](const char *name, int code, const char *fileLine, const char *viewLine, const QList<QByteArray> &sent) {
              QTest::newRow(name) << "4:10" << 0 << 0 << kMay17 << code << QString() << fileLine << viewLine << sent;
          };
    const QList<QByteArray> all = chain("05 00 00", "06 04", may17 + hex("00 0B 00 00 00 28"));
    refused("sweep mode refused", 0x05, "扫频模式设置失败", "系统信息->扫频模式设置失败！", all.mid(0, 1));
    refused("start signal refused", 0x06, "启动信号设置失败", "系统信息->启动失败！", all.mid(0, 2));
    refused("start parameters refused", 0x01, "启动参数设置失败", "系统信息->启动失败！", all);
}

void TransmissionEndToEndTest::startChainAcceptedOrRefused()
{
    QFETCH(QString, output);
    QFETCH(int, signal);
    QFETCH(int, mode);
    QFETCH(QString, sendTime);
    QFETCH(int, refusedBy);
    QFETCH(QString, box);
    QFETCH(QString, fileLine);
    QFETCH(QString, viewLine);
    QFETCH(QList<QByteArray>, sent);

    Desk f;
    Transmitter &tx = f.tx();
    QVERIFY(f.connectAndPoll(0));
    if (refusedBy)
        tx.setFault(quint8(refusedBy), once(Fault::Refuse));
    f.choose(output, signal, sendTime, mode);
    f.click("btn_start");
    QTRY_VERIFY_WITH_TIMEOUT(f.file().contains(fileLine), 5000);
    QTRY_COMPARE(
        f.boxes.seen, box.isEmpty() ? QStringList(kGpsQuestion) : QStringList({ kGpsQuestion, "提示|" + box }));
    if (!viewLine.isEmpty())
        QCOMPARE(f.view().last(), viewLine);
    QCOMPARE(sequence(tx), sent);
    if (viewLine == kStarted)
        return;

    // Refused: the poll takes over again and a corrected start goes through.
    QVERIFY(!f.view().contains(kStarted) && !f.d.transmitting);
    QVERIFY(f.usable());
    QTRY_COMPARE(f.text("label_work_statu"), QString("空闲"));
    QVERIFY(f.startSingle());
}

void TransmissionEndToEndTest::gpsQuestion_data()
{
    QTest::addColumn<bool>("locked"); // with the leap second done
    QTest::addColumn<int>("answer");
    QTest::newRow("not locked, No cancels") << false << int(QMessageBox::No);
    QTest::newRow("not locked, Yes starts") << false << int(QMessageBox::Yes);
    QTest::newRow("locked, nothing asked") << true << int(QMessageBox::No);
}

void TransmissionEndToEndTest::gpsQuestion()
{
    QFETCH(bool, locked);
    QFETCH(int, answer);
    Desk f { QMessageBox::StandardButton(answer) };
    f.tx().setGpsLocked(locked);
    f.tx().setLeapDone(locked);
    QVERIFY(f.connectAndPoll(0));
    QTRY_VERIFY_WITH_TIMEOUT(f.d.gpsLocked == locked && f.d.gpsLeapDone == locked, 5000);
    f.choose("single 1", 0, QString());

    QElapsedTimer clock;
    clock.start();
    f.click("btn_start");
    QCOMPARE(f.boxes.seen, locked ? QStringList() : QStringList(kGpsQuestion));
    if (!locked && answer == QMessageBox::No) {
        QVERIFY(f.awaitPolls(1));
        QVERIFY(sequence(f.tx()).isEmpty());
        return;
    }
    QCOMPARE(f.file().last(), QString("启动发射"));
    // The sequence begins one 200 ms step later.
    QTRY_VERIFY(f.file().contains("更新启动参数!"));
    QVERIFY(clock.elapsed() >= 190);
    QVERIFY(f.viewShows(kStarted));
}

void TransmissionEndToEndTest::stopRefusedThenAccepted_data()
{
    QTest::addColumn<bool>("pending");
    QTest::newRow("while transmitting") << false;
    QTest::newRow("before the start moment") << true;
}

void TransmissionEndToEndTest::stopRefusedThenAccepted()
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
    QVERIFY(f.viewShows("系统信息->任务停止失败!"));
    QVERIFY(pending ? tx.isArmed() : tx.isTransmitting());
    QCOMPARE(f.text("label_work_statu"), shown);
    QVERIFY(f.d.serialPort->isOpen() && !f.d.busy); // left as it was
    QVERIFY(f.awaitPolls(1, 2000));

    f.click("btn_stop");
    QVERIFY(f.viewShows("系统信息->任务已停止."));
    QCOMPARE(sequence(tx, true).mid(3), QList<QByteArray>({ hex("7E 00 01 04 7C"), hex("7E 00 01 04 7C") }));
    QVERIFY(!tx.isArmed() && !tx.isTransmitting() && !f.d.transmitting);
    QCOMPARE(f.text("label_work_statu"), QString("空闲"));
    QVERIFY(f.enabled("btn_start") && f.enabled("cmb_signal"));
    QVERIFY(f.usable());

    // Once the label has been emptied, as a lost link does, the next status
    // must paint the idle device again, not wait for a start called off.
    f.d.ShowWorkStatus(QString(), 0);
    f.d.EnableStartStop(false, false);
    QVERIFY(f.awaitPolls(1, 2000));
    QCOMPARE(f.text("label_work_statu"), QString("空闲"));
    QVERIFY(f.enabled("btn_start"));
}

void TransmissionEndToEndTest::pendingStartIsShownAgainAfterALostExchange_data()
{
    QTest::addColumn<bool>("unplug"); // else the stop's answer comes too late
    QTest::newRow("stop answered too late") << false;
    QTest::newRow("device gone and back") << true;
}

// A start waiting for its moment, hours ahead, must not leave the window
// blank with both buttons dead once a lost exchange has painted the link
// loss: the status byte cannot tell armed from idle, so the window shows the
// start it knows of and the operator can stop it.
void TransmissionEndToEndTest::pendingStartIsShownAgainAfterALostExchange()
{
    QFETCH(bool, unplug);
    Desk f;
    Transmitter &tx = f.tx();
    QVERIFY(f.connectAndPoll(0));
    QVERIFY(f.startSingle(tx.clock().addSecs(3600).toString("yyyy/MM/dd hh:mm:ss")));
    QTRY_VERIFY_WITH_TIMEOUT(f.enabled("btn_stop") && !f.d.busy, 5000);

    if (unplug) {
        tx.unplug();
        QTRY_COMPARE_WITH_TIMEOUT(f.text("label_dev_statu"), QString("连接失败"), 3000);
        QVERIFY(tx.replug());
    } else {
        tx.setFault(0x04, once(Fault::Delay, 2600));
        f.click("btn_stop");
        QTRY_COMPARE_WITH_TIMEOUT(f.text("label_dev_statu"), QString("连接失败"), 3000);
        QVERIFY(!tx.isArmed()); // it did stop; only the answer was lost
    }
    QVERIFY(f.awaitPolls(1, 3000));
    QTRY_COMPARE_WITH_TIMEOUT(f.text("label_dev_statu"), QString("已连接"), 3000);
    QCOMPARE(f.text("label_work_statu"), QString("待发送"));
    QVERIFY(!f.enabled("btn_start") && f.enabled("btn_stop") && !f.enabled("cmb_signal"));

    f.click("btn_stop");
    QVERIFY(f.viewShows("系统信息->任务已停止."));
    QVERIFY(!tx.isArmed() && !f.d.transmitting);
    QCOMPARE(f.text("label_work_statu"), QString("空闲"));
    QVERIFY(f.usable());
}

void TransmissionEndToEndTest::syncDelay_data()
{
    QTest::addColumn<QString>("field");
    QTest::addColumn<int>("setting"); // -1: refused
    QTest::addColumn<QByteArray>("payload");
    QTest::newRow("12.5 ms") << "12.5" << 839 << hex("09 00 00 03 47");
    QTest::newRow("0.1 ms") << "0.1" << 7 << hex("09 00 00 00 07");
    QTest::newRow("the start text 0") << "0" << 0 << hex("09 00 00 00 00");
    QTest::newRow("1000 ms") << "1000" << 67109 << hex("09 00 01 06 25");
    QTest::newRow("empty field") << "" << -1 << QByteArray();
}

void TransmissionEndToEndTest::syncDelay()
{
    QFETCH(QString, field);
    QFETCH(int, setting);
    QFETCH(QByteArray, payload);

    Desk f;
    Transmitter &tx = f.tx();
    QVERIFY(f.connectAndPoll(0));
    f.d.w<QLineEdit>("edt_time_delay")->setText(field);
    if (setting < 0) {
        f.click("btn_time_delay");
        QCOMPARE(f.boxes.seen, QStringList({ "提示|同步延时时间为空！" }));
        QVERIFY(f.usable());
        QVERIFY(sequence(tx).isEmpty());
        return;
    }
    QTest::ignoreMessage(QtDebugMsg, qPrintable(QString("\"%1\"").arg(setting)));
    f.click("btn_time_delay");
    QVERIFY(f.viewShows("系统信息->同步延时设置成功."));
    QCOMPARE(sequence(tx), QList<QByteArray>({ payload }));
    QVERIFY(f.usable());
}

void TransmissionEndToEndTest::buttonWhenTheLinkIsNotFree_data()
{
    QTest::addColumn<QString>("button");
    QTest::addColumn<bool>("unplugged"); // else a slow status answer is still awaited
    QTest::newRow("start, device unplugged") << "btn_start" << true;
    QTest::newRow("stop, device unplugged") << "btn_stop" << true;
    QTest::newRow("delay, device unplugged") << "btn_time_delay" << true;
    QTest::newRow("start during a status exchange") << "btn_start" << false;
    QTest::newRow("stop during a status exchange") << "btn_stop" << false;
}

void TransmissionEndToEndTest::buttonWhenTheLinkIsNotFree()
{
    QFETCH(QString, button);
    QFETCH(bool, unplugged);
    Desk f;
    Transmitter &tx = f.tx();
    QVERIFY(f.connectAndPoll(1));
    f.choose("single 1", 0, kMay17);
    if (unplugged) {
        tx.unplug();
        QTRY_COMPARE_WITH_TIMEOUT(f.text("label_dev_statu"), QString("连接失败"), 5000);
        QTRY_VERIFY(!f.d.serialPort->isOpen());
        tx.clearRecord();
        f.click(qPrintable(button));
        QVERIFY(f.viewShows("系统信息->" + f.d.serialPort->portName() + "重新打开失败"));
        QVERIFY(!f.d.busy && !f.d.stepTimer->isActive());

        QVERIFY(tx.replug());
        QTRY_COMPARE_WITH_TIMEOUT(f.text("label_dev_statu"), QString("已连接"), 3000);
        QVERIFY(sequence(tx).isEmpty());
        QVERIFY(f.usable());
        QVERIFY(f.startSingle());
        return;
    }

    tx.setFault(0x07, once(Fault::Delay, 600));
    const int polls = commandsOf(tx, 0x07);
    QTRY_VERIFY_WITH_TIMEOUT(commandsOf(tx, 0x07) > polls, 3000);
    QVERIFY(f.d.responseTimer->isActive() && f.d.CommandState == 5);
    f.click(qPrintable(button));
    const bool start = button == "btn_start";
    QVERIFY(f.viewShows(start ? kStarted : "系统信息->任务已停止."));
    QVERIFY(!f.view().contains(start ? "系统信息->扫频模式设置失败！" : "系统信息->任务停止失败!"));
    // The sequence went out after the slow status answer, not into its exchange.
    const QList<quint8> codes = commandCodes(tx);
    const int sequenceAt = codes.indexOf(start ? 0x05 : 0x04);
    QVERIFY(sequenceAt > 0 && codes.mid(0, sequenceAt).count(0x07) >= polls + 1);
}

QTEST_MAIN(TransmissionEndToEndTest)
#include "tst_transmission_e2e.moc"
