#include "ftb2bytes.h"
#include "txsimfield.h"

#include <QDirIterator>
#include <QProcess>
#include <QRandomGenerator>
#include <QRegularExpression>

// A random operator against a random transmitter, a script drawn from a seed (--seed S --sequences N [--keep DIR]
// [--no-shrink]) or read from a file (--replay FILE), so a failure shrinks and replays.

namespace {

struct Run;
using Words = const QStringList &;
struct Verb
{
    int weight; // in a hundred generated steps; a wait comes before each
    QString line; // drawn word by word: a|b one of them, 2-9 a number in that range
    void (*act)(Run &, Words);
};
const Verb *verbOf(const QString &name);

// One script against a fresh window and simulator.
struct Run
{
    explicit Run(const QStringList &script)
        : script(script)
    {
        QObject::connect(&tx, &Transmitter::commandReceived, [this](const QByteArray &p) { received(quint8(p[0])); });
        QObject::connect(&ticker, &QTimer::timeout, [this] { tick(); });
    }

    // What went wrong first, and in which step; empty when nothing did.
    QString execute()
    {
        truthLies().clear();
        if (!f.connectAndPoll(1))
            return { "no link at the start" };
        sinceTick.start();
        ticker.start(10);
        for (current = 0; current < script.size() && violation.isEmpty() && !closed; ++current) {
            const QStringList words = script.at(current).split(' ', Qt::SkipEmptyParts);
            const Verb *verb = verbOf(words.value(0));
            // What the device receives from here on was sent after the step.
            if (f.d.serialPort->isOpen())
                f.d.serialPort->flush();
            tx.drain();
            verb ? verb->act(*this, words) : violate("not a step of this script language");
            tick();
        }
        if (violation.isEmpty() && !closed)
            settle();
        return violation;
    }

    void violate(const QString &what)
    {
        const QString step = QString("step %1 (%2)").arg(current + 1).arg(script.value(current));
        violation = violation.isEmpty() ? (current < script.size() ? step : "left alone") + ": " + what : violation;
    }

    QPushButton *button(const char *name) { return f.d.w<QPushButton>(name); }
    bool press(const char *name, const char *field = nullptr, const QString &text = {})
    {
        if (field && f.d.w<QLineEdit>(field)->isEnabled())
            f.d.w<QLineEdit>(field)->setText(text);
        const bool usable = button(name)->isEnabled();
        if (usable)
            button(name)->click();
        return usable;
    }

    void start(Words w)
    {
        if (!button("btn_start")->isEnabled())
            return;
        const bool sweep = w.value(1) == "sweep";
        f.d.w<QRadioButton>(sweep ? "rBtn_continue" : "rBtn_single")->click();
        if (sweep && f.d.tableModel->rowCount() == 0 && button("btn_add")->isEnabled())
            f.d.addRow("4", "10");
        const QString hour = tx.clock().addSecs(3600).toString("yyyy/MM/dd hh:mm:ss");
        startOpen = press("btn_start", "edt_send_time", w.value(2) == "hour" ? hour : QString());
    }

    // Two tables to import: one good, one the reader refuses.
    void import(Words w)
    {
        if (!writeFile(f.folder.file("good.FTB2"), ftb2Bytes({ { 1200, 16, 40, 10 }, { 2400, 8, 80, 10 } }))
            || !writeFile(f.folder.file("bad.FTB2"), "not a table"))
            qFatal("cannot write the tables to import");
        f.d.dialogAnswers = QStringList { f.folder.file(w.value(1) + ".FTB2") };
        press("btn_import");
    }

    void stop()
    {
        if (press("btn_stop")) {
            ++stopsAsked;
            startOpen = chainOpen = false;
        }
    }

    // The program ends here; Yes to "the transmitter is running" asks for the stop.
    void close(Words w)
    {
        f.boxes.answer = w.value(1) == "yes" ? QMessageBox::Yes : QMessageBox::No;
        const int asked = f.boxes.seen.size();
        f.d.close();
        stopsAsked += w.value(1) == "yes" && f.boxes.seen.mid(asked).join('\n').contains("关闭窗口不会使其停止");
        closed = true;
    }

    // The wire carries only what the operator asked for, or what the view
    // said would follow (a stop after a start of unknown outcome).
    void received(quint8 code)
    {
        const QStringList view = f.view();
        if (f.truth.firmwareRefused() && code != 0x02 && code != 0x0A)
            violate("0x" + QString::number(code, 16) + " sent to refused firmware");
        const auto last = [&](const QString &text) { return view.lastIndexOf(QRegularExpression(".*" + text + ".*")); };
        if (code == 0x07 && last("警告：未连接！") > last("扫描端口"))
            violate("a status poll on the port of a failed scan");
        if (code == 0x04 && commandsOf(tx, 0x04) > stopsAsked + view.filter("启动结果未知，发送停止命令").size())
            violate("a stop nobody asked for");
        if (code == 0x05 && !startOpen)
            violate("a start chain nobody pressed for");
        if ((code == 0x06 || code == 0x01) && !chainOpen)
            violate("0x" + QString::number(code, 16) + " of a start chain called off");
        chainOpen = code == 0x05 || (chainOpen && code != 0x01);
        startOpen = startOpen && code != 0x05;
    }

    void tick()
    {
        const qint64 gap = sinceTick.restart();
        if (gap > 1000)
            violate(QString("the event loop did not answer for %1 ms").arg(gap));
        // A press ends when its chain goes out or Start is usable again.
        startOpen = startOpen && !button("btn_start")->isEnabled();
        for (const QString &lie : truthLies())
            violate(lie.section(": ", 1));
        truthLies().clear();
    }

    // Left alone with the device back as it was, the window tells the truth
    // within three polls, the last with the device the same on either side.
    void settle()
    {
        current = script.size();
        tx.clearFaults();
        tx.setVersion(0x21, 19, 6, 3);
        tx.replug();
        // Answers still queued from before may spoil one scan, not two.
        const auto held = [&] { return tx.isTransmitting() ? "工作中" : tx.isArmed() ? "待发送" : "空闲"; };
        QString truth;
        for (int polls = 0, scans = 0; polls < 3 || (truth != held() && polls < 6);) {
            truth = held();
            if (f.awaitPolls(1, 5000))
                ++polls;
            else if (!polls && scans++ < 2 && QTest::qWaitFor([&] { return button("pushButton")->isEnabled(); }, 8000))
                f.scan();
            else
                return violate(polls ? "the poll stopped while the device was left alone" : "no scan finds the device");
        }
        const quint8 status = tx.statusByte();
        const auto visible = [&](const char *name) { return f.label(name)->isVisibleTo(&f.d); };
        const QString work = f.text("label_work_statu");
        const QStringList window { f.text("label_dev_statu"), work == "未知" ? truth : work, f.text("label_gps_lock"),
            f.text("label_gps_sec"), visible("label_warning_info") ? f.text("label_warning_info") : "",
            visible("label_safe") ? "interrupt" : "" };
        const QStringList device { "已连接", truth, status & 0x40 ? "已锁定" : "未锁定",
            status & 0x20 ? "已闰秒" : "未闰秒", warningOf(status), status & 1 ? "interrupt" : "" };
        if (window != device)
            violate(QString("left alone, the window shows [%1], the device holds [%2]")
                        .arg(window.join(' '), device.join(' ')));
    }

    const QStringList script;
    Field f;
    Transmitter &tx = f.tx();
    QTimer ticker;
    QElapsedTimer sinceTick;
    QString violation;
    int current = 0, stopsAsked = 0;
    bool closed = false;
    bool startOpen = false; // Start pressed, its chain not yet begun
    bool chainOpen = false; // a chain began and no stop was pressed since
};

// Named in the order of txsim's faults.
const QStringList kFaults = QString("none silent garbled pieces late refused extra stuffed next twice").split(' ');
void fault(Run &r, Words w)
{
    const FaultSpec given { Fault(kFaults.indexOf(w.value(1))), 3, 20, w.value(3).toInt(), w.value(4).mid(1).toInt() };
    r.tx.setFault(quint8(w.value(2).toUInt(nullptr, 16)), given);
}

// Faults are the exceptions, late by less or more than the time-out; the start
// chain's commands come up most, since most faults hide there.
const QString kFault = "fault %1 0x05|0x06|0x01|0x05|0x06|0x01|0x04|0x09|0x07|0x07|0x02|0x0A|0x03 %2 x1|x1|x1|x2-3";
const Verb kVerbs[] = {
    { 0, "wait 0-249|0-249|0-249|250-1499|250-1499|1500-3499", [](Run &, Words w) { QTest::qWait(w[1].toInt()); } },
    { 20, "start single|sweep now|hour", [](Run &r, Words w) { r.start(w); } },
    { 12, "stop", [](Run &r, Words) { r.stop(); } },
    { 6, "scan", [](Run &r, Words) { r.press("pushButton"); } },
    { 4, "delay 1-3000", [](Run &r, Words w) { r.press("btn_time_delay", "edt_time_delay", w.value(1)); } },
    { 3, "add", [](Run &r, Words) { r.press("btn_add"); } },
    { 3, "delete", [](Run &r, Words) { r.press("btn_delete"); } },
    { 3, "import good|bad", [](Run &r, Words w) { r.import(w); } },
    { 2, "round minute|period",
        [](Run &r, Words w) { r.press(w[1] == "minute" ? "btn_round_min" : "btn_round_circel"); } },
    { 0, "close yes|no", [](Run &r, Words w) { r.close(w); } },
    { 16, kFault.arg("silent|garbled|stuffed|pieces|twice|refused|extra|next", "0"), fault },
    { 6, kFault.arg("late", "15-150|200-1950|2050-3500"), fault },
    { 6, "plug in|out", [](Run &r, Words w) { w[1] == "out" ? r.tx.unplug() : void(r.tx.replug()); } },
    { 4, "gps on|off", [](Run &r, Words w) { r.tx.setGpsLocked(w.value(1) == "on"); } },
    { 3, "leap on|off", [](Run &r, Words w) { r.tx.setLeapDone(w.value(1) == "on"); } },
    { 2, "interrupt on|off", [](Run &r, Words w) { r.tx.setInterruptProtection(w.value(1) == "on"); } },
    { 5, "warnings 0|0|1-15",
        [](Run &r, Words w) {
            const int b = w[1].toInt();
            r.tx.setWarnings(b & 8, b & 4, b & 2, b & 1);
        } },
    { 5, "firmware 0x21|0x21|0x30", [](Run &r, Words w) { r.tx.setVersion(w[1].toUInt(nullptr, 0), 19, 6, 3); } },
};

const Verb *verbOf(const QString &name)
{
    const auto named = [&](const Verb &verb) { return verb.line.section(' ', 0, 0) == name; };
    const Verb *verb = std::find_if(std::begin(kVerbs), std::end(kVerbs), named);
    return verb == std::end(kVerbs) ? nullptr : verb;
}

QString draw(QRandomGenerator &random, const QString &line)
{
    QStringList words;
    for (const QString &word : line.split(' ')) {
        const QStringList choices = word.split('|');
        const QString chosen = choices.at(random.bounded(choices.size()));
        const auto range = QRegularExpression("^(\\D*)(\\d+)-(\\d+)$").match(chosen);
        const int low = range.captured(2).toInt(), high = range.captured(3).toInt() + 1;
        words << (range.hasMatch() ? range.captured(1) + QString::number(random.bounded(low, high)) : chosen);
    }
    return words.join(' ');
}

QStringList generate(quint32 seed)
{
    QRandomGenerator random(seed);
    QStringList script;
    for (int steps = 10 + random.bounded(7); steps > 0; --steps) {
        script << draw(random, verbOf("wait")->line);
        int at = random.bounded(100);
        const Verb *verb = std::begin(kVerbs);
        while ((at -= verb->weight) >= 0)
            ++verb;
        script << draw(random, verb->line);
    }
    if (random.bounded(8) == 0)
        script << draw(random, verbOf("close")->line);
    return script;
}

// Drops steps while the same kind of violation stays, halves first.
QStringList shrink(QStringList script, const QString &violation)
{
    const auto kind = [](const QString &v) { return v.section(": ", 1).remove(QRegularExpression("[0-9]+")); };
    for (int chunk = script.size() / 2; chunk >= 1; chunk /= 2) {
        for (int i = 0; i + chunk <= script.size();) {
            QStringList candidate = script;
            candidate.erase(candidate.begin() + i, candidate.begin() + i + chunk);
            const QString found = Run(candidate).execute();
            if (!found.isEmpty() && kind(found) == kind(violation))
                script = candidate;
            else
                i += chunk;
        }
    }
    return script;
}

// The command-line campaign and replay; returns the process's exit status.
int campaign(const QStringList &args)
{
    QTextStream out(stdout);
    const auto option = [&](const char *name) { return args.value(args.indexOf(name) + 1); };
    if (args.contains("--replay")) {
        QFile file(option("--replay"));
        file.open(QIODevice::ReadOnly | QIODevice::Text);
        Run run(QString::fromUtf8(file.readAll()).split('\n').filter(QRegularExpression("^\\s*[^#\\s]")));
        const QString found = run.script.isEmpty() ? "no steps to replay" : run.execute();
        out << file.fileName() << ": " << (found.isEmpty() ? "no violation" : found + "\n" + run.f.view().join('\n'))
            << "\n";
        return found.isEmpty() ? 0 : 1;
    }
    const quint32 first = option("--seed").toUInt(), count = qMax(1u, option("--sequences").toUInt());
    int failed = 0;
    // Each sequence builds and drops a whole window; what stays grows with leaks.
    const auto residentKiB = [] {
        QFile statm("/proc/self/statm");
        return statm.open(QIODevice::ReadOnly) ? statm.readAll().split(' ').value(1).toLongLong() * 4 : 0;
    };
    qint64 afterFirst = 0;
    for (quint32 seed = first; seed < first + count; ++seed) {
        const QStringList script = generate(seed);
        const QString found = Run(script).execute();
        afterFirst = seed == first ? residentKiB() : afterFirst;
        out << "seed " << seed << ": " << (found.isEmpty() ? "ok" : "VIOLATION " + found) << "\n" << Qt::flush;
        failed += !found.isEmpty();
        if (found.isEmpty() || args.contains("--no-shrink"))
            continue;
        const QString text = QString("# seed %1: %2\n%3\n").arg(seed).arg(found, shrink(script, found).join('\n'));
        const QDir keep(args.contains("--keep") ? option("--keep") : "chaos-failures");
        QFile file(keep.filePath(QString("seed-%1.chaos").arg(seed)));
        if (keep.mkpath(".") && file.open(QIODevice::WriteOnly))
            file.write(text.toUtf8());
        out << text << Qt::flush;
    }
#ifndef __SANITIZE_ADDRESS__ // which holds freed memory back on purpose
    const qint64 grown = residentKiB() - afterFirst;
    if (count >= 20 && grown > 32 * 1024 && ++failed)
        out << "VIOLATION memory grew by " << grown << " KiB over " << count << " sequences\n";
#endif
    return failed ? 1 : 0;
}

} // namespace

class ChaosTest : public QObject
{
    Q_OBJECT

private slots:
    // A spread of seeds and every shrunk sequence kept, each in a process of
    // its own and all at once: the runs mostly sleep on the product's timers.
    void budget()
    {
        std::vector<std::unique_ptr<QProcess>> runs;
        const auto run = [&](const QStringList &args) {
            runs.emplace_back(new QProcess)->setProcessChannelMode(QProcess::MergedChannels);
            runs.back()->start(QCoreApplication::applicationFilePath(), args);
        };
        for (int seed : { 1, 2, 3, 4, 5, 6, 7, 8, 15, 22, 44, 47, 66, 80, 81, 92, 121, 124 })
            run({ "--seed", QString::number(seed), "--no-shrink" });
        for (QDirIterator kept(CHAOS_ROWS, { "*.chaos" }); kept.hasNext();)
            run({ "--replay", kept.next() });
        for (const auto &run : runs)
            QVERIFY(QTest::qWaitFor([&] { return run->state() == QProcess::NotRunning; }, 120000));
        for (const auto &run : runs)
            QVERIFY2(run->exitStatus() == QProcess::NormalExit && run->exitCode() == 0,
                qPrintable(run->arguments().join(' ') + ":\n" + run->readAll()));
    }
};

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
