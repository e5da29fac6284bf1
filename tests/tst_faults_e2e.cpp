#include "txsimfield.h"

#include <QComboBox>
#include <QElapsedTimer>
#include <QRadioButton>

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
    bool deviceActs; // carries the command out though the desk cannot tell
    bool vanish; // the device is pulled the moment the command reaches it
};

const Trouble kTroubles[] = {
    { "no answer", { Fault::NoAnswer, 2, 5, 0, 1 }, Silent, false, false },
    // At once: in before the program's first 10 ms look.
    { "at once, within the first tick", { Fault::None, 2, 5, 0, 1 }, Answered, true, false },
    { "wrong first byte", { Fault::WrongStartByte, 2, 5, 0, 1 }, Garbled, true, false },
    // Three pieces spread over several 10 ms ticks.
    { "in pieces", { Fault::Split, 3, 60, 0, 1 }, Answered, true, false },
    { "late, 1.5 s", { Fault::Delay, 2, 5, 1500, 1 }, Answered, true, false },
    { "late, 2.6 s", { Fault::Delay, 2, 5, 2600, 1 }, Silent, true, false },
    { "late, into the next exchange", { Fault::Late, 2, 5, 0, 1 }, Silent, true, false },
    { "refused", { Fault::Refuse, 2, 5, 0, 1 }, Refused, false, false },
    { "extra bytes", { Fault::ExtraBytes, 2, 5, 0, 1 }, Answered, true, false },
    { "device vanishes", { Fault::NoAnswer, 2, 5, 0, 1 }, Silent, false, true },
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

// Every text a label is painted with. A label can turn red and back to green
// between two looks (the next poll may answer milliseconds after a time-out);
// a new colour restyles the label, which is when its text is taken.
class PaintedTexts : public QObject
{
public:
    QStringList seen;

protected:
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (event->type() == QEvent::StyleChange)
            if (auto *label = qobject_cast<QLabel *>(watched))
                seen << label->objectName() + ":" + label->text();
        return false;
    }
};

struct FaultDesk : Field
{
    BoxAnswerer boxes { QMessageBox::Yes };
    PaintedTexts painted;

    FaultDesk()
    {
        for (QLabel *label : d.findChildren<QLabel *>())
            label->installEventFilter(&painted);
    }

    bool enabled(const char *button) const { return d.w<QPushButton>(button)->isEnabled(); }
    void click(const char *button) { d.w<QPushButton>(button)->click(); }

    // True when `where:text` is on show: a view line since `viewFrom`, a file
    // line since `fileFrom`, or a label's text.
    bool shows(const QString &expectation, int viewFrom, int fileFrom) const
    {
        const QString where = expectation.section(':', 0, 0), what = expectation.section(':', 1);
        if (where == "view")
            return view().mid(viewFrom).contains(what);
        if (where == "file")
            return file().mid(fileFrom).contains(what);
        return text(qPrintable(where)) == what || painted.seen.contains(expectation);
    }

    // A transmission from now on, until stopped: the operator's start.
    void startNow()
    {
        d.w<QRadioButton>("rBtn_single")->click();
        auto *box = d.w<QComboBox>("cmb_freq");
        box->setCurrentIndex(box->findText("1"));
        d.w<QComboBox>("cmb_signal")->setCurrentIndex(0);
        d.w<QLineEdit>("edt_send_time")->clear();
        click("btn_start");
    }
};

} // namespace

class FaultsEndToEndTest : public QObject
{
    Q_OBJECT

private slots:
    void cleanup() { verifyWindowToldTheTruth(); }
    void scanCommands_data() { matrix({ 0x02, 0x0A }); }
    void scanCommands() { survive(); }
    void pollCommands_data() { matrix({ 0x07, 0x03 }); }
    void pollCommands() { survive(); }
    void startChain_data() { matrix({ 0x05, 0x06, 0x01 }); }
    void startChain() { survive(); }
    void stopAndDelay_data() { matrix({ 0x04, 0x09 }); }
    void stopAndDelay() { survive(); }

private:
    void matrix(const QList<quint8> &codes);
    void survive();
};

void FaultsEndToEndTest::matrix(const QList<quint8> &codes)
{
    QTest::addColumn<int>("command");
    QTest::addColumn<int>("trouble");
    for (int c = 0; c < int(std::size(kCommands)); ++c) {
        for (int t = 0; codes.contains(kCommands[c].code) && t < int(std::size(kTroubles)); ++t)
            QTest::addRow("%s, %s", kCommands[c].name, kTroubles[t].name) << c << t;
    }
}

void FaultsEndToEndTest::survive()
{
    QFETCH(int, command);
    QFETCH(int, trouble);
    const quint8 code = kCommands[command].code;
    const bool startChain = code == 0x05 || code == 0x06 || code == 0x01;
    const Trouble &fault = kTroubles[trouble];

    FaultDesk f;
    Transmitter &tx = f.tx();
    tx.setGpsLocked(code == 0x03);
    tx.setLeapDone(code == 0x03);

    // Bring the desk to where the command is sent, then let the fault hit it.
    const bool duringScan = code == 0x02 || code == 0x0A;
    if (!duringScan) {
        QVERIFY(f.connectAndPoll(1));
        if (code == 0x03)
            QTRY_VERIFY_WITH_TIMEOUT(commandsOf(tx, 0x03) > 0, 5000);
        if (code == 0x04) {
            f.startNow();
            // Seen running: a start still shown as pending cannot be told
            // from a stopped one by the status byte.
            QTRY_COMPARE_WITH_TIMEOUT(f.text("label_work_statu"), QString("工作中"), 5000);
            QTRY_VERIFY_WITH_TIMEOUT(f.enabled("btn_stop") && !f.d.busy, 5000);
        }
    }
    const int viewFrom = f.view().size(), fileFrom = f.file().size(), sent = commandsOf(tx, code);
    f.painted.seen.clear();
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
    if (duringScan) {
        f.scan();
    } else if (startChain) {
        f.startNow();
    } else if (code == 0x04) {
        f.click("btn_stop");
    } else if (code == 0x09) {
        f.d.w<QLineEdit>("edt_time_delay")->setText("1");
        f.click("btn_time_delay");
    }
    QTRY_VERIFY_WITH_TIMEOUT(commandsOf(tx, code) > sent, 5000);

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
    tx.clearFaults();
    QTRY_VERIFY_WITH_TIMEOUT(!f.d.responseTimer->isActive(), kTruthMs);
    if (fault.vanish) {
        QVERIFY(tx.replug());
        QTRY_VERIFY_WITH_TIMEOUT(!f.d.responseTimer->isActive(), kTruthMs);
    }
    if (!f.d.pollTimer->isActive()) {
        // The scan itself failed: the operator scans again.
        QCOMPARE(f.text("label_dev_statu"), QString("连接失败"));
        QVERIFY(!f.enabled("btn_start") && !f.enabled("btn_stop"));
        f.scan();
    }
    QVERIFY(f.awaitPolls(1, 6000));
    QTRY_COMPARE_WITH_TIMEOUT(f.text("label_dev_statu") + f.sheet("label_dev_statu"), "已连接" + kGreen, kTruthMs);
    if (startChain && fault.outcome != Answered) {
        QTRY_VERIFY_WITH_TIMEOUT(!tx.isArmed() && !tx.isTransmitting(), kTruthMs);
    }
    const bool running = tx.isTransmitting() || tx.isArmed();
    QTRY_COMPARE_WITH_TIMEOUT(f.text("label_work_statu"), QString(running ? "工作中" : "空闲"), kTruthMs);
    QVERIFY2(f.d.w<QLabel>("label_warning_info")->isHidden(), qPrintable(f.text("label_warning_info")));
    QVERIFY(f.d.w<QLabel>("label_safe")->isHidden());

    // The operator stops what runs and starts anew.
    if (running) {
        QTRY_VERIFY_WITH_TIMEOUT(f.enabled("btn_stop") && !f.d.busy, kTruthMs);
        const int stops = f.view().count("系统信息->任务已停止.");
        f.click("btn_stop");
        QTRY_COMPARE_WITH_TIMEOUT(f.view().count("系统信息->任务已停止."), stops + 1, kTruthMs);
    }
    QTRY_VERIFY_WITH_TIMEOUT(f.enabled("btn_start") && !f.d.busy, kTruthMs);
    // The device answered every status poll: a GPS time fault alone paints no loss.
    if (code == 0x03 && !fault.vanish)
        QVERIFY(!f.painted.seen.contains(QString::fromUtf8(kLost)));

    const int starts = f.view().count("系统信息->启动成功.");
    f.startNow();
    QTRY_COMPARE_WITH_TIMEOUT(f.view().count("系统信息->启动成功."), starts + 1, kTruthMs);
    QVERIFY(tx.isArmed() || tx.isTransmitting());
}

QTEST_MAIN(FaultsEndToEndTest)
#include "tst_faults_e2e.moc"
