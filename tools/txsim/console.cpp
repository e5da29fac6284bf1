#include "console.h"

#include <QDateTime>
#include <QRegularExpression>
#include <QSocketNotifier>

#include <cerrno>
#include <sys/stat.h>
#include <unistd.h>

namespace txsim {

namespace {

const struct
{
    const char *name;
    quint8 code;
} kCommandNames[] = {
    { "all", 0x00 },
    { "params", StartParameters },
    { "test", ConnectionTest },
    { "gps", GpsTime },
    { "stop", Stop },
    { "sweep", SweepMode },
    { "signal", StartSignal },
    { "status", Status },
    { "delay", Delay },
    { "version", Version },
};

bool parseCommand(const QString &text, quint8 *code)
{
    for (const auto &entry : kCommandNames) {
        if (text.compare(QLatin1String(entry.name), Qt::CaseInsensitive) == 0) {
            *code = entry.code;
            return true;
        }
    }
    bool ok = false;
    const uint value = text.toUInt(&ok, 0);
    if (!ok || value > 0xFF)
        return false;
    *code = quint8(value);
    return true;
}

bool parseOnOffOrSeconds(const QString &text, QDateTime *from)
{
    if (text == QLatin1String("on")) {
        *from = QDateTime::fromMSecsSinceEpoch(0);
        return true;
    }
    if (text == QLatin1String("off")) {
        *from = QDateTime();
        return true;
    }
    bool ok = false;
    const double seconds = text.toDouble(&ok);
    if (!ok || seconds < 0)
        return false;
    *from = QDateTime::currentDateTime().addMSecs(qint64(seconds * 1000));
    return true;
}

} // namespace

QString commandName(quint8 code)
{
    for (const auto &entry : kCommandNames) {
        if (entry.code == code && code != 0)
            return QLatin1String(entry.name);
    }
    return QStringLiteral("0x%1").arg(code, 2, 16, QLatin1Char('0'));
}

QString toHex(const QByteArray &bytes)
{
    return QString::fromLatin1(bytes.toHex(' ').toUpper());
}

bool parseFault(const QString &text, quint8 *commandCode, FaultSpec *spec, QString *error)
{
    auto fail = [&](const QString &why) {
        if (error)
            *error = QStringLiteral("fault \"%1\": %2").arg(text, why);
        return false;
    };
    QString body = text.trimmed();
    FaultSpec out;
    const int at = body.indexOf(QLatin1Char('@'));
    if (at >= 0) {
        bool ok = false;
        out.count = body.mid(at + 1).toInt(&ok);
        if (!ok || out.count < 1)
            return fail(QStringLiteral("the count after @ must be a positive number"));
        body.truncate(at);
    }
    const QStringList parts = body.split(QLatin1Char(':'));
    if (parts.size() < 2)
        return fail(QStringLiteral("expected COMMAND:KIND"));
    if (!parseCommand(parts.at(0), commandCode))
        return fail(QStringLiteral("unknown command %1").arg(parts.at(0)));

    const QString kind = parts.at(1).toLower();
    QList<int> numbers;
    bool numeric = true;
    for (int i = 2; i < parts.size(); ++i) {
        bool ok = false;
        numbers << parts.at(i).toInt(&ok);
        numeric = numeric && ok && numbers.last() >= 0;
    }
    auto arguments = [&](int most) { return parts.size() - 2 <= most; };

    if (kind == QLatin1String("none") && arguments(0)) {
        out.kind = Fault::None;
    } else if (kind == QLatin1String("noanswer") && arguments(0)) {
        out.kind = Fault::NoAnswer;
    } else if (kind == QLatin1String("wrongstart") && arguments(0)) {
        out.kind = Fault::WrongStartByte;
    } else if (kind == QLatin1String("refuse") && arguments(0)) {
        out.kind = Fault::Refuse;
    } else if (kind == QLatin1String("stuffed") && arguments(0)) {
        out.kind = Fault::StuffedCode;
    } else if (kind == QLatin1String("late") && arguments(0)) {
        out.kind = Fault::Late;
    } else if (kind == QLatin1String("twice") && arguments(0)) {
        out.kind = Fault::Twice;

    } else if (kind == QLatin1String("split") && arguments(2) && numeric) {
        out.kind = Fault::Split;
        if (numbers.size() > 0)
            out.pieces = numbers.at(0);
        if (numbers.size() > 1)
            out.pauseMs = numbers.at(1);
        if (out.pieces < 2)
            return fail(QStringLiteral("a split needs at least 2 pieces"));
    } else if (kind == QLatin1String("delay") && parts.size() == 3 && numeric) {
        out.kind = Fault::Delay;
        out.delayMs = numbers.at(0);
    } else if (kind == QLatin1String("extra") && arguments(1)) {
        out.kind = Fault::ExtraBytes;
        if (parts.size() == 3) {
            if (!QRegularExpression(QStringLiteral("^([0-9A-Fa-f]{2})+$")).match(parts.at(2)).hasMatch())
                return fail(QStringLiteral("extra bytes are written as hex digits, e.g. 0055AA"));
            out.extra = QByteArray::fromHex(parts.at(2).toLatin1());
        }
    } else {
        return fail(QStringLiteral("unknown kind or wrong arguments \"%1\"").arg(parts.mid(1).join(':')));
    }
    *spec = out;
    return true;
}

QString Console::run(const QString &line, bool *ok)
{
    if (ok)
        *ok = true;
    auto bad = [&](const QString &why) {
        if (ok)
            *ok = false;
        return QStringLiteral("error: %1").arg(why);
    };
    const QString trimmed = line.trimmed();
    const int space = trimmed.indexOf(QLatin1Char(' '));
    const QString word = trimmed.left(space < 0 ? trimmed.size() : space).toLower();
    const QString rest = space < 0 ? QString() : trimmed.mid(space + 1).trimmed();

    if (word.isEmpty())
        return QString();
    if (word == QLatin1String("lock") || word == QLatin1String("leap")) {
        QDateTime from;
        if (!parseOnOffOrSeconds(rest, &from))
            return bad(QStringLiteral("%1 on|off|SECONDS").arg(word));
        if (word == QLatin1String("lock"))
            tx.setGpsLockedAt(from);
        else
            tx.setLeapDoneAt(from);
        return describeState();
    }
    if (word == QLatin1String("warn")) {
        bool flags[4] = { false, false, false, false };
        const char *names[4] = { "temp", "volt", "curr", "water" };
        if (rest != QLatin1String("none")) {
            for (const QString &item : rest.split(QLatin1Char(','), Qt::SkipEmptyParts)) {
                int i = 0;
                while (i < 4 && item.trimmed() != QLatin1String(names[i]))
                    ++i;
                if (i == 4)
                    return bad(QStringLiteral("warn none|temp,volt,curr,water"));
                flags[i] = true;
            }
        }
        tx.setWarnings(flags[0], flags[1], flags[2], flags[3]);
        return describeState();
    }
    if (word == QLatin1String("interrupt")) {
        if (rest != QLatin1String("on") && rest != QLatin1String("off"))
            return bad(QStringLiteral("interrupt on|off"));
        tx.setInterruptProtection(rest == QLatin1String("on"));
        return describeState();
    }
    if (word == QLatin1String("clock")) {
        if (rest == QLatin1String("system")) {
            tx.useSystemClock();
            return describeState();
        }
        QString text = rest;
        text.remove(QLatin1Char('"'));
        const QDateTime at = QDateTime::fromString(text, QStringLiteral("yyyy/MM/dd hh:mm:ss"));
        if (!at.isValid())
            return bad(QStringLiteral("clock \"yyyy/MM/dd hh:mm:ss\"|system"));
        tx.setClock(at);
        return describeState();
    }
    if (word == QLatin1String("version") || word == QLatin1String("build")) {
        const QStringList args = rest.split(QLatin1Char(' '), Qt::SkipEmptyParts);
        QDate date = buildDate;
        quint8 byte = versionByte;
        bool fine = !args.isEmpty();
        if (word == QLatin1String("version") && fine) {
            const uint value = args.at(0).toUInt(&fine, 0);
            fine = fine && value <= 0xFF;
            byte = quint8(value);
        }
        const int dateAt = word == QLatin1String("version") ? 1 : 0;
        if (fine && args.size() > dateAt) {
            date = QDate::fromString(args.at(dateAt), QStringLiteral("yyyy-MM-dd"));
            fine = date.isValid() && date.year() >= 2000 && date.year() <= 2255 && args.size() == dateAt + 1;
        }
        if (!fine)
            return bad(QStringLiteral("version 0xNN [yyyy-MM-dd] | build yyyy-MM-dd"));
        versionByte = byte;
        buildDate = date;
        tx.setVersion(versionByte, date.year() - 2000, date.month(), date.day());
        return describeState();
    }
    if (word == QLatin1String("fault")) {
        quint8 code = 0;
        FaultSpec spec;
        QString error;
        if (!parseFault(rest, &code, &spec, &error))
            return bad(error);
        tx.setFault(code, spec);
        return QStringLiteral("fault set on %1").arg(code == 0 ? QStringLiteral("all commands") : commandName(code));
    }
    if (word == QLatin1String("clear")) {
        tx.clearFaults();
        return QStringLiteral("faults cleared");
    }
    if (word == QLatin1String("forget")) {
        tx.clearRecord();
        return QStringLiteral("record cleared");
    }
    if (word == QLatin1String("unplug")) {
        tx.unplug();
        return QStringLiteral("unplugged");
    }
    if (word == QLatin1String("replug")) {
        if (!tx.replug())
            return bad(QStringLiteral("replug failed: %1").arg(tx.errorString()));
        return QStringLiteral("PORT %1").arg(tx.portPath());
    }
    if (word == QLatin1String("status"))
        return describeState();
    if (word == QLatin1String("record"))
        return describeRecord();
    if (word == QLatin1String("help"))
        return helpText();
    if (word == QLatin1String("quit") || word == QLatin1String("exit")) {
        quit = true;
        return QStringLiteral("bye");
    }
    return bad(QStringLiteral("unknown command \"%1\" (try help)").arg(word));
}

QString Console::describeState() const
{
    const quint8 s = tx.statusByte();
    QString work = QStringLiteral("idle");
    if (tx.isTransmitting())
        work = QStringLiteral("transmitting");
    else if (tx.isArmed())
        work = QStringLiteral("armed, start %1").arg(tx.plannedStart().toString(QStringLiteral("yyyy/MM/dd hh:mm:ss")));
    QStringList warnings;
    const char *names[4] = { "temp", "volt", "curr", "water" };
    for (int i = 0; i < 4; ++i) {
        if (s & (0x10 >> i))
            warnings << QLatin1String(names[i]);
    }
    return QStringLiteral("STATE status=0x%1 %2 gps=%3 leap=%4 interrupt=%5 warn=%6 clock=%7 plugged=%8 "
                          "sweep=%9 signal=%10 delay=%11")
        .arg(s, 2, 16, QLatin1Char('0'))
        .arg(work)
        .arg(s & 0x40 ? "locked" : "unlocked")
        .arg(s & 0x20 ? "done" : "no")
        .arg(s & 0x01 ? "on" : "off")
        .arg(warnings.isEmpty() ? QStringLiteral("none") : warnings.join(QLatin1Char(',')))
        .arg(tx.clock().toString(QStringLiteral("yyyy/MM/dd hh:mm:ss")))
        .arg(tx.isPlugged() ? "yes" : "no")
        .arg(tx.lastSweepMode())
        .arg(tx.lastSignalCode())
        .arg(tx.lastDelay());
}

QString Console::describeRecord() const
{
    QStringList lines;
    const QList<QByteArray> payloads = tx.payloads();
    for (const QByteArray &payload : payloads)
        lines << QStringLiteral("RECORD %1 %2").arg(commandName(quint8(payload.at(0))), toHex(payload));
    lines << QStringLiteral("RECORD %1 good, %2 bad").arg(payloads.size()).arg(tx.badFrames());
    return lines.join(QLatin1Char('\n'));
}

bool Console::commandsFromArguments(
    const QStringList &arguments, QStringList *commands, QString *devicePath, bool *help, QString *error)
{
    auto fail = [&](const QString &why) {
        *error = why;
        return false;
    };
    *help = false;
    for (int i = 1; i < arguments.size(); ++i) {
        const QString flag = arguments.at(i);
        const bool hasNext = i + 1 < arguments.size();
        const QString next = hasNext ? arguments.at(i + 1) : QString();
        auto value = [&](QString *out) {
            if (!hasNext)
                return false;
            *out = next;
            ++i;
            return true;
        };
        QString v;
        if (flag == QLatin1String("--help") || flag == QLatin1String("-h")) {
            *help = true;
        } else if (flag == QLatin1String("--device")) {
            if (!value(devicePath))
                return fail(QStringLiteral("--device needs a path"));
        } else if (flag == QLatin1String("--version")) {
            if (!value(&v))
                return fail(QStringLiteral("--version needs a byte such as 0x21"));
            *commands << QStringLiteral("version %1").arg(v);
        } else if (flag == QLatin1String("--build")) {
            if (!value(&v))
                return fail(QStringLiteral("--build needs a date yyyy-MM-dd"));
            *commands << QStringLiteral("build %1").arg(v);
        } else if (flag == QLatin1String("--gps-lock") || flag == QLatin1String("--leap")) {
            // The number of seconds is optional.
            bool numeric = false;
            next.toDouble(&numeric);
            QString when = QStringLiteral("on");
            if (hasNext && numeric) {
                when = next;
                ++i;
            }
            *commands << QStringLiteral("%1 %2").arg(flag == QLatin1String("--leap") ? "leap" : "lock", when);
        } else if (flag == QLatin1String("--clock")) {
            if (!value(&v))
                return fail(QStringLiteral("--clock needs \"yyyy/MM/dd hh:mm:ss\""));
            *commands << QStringLiteral("clock %1").arg(v);
        } else if (flag == QLatin1String("--warn")) {
            if (!value(&v))
                return fail(QStringLiteral("--warn needs a list such as temp,water"));
            *commands << QStringLiteral("warn %1").arg(v);
        } else if (flag == QLatin1String("--interrupt")) {
            *commands << QStringLiteral("interrupt on");
        } else if (flag == QLatin1String("--fault")) {
            if (!value(&v))
                return fail(QStringLiteral("--fault needs CMD:KIND[:ARG]"));
            *commands << QStringLiteral("fault %1").arg(v);
        } else {
            return fail(QStringLiteral("unknown option %1 (try --help)").arg(flag));
        }
    }
    return true;
}

QString Console::helpText()
{
    return QStringLiteral(R"(Usage: txsim [options]
A simulated transmitter control unit. Opens a pseudo-terminal (or a real
serial device with --device), prints "PORT <path>" and serves until SIGINT,
SIGTERM or "quit" on standard input. Every command received, every answer
and every bad frame is logged on standard output in hex.

Options (state at start):
  --device PATH          serve on a real serial device at 115200 8N1
                         (e.g. one end of a loop-back cable)
  --version 0xNN         firmware version byte (default 0x21 = V2.1)
  --build yyyy-MM-dd     firmware build date (default 2019-06-03)
  --gps-lock [SECONDS]   GPS locked, at once or SECONDS from now
  --leap [SECONDS]       GPS leap second applied, at once or SECONDS from now
  --clock "yyyy/MM/dd hh:mm:ss"
                         GPS clock starts at this local time and runs on
                         (default: the PC clock)
  --warn LIST            raised warnings, comma separated: temp,volt,curr,water
  --interrupt            interrupt protection active
  --fault SPEC           a fault, may be repeated (see below)
  --help                 this text

Commands on standard input while running:
  lock on|off|SECONDS    GPS lock
  leap on|off|SECONDS    GPS leap second
  warn none|LIST         warnings, as --warn
  interrupt on|off       interrupt protection
  clock "yyyy/MM/dd hh:mm:ss"|system
  version 0xNN [yyyy-MM-dd]    build yyyy-MM-dd
  fault SPEC             add or replace the fault of a command
  clear                  remove all faults
  unplug                 like pulling the USB adapter: the open port fails
                         and the path disappears
  replug                 a new line behind the same path
  status                 print the device state
  record                 print the commands received and the bad frame count
  forget                 empty that record
  quit                   stop serving

Fault SPEC: COMMAND:KIND[:ARG...][@COUNT]
  COMMAND  all, test (0x02), status (0x07), version (0x0A), gps (0x03),
           params (0x01), signal (0x06), stop (0x04), sweep (0x05),
           delay (0x09), or a code such as 0x07
  KIND     noanswer           no answer; the command is ignored
           wrongstart         the answer begins with 0x00 instead of 0x7E
           split[:N[:MS]]     the answer in N pieces (2) with MS ms pauses (5)
           delay:MS           answer after MS milliseconds
           late               hold the answer until the next command comes,
                              then send it ahead of that command's answer
           twice              the answer sent twice, back to back
           refuse             status byte 0 for acknowledged commands;
                              response code 0x00 for test, status, version, gps
           extra[:HEX]        extra bytes after the answer (default 0055AA)
           stuffed            response code 0x7D, sent stuffed as 7D 5D
           none               remove the fault of that command
  @COUNT   affect only the next COUNT matching commands (default: all)
  Example: --fault status:split:3:20 --fault version:refuse@1

Device behaviour: accepted start parameters arm the device; it transmits
(status bit 7) from the start moment, on its GPS clock, for the sum of the
entries' durations (square wave, signal 4: periods / frequency; other
signals: seconds), until stopped for a count of 0x7FFFFFFF or a cyclic sweep.
Refused: start parameters not 8 + 6n bytes (n >= 1), a ladder index above 25,
a frequency above 128 Hz for a coded wave, a period count below 1, a start
moment that is no real date; unknown signal codes and sweep modes.)");
}

ConsoleInput::ConsoleInput(Console &console, int fd, std::function<void(const QString &)> reply, QObject *parent)
    : QObject(parent)
    , console(console)
    , fd(fd)
    , reply(std::move(reply))
    , notifier(new QSocketNotifier(fd, QSocketNotifier::Read, this))
{
    connect(notifier, &QSocketNotifier::activated, this, &ConsoleInput::readSome);
}

bool ConsoleInput::canListen(int fd)
{
    struct stat info;
    if (::fstat(fd, &info) != 0)
        return false;
    if (::isatty(fd))
        return ::tcgetpgrp(fd) == ::getpgrp();
    return S_ISFIFO(info.st_mode) || S_ISSOCK(info.st_mode) || S_ISREG(info.st_mode);
}

void ConsoleInput::readSome()
{
    char buffer[1024];
    const ssize_t n = ::read(fd, buffer, sizeof buffer);
    if (n <= 0) {
        // The end of the input (or a closed terminal) is no reason to stop serving.
        if (n == 0 || errno != EINTR)
            notifier->setEnabled(false);
        return;
    }
    pending.append(buffer, int(n));
    int end;
    while ((end = pending.indexOf('\n')) >= 0) {
        const QString line = QString::fromLocal8Bit(pending.left(end));
        pending.remove(0, end + 1);
        reply(console.run(line));
        if (console.quitRequested()) {
            notifier->setEnabled(false);
            emit quitRequested();
            return;
        }
    }
}

} // namespace txsim
