#pragma once

// A desk wired to simulated transmitters: the one fixture of the end-to-end suites.

#include "testdesk.h"
#include "transmitter.h"

#include <QComboBox>
#include <QElapsedTimer>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSerialPort>

#include <algorithm>
#include <functional>
#include <memory>
#include <vector>

using txsim::Fault;
using txsim::FaultSpec;
using txsim::Transmitter;

const QString kGreen = "color: rgb(0, 170, 0);";
const QString kRed = "color: rgb(255, 0, 0);";
const QString kBlack = "color: rgb(0, 0, 0);";

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

// The warning label's text for a status byte.
inline QString warningOf(quint8 byte)
{
    const QStringList names = { "过温", "过压", "过流", "缺水" };
    QStringList on;
    for (int i = 0; i < 4; ++i) {
        if (byte & (0x10 >> i))
            on << names[i];
    }
    return on.isEmpty() ? QString() : "设备" + on.join(',');
}

// Lies of the window, as the TruthWatch of each Field found them; a suite's
// cleanup() fails the test that left any.
inline QStringList &truthLies()
{
    static QStringList lies;
    return lies;
}

// Checks what the window shows against what the simulators answered before
// every event the application delivers, so each state an event handler left
// behind is seen, however soon the next one paints over it.
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
            if (quint8(payload.at(0)) == 0x07)
                answered.append({ since.elapsed(), sim->statusByte() });
            // A stop goes out as a step of its own, which locks Start and the scan.
            if (quint8(payload.at(0)) == 0x04 && (start->isEnabled() || scan->isEnabled()))
                lie("Start or the scan usable while a stop goes out");
            if (quint8(payload.at(0)) != 0x0A)
                return;
            versionAsked = since.elapsed();
            linesAtVerdict = d.logLines.size();
            versionAnswer.clear();
            refusing = sim->versionByte() >= 0x30;
            refusedFirmware = false;
        });
        connect(sim, &Transmitter::answered, this, [this](const QByteArray &bytes) {
            // What a status answer carried when it left, however late.
            if (bytes.size() > 6 && quint8(bytes.at(0)) == 0x7E && quint8(bytes.at(3)) == 0x17)
                delivered.append(quint8(bytes.at(6)));
            // Refused firmware as the program can know it: a whole version
            // answer, in well before its time-out.
            if (versionAsked < 0)
                return;
            versionAnswer += bytes;
            if (versionAnswer.size() < 9)
                return;
            refusedFirmware = refusing && quint8(versionAnswer.at(0)) == 0x7E && quint8(versionAnswer.at(3)) == 0x1A
                && since.elapsed() - versionAsked < 1900;
            versionAsked = -1;
        });
    }

    bool firmwareRefused() const { return refusedFirmware; }
    // "label:text" each time a label was restyled: a label can turn red and
    // back to green between two looks (the next poll may answer milliseconds
    // after a time-out), and a new colour restyles it.
    QStringList painted;

private:
    // Status bytes the window may still be showing: any asked for in the last
    // 3 s, and the last three that left the device, however long ago.
    bool reported(const std::function<bool(quint8)> &holds) const
    {
        const auto recent
            = [&](const QPair<qint64, quint8> &s) { return since.elapsed() - s.first < 3000 && holds(s.second); };
        return std::any_of(answered.begin(), answered.end(), recent)
            || std::any_of(delivered.end() - std::min(3, int(delivered.size())), delivered.end(), holds);
    }

    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (event->type() == QEvent::StyleChange && qobject_cast<QLabel *>(watched))
            painted << watched->objectName() + ":" + static_cast<QLabel *>(watched)->text();
        check();
        return false;
    }

    void lie(const QString &what)
    {
        const QString line = QString("%1 ms: %2").arg(since.elapsed()).arg(what);
        if (truthLies().size() < 5 && !truthLies().contains(line))
            truthLies() << line;
    }

    void check()
    {
        // Each GPS text with the status bit and value that must have been reported for it.
        const char *const gps[4] = { "未锁定", "已锁定", "未闰秒", "已闰秒" };
        for (int i = 0; i < 4; ++i) {
            const int bit = i < 2 ? 6 : 5;
            const bool set = i % 2;
            if ((i < 2 ? gpsLock : gpsLeap)->text() == QString::fromUtf8(gps[i])
                && !reported([=](quint8 b) { return bool(b & (1 << bit)) == set; }))
                lie(QString("%1 never reported").arg(QString::fromUtf8(gps[i])));
        }
        const QString warned = warning->text();
        if (warning->isVisibleTo(&d) && !reported([&](quint8 b) { return warningOf(b) == warned; }))
            lie(QString("warning %1 never reported").arg(warned));
        if (interrupt->isVisibleTo(&d) && !reported([](quint8 b) { return b & 1; }))
            lie("interrupt protection never reported");

        bool armed = false, running = false;
        for (const auto &tx : sims) {
            armed = armed || tx->isArmed();
            running = running || tx->isTransmitting();
        }
        // A scan begun since the question drops the verdict with the port.
        for (; refusedFirmware && linesAtVerdict < d.logLines.size(); ++linesAtVerdict)
            refusedFirmware = !d.logLines.at(linesAtVerdict).endsWith("扫描端口...");
        // From the verdict on: the version exchange may still be open.
        if (refusedFirmware && start->isEnabled() && d.CommandState != StateVersion)
            lie("Start usable with refused firmware");
        const QString state = work->text();
        const bool ready = state == "空闲" && start->isEnabled();
        if (ready && armed)
            lie("idle and ready while the device holds a start");
        // The status shows a run's start or end one poll later.
        // So does the status bar's count of a run.
        const QString bar = progress->text();
        const bool stale = (ready && running) || ((state == "待发送" || state == "工作中") && !armed && !running)
            || (bar.startsWith("距发送") && !armed) || (bar.startsWith("正在发送") && !running);
        if (!stale)
            staleSince = -1;
        else if (staleSince < 0)
            staleSince = since.elapsed();
        else if (since.elapsed() - staleSince > 3000)
            lie(QString("%1 (%2) for over 3 s; armed %3, running %4").arg(state, bar.left(8)).arg(armed).arg(running));
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
    qint64 staleSince = -1;
    qint64 versionAsked = -1; // while its answer is awaited
    QByteArray versionAnswer;
    int linesAtVerdict = 0;
    bool refusing = false, refusedFirmware = false;
};

// For each end-to-end suite's cleanup(): the test fails if its window lied.
inline void verifyWindowToldTheTruth()
{
    const QStringList lies = truthLies();
    truthLies().clear();
    QVERIFY2(lies.isEmpty(), qPrintable(lies.join("; ")));
}

// A desk whose scan finds the given simulated transmitters, in order, plus
// any extra locations a test puts in front of them. Its message boxes get
// `answer` where they offer it, unless a later BoxAnswerer takes over.
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
    explicit Field(QMessageBox::StandardButton answer)
        : Field(1, answer)
    {
    }

    Transmitter &tx(int i = 0) { return *sims.at(size_t(i)); }
    QLabel *label(const char *name) const { return d.w<QLabel>(name); }
    QString text(const char *name) const { return label(name)->text(); }
    QString sheet(const char *name) const { return label(name)->styleSheet(); }
    QStringList file() const { return logFileTexts(folder.path()); }
    QStringList view() const
    {
        QStringList texts;
        for (const QString &line : d.logLines)
            texts << line.mid(9); // "hh:mm:ss-"
        return texts;
    }
    void click(const char *button) { d.w<QPushButton>(button)->click(); }
    bool enabled(const char *widget) const { return d.w<QWidget>(widget)->isEnabled(); }
    void scan() { click("pushButton"); }

    // True when `where:text` is on show: a view line since `viewFrom`, a file
    // line since `fileFrom`, or a label's text, now or painted since the last
    // truth.painted.clear().
    bool shows(const QString &expectation, int viewFrom, int fileFrom) const
    {
        const QString where = expectation.section(':', 0, 0), what = expectation.section(':', 1);
        if (where == "view")
            return view().mid(viewFrom).contains(what);
        if (where == "file")
            return file().mid(fileFrom).contains(what);
        return text(qPrintable(where)) == what || truth.painted.contains(expectation);
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

    // Starts 1 Hz until stopped, from the send time (empty: now).
    bool startSingle(const QString &sendTime = QString())
    {
        choose("single 1", 0, sendTime);
        const int before = view().count("系统信息->启动成功.");
        click("btn_start");
        return QTest::qWaitFor([&] { return view().count("系统信息->启动成功.") > before; }, 5000);
    }

    // The window is usable again: no sequence pending, the status poll
    // reaches the device within 2 s, the start button can be pressed.
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
