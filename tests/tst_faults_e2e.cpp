#include "txsimfield.h"

#include <iterator>

// Every command of the link meets every way a device or its cable can fail,
// and after each the window must tell the truth, poll again and let the
// operator start a transmission without a restart.

// The window should tell the truth within 3 s. The time-out counts 10 ms ticks,
// which stretch on a loaded machine (CI runs suites side by side), so the
// waits allow twice that before calling it a failure.
constexpr int kTruthMs = 6000;

namespace {

// What the desk should make of the exchange.
enum Outcome { Answered, Refused, Silent, Garbled };

struct Trouble
{
    const char *name;
    FaultSpec fault; // kind, pieces, pause, delay; once
    Outcome outcome;
    bool vanish; // the device is pulled the moment the command reaches it
};

const Trouble kTroubles[] = {
    { "no answer", { Fault::NoAnswer, 2, 5, 0, 1 }, Silent, false },
    // At once: in before the program's first 10 ms look.
    { "at once, within the first tick", { Fault::None, 2, 5, 0, 1 }, Answered, false },
    { "wrong first byte", { Fault::WrongStartByte, 2, 5, 0, 1 }, Garbled, false },
    // Three pieces spread over several 10 ms ticks.
    { "in pieces", { Fault::Split, 3, 60, 0, 1 }, Answered, false },
    { "late, 1.5 s", { Fault::Delay, 2, 5, 1500, 1 }, Answered, false },
    { "late, 2.6 s", { Fault::Delay, 2, 5, 2600, 1 }, Silent, false },
    { "late, into the next exchange", { Fault::Late, 2, 5, 0, 1 }, Silent, false },
    { "refused", { Fault::Refuse, 2, 5, 0, 1 }, Refused, false },
    { "extra bytes", { Fault::ExtraBytes, 2, 5, 0, 1 }, Answered, false },
    { "device vanishes", { Fault::NoAnswer, 2, 5, 0, 1 }, Silent, true },
};

// Where each command's result shows, by outcome: "view:" a log view line
// since the command, "file:" a log file line since then, or a label's text.
struct CommandCase
{
    quint8 code;
    const char *name;
    const char *shows[4]; // by Outcome; empty: nothing to look for
};

const char *const kLost = "label_dev_statu:连接失败";
const char *const kGarbled = "view:系统信息->警告：异常！";
const char *const kStarted = "view:系统信息->启动成功.";
const char *const kFailed = "view:系统信息->启动失败！";
const char *const kUnknown = "view:系统信息->启动结果未知，发送停止命令.";
const CommandCase kCommands[] = {
    { 0x02, "connection test", { "view:系统信息->端口连接成功.", "view:系统信息->端口连接成功.", kLost, kGarbled } },
    { 0x0A, "version",
        { "lbVersion:V2.1_2019-06-03", "lbVersion:获取失败", "lbVersion:获取失败", "lbVersion:获取失败" } },
    { 0x07, "status", { "label_work_statu:空闲", "label_work_statu:空闲", kLost, "" } },
    // A lost GPS time alone paints nothing; the next status poll tells.
    { 0x03, "GPS time", { "file:GPS时间解析成功", "file:GPS时间获取失败", "file:命令超时", "file:命令返回异常!" } },
    { 0x05, "sweep mode", { kStarted, "view:系统信息->扫频模式设置失败！", kFailed, kFailed } },
    { 0x06, "start signal", { kStarted, kFailed, kFailed, kFailed } },
    // The device may have taken it: the window stops it rather than guess.
    { 0x01, "start parameters", { kStarted, kFailed, kUnknown, kUnknown } },
    { 0x04, "stop",
        { "view:系统信息->任务已停止.", "view:系统信息->任务停止失败!", "view:系统信息->停止未确认！", kGarbled } },
    { 0x09, "delay", { "view:系统信息->同步延时设置成功.", "view:系统信息->同步延时设置失败！", kLost, kGarbled } },
};

} // namespace

// One test per command, so that ctest runs the commands side by side.
class FaultsEndToEndTest : public QObject
{
    Q_OBJECT

private slots:
    void cleanup() { verifyWindowToldTheTruth(); }
    void connectionTest_data() { troubles(0x02); }
    void connectionTest() { survive(); }
    void version_data() { troubles(0x0A); }
    void version() { survive(); }
    void status_data() { troubles(0x07); }
    void status() { survive(); }
    void gpsTime_data() { troubles(0x03); }
    void gpsTime() { survive(); }
    void sweepMode_data() { troubles(0x05); }
    void sweepMode() { survive(); }
    void startSignal_data() { troubles(0x06); }
    void startSignal() { survive(); }
    void startParameters_data() { troubles(0x01); }
    void startParameters() { survive(); }
    void stop_data() { troubles(0x04); }
    void stop() { survive(); }
    void delay_data() { troubles(0x09); }
    void delay() { survive(); }

private:
    void troubles(quint8 code)
    {
        QTest::addColumn<int>("command");
        QTest::addColumn<int>("trouble");
        int command = 0;
        while (kCommands[command].code != code)
            ++command;
        for (int t = 0; t < int(std::size(kTroubles)); ++t)
            QTest::addRow("%s, %s", kCommands[command].name, kTroubles[t].name) << command << t;
    }

    void survive();
};

void FaultsEndToEndTest::survive()
{
    QFETCH(int, command);
    QFETCH(int, trouble);
    const quint8 code = kCommands[command].code;
    const bool startChain = code == 0x05 || code == 0x06 || code == 0x01;
    const Trouble &fault = kTroubles[trouble];

    Field f;
    Transmitter &tx = f.tx();
    tx.setGpsLocked(code == 0x03);
    tx.setLeapDone(code == 0x03);
    // The fault waits for its command: the scan's, the first poll's, or the operator's.
    tx.setFault(code, fault.fault);
    QElapsedTimer sinceFault;
    if (fault.vanish) {
        connect(&tx, &Transmitter::commandReceived, &tx, [&](const QByteArray &payload) {
            if (quint8(payload.at(0)) == code && !sinceFault.isValid()) {
                sinceFault.start();
                QTimer::singleShot(0, &tx, [&] { tx.unplug(); });
            }
        });
    }
    const bool byOperator = startChain || code == 0x04 || code == 0x09;
    if (byOperator) {
        QVERIFY(f.connectAndPoll(0));
        if (code == 0x04) {
            QVERIFY(f.startSingle());
            // Seen running: a start still shown as pending cannot be told
            // from a stopped one by the status byte.
            QTRY_COMPARE_WITH_TIMEOUT(f.text("label_work_statu"), QString("工作中"), 5000);
            QTRY_VERIFY_WITH_TIMEOUT(f.enabled("btn_stop") && !f.d.busy, 5000);
        }
    }
    const int viewFrom = f.view().size(), fileFrom = f.file().size();
    f.truth.painted.clear();
    if (!byOperator) {
        f.scan();
    } else if (startChain) {
        f.choose("single 1", 0, QString());
        f.click("btn_start");
    } else if (code == 0x04) {
        f.click("btn_stop");
    } else {
        f.d.w<QLineEdit>("edt_time_delay")->setText("1");
        f.click("btn_time_delay");
    }
    QTRY_VERIFY_WITH_TIMEOUT(commandsOf(tx, code) > 0, 5000);

    // The window tells the truth.
    const QString expected = QString::fromUtf8(kCommands[command].shows[fault.outcome]);
    if (!expected.isEmpty())
        QTRY_VERIFY2_WITH_TIMEOUT(f.shows(expected, viewFrom, fileFrom), qPrintable(expected), kTruthMs);
    if (fault.vanish) {
        // Gone within 3 s of the unplug, whatever the exchange was.
        QTRY_COMPARE_WITH_TIMEOUT(f.text("label_dev_statu") + f.sheet("label_dev_statu"), "连接失败" + kRed, kTruthMs);
        QVERIFY2(sinceFault.elapsed() < 3000, qPrintable(QString::number(sinceFault.elapsed())));
    }
    if (startChain && fault.outcome != Answered) {
        QTRY_VERIFY_WITH_TIMEOUT(!f.d.responseTimer->isActive() && !f.d.busy, kTruthMs);
        QVERIFY(f.text("label_work_statu") != "待发送");
        QVERIFY(!f.view().mid(viewFrom).contains("系统信息->启动成功."));
        QVERIFY(!f.d.transmitting);
        // Stopped, whatever the device made of it; a pulled device once it is back.
        if (!fault.vanish)
            QVERIFY(!tx.isArmed() && !tx.isTransmitting());
    }

    // The device comes back, as it was; the poll takes up again and paints
    // what the device reports, with no restart.
    if (fault.vanish)
        QVERIFY(tx.replug());
    QTRY_VERIFY_WITH_TIMEOUT(!f.d.responseTimer->isActive(), kTruthMs);
    // A connection test that went unanswered failed the scan: the operator scans again.
    if (code == 0x02 && (fault.outcome == Silent || fault.outcome == Garbled)) {
        QCOMPARE(f.text("label_dev_statu"), QString("连接失败"));
        QVERIFY(!f.enabled("btn_start") && !f.enabled("btn_stop"));
        f.scan();
    }
    QVERIFY(f.awaitPolls(1, 6000));
    QTRY_COMPARE_WITH_TIMEOUT(f.text("label_dev_statu") + f.sheet("label_dev_statu"), "已连接" + kGreen, kTruthMs);
    if (startChain && fault.outcome != Answered)
        QTRY_VERIFY_WITH_TIMEOUT(!tx.isArmed() && !tx.isTransmitting(), kTruthMs);
    const bool running = tx.isTransmitting() || tx.isArmed();
    QTRY_COMPARE_WITH_TIMEOUT(f.text("label_work_statu"), QString(running ? "工作中" : "空闲"), kTruthMs);
    QVERIFY2(f.label("label_warning_info")->isHidden(), qPrintable(f.text("label_warning_info")));
    QVERIFY(f.label("label_safe")->isHidden());
    // The device answered every status poll: a GPS time fault alone paints no loss.
    if (code == 0x03 && !fault.vanish)
        QVERIFY(!f.truth.painted.contains(QString::fromUtf8(kLost)));

    // The operator stops what runs and starts anew.
    if (running) {
        QTRY_VERIFY_WITH_TIMEOUT(f.enabled("btn_stop") && !f.d.busy, kTruthMs);
        const int stops = f.view().count("系统信息->任务已停止.");
        f.click("btn_stop");
        QTRY_COMPARE_WITH_TIMEOUT(f.view().count("系统信息->任务已停止."), stops + 1, kTruthMs);
    }
    QTRY_VERIFY_WITH_TIMEOUT(f.enabled("btn_start") && !f.d.busy, kTruthMs);
    QVERIFY(f.startSingle());
    QVERIFY(tx.isArmed() || tx.isTransmitting());
}

QTEST_MAIN(FaultsEndToEndTest)
#include "tst_faults_e2e.moc"
