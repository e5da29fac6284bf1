#pragma once

// A desk wired to simulated transmitters: the one fixture of the end-to-end suites.

#include "testdesk.h"
#include "transmitter.h"

#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QRadioButton>

#include <algorithm>
#include <memory>
#include <utility>
#include <vector>

using txsim::Fault, txsim::FaultSpec, txsim::Transmitter;

const QString kGreen = "color: rgb(0, 170, 0);", kRed = "color: rgb(255, 0, 0);", kBlack = "color: rgb(0, 0, 0);";

inline QByteArray hex(const char *text)
{
    return QByteArray::fromHex(QByteArray(text).replace(' ', ""));
}

inline QList<quint8> commandCodes(const Transmitter &tx)
{
    QList<quint8> codes;
    for (const QByteArray &payload : tx.payloads())
        codes << quint8(payload.at(0));
    return codes;
}

inline int commandsOf(const Transmitter &tx, quint8 code)
{
    return commandCodes(tx).count(code);
}

inline QString warningOf(quint8 byte)
{
    QStringList on;
    for (int i = 0; i < 4; ++i)
        if (byte & (0x10 >> i))
            on << QStringList { "过温", "过压", "过流", "缺水" }.at(i);
    return on.isEmpty() ? QString() : "设备" + on.join(',');
}

// Lies the TruthWatches found; a suite's cleanup() fails the test that left any.
inline QStringList &truthLies()
{
    static QStringList lies;
    return lies;
}

// Checks the window against what the simulators answered before every event the application
// delivers, so each state a handler leaves is seen, however soon the next one paints over it.
class TruthWatch : public QObject
{
public:
    TruthWatch(TestDesk &desk, const std::vector<std::unique_ptr<Transmitter>> &sims)
        : d(desk)
        , sims(sims)
    {
        since.start();
        qApp->installEventFilter(this);
    }

    void watch(Transmitter *sim)
    {
        connect(sim, &Transmitter::commandReceived, this, [this, sim](const QByteArray &payload) {
            const quint8 code = payload.at(0);
            if (code == 0x07)
                answered.append({ since.elapsed(), sim->statusByte() });
            // A stop goes out as a step of its own, which locks Start and the scan.
            if (code == 0x04 && (start->isEnabled() || scan->isEnabled()))
                lie("Start or the scan usable while a stop goes out");
            if (code == 0x0A) {
                versionAsked = since.elapsed();
                linesAtVerdict = d.logLines.size();
                versionAnswer.clear();
                refusing = sim->versionByte() >= 0x30;
                refusedFirmware = false;
            }
        });
        connect(sim, &Transmitter::answered, this, [this, frame = QByteArray()](const QByteArray &bytes) mutable {
            // What a status answer carried when it left, however late and in however many pieces.
            for (const char c : bytes) {
                frame = c == '\x7E' ? QByteArray(1, c) : frame + c; // a 7E within a frame goes as 7D 5E
                const bool stuffed = frame.size() > 6 && frame.at(6) == '\x7D';
                if (frame.size() == 7 + stuffed && frame.at(0) == '\x7E' && frame.at(3) == '\x17')
                    delivered.append(quint8(frame.back() ^ (stuffed ? 0x20 : 0)));
            }
            // Refused firmware as the program can know it: a whole version answer, well before its time-out.
            if (versionAsked < 0 || (versionAnswer += bytes).size() < 9)
                return;
            refusedFirmware = refusing && quint8(versionAnswer.at(0)) == 0x7E && quint8(versionAnswer.at(3)) == 0x1A
                && since.elapsed() - versionAsked < 1900;
            versionAsked = -1;
        });
    }

    bool firmwareRefused() const { return refusedFirmware; }
    // "label:text" each time a label was restyled: a label can turn red and back
    // between two looks (the next poll may answer just after a time-out).
    QStringList painted;

private:
    // A state shown needs a status byte the window may still be showing: one asked for in the
    // last 3 s, or one of the last three that left the device, however long ago.
    template <class Holds> void need(bool shown, const QString &what, Holds holds)
    {
        const auto recent = [&](const auto &s) { return since.elapsed() - s.first < 3000 && holds(s.second); };
        if (shown && !std::any_of(answered.begin(), answered.end(), recent)
            && !std::any_of(delivered.end() - std::min(3, int(delivered.size())), delivered.end(), holds))
            lie(what + " never reported");
    }

    void lie(const QString &what)
    {
        if (truthLies().size() < 5 && truthLies().filter(what).isEmpty())
            truthLies() << QString("%1 ms: %2").arg(since.elapsed()).arg(what);
    }

    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (event->type() == QEvent::StyleChange && qobject_cast<QLabel *>(watched))
            painted << watched->objectName() + ":" + static_cast<QLabel *>(watched)->text();
        const QString lock = gpsLock->text(), leap = gpsLeap->text(), warned = warning->text();
        need(lock.endsWith("锁定"), lock, [&](quint8 b) { return bool(b & 0x40) == (lock == "已锁定"); });
        need(leap.endsWith("闰秒"), leap, [&](quint8 b) { return bool(b & 0x20) == (leap == "已闰秒"); });
        need(warning->isVisibleTo(&d), "warning " + warned, [&](quint8 b) { return warningOf(b) == warned; });
        need(interrupt->isVisibleTo(&d), "interrupt protection", [](quint8 b) { return b & 1; });

        const auto any = [&](bool (Transmitter::*is)() const) {
            return std::any_of(sims.begin(), sims.end(), [&](const auto &tx) { return (*tx.*is)(); });
        };
        const bool armed = any(&Transmitter::isArmed), running = any(&Transmitter::isTransmitting);
        // A scan begun since the question drops the verdict with the port.
        for (; refusedFirmware && linesAtVerdict < d.logLines.size(); ++linesAtVerdict)
            refusedFirmware = !d.logLines.at(linesAtVerdict).endsWith("扫描端口...");
        // From the verdict on: the version exchange may still be open.
        if (refusedFirmware && start->isEnabled() && d.CommandState != StateVersion)
            lie("Start usable with refused firmware");
        const QString state = work->text(), bar = progress->text();
        const bool ready = state == "空闲" && start->isEnabled();
        if (ready && armed)
            lie("idle and ready while the device holds a start");
        // The status, and the status bar's count, show a run's start or end one poll later.
        const bool stale = (ready && running) || ((state == "待发送" || state == "工作中") && !armed && !running)
            || (bar.startsWith("距发送") && !armed) || (bar.startsWith("正在发送") && !running);
        staleSince = !stale ? -1 : staleSince < 0 ? since.elapsed() : staleSince;
        if (stale && since.elapsed() - staleSince > 3000)
            lie(QString("%1 (%2) for over 3 s; armed %3, running %4").arg(state, bar.left(8)).arg(armed).arg(running));
        return false;
    }

    TestDesk &d;
    const std::vector<std::unique_ptr<Transmitter>> &sims;
    QLabel *gpsLock = d.w<QLabel>("label_gps_lock"), *gpsLeap = d.w<QLabel>("label_gps_sec");
    QLabel *work = d.w<QLabel>("label_work_statu"), *warning = d.w<QLabel>("label_warning_info");
    QLabel *interrupt = d.w<QLabel>("label_safe"), *progress = d.w<QLabel>("label_progress");
    QPushButton *start = d.w<QPushButton>("btn_start"), *scan = d.w<QPushButton>("pushButton");
    QElapsedTimer since;
    QList<QPair<qint64, quint8>> answered; // when a status was asked for, and what the device held
    QList<quint8> delivered;
    qint64 staleSince = -1, versionAsked = -1; // the latter while the version answer is awaited
    QByteArray versionAnswer;
    int linesAtVerdict = 0;
    bool refusing = false, refusedFirmware = false;
};

inline void verifyWindowToldTheTruth()
{
    const QStringList lies = std::exchange(truthLies(), {});
    QVERIFY2(lies.isEmpty(), qPrintable(lies.join("; ")));
}

// A desk whose scan finds these simulators, after any ports a test puts in front; its message
// boxes get `answer` where they offer it, unless a later BoxAnswerer takes over.
struct Field
{
    AppFolderFixture folder;
    std::vector<std::unique_ptr<Transmitter>> sims;
    QStringList ports;
    int live = 0; // the simulator the desk ends up talking to
    TestDesk d;
    TruthWatch truth { d, sims };
    BoxAnswerer boxes;

    explicit Field(int count = 1, QMessageBox::StandardButton answer = QMessageBox::Yes)
        : boxes(answer)
    {
        for (int i = 0; i < count; ++i) {
            sims.push_back(std::make_unique<Transmitter>());
            if (!sims.back()->start())
                qFatal("simulator did not start: %s", qPrintable(sims.back()->errorString()));
            ports << sims.back()->portPath();
            truth.watch(sims.back().get());
        }
        d.SetPortSource([this] { return ports; });
    }

    Transmitter &tx(int i = 0) { return *sims.at(size_t(i)); }
    QLabel *label(const char *name) const { return d.w<QLabel>(name); }
    QString text(const char *name) const { return label(name)->text(); }
    QString sheet(const char *name) const { return label(name)->styleSheet(); }
    QStringList file() const { return logFileTexts(folder.path()); }
    QStringList view() const { return QStringList(d.logLines).replaceInStrings(QRegularExpression("^.{9}"), ""); }
    void click(const char *button) { d.w<QPushButton>(button)->click(); }
    bool enabled(const char *widget) const { return d.w<QWidget>(widget)->isEnabled(); }
    void scan() { click("pushButton"); }

    // `where:text` on show: a view or file line since then, or a label's text now or painted since.
    bool shows(const QString &expectation, int viewFrom, int fileFrom) const
    {
        const QString where = expectation.section(':', 0, 0), what = expectation.section(':', 1);
        if (where == "view" || where == "file")
            return (where == "view" ? view().mid(viewFrom) : file().mid(fileFrom)).contains(what);
        return text(qPrintable(where)) == what || truth.painted.contains(expectation);
    }

    // "single 8": 8 Hz alone; anything else: a sweep's rows as "frequency:seconds", blank-separated.
    void choose(const QString &output, int signal, const QString &sendTime, int mode = 0)
    {
        const bool single = output.startsWith("single ");
        d.w<QRadioButton>(single ? "rBtn_single" : "rBtn_continue")->click();
        if (single)
            d.w<QComboBox>("cmb_freq")->setCurrentText(output.mid(7));
        d.tableModel->clearRows();
        for (const QString &row : single ? QStringList() : output.split(' ', Qt::SkipEmptyParts))
            d.addRow(row.section(':', 0, 0), row.section(':', 1));
        d.w<QComboBox>("cmb_signal")->setCurrentIndex(signal);
        d.w<QComboBox>("cmb_model_scan")->setCurrentIndex(mode);
        d.w<QLineEdit>("edt_send_time")->setText(sendTime);
    }

    // Starts 1 Hz until stopped, from the send time (empty: now).
    bool startSingle(const QString &sendTime = QString())
    {
        choose("single 1", 0, sendTime);
        const int before = view().count("系统信息->启动成功.");
        click("btn_start");
        return QTest::qWaitFor([&] { return view().count("系统信息->启动成功.") > before; }, 5000);
    }

    bool usable() { return !d.busy && !d.stepTimer->isActive() && awaitPolls(1, 2000) && enabled("btn_start"); }

    // Scans and waits until the scan is over and `polls` status answers have been painted.
    bool connectAndPoll(int polls = 1)
    {
        scan();
        return QTest::qWaitFor([&] { return !d.responseTimer->isActive(); }, 10000) && awaitPolls(polls);
    }

    // Waits for `count` further status exchanges of the simulator to end.
    bool awaitPolls(int count, int timeoutMs = 10000)
    {
        const int target = commandsOf(tx(live), 0x07) + count;
        return QTest::qWaitFor(
            [&] { return commandsOf(tx(live), 0x07) >= target && !d.responseTimer->isActive(); }, timeoutMs);
    }
};
