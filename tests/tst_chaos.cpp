#include "EM/csamt_pub.h"
#include "txsimfield.h"

#include <QComboBox>
#include <QDirIterator>
#include <QFile>
#include <QProcess>
#include <QRadioButton>
#include <QRandomGenerator>
#include <QRegularExpression>

// A random operator against a random transmitter. A sequence is a script, one
// step per line, generated from a seed or read from a file; a script presses
// the same buttons and sets the same faults each time, so a failure replays
// and shrinks. The truth watch checks the window before every event; a run
// adds what the device received, an event loop that keeps answering, and how
// the window settles once the device is left alone.
//
//   tst_chaos                                  the CI budget (QtTest)
//   tst_chaos --seed S --sequences N [--keep DIR] [--no-shrink] [--view]
//   tst_chaos --replay FILE [--view]

namespace {

struct FaultKind
{
    const char *name;
    Fault kind;
    int fromMs, toMs; // Delay: the answer's lateness
};
// Prompt answers are the rule; these are the exceptions, at every timing.
const FaultKind kFaults[] = { { "silent", Fault::NoAnswer, 0, 0 }, { "garbled", Fault::WrongStartByte, 0, 0 },
    { "stuffed", Fault::StuffedCode, 0, 0 }, { "pieces", Fault::Split, 0, 0 }, { "twice", Fault::Twice, 0, 0 },
    { "refused", Fault::Refuse, 0, 0 }, { "extra", Fault::ExtraBytes, 0, 0 }, { "on-time", Fault::Delay, 15, 150 },
    { "late", Fault::Delay, 200, 1950 }, { "too-late", Fault::Delay, 2050, 3500 }, { "next", Fault::Late, 0, 0 } };
// The start chain's commands come up most, since most faults hide there.
const quint8 kCodes[] = { 0x05, 0x06, 0x01, 0x05, 0x06, 0x01, 0x04, 0x09, 0x07, 0x07, 0x02, 0x0A, 0x03 };

QStringList generate(quint32 seed)
{
    QRandomGenerator random(seed);
    const auto pick = [&](int n) { return int(random.bounded(quint32(n))); };
    QStringList script;
    const int steps = 10 + pick(7);
    for (int i = 0; i < steps; ++i) {
        const int pause = pick(20);
        script << QString("wait %1").arg(pause < 10 ? pick(250) : pause < 17 ? 250 + pick(1250) : 1500 + pick(2000));
        const int what = pick(100);
        if (what < 20) {
            script << QString("start %1 %2 signal %3 mode %4")
                          .arg(pick(2) ? "sweep" : "single", pick(2) ? "hour" : "now")
                          .arg(pick(4))
                          .arg(pick(2));
        } else if (what < 32) {
            script << "stop";
        } else if (what < 38) {
            script << "scan";
        } else if (what < 42) {
            script << QString("delay %1").arg(1 + pick(3000));
        } else if (what < 50) {
            const char *table[] = { "row add 4 10", "row add 0.5 20", "row delete", "import good", "import bad" };
            script << table[pick(5)];
        } else if (what < 53) {
            script << (pick(2) ? "round minute" : "round period");
        } else if (what < 75) {
            const FaultKind &f = kFaults[pick(int(std::size(kFaults)))];
            script << QString("fault %1 0x%2 %3 x%4")
                          .arg(f.name)
                          .arg(kCodes[pick(int(std::size(kCodes)))], 2, 16, QChar('0'))
                          .arg(f.fromMs + pick(f.toMs - f.fromMs + 1))
                          .arg(pick(4) ? 1 : 2 + pick(2));
        } else if (what < 81) {
            script << (pick(2) ? "unplug" : "replug");
        } else if (what < 88) {
            script << QString("%1 %2").arg(pick(2) ? "gps" : "leap", pick(2) ? "on" : "off");
        } else if (what < 95) {
            script << (pick(3) ? QString("warnings %1").arg(pick(3) ? 0 : 1 + pick(15))
                               : QString("interrupt %1").arg(pick(2) ? "on" : "off"));
        } else {
            script << QString("firmware 0x%1").arg(pick(3) ? "21" : "30");
        }
    }
    if (pick(8) == 0)
        script << QString("close %1").arg(pick(2) ? "yes" : "no");
    return script;
}

// One script against a fresh window and simulator.
class Run
{
public:
    explicit Run(const QStringList &script, bool showView = false)
        : script(script)
        , showView(showView)
        , tx(f.tx())
    {
        QObject::connect(&tx, &Transmitter::commandReceived, [this](const QByteArray &payload) { received(payload); });
        QObject::connect(&ticker, &QTimer::timeout, [this] { tick(); });
        writeTables();
    }

    // What went wrong, the step it went wrong in first; empty when nothing did.
    QStringList execute()
    {
        truthLies().clear();
        if (!f.connectAndPoll(1))
            return { "no link at the start" };
        sinceTick.start();
        ticker.start(10);
        for (current = 0; current < script.size() && !closed && violations.isEmpty(); ++current) {
            const QStringList words = script.at(current).split(' ', Qt::SkipEmptyParts);
            if (words.isEmpty() || words.first().startsWith('#'))
                continue;
            if (words.first() == "wait")
                QTest::qWait(words.value(1).toInt()); // the operator's pause, not a wait for anything
            else
                step(words);
            tick();
        }
        if (!closed && violations.isEmpty())
            settle();
        if (!violations.isEmpty() && showView)
            qInfo().noquote() << f.view().join('\n');
        ticker.stop();
        truthLies().clear();
        return violations;
    }

private:
    void violate(const QString &what)
    {
        const QString where = current < script.size() ? QString("step %1 (%2)").arg(current + 1).arg(script.at(current))
                                                      : QString("left alone");
        const QString violation = where + ": " + what;
        if (violations.size() < 4 && !violations.contains(violation))
            violations << violation;
    }

    // Before every step: the device has taken all the program wrote, so what
    // it receives from here on was sent after the step.
    void drain()
    {
        if (f.d.serialPort->isOpen())
            f.d.serialPort->flush();
        tx.drain();
        readView();
    }

    bool press(const char *name)
    {
        auto *button = f.d.w<QPushButton>(name);
        if (!button->isEnabled())
            return false;
        button->click();
        return true;
    }

    void step(const QStringList &w)
    {
        const QString verb = w.first(), arg = w.value(1);
        drain();
        if (verb == "scan") {
            scanFailed = false;
            press("pushButton");
        } else if (verb == "start") {
            start(w);
        } else if (verb == "stop") {
            if (press("btn_stop")) {
                ++stopsAsked;
                startOpen = chainOpen = false;
            }
        } else if (verb == "delay") {
            if (f.d.w<QLineEdit>("edt_time_delay")->isEnabled())
                f.d.w<QLineEdit>("edt_time_delay")->setText(arg);
            press("btn_time_delay");
        } else if (verb == "row") {
            if (!f.d.w<QPushButton>("btn_add")->isEnabled())
                return;
            if (arg == "add")
                f.d.addRow(w.value(2), w.value(3));
            else if (f.d.tableModel->rowCount() > 0)
                press("btn_delete");
        } else if (verb == "import") {
            f.d.dialogAnswers = QStringList { f.folder.file(arg + ".FTB2") };
            press("btn_import");
        } else if (verb == "round") {
            press(arg == "minute" ? "btn_round_min" : "btn_round_circel");
        } else if (verb == "close") {
            boxes.answer = arg == "yes" ? QMessageBox::Yes : QMessageBox::No;
            const int asked = boxes.seen.size();
            f.d.close();
            // Yes to "the transmitter is running" asks for the stop.
            if (arg == "yes" && boxes.seen.mid(asked).join('\n').contains("关闭窗口不会使其停止"))
                ++stopsAsked;
            closed = true; // the program ends here
        } else {
            device(w);
        }
    }

    void start(const QStringList &w)
    {
        if (!f.d.w<QPushButton>("btn_start")->isEnabled())
            return;
        const bool sweep = w.value(1) == "sweep";
        if (f.d.w<QRadioButton>("rBtn_single")->isEnabled())
            f.d.w<QRadioButton>(sweep ? "rBtn_continue" : "rBtn_single")->click();
        if (sweep && f.d.tableModel->rowCount() == 0 && f.d.w<QPushButton>("btn_add")->isEnabled())
            f.d.addRow("4", "10");
        QComboBox *signal = f.d.w<QComboBox>("cmb_signal");
        if (signal->isEnabled())
            signal->setCurrentIndex(w.value(4).toInt() % signal->count());
        QComboBox *mode = f.d.w<QComboBox>("cmb_model_scan");
        if (mode->isEnabled())
            mode->setCurrentIndex(w.value(6).toInt() % mode->count());
        QLineEdit *at = f.d.w<QLineEdit>("edt_send_time");
        if (at->isEnabled())
            at->setText(w.value(2) == "hour" ? tx.clock().addSecs(3600).toString("yyyy/MM/dd hh:mm:ss") : QString());
        startOpen = press("btn_start");
    }

    void device(const QStringList &w)
    {
        const QString verb = w.first(), arg = w.value(1);
        const bool on = arg == "on";
        if (verb == "fault") {
            for (const FaultKind &kind : kFaults) {
                if (arg == kind.name)
                    tx.setFault(quint8(w.value(2).toUInt(nullptr, 16)),
                        FaultSpec { kind.kind, 3, 20, w.value(3).toInt(), w.value(4).mid(1).toInt() });
            }
        } else if (verb == "unplug") {
            if (tx.isPlugged())
                tx.unplug();
        } else if (verb == "replug") {
            if (!tx.isPlugged())
                tx.replug();
        } else if (verb == "gps") {
            tx.setGpsLocked(on);
        } else if (verb == "leap") {
            tx.setLeapDone(on);
        } else if (verb == "warnings") {
            const int bits = arg.toInt();
            tx.setWarnings(bits & 8, bits & 4, bits & 2, bits & 1);
        } else if (verb == "interrupt") {
            tx.setInterruptProtection(on);
        } else if (verb == "firmware") {
            tx.setVersion(quint8(arg.toUInt(nullptr, 16)), 19, 6, 3);
        } else {
            violate("not a step of this script language");
        }
    }

    // What the view said so far, in order with what the device received.
    void readView()
    {
        for (; viewSeen < f.d.logLines.size(); ++viewSeen) {
            const QString line = f.d.logLines.at(viewSeen).mid(9);
            if (line.endsWith("警告：未连接！"))
                scanFailed = true;
            else if (line.endsWith("启动结果未知，发送停止命令."))
                ++stopsOwed;
        }
    }

    // The wire carries only what the operator asked for.
    void received(const QByteArray &payload)
    {
        readView();
        const quint8 code = quint8(payload.at(0));
        if (f.truth.firmwareRefused() && code != 0x02 && code != 0x0A)
            violate(QString("0x%1 sent to refused firmware").arg(code, 2, 16, QChar('0')));
        if (code == 0x07 && scanFailed)
            violate("a status poll on the port of a failed scan");
        if (code == 0x04 && commandsOf(tx, 0x04) > stopsAsked + stopsOwed)
            violate("a stop nobody asked for");
        if (code == 0x05) {
            if (!startOpen)
                violate("a start chain nobody pressed for");
            startOpen = false;
            chainOpen = true;
        }
        if ((code == 0x06 || code == 0x01) && !chainOpen)
            violate(QString("0x%1 of a start chain called off").arg(code, 2, 16, QChar('0')));
        if (code == 0x01)
            chainOpen = false;
    }

    void tick()
    {
        const qint64 gap = sinceTick.restart();
        if (gap > 1000)
            violate(QString("the event loop did not answer for %1 ms").arg(gap));
        // A press ends when its chain goes out or Start is usable again.
        if (startOpen && f.d.w<QPushButton>("btn_start")->isEnabled())
            startOpen = false;
        for (const QString &lie : truthLies())
            violate(lie.section(": ", 1));
        truthLies().clear();
    }

    // Left alone with the device back as it was, the window tells the truth.
    void settle()
    {
        current = script.size();
        drain();
        tx.clearFaults();
        tx.setVersion(0x21, 19, 6, 3);
        if (!tx.isPlugged())
            tx.replug();
        // A step pressed last may still be on its way; a transmission keeps
        // the scan greyed, but then the poll runs.
        QPushButton *scan = f.d.w<QPushButton>("pushButton");
        if (!QTest::qWaitFor([&] { return f.d.pollTimer->isActive() || scan->isEnabled(); }, 8000))
            return violate("neither polling nor ready to scan");
        // Answers still queued from before may spoil one scan (the device
        // answers in order); a second must find the device.
        for (int scans = 0; scans < 2 && !f.d.pollTimer->isActive(); ++scans) {
            scanFailed = false;
            f.scan();
            if (QTest::qWaitFor([&] { return f.d.pollTimer->isActive(); }, 8000))
                break;
        }
        if (!f.d.pollTimer->isActive())
            return violate("no poll after a scan of a good device");
        // Three polls, the last with the device the same before and after it:
        // a run may end by itself meanwhile.
        const auto held = [&] { return tx.isTransmitting() ? "工作中" : tx.isArmed() ? "待发送" : "空闲"; };
        QString truth;
        for (int polls = 0; polls < 3 || (truth != held() && polls < 6); ++polls) {
            truth = held();
            if (!f.awaitPolls(1, 12000))
                return violate("the poll stopped while the device was left alone");
        }
        tick();
        const quint8 status = tx.statusByte();
        const QString work = f.text("label_work_statu");
        const struct
        {
            QString shown, held;
        } labels[] = { { f.text("label_dev_statu"), "已连接" }, { work == "未知" ? truth : work, truth },
            { f.text("label_gps_lock"), status & 0x40 ? "已锁定" : "未锁定" },
            { f.text("label_gps_sec"), status & 0x20 ? "已闰秒" : "未闰秒" },
            { f.label("label_warning_info")->isVisibleTo(&f.d) ? f.text("label_warning_info") : QString(),
                warningOf(status) },
            { f.label("label_safe")->isVisibleTo(&f.d) ? "interrupt" : "", status & 1 ? "interrupt" : "" } };
        for (const auto &label : labels) {
            if (label.shown != label.held)
                violate(QString("left alone, the window shows \"%1\", the device holds \"%2\"")
                            .arg(label.shown, label.held));
        }
    }

    // Two tables the import steps offer: one good, one the reader refuses.
    void writeTables()
    {
        freq_table table;
        freq_table_init(&table);
        table.freq_num = 2;
        table.items[0] = { 1200, 16, 40, 10 };
        table.items[1] = { 2400, 8, 80, 10 };
        FILE *fp = csamt_fopen(QFile::encodeName(f.folder.file("good.FTB2")).constData(), "wb");
        if (!fp || freq_table_write(fp, &table) != freq_table_file_size(&table))
            qFatal("cannot write the good table");
        std::fclose(fp);
        QFile bad(f.folder.file("bad.FTB2"));
        if (!bad.open(QIODevice::WriteOnly) || bad.write("not a table") != 11)
            qFatal("cannot write the bad table");
    }

    const QStringList script;
    const bool showView; // the log view printed after a violation
    Field f;
    Transmitter &tx;
    BoxAnswerer boxes { QMessageBox::Yes };
    QTimer ticker;
    QElapsedTimer sinceTick;
    QStringList violations;
    int current = 0, viewSeen = 0;
    int stopsAsked = 0, stopsOwed = 0;
    bool startOpen = false; // Start pressed, its chain not yet begun
    bool chainOpen = false; // a chain began and no stop was pressed since
    bool scanFailed = false, closed = false;
};

QString kindOf(const QString &violation)
{
    return violation.section(": ", 1).remove(QRegularExpression("[0-9]+"));
}

// Drops steps while the same kind of violation stays, halves first, then
// single lines.
QStringList shrink(QStringList script, const QString &kind)
{
    for (int chunk = script.size() / 2; chunk >= 1; chunk /= 2) {
        for (int i = 0; i + chunk <= script.size();) {
            QStringList candidate = script;
            candidate.erase(candidate.begin() + i, candidate.begin() + i + chunk);
            const QStringList found = Run(candidate).execute();
            if (!found.isEmpty() && kindOf(found.first()) == kind)
                script = candidate;
            else
                i += chunk;
        }
    }
    return script;
}

qint64 residentKiB()
{
    QFile statm("/proc/self/statm");
    if (!statm.open(QIODevice::ReadOnly))
        return 0;
    return statm.readAll().split(' ').value(1).toLongLong() * 4;
}

QStringList readScript(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly | QIODevice::Text))
        return {};
    QStringList script;
    for (const QString &line : QString::fromUtf8(file.readAll()).split('\n')) {
        if (!line.trimmed().isEmpty() && !line.startsWith('#'))
            script << line.trimmed();
    }
    return script;
}

// The command-line campaign and replay; returns the process's exit status.
int campaign(const QStringList &args)
{
    QTextStream out(stdout);
    const auto option = [&](const char *name, const QString &fallback) {
        const int at = args.indexOf(name);
        return at > 0 ? args.value(at + 1) : fallback;
    };
    if (args.contains("--replay")) {
        const QString path = option("--replay", QString());
        const QStringList script = readScript(path);
        if (script.isEmpty()) {
            out << path << ": no steps to replay\n";
            return 2;
        }
        const QStringList found = Run(script, args.contains("--view")).execute();
        out << path << ": " << (found.isEmpty() ? "no violation" : found.join("\n  ")) << "\n";
        return found.isEmpty() ? 0 : 1;
    }
    const quint32 first = option("--seed", "1").toUInt();
    const quint32 count = option("--sequences", "1").toUInt();
    const QString keep = option("--keep", "chaos-failures");
    int failed = 0;
    qint64 rssAfterFirst = 0;
    for (quint32 seed = first; seed < first + count; ++seed) {
        const QStringList script = generate(seed);
        const QStringList found = Run(script, args.contains("--view")).execute();
        if (seed == first)
            rssAfterFirst = residentKiB();
        if (found.isEmpty()) {
            out << "seed " << seed << ": ok\n" << Qt::flush;
            continue;
        }
        ++failed;
        out << "seed " << seed << ": VIOLATION " << found.join("; ") << "\n" << Qt::flush;
        if (args.contains("--no-shrink"))
            continue;
        const QStringList small = shrink(script, kindOf(found.first()));
        const QString text = QString("# seed %1, shrunk from %2 to %3 steps\n# %4\n%5\n")
                                 .arg(seed)
                                 .arg(script.size())
                                 .arg(small.size())
                                 .arg(found.first(), small.join('\n'));
        QDir().mkpath(keep);
        QFile file(QDir(keep).filePath(QString("seed-%1.chaos").arg(seed)));
        if (file.open(QIODevice::WriteOnly))
            file.write(text.toUtf8());
        out << text << "# kept in " << file.fileName() << "\n" << Qt::flush;
    }
    // Each sequence builds and drops a whole window; what stays grows with leaks.
    const qint64 grown = residentKiB() - rssAfterFirst;
    out << "resident memory after the first sequence and after the last: +" << grown << " KiB\n";
#ifdef __SANITIZE_ADDRESS__
    const bool measured = false; // AddressSanitizer holds freed memory back on purpose
#else
    const bool measured = true;
#endif
    if (measured && count >= 20 && grown > 32 * 1024) {
        out << "VIOLATION memory grew by " << grown << " KiB over " << count << " sequences\n";
        ++failed;
    }
    return failed ? 1 : 0;
}

} // namespace

class ChaosTest : public QObject
{
    Q_OBJECT

private slots:
    void fixedBudget();
};

// Seeds that found faults once, and every shrunk sequence kept, each in a
// process of its own, many at once: the runs mostly sleep on the product's
// timers.
void ChaosTest::fixedBudget()
{
    QList<QStringList> jobs;
    // A spread, and seeds that failed with one of the window's mends taken
    // out: 15 44 47 the stop after an unknown start, 22 66 80 the stop that
    // calls off a start, 81 92 124 the late answer read as a status, 121 the
    // stop that calls off a delay.
    const quint32 seeds[] = { 1, 2, 3, 4, 5, 6, 7, 8, 15, 22, 44, 47, 66, 80, 81, 92, 121, 124 };
    for (quint32 seed : seeds)
        jobs << QStringList { "--seed", QString::number(seed), "--no-shrink" };
    QDirIterator kept(CHAOS_ROWS, { "*.chaos" });
    while (kept.hasNext())
        jobs << QStringList { "--replay", kept.next() };

    QStringList failures;
    std::vector<std::unique_ptr<QProcess>> running;
    int next = 0, done = 0;
    const int atOnce = 16;
    while (done < jobs.size()) {
        while (next < jobs.size() && int(running.size()) < atOnce) {
            running.push_back(std::make_unique<QProcess>());
            running.back()->setProcessChannelMode(QProcess::MergedChannels);
            running.back()->setProperty("job", jobs.at(next++).join(' '));
            running.back()->start(QCoreApplication::applicationFilePath(), jobs.at(next - 1));
        }
        QVERIFY(QTest::qWaitFor(
            [&] {
                return std::any_of(running.begin(), running.end(),
                    [](const std::unique_ptr<QProcess> &p) { return p->state() == QProcess::NotRunning; });
            },
            120000));
        for (auto it = running.begin(); it != running.end();) {
            QProcess &p = **it;
            if (p.state() != QProcess::NotRunning) {
                ++it;
                continue;
            }
            if (p.exitStatus() != QProcess::NormalExit || p.exitCode() != 0)
                failures << p.property("job").toString() + ":\n" + QString::fromUtf8(p.readAll());
            ++done;
            it = running.erase(it);
        }
    }
    QVERIFY2(failures.isEmpty(), qPrintable(failures.join("\n")));
}

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    const QStringList args = app.arguments();
    if (args.contains("--seed") || args.contains("--replay"))
        return campaign(args);
    ChaosTest test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_chaos.moc"
