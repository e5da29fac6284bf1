#include "txsimfield.h"

// Every command of the link meets every way a device or its cable can fail; after each the
// window must tell the truth, poll again and let the operator start anew without a restart.

// The truth is due within 3 s; the time-out's 10 ms ticks stretch on a loaded machine: allow twice.
constexpr int kTruthMs = 6000;

namespace {

enum Outcome { Answered, Refused, Silent, Garbled }; // what the desk should make of the exchange

const struct Trouble
{
    const char *name;
    FaultSpec fault; // kind, pieces, pause, delay; once
    Outcome outcome;
    bool vanish; // the device is pulled the moment the command reaches it
} kTroubles[] = {
    { "no answer", { Fault::NoAnswer, 2, 5, 0, 1 }, Silent, false },
    { "at once, within the first tick", { Fault::None, 2, 5, 0, 1 }, Answered, false }, // before the first 10 ms look
    { "wrong first byte", { Fault::WrongStartByte, 2, 5, 0, 1 }, Garbled, false },
    { "in pieces", { Fault::Split, 3, 60, 0, 1 }, Answered, false }, // over several 10 ms ticks
    { "late, 1.5 s", { Fault::Delay, 2, 5, 1500, 1 }, Answered, false },
    { "late, 2.6 s", { Fault::Delay, 2, 5, 2600, 1 }, Silent, false },
    { "late, into the next exchange", { Fault::Late, 2, 5, 0, 1 }, Silent, false },
    { "refused", { Fault::Refuse, 2, 5, 0, 1 }, Refused, false },
    { "extra bytes", { Fault::ExtraBytes, 2, 5, 0, 1 }, Answered, false },
    { "device vanishes", { Fault::NoAnswer, 2, 5, 0, 1 }, Silent, true },
};

// Each command, in test function order, and where its result shows by Outcome: "view:" a log view
// line or "file:" a log file line since the command, or a label's text; empty: nothing to look for.
const char *const kLost = "label_dev_statu:连接失败", *const kGarbled = "view:系统信息->警告：异常！";
const char *const kStarted = "view:系统信息->启动成功.", *const kFailed = "view:系统信息->启动失败！";
const char *const kUnknown = "view:系统信息->启动结果未知，发送停止命令.", *const kVersionLost = "lbVersion:获取失败";
const struct
{
    quint8 code;
    const char *shows[4];
} kCommands[] = {
    { 0x02, { "view:系统信息->端口连接成功.", "view:系统信息->端口连接成功.", kLost, kGarbled } },
    { 0x0A, { "lbVersion:V2.1_2019-06-03", kVersionLost, kVersionLost, kVersionLost } },
    { 0x07, { "label_work_statu:空闲", "label_work_statu:空闲", kLost, "" } },
    // A lost GPS time alone paints nothing; the next status poll tells.
    { 0x03, { "file:GPS时间解析成功", "file:GPS时间获取失败", "file:命令超时", "file:命令返回异常!" } },
    { 0x05, { kStarted, "view:系统信息->扫频模式设置失败！", kFailed, kFailed } },
    { 0x06, { kStarted, kFailed, kFailed, kFailed } },
    // The device may have taken it: the window stops it rather than guess.
    { 0x01, { kStarted, kFailed, kUnknown, kUnknown } },
    { 0x04, { "view:系统信息->任务已停止.", "view:系统信息->任务停止失败!", "view:系统信息->停止未确认！", kGarbled } },
    { 0x09, { "view:系统信息->同步延时设置成功.", "view:系统信息->同步延时设置失败！", kLost, kGarbled } },
};

} // namespace

// One test per command, so that ctest runs the commands side by side.
#define COMMAND_TEST(name, command)                                                                                    \
    void name##_data()                                                                                                 \
    {                                                                                                                  \
        troubles(command);                                                                                             \
    }                                                                                                                  \
    void name()                                                                                                        \
    {                                                                                                                  \
        survive();                                                                                                     \
    }

class FaultsEndToEndTest : public QObject
{
    Q_OBJECT

private slots:
    void cleanup() { verifyWindowToldTheTruth(); }
    COMMAND_TEST(connectionTest, 0)
    COMMAND_TEST(version, 1)
    COMMAND_TEST(status, 2)
    COMMAND_TEST(gpsTime, 3)
    COMMAND_TEST(sweepMode, 4)
    COMMAND_TEST(startSignal, 5)
    COMMAND_TEST(startParameters, 6)
    COMMAND_TEST(stop, 7)
    COMMAND_TEST(delay, 8)

private:
    void troubles(int command)
    {
        QTest::addColumn<int>("command");
        QTest::addColumn<int>("trouble");
        for (const Trouble &t : kTroubles)
            QTest::newRow(t.name) << command << int(&t - kTroubles);
    }

    void survive()
    {
        QFETCH(int, command);
        QFETCH(int, trouble);
        const quint8 code = kCommands[command].code;
        const Trouble &fault = kTroubles[trouble];
        const bool startChain = code == 0x05 || code == 0x06 || code == 0x01;
        const bool byOperator = startChain || code == 0x04 || code == 0x09;
        const bool failedStart = startChain && fault.outcome != Answered;

        Field f;
        f.tx().setGpsLocked(code == 0x03);
        f.tx().setLeapDone(code == 0x03);
        // The fault waits for its command: the scan's, the first poll's, or the operator's.
        f.tx().setFault(code, fault.fault);
        QElapsedTimer sinceFault;
        connect(&f.tx(), &Transmitter::commandReceived, &f.tx(), [&](const QByteArray &payload) {
            if (fault.vanish && quint8(payload.at(0)) == code && !sinceFault.isValid()) {
                sinceFault.start();
                QTimer::singleShot(0, &f.tx(), [&] { f.tx().unplug(); });
            }
        });
        if (byOperator)
            QVERIFY(f.connectAndPoll(0));
        if (code == 0x04) {
            QVERIFY(f.startSingle());
            // Seen running: a start still shown as pending cannot be told from a stopped one by the status byte.
            QTRY_COMPARE_WITH_TIMEOUT(f.text("label_work_statu"), QString("工作中"), 5000);
            QTRY_VERIFY_WITH_TIMEOUT(f.enabled("btn_stop") && !f.d.busy, 5000);
        }
        const int viewFrom = f.view().size(), fileFrom = f.file().size();
        f.truth.painted.clear();
        if (startChain)
            f.choose("single 1", 0, QString());
        f.d.w<QLineEdit>("edt_time_delay")->setText("1");
        f.click(!byOperator ? "pushButton" : startChain ? "btn_start" : code == 0x04 ? "btn_stop" : "btn_time_delay");
        QTRY_VERIFY_WITH_TIMEOUT(commandsOf(f.tx(), code) > 0, 5000);

        if (const QString expected = QString::fromUtf8(kCommands[command].shows[fault.outcome]); !expected.isEmpty())
            QTRY_VERIFY2_WITH_TIMEOUT(f.shows(expected, viewFrom, fileFrom), qPrintable(expected), kTruthMs);
        if (fault.vanish) {
            QTRY_COMPARE_WITH_TIMEOUT(
                f.text("label_dev_statu") + f.sheet("label_dev_statu"), "连接失败" + kRed, kTruthMs);
            QVERIFY(sinceFault.elapsed() < 3000); // whatever the exchange was
        }
        if (failedStart) {
            QTRY_VERIFY_WITH_TIMEOUT(!f.d.responseTimer->isActive() && !f.d.busy, kTruthMs);
            QVERIFY(!f.shows(kStarted, viewFrom, 0) && f.text("label_work_statu") != "待发送" && !f.d.transmitting);
            // Stopped, whatever the device made of it; a pulled device once it is back.
            QVERIFY(fault.vanish || (!f.tx().isArmed() && !f.tx().isTransmitting()));
        }

        // Back as it was: the poll takes up again and paints what the device reports.
        if (fault.vanish)
            QVERIFY(f.tx().replug());
        QTRY_VERIFY_WITH_TIMEOUT(!f.d.responseTimer->isActive(), kTruthMs);
        // A connection test that went unanswered failed the scan: the operator scans again.
        if (code == 0x02 && (fault.outcome == Silent || fault.outcome == Garbled)) {
            QVERIFY(f.text("label_dev_statu") == "连接失败" && !f.enabled("btn_start") && !f.enabled("btn_stop"));
            f.scan();
        }
        QVERIFY(f.awaitPolls(1, 6000));
        QTRY_COMPARE_WITH_TIMEOUT(f.text("label_dev_statu") + f.sheet("label_dev_statu"), "已连接" + kGreen, kTruthMs);
        if (failedStart)
            QTRY_VERIFY_WITH_TIMEOUT(!f.tx().isArmed() && !f.tx().isTransmitting(), kTruthMs);
        const bool running = f.tx().isTransmitting() || f.tx().isArmed();
        QTRY_COMPARE_WITH_TIMEOUT(f.text("label_work_statu"), QString(running ? "工作中" : "空闲"), kTruthMs);
        QVERIFY(f.label("label_warning_info")->isHidden() && f.label("label_safe")->isHidden());
        // The device answered every status poll: a GPS time fault alone paints no loss.
        QVERIFY(code != 0x03 || fault.vanish || !f.truth.painted.contains(QString::fromUtf8(kLost)));

        if (running) {
            QTRY_VERIFY_WITH_TIMEOUT(f.enabled("btn_stop") && !f.d.busy, kTruthMs);
            const int stops = f.view().count("系统信息->任务已停止.");
            f.click("btn_stop");
            QTRY_COMPARE_WITH_TIMEOUT(f.view().count("系统信息->任务已停止."), stops + 1, kTruthMs);
        }
        QTRY_VERIFY_WITH_TIMEOUT(f.enabled("btn_start") && !f.d.busy, kTruthMs);
        QVERIFY(f.startSingle());
        QVERIFY(f.tx().isArmed() || f.tx().isTransmitting());
    }
};

QTEST_MAIN(FaultsEndToEndTest)
#include "tst_faults_e2e.moc"
