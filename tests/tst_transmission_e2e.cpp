#include "txsimfield.h"

#include <QComboBox>
#include <QElapsedTimer>
#include <QRadioButton>

using Rows = QList<QPair<QString, QString>>; // frequency and sending-time texts
Q_DECLARE_METATYPE(Rows)

namespace {

const QList<quint8> kSequenceCodes = { 0x05, 0x06, 0x01, 0x04, 0x09 };

// What the device got of the start, stop and delay sequences, in order; the
// status and GPS time polls around them are left out.
QList<QByteArray> sequencePayloads(const Transmitter &tx)
{
    QList<QByteArray> found;
    for (const QByteArray &payload : tx.payloads()) {
        if (kSequenceCodes.contains(quint8(payload.at(0))))
            found << payload;
    }
    return found;
}

QList<QByteArray> sequenceFrames(const Transmitter &tx)
{
    const QList<QByteArray> payloads = tx.payloads();
    const QList<QByteArray> raw = tx.rawFrames();
    QList<QByteArray> found;
    for (int i = 0; i < payloads.size(); ++i) {
        if (kSequenceCodes.contains(quint8(payloads.at(i).at(0))))
            found << raw.at(i);
    }
    return found;
}

QList<quint8> sequenceCodes(const Transmitter &tx)
{
    QList<quint8> codes;
    for (const QByteArray &payload : sequencePayloads(tx))
        codes << quint8(payload.at(0));
    return codes;
}

const QByteArray kHeader20240517 = hex("01 14 18 05 11 0A 0F 00");
const QString kGpsQuestion = "提示|发射机GPS未锁定/未闰秒，无法与接收机同步，是否继续发射？";

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

    // Connected and the version read: the poll timer runs.
    bool ready()
    {
        scan();
        return QTest::qWaitFor([&] { return d.pollTimer->isActive(); }, 10000);
    }

    void single(const QString &frequency, int signal)
    {
        d.w<QRadioButton>("rBtn_single")->click();
        auto *box = d.w<QComboBox>("cmb_freq");
        box->setCurrentIndex(box->findText(frequency));
        QVERIFY(box->currentText() == frequency);
        d.w<QComboBox>("cmb_signal")->setCurrentIndex(signal);
    }

    void sweep(const Rows &rows, int signal, int mode)
    {
        d.w<QRadioButton>("rBtn_continue")->click();
        d.tableModel->clearRows();
        for (const auto &row : rows)
            d.addRow(row.first, row.second);
        d.w<QComboBox>("cmb_signal")->setCurrentIndex(signal);
        d.w<QComboBox>("cmb_model_scan")->setCurrentIndex(mode);
    }

    void setSendTime(const QString &text) { d.w<QLineEdit>("edt_send_time")->setText(text); }
    void click(const char *button) { d.w<QPushButton>(button)->click(); }
    bool enabled(const char *button) const { return d.w<QPushButton>(button)->isEnabled(); }

    // Waits until the view has shown `line` `times` times in all.
    bool viewShows(const QString &line, int times = 1, int timeoutMs = 5000)
    {
        return QTest::qWaitFor([&] { return view().count(line) >= times; }, timeoutMs);
    }

    // The window is usable again: no sequence pending, the status poll
    // reaches the device within 2 s, the start button can be pressed.
    bool usable() { return !d.busy && !d.stepTimer->isActive() && awaitPolls(1, 2000) && enabled("btn_start"); }

    // Starts a transmission that runs until stopped, from now.
    bool startSingle()
    {
        single("1", 0);
        setSendTime(QString());
        const int before = view().count("系统信息->启动成功.");
        click("btn_start");
        return viewShows("系统信息->启动成功.", before + 1);
    }
};

class TransmissionEndToEndTest : public QObject
{
    Q_OBJECT

private slots:
    void threeRowSweepReachesTheDeviceAndRuns();
    void startChainPayloads_data();
    void startChainPayloads();
    void startParameterCheckFails_data();
    void startParameterCheckFails();
    void deviceRefusalEndsTheChainUsably_data();
    void deviceRefusalEndsTheChainUsably();
    void refusedBeforeAnythingIsSent();
    void gpsQuestion_data();
    void gpsQuestion();
    void lockedGpsAsksNothingAndWaits200ms();
    void stopAcceptedAndRefused();
    void acceptedStopCallsOffAPendingStart();
    void linkDownLeavesTheWindowUsable_data();
    void linkDownLeavesTheWindowUsable();
    void syncDelay_data();
    void syncDelay();
    void syncDelayEmptyOrRefused();
    void buttonDuringAnOpenPollWaitsForItsAnswer_data();
    void buttonDuringAnOpenPollWaitsForItsAnswer();
};

void TransmissionEndToEndTest::threeRowSweepReachesTheDeviceAndRuns()
{
    Desk f;
    Transmitter &tx = f.tx();
    QVERIFY(f.ready());
    // 1 s at 4 Hz, 0.5 s at 8192 Hz, one period of 1/2 Hz: 3.5 s in all.
    f.sweep({ { "4", "1" }, { "8192", "0.5" }, { "1/2", "2" } }, 0, 0);
    f.setSendTime("2024/05/17 10:15:00");
    tx.setClock(QDateTime(QDate(2024, 5, 17), QTime(10, 14, 57)));
    f.click("btn_start");
    QVERIFY(f.viewShows("系统信息->启动成功."));

    QCOMPARE(sequenceFrames(tx),
        QList<QByteArray>({ hex("7E 00 03 05 00 00 79"), hex("7E 00 02 06 04 75"),
            hex("7E 00 1A 01 14 18 05 11 0A 0F 00 00 0B 00 00 00 04 00 00 00 00 10 00 00 0E 00 00 00 01 DD") }));
    QCOMPARE(f.boxes.seen, QStringList({ kGpsQuestion }));
    QCOMPARE(f.text("label_work_statu"), QString("待发送"));
    QVERIFY(!f.enabled("btn_start"));
    QVERIFY(f.enabled("btn_stop"));
    QVERIFY(!f.d.w<QComboBox>("cmb_signal")->isEnabled());
    QVERIFY(!f.d.serialPort->isOpen());
    QVERIFY(!f.d.busy);
    QVERIFY(tx.isArmed());

    const QStringList view = f.view();
    QCOMPARE(view.mid(view.indexOf("系统信息->设置扫频模式")),
        QStringList({ "系统信息->设置扫频模式", "系统信息->扫频模式设置成功.", "用户操作->启动发射...",
            "系统信息->启动成功." }));
    const QStringList file = f.file();
    QCOMPARE(file.mid(file.indexOf("启动发射")).filter(QRegularExpression("^(?!串口)")),
        QStringList(
            { "启动发射", "更新启动参数!", "启动参数更新完成!", "启动扫频模式设置", "设置单次扫频", "扫频模式设置成功",
                "设置信号频率", "启动信号设置成功", "设置启动参数", "启动参数组装成功，开始发送", "启动成功" }));

    QTRY_COMPARE_WITH_TIMEOUT(f.text("label_work_statu"), QString("工作中"), 10000);
    QCOMPARE(f.sheet("label_work_statu"), kGreen);
    QTRY_COMPARE_WITH_TIMEOUT(f.text("label_work_statu"), QString("空闲"), 10000);
    QVERIFY(f.enabled("btn_start"));
    QVERIFY(f.d.w<QComboBox>("cmb_signal")->isEnabled());
}

void TransmissionEndToEndTest::startChainPayloads_data()
{
    QTest::addColumn<bool>("single");
    QTest::addColumn<QString>("frequency");
    QTest::addColumn<Rows>("rows");
    QTest::addColumn<int>("signal");
    QTest::addColumn<int>("mode");
    QTest::addColumn<QString>("sendTime");
    QTest::addColumn<QByteArray>("sweepMode");
    QTest::addColumn<QString>("modeLine");
    QTest::addColumn<QByteArray>("startSignal");
    QTest::addColumn<QByteArray>("parameters");

    const QString may17 = "2024/05/17 10:15:00";
    QTest::newRow("single 8192 Hz, square, sweep box at single sweep")
        << true << "8192" << Rows() << 0 << 0 << may17 << hex("05 80 00") << "设置循环扫频" << hex("06 04")
        << kHeader20240517 + hex("00 00 7F FF FF FF");
    QTest::newRow("single 1/4096 Hz, zero passage 70 %")
        << true << "1/4096" << Rows() << 13 << 0 << may17 << hex("05 80 00") << "设置循环扫频" << hex("06 12")
        << kHeader20240517 + hex("00 19 7F FF FF FF");
    QTest::newRow("single sweep, square, 4 Hz for 10 s: 40 periods")
        << false << "" << Rows { { "4", "10" } } << 0 << 0 << may17 << hex("05 00 00") << "设置单次扫频" << hex("06 04")
        << kHeader20240517 + hex("00 0B 00 00 00 28");
    QTest::newRow("cyclic sweep, multi-frequency, 4 Hz for 10 s: 10 seconds")
        << false << "" << Rows { { "4", "10" } } << 7 << 1 << may17 << hex("05 80 00") << "设置循环扫频" << hex("06 08")
        << kHeader20240517 + hex("00 0B 00 00 00 0A");
    QTest::newRow("1/16 Hz for 10 s rounds to one period")
        << false << "" << Rows { { "1/16", "10" } } << 0 << 0 << may17 << hex("05 00 00") << "设置单次扫频"
        << hex("06 04") << kHeader20240517 + hex("00 11 00 00 00 01");
    QTest::newRow("a frequency repeated, 2.6 s at 4 Hz: 10 periods")
        << false << "" << Rows { { "4", "10" }, { "4", "2.6" } } << 0 << 0 << may17 << hex("05 00 00") << "设置单次扫频"
        << hex("06 04") << kHeader20240517 + hex("00 0B 00 00 00 28 00 0B 00 00 00 0A");
    QTest::newRow("a start after 2038") << true << "1" << Rows() << 0 << 0 << "2040/02/29 23:59:59" << hex("05 80 00")
                                        << "设置循环扫频" << hex("06 04")
                                        << hex("01 14 28 02 1D 17 3B 3B 00 0D 7F FF FF FF");

    Rows full;
    QByteArray entries;
    for (int i = 0; i < 26; ++i) {
        full << qMakePair(QString("1"), QString("1"));
        entries += hex("00 0D 00 00 00 01");
    }
    QTest::newRow("26 rows fill the 164 bytes") << false << "" << full << 1 << 0 << may17 << hex("05 00 00")
                                                << "设置单次扫频" << hex("06 01") << kHeader20240517 + entries;
}

void TransmissionEndToEndTest::startChainPayloads()
{
    QFETCH(bool, single);
    QFETCH(QString, frequency);
    QFETCH(Rows, rows);
    QFETCH(int, signal);
    QFETCH(int, mode);
    QFETCH(QString, sendTime);
    QFETCH(QByteArray, sweepMode);
    QFETCH(QString, modeLine);
    QFETCH(QByteArray, startSignal);
    QFETCH(QByteArray, parameters);

    Desk f;
    QVERIFY(f.ready());
    if (single)
        f.single(frequency, signal);
    else
        f.sweep(rows, signal, mode);
    f.setSendTime(sendTime);
    f.click("btn_start");
    QVERIFY(f.viewShows("系统信息->启动成功."));
    QCOMPARE(sequencePayloads(f.tx()), QList<QByteArray>({ sweepMode, startSignal, parameters }));
    QVERIFY(parameters.size() <= 164);
    QVERIFY(f.file().contains(modeLine));
    QCOMPARE(f.d.w<QLineEdit>("edt_send_time")->text(), sendTime);
}

void TransmissionEndToEndTest::startParameterCheckFails_data()
{
    QTest::addColumn<bool>("single");
    QTest::addColumn<QString>("frequency");
    QTest::addColumn<Rows>("rows");
    QTest::addColumn<int>("signal");
    QTest::addColumn<QString>("message");

    QTest::newRow("1/8192 Hz is below the ladder")
        << true << "1/8192" << Rows() << 0 << "发送机不能产生0.00012207Hz信号，请重新设置！";
    QTest::newRow("3 Hz is not on the ladder")
        << false << "" << Rows { { "4", "10" }, { "3", "10" } } << 0 << "发送机不能产生3Hz信号，请重新设置！";
    QTest::newRow("a negative frequency is not on the ladder")
        << false << "" << Rows { { "-8", "10" } } << 7 << "发送机不能产生-8Hz信号，请重新设置！";
    QTest::newRow("8192 Hz is above a spread-spectrum wave's 128")
        << true << "8192" << Rows() << 3 << "第1个频率不能发送超过128Hz，请重新设置！";
    QTest::newRow("1/16 Hz for 5 s is no whole period")
        << false << "" << Rows { { "4", "10" }, { "1/16", "5" } } << 0
        << "周期数必须大于0且小于2147483647，请重新设置第2个频率的发送时长！";
    QTest::newRow("0.4 s of a coded wave is no whole second")
        << false << "" << Rows { { "4", "0.4" } } << 7
        << "周期数必须大于0且小于2147483647，请重新设置第1个频率的发送时长！";
}

void TransmissionEndToEndTest::startParameterCheckFails()
{
    QFETCH(bool, single);
    QFETCH(QString, frequency);
    QFETCH(Rows, rows);
    QFETCH(int, signal);
    QFETCH(QString, message);

    Desk f;
    QVERIFY(f.ready());
    if (single)
        f.single(frequency, signal);
    else
        f.sweep(rows, signal, 0);
    f.setSendTime("2024/05/17 10:15:00");
    f.click("btn_start");
    QTRY_COMPARE(f.boxes.seen, QStringList({ kGpsQuestion, "提示|" + message }));

    // The sweep mode and the start signal went out, the parameters did not.
    QCOMPARE(sequenceCodes(f.tx()), QList<quint8>({ 0x05, 0x06 }));
    QCOMPARE(f.view().last(), QString("系统信息->警告：启动失败！"));
    QCOMPARE(f.file().last(), QString("启动参数组装失败！"));
    QVERIFY(f.usable());
    QTRY_COMPARE(f.text("label_work_statu"), QString("空闲"));

    // Corrected, it starts.
    QVERIFY(f.startSingle());
}

void TransmissionEndToEndTest::deviceRefusalEndsTheChainUsably_data()
{
    QTest::addColumn<int>("command");
    QTest::addColumn<int>("fault");
    QTest::addColumn<QList<quint8>>("sent");
    QTest::addColumn<QString>("viewLine");
    QTest::addColumn<QString>("fileLine");

    QTest::newRow("sweep mode refused") << 0x05 << int(Fault::Refuse) << QList<quint8> { 0x05 }
                                        << "系统信息->扫频模式设置失败！"
                                        << "扫频模式设置失败";
    QTest::newRow("start signal refused")
        << 0x06 << int(Fault::Refuse) << QList<quint8> { 0x05, 0x06 } << "系统信息->启动失败！"
        << "启动信号设置失败";
    QTest::newRow("start parameters refused")
        << 0x01 << int(Fault::Refuse) << QList<quint8> { 0x05, 0x06, 0x01 } << "系统信息->启动失败！"
        << "启动参数设置失败";
    QTest::newRow("start signal unanswered") << 0x06 << int(Fault::NoAnswer) << QList<quint8> { 0x05, 0x06 } << ""
                                             << "命令超时";
}

void TransmissionEndToEndTest::deviceRefusalEndsTheChainUsably()
{
    QFETCH(int, command);
    QFETCH(int, fault);
    QFETCH(QList<quint8>, sent);
    QFETCH(QString, viewLine);
    QFETCH(QString, fileLine);

    Desk f;
    Transmitter &tx = f.tx();
    QVERIFY(f.ready());
    FaultSpec once { Fault(fault) };
    once.count = 1;
    tx.setFault(quint8(command), once);
    f.sweep({ { "4", "10" } }, 0, 0);
    f.setSendTime("2024/05/17 10:15:00");
    f.click("btn_start");
    QTRY_VERIFY_WITH_TIMEOUT(f.file().contains(fileLine), 5000);
    if (!viewLine.isEmpty())
        QCOMPARE(f.view().last(), viewLine);
    QCOMPARE(sequenceCodes(tx), sent);
    QVERIFY(!f.view().contains("系统信息->启动成功."));
    QVERIFY(!f.d.transmitting);

    // The poll repaints the window, even after a time-out turned it red.
    QVERIFY(f.usable());
    QTRY_COMPARE(f.text("label_dev_statu"), QString("已连接"));
    QTRY_COMPARE(f.text("label_work_statu"), QString("空闲"));

    f.click("btn_start");
    QVERIFY(f.viewShows("系统信息->启动成功."));
    QCOMPARE(f.text("label_work_statu"), QString("待发送"));
}

void TransmissionEndToEndTest::refusedBeforeAnythingIsSent()
{
    Desk f;
    Transmitter &tx = f.tx();
    QVERIFY(f.ready());

    struct Case
    {
        int rows;
        QString sendTime;
        QString box;
    };
    const QString malformed = "提示|发送时间无效，请按yyyy/MM/dd hh:mm:ss填写真实的日期和时间！";
    const QList<Case> cases = {
        { 0, "2024/05/17 10:15:00", "提示|频率表不能为空！" },
        { 27, "2024/05/17 10:15:00", "提示|扫频输出最多只能有26行！" },
        { 1, "2024/05/1710:15:00", malformed },
        { 1, "2024/05/17 10:15", malformed },
        { 1, "abcd/05/17 10:15:00", malformed },
        { 1, "2024/13/17 10:15:00", malformed },
        { 1, "2024/05/32 10:15:00", malformed },
        { 1, "2024/05/17 24:00:00", malformed },
        { 1, "2024/05/17 10:60:00", malformed },
        { 1, "2024/05/17 10:15:60", malformed },
    };
    for (const Case &c : cases) {
        Rows rows;
        for (int i = 0; i < c.rows; ++i)
            rows << qMakePair(QString("4"), QString("10"));
        f.sweep(rows, 0, 0);
        f.setSendTime(c.sendTime);
        f.boxes.seen.clear();
        f.click("btn_start");
        QTRY_COMPARE(f.boxes.seen, QStringList({ kGpsQuestion, c.box }));
        QVERIFY2(sequenceCodes(tx).isEmpty(), qPrintable(c.sendTime));
        // A status poll may be open when the box closes; it ends on its own.
        QTRY_VERIFY2(!f.d.busy && f.d.linkIdle, qPrintable(c.sendTime));
        QVERIFY(!f.d.stepTimer->isActive());
    }
    QVERIFY(f.usable());
    QVERIFY(f.file().contains("当前扫频模式且频率表为空，停止特殊设置"));
    QVERIFY(f.file().contains("扫频输出最多只能有26行！"));
    QCOMPARE(f.view().count("系统信息->警告：启动失败！"), cases.size() - 1);
    QVERIFY(!f.d.w<QLineEdit>("edt_send_time")->text().isEmpty());

    // A correct time in the past is still sent.
    f.sweep({ { "4", "10" } }, 0, 0);
    f.setSendTime("2024/05/17 10:15:00");
    f.click("btn_start");
    QVERIFY(f.viewShows("系统信息->启动成功."));
    QCOMPARE(sequencePayloads(tx).last(), kHeader20240517 + hex("00 0B 00 00 00 28"));
}

void TransmissionEndToEndTest::gpsQuestion_data()
{
    QTest::addColumn<bool>("yes");
    QTest::newRow("No cancels") << false;
    QTest::newRow("Yes starts") << true;
}

void TransmissionEndToEndTest::gpsQuestion()
{
    QFETCH(bool, yes);
    Desk f(yes ? QMessageBox::Yes : QMessageBox::No);
    QVERIFY(f.ready());
    f.single("1", 0);

    int stateBefore = -1, stateAfter = -1;
    bool busyAfter = true, timerAfter = true;
    QVERIFY(f.betweenPolls([&] {
        stateBefore = f.d.CommandState;
        f.click("btn_start");
        stateAfter = f.d.CommandState;
        busyAfter = f.d.busy;
        timerAfter = f.d.stepTimer->isActive();
        return true;
    }));
    QCOMPARE(f.boxes.seen, QStringList({ kGpsQuestion }));
    if (!yes) {
        QCOMPARE(stateAfter, stateBefore);
        QVERIFY(!busyAfter);
        QVERIFY(!timerAfter);
        QVERIFY(!f.file().contains("启动发射"));
        QVERIFY(f.awaitPolls(1));
        QVERIFY(sequenceCodes(f.tx()).isEmpty());
        return;
    }
    QCOMPARE(stateAfter, 4);
    QVERIFY(busyAfter);
    QVERIFY(timerAfter);
    QVERIFY(f.viewShows("系统信息->启动成功."));
}

void TransmissionEndToEndTest::lockedGpsAsksNothingAndWaits200ms()
{
    Desk f;
    Transmitter &tx = f.tx();
    tx.setGpsLocked(true);
    tx.setLeapDone(true);
    QVERIFY(f.ready());
    QTRY_VERIFY_WITH_TIMEOUT(f.d.gpsLocked && f.d.gpsLeapDone, 5000);
    f.single("1", 0);
    f.setSendTime("2024/05/17 10:15:00");

    QElapsedTimer clock;
    clock.start();
    f.click("btn_start");
    QCOMPARE(f.file().last(), QString("启动发射"));
    QTRY_VERIFY(f.file().contains("更新启动参数!"));
    QVERIFY(clock.elapsed() >= 190);
    QVERIFY(f.viewShows("系统信息->启动成功."));
    QVERIFY(f.boxes.seen.isEmpty());
}

void TransmissionEndToEndTest::stopAcceptedAndRefused()
{
    Desk f;
    Transmitter &tx = f.tx();
    QVERIFY(f.ready());
    QVERIFY(f.startSingle());
    QTRY_COMPARE_WITH_TIMEOUT(f.text("label_work_statu"), QString("工作中"), 5000);

    FaultSpec once { Fault::Refuse };
    once.count = 1;
    tx.setFault(0x04, once);
    f.click("btn_stop");
    QVERIFY(f.viewShows("系统信息->任务停止失败!"));
    QCOMPARE(f.file().last(), QString("停止任务失败"));
    QVERIFY(tx.isTransmitting());
    QVERIFY(f.d.serialPort->isOpen()); // left as it was
    QVERIFY(!f.d.busy);
    QCOMPARE(f.text("label_work_statu"), QString("工作中"));
    QVERIFY(f.awaitPolls(1, 2000));

    f.click("btn_stop");
    QVERIFY(f.viewShows("系统信息->任务已停止."));
    QCOMPARE(sequencePayloads(tx).mid(3), QList<QByteArray>({ hex("04"), hex("04") }));
    QCOMPARE(sequenceFrames(tx).last(), hex("7E 00 01 04 7C"));
    QVERIFY(!tx.isTransmitting());
    QCOMPARE(f.text("label_work_statu"), QString("空闲"));
    QVERIFY(f.enabled("btn_start"));
    QVERIFY(f.d.w<QComboBox>("cmb_signal")->isEnabled());
    QVERIFY(!f.d.serialPort->isOpen());
    QVERIFY(f.file().contains("停止任务成功"));
    QVERIFY(f.usable());
    QCOMPARE(f.text("label_work_statu"), QString("空闲"));
}

void TransmissionEndToEndTest::acceptedStopCallsOffAPendingStart()
{
    Desk f;
    Transmitter &tx = f.tx();
    QVERIFY(f.ready());
    f.single("1", 0);
    f.setSendTime(tx.clock().addSecs(3600).toString("yyyy/MM/dd hh:mm:ss"));
    f.click("btn_start");
    QVERIFY(f.viewShows("系统信息->启动成功."));
    QCOMPARE(f.text("label_work_statu"), QString("待发送"));
    QVERIFY(tx.isArmed());

    f.click("btn_stop");
    QVERIFY(f.viewShows("系统信息->任务已停止."));
    QVERIFY(!tx.isArmed());
    QVERIFY(!f.d.transmitting);

    // Once the label has been emptied, as a lost link does, the next status
    // must paint the idle device again, not wait for a start called off.
    f.d.ShowWorkStatus(QString(), 0);
    f.d.EnableStartStop(false, false);
    QVERIFY(f.awaitPolls(1, 2000));
    QCOMPARE(f.text("label_work_statu"), QString("空闲"));
    QVERIFY(f.enabled("btn_start"));
}

void TransmissionEndToEndTest::linkDownLeavesTheWindowUsable_data()
{
    QTest::addColumn<QString>("button");
    QTest::newRow("start") << "btn_start";
    QTest::newRow("stop") << "btn_stop";
    QTest::newRow("delay") << "btn_time_delay";
}

void TransmissionEndToEndTest::linkDownLeavesTheWindowUsable()
{
    QFETCH(QString, button);
    Desk f;
    Transmitter &tx = f.tx();
    QVERIFY(f.ready());
    f.single("1", 0);
    f.setSendTime("2024/05/17 10:15:00");
    QVERIFY(f.awaitPolls(1));

    tx.unplug();
    QTRY_COMPARE_WITH_TIMEOUT(f.text("label_dev_statu"), QString("连接失败"), 5000);
    QTRY_VERIFY(!f.d.serialPort->isOpen());
    const QString name = f.d.serialPort->portName();
    tx.clearRecord();
    f.click(qPrintable(button));
    QVERIFY(f.viewShows("系统信息->" + name + "重新打开失败"));
    QVERIFY(f.file().contains("端口重新打开失败"));
    QVERIFY(!f.d.busy);
    QVERIFY(!f.d.stepTimer->isActive());

    QVERIFY(tx.replug());
    QTRY_COMPARE_WITH_TIMEOUT(f.text("label_dev_statu"), QString("已连接"), 3000);
    QVERIFY(sequenceCodes(tx).isEmpty());
    QVERIFY(f.usable());
    f.click("btn_start");
    QVERIFY(f.viewShows("系统信息->启动成功."));
}

void TransmissionEndToEndTest::syncDelay_data()
{
    QTest::addColumn<QString>("field");
    QTest::addColumn<int>("setting");
    QTest::addColumn<QByteArray>("payload");
    QTest::newRow("12.5 ms") << "12.5" << 839 << hex("09 00 00 03 47");
    QTest::newRow("0.1 ms") << "0.1" << 7 << hex("09 00 00 00 07");
    QTest::newRow("the start text 0") << "0" << 0 << hex("09 00 00 00 00");
    QTest::newRow("1000 ms") << "1000" << 67109 << hex("09 00 01 06 25");
}

void TransmissionEndToEndTest::syncDelay()
{
    QFETCH(QString, field);
    QFETCH(int, setting);
    QFETCH(QByteArray, payload);

    Desk f;
    Transmitter &tx = f.tx();
    QVERIFY(f.ready());
    f.d.w<QLineEdit>("edt_time_delay")->setText(field);
    QTest::ignoreMessage(QtDebugMsg, qPrintable(QString("\"%1\"").arg(setting)));
    f.click("btn_time_delay");
    QVERIFY(f.viewShows("系统信息->同步延时设置成功."));
    QCOMPARE(sequencePayloads(tx), QList<QByteArray>({ payload }));
    QCOMPARE(tx.lastDelay(), setting);
    QCOMPARE(f.d.delaySetting, setting);
    QCOMPARE(f.file().count("设置同步延时"), 2);
    QVERIFY(f.file().contains("同步延时设置成功"));
    QVERIFY(!f.d.serialPort->isOpen());
    QVERIFY(f.usable());
}

void TransmissionEndToEndTest::syncDelayEmptyOrRefused()
{
    Desk f;
    Transmitter &tx = f.tx();
    QVERIFY(f.ready());
    auto *field = f.d.w<QLineEdit>("edt_time_delay");

    field->clear();
    f.click("btn_time_delay");
    QCOMPARE(f.boxes.seen, QStringList({ "提示|同步延时时间为空！" }));
    QVERIFY(!f.d.busy);
    QVERIFY(!f.d.stepTimer->isActive());
    QVERIFY(!f.file().contains("设置同步延时"));

    FaultSpec once { Fault::Refuse };
    once.count = 1;
    tx.setFault(0x09, once);
    field->setText("12.5");
    QTest::ignoreMessage(QtDebugMsg, "\"839\"");
    f.click("btn_time_delay");
    QVERIFY(f.viewShows("系统信息->同步延时设置失败！"));
    QVERIFY(f.file().contains("同步延时设置失败"));
    QCOMPARE(sequenceCodes(tx), QList<quint8>({ 0x09 }));
    QVERIFY(!f.d.serialPort->isOpen());
    QVERIFY(f.usable());
}

void TransmissionEndToEndTest::buttonDuringAnOpenPollWaitsForItsAnswer_data()
{
    QTest::addColumn<QString>("button");
    QTest::addColumn<QString>("success");
    QTest::addColumn<QString>("failure");
    QTest::newRow("start") << "btn_start"
                           << "系统信息->启动成功."
                           << "系统信息->扫频模式设置失败！";
    QTest::newRow("stop") << "btn_stop"
                          << "系统信息->任务已停止."
                          << "系统信息->任务停止失败!";
}

void TransmissionEndToEndTest::buttonDuringAnOpenPollWaitsForItsAnswer()
{
    QFETCH(QString, button);
    QFETCH(QString, success);
    QFETCH(QString, failure);

    Desk f;
    Transmitter &tx = f.tx();
    QVERIFY(f.ready());
    f.single("1", 0);
    f.setSendTime("2024/05/17 10:15:00");
    QVERIFY(f.awaitPolls(1));

    FaultSpec slow { Fault::Delay };
    slow.delayMs = 600;
    slow.count = 1;
    tx.setFault(0x07, slow);
    const int polls = commandsOf(tx, 0x07);
    QTRY_VERIFY_WITH_TIMEOUT(commandsOf(tx, 0x07) > polls, 3000);
    QVERIFY(f.d.responseTimer->isActive());
    QCOMPARE(f.d.CommandState, 5);
    f.click(qPrintable(button));

    QVERIFY(f.viewShows(success));
    QVERIFY(!f.view().contains(failure));
    // The sequence went out after the slow status answer, not into its exchange.
    const QList<quint8> codes = commandCodes(tx);
    const int sequence = codes.indexOf(button == "btn_start" ? 0x05 : 0x04);
    QVERIFY(sequence > 0);
    QVERIFY(codes.mid(0, sequence).count(0x07) >= polls + 1);
}

QTEST_MAIN(TransmissionEndToEndTest)
#include "tst_transmission_e2e.moc"
