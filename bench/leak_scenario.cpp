// One run of the everyday scenario for a leak checker (scripts/leaks): scan,
// connect, read the version, poll with GPS time a few times, then a start
// chain (sweep mode, start signal, start parameters) and a stop, and an
// orderly end. Prints each stage; exit status 1 when a stage does not finish.

#include "benchdesk.h"

#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>

namespace {

// Generous: under a leak checker everything runs many times slower.
constexpr int kStageMs = 60000;

void say(const char *stage)
{
    std::printf("leak_scenario: %s\n", stage);
    std::fflush(stdout);
}

int commands(SimThread &sim, quint8 code)
{
    int n = 0;
    sim.call([&] {
        for (const QByteArray &payload : sim.tx->payloads())
            n += quint8(payload.at(0)) == code;
    });
    return n;
}

bool run()
{
    AppFolderFixture folder;
    SimThread sim;
    sim.call([&sim] {
        sim.tx->setGpsLocked(true);
        sim.tx->setLeapDone(true);
    });
    TestDesk d;
    d.SetPortSource([&sim] { return QStringList(sim.portPath()); });
    d.show();

    const auto lastLineIs = [&d](const QString &text) { return d.logLines.last().endsWith("->" + text); };

    d.w<QPushButton>("pushButton")->click();
    if (!waitFor([&] { return commands(sim, 0x03) >= 3; }, kStageMs))
        return false;
    say("connected; polled three times with the GPS time");

    BoxAnswerer boxes;
    d.w<QRadioButton>("rBtn_single")->click();
    auto *frequency = d.w<QComboBox>("cmb_freq");
    frequency->setCurrentIndex(frequency->findText("1"));
    d.w<QComboBox>("cmb_signal")->setCurrentIndex(0);
    if (!waitFor([&] { return !d.busy && d.w<QPushButton>("btn_start")->isEnabled(); }, kStageMs))
        return false;
    d.w<QLineEdit>("edt_send_time")->clear(); // now: the time of the connection has passed
    d.w<QPushButton>("btn_start")->click();
    if (!waitFor([&] { return lastLineIs(QStringLiteral("启动成功.")); }, kStageMs) || !boxes.seen.isEmpty())
        return false;
    say("start chain accepted");

    if (!waitFor([&] { return d.w<QPushButton>("btn_stop")->isEnabled() && !d.busy; }, kStageMs))
        return false;
    d.w<QPushButton>("btn_stop")->click();
    if (!waitFor([&] { return lastLineIs(QStringLiteral("任务已停止.")); }, kStageMs))
        return false;
    say("stopped");
    return true;
}

} // namespace

int main(int argc, char *argv[])
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    quietOffscreen();
    QApplication app(argc, argv);
    const bool ok = run();
    say(ok ? "done" : "a stage did not finish");
    return ok ? 0 : 1;
}
