#include "transmitter.h"

#include "schedule.h"

#include <QDir>
#include <QFile>
#include <QSerialPort>
#include <QSocketNotifier>
#include <QTimer>

#include <cerrno>
#include <cstring>
#include <unistd.h>

namespace txsim {

namespace {

// A frame cut off by silence is rejected after this long; the program writes
// each command in one go, so any real pause inside a frame is a fault.
constexpr int kSilenceMs = 500;
// Response code of a refused version, GPS time, status or connection answer.
constexpr quint8 kWrongCode = 0x00;

QByteArray bytes(std::initializer_list<int> list)
{
    QByteArray out;
    for (int b : list)
        out.append(char(b));
    return out;
}

qint32 bigEndian32(const QByteArray &data, int at)
{
    return qint32(quint32(quint8(data.at(at))) << 24 | quint32(quint8(data.at(at + 1))) << 16
        | quint32(quint8(data.at(at + 2))) << 8 | quint32(quint8(data.at(at + 3))));
}

} // namespace

Transmitter::Transmitter(QObject *parent)
    : QObject(parent)
    , silence(new QTimer(this))
{
    silence->setSingleShot(true);
    silence->setInterval(kSilenceMs);
    connect(silence, &QTimer::timeout, this, [this] {
        for (const DecodedItem &item : decoder.flush()) {
            ++badCount;
            emit badFrameReceived(item.raw);
        }
    });
}

Transmitter::~Transmitter()
{
    stop();
}

bool Transmitter::start()
{
    stop();
    linkDir = std::make_unique<QTemporaryDir>(QDir::tempPath() + QStringLiteral("/txsim-XXXXXX"));
    if (!linkDir->isValid()) {
        lastError = QStringLiteral("cannot create a folder for the port link: %1").arg(linkDir->errorString());
        linkDir.reset();
        return false;
    }
    linkPath = linkDir->filePath(QStringLiteral("ttyTX"));
    mode = Mode::Pty;
    if (!openPty()) {
        stop();
        return false;
    }
    return true;
}

bool Transmitter::startOnDevice(const QString &path)
{
    stop();
    devicePath = path;
    device = new QSerialPort(path, this);
    device->setBaudRate(QSerialPort::Baud115200);
    device->setDataBits(QSerialPort::Data8);
    device->setParity(QSerialPort::NoParity);
    device->setStopBits(QSerialPort::OneStop);
    device->setFlowControl(QSerialPort::NoFlowControl);
    connect(device, &QSerialPort::readyRead, this, &Transmitter::readDevice);
    if (!device->open(QIODevice::ReadWrite)) {
        lastError = QStringLiteral("cannot open %1: %2").arg(path, device->errorString());
        delete device;
        return false;
    }
    mode = Mode::Device;
    return true;
}

QString Transmitter::portPath() const
{
    switch (mode) {
    case Mode::Pty:
        return linkPath;
    case Mode::Device:
        return devicePath;
    case Mode::Off:
        break;
    }
    return QString();
}

void Transmitter::stop()
{
    closeLine();
    if (device) {
        device->close();
        delete device;
    }
    linkDir.reset();
    linkPath.clear();
    mode = Mode::Off;
}

bool Transmitter::openPty()
{
    if (!pty.open(&lastError))
        return false;
    QFile::remove(linkPath);
    if (!QFile::link(pty.slavePath(), linkPath)) {
        lastError = QStringLiteral("cannot link %1 to %2").arg(linkPath, pty.slavePath());
        pty.close();
        return false;
    }
    readNotifier = new QSocketNotifier(pty.master(), QSocketNotifier::Read, this);
    connect(readNotifier, &QSocketNotifier::activated, this, &Transmitter::readMaster);
    writeNotifier = new QSocketNotifier(pty.master(), QSocketNotifier::Write, this);
    writeNotifier->setEnabled(false);
    connect(writeNotifier, &QSocketNotifier::activated, this, &Transmitter::flushPending);
    return true;
}

void Transmitter::closeLine()
{
    ++lineGeneration;
    delete readNotifier;
    delete writeNotifier;
    readNotifier = nullptr;
    writeNotifier = nullptr;
    pty.close();
    if (!linkPath.isEmpty())
        QFile::remove(linkPath);
    outgoing.clear();
    answerQueue.clear();
    lateAnswer.clear();
    pumping = false;
    decoder.reset();
    silence->stop();
}

void Transmitter::unplug()
{
    if (mode == Mode::Pty) {
        closeLine();
    } else if (mode == Mode::Device && device) {
        ++lineGeneration;
        answerQueue.clear();
        lateAnswer.clear();
        pumping = false;
        device->close();
    } else {
        return;
    }
    emit unplugged();
}

bool Transmitter::replug()
{
    bool ok = false;
    if (mode == Mode::Pty)
        ok = pty.isOpen() || openPty();
    else if (mode == Mode::Device && device)
        ok = device->isOpen() || device->open(QIODevice::ReadWrite);
    if (ok)
        emit replugged();
    return ok;
}

bool Transmitter::isPlugged() const
{
    if (mode == Mode::Pty)
        return pty.isOpen();
    if (mode == Mode::Device)
        return device && device->isOpen();
    return false;
}

void Transmitter::readMaster()
{
    char buffer[4096];
    for (;;) {
        const ssize_t n = ::read(pty.master(), buffer, sizeof buffer);
        if (n > 0) {
            takeBytes(QByteArray(buffer, int(n)));
            if (!pty.isOpen())
                return; // a handler unplugged us
            continue;
        }
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0 && errno == EIO && readNotifier) {
            // No slave open at all (should not happen while we hold one):
            // back off instead of spinning on a notifier that stays readable.
            readNotifier->setEnabled(false);
            const int generation = lineGeneration;
            QTimer::singleShot(50, this, [this, generation] {
                if (generation == lineGeneration && readNotifier)
                    readNotifier->setEnabled(true);
            });
        }
        return;
    }
}

void Transmitter::drain()
{
    if (mode == Mode::Pty && pty.isOpen())
        readMaster();
    else if (mode == Mode::Device)
        readDevice();
}

void Transmitter::readDevice()
{
    if (device)
        takeBytes(device->readAll());
}

void Transmitter::takeBytes(const QByteArray &data)
{
    emit bytesReceived(data);
    const QList<DecodedItem> items = decoder.feed(data);
    if (decoder.isPending())
        silence->start();
    else
        silence->stop();
    for (const DecodedItem &item : items) {
        if (!item.good) {
            ++badCount;
            emit badFrameReceived(item.raw);
            continue;
        }
        goodPayloads.append(item.payload);
        goodRaw.append(item.raw);
        emit commandReceived(item.payload);
        handleCommand(item.payload);
    }
}

void Transmitter::writeLine(const QByteArray &data)
{
    if (mode == Mode::Pty && pty.isOpen()) {
        outgoing.append(data);
        flushPending();
    } else if (mode == Mode::Device && device && device->isOpen()) {
        device->write(data);
    } else {
        return;
    }
    emit answered(data);
}

void Transmitter::flushPending()
{
    while (!outgoing.isEmpty() && pty.isOpen()) {
        const ssize_t n = ::write(pty.master(), outgoing.constData(), size_t(outgoing.size()));
        if (n > 0) {
            outgoing.remove(0, int(n));
        } else if (n < 0 && errno == EINTR) {
            continue;
        } else if (n < 0 && errno == EAGAIN) {
            writeNotifier->setEnabled(true);
            return;
        } else {
            lastError = QStringLiteral("write to the line failed: %1").arg(QString::fromLocal8Bit(strerror(errno)));
            outgoing.clear();
        }
    }
    if (writeNotifier)
        writeNotifier->setEnabled(false);
}

FaultSpec Transmitter::takeFault(quint8 code)
{
    quint8 key = code;
    if (!faults.contains(key))
        key = 0;
    if (!faults.contains(key))
        return FaultSpec();
    FaultSpec spec = faults.value(key);
    if (spec.count > 0) {
        FaultSpec &stored = faults[key];
        if (--stored.count == 0)
            faults.remove(key);
    }
    return spec;
}

void Transmitter::setFault(quint8 commandCode, const FaultSpec &spec)
{
    if (spec.kind == Fault::None || spec.count == 0)
        faults.remove(commandCode);
    else
        faults.insert(commandCode, spec);
}

void Transmitter::clearFaults()
{
    faults.clear();
}

void Transmitter::handleCommand(const QByteArray &payload)
{
    if (payload.isEmpty())
        return;
    if (!lateAnswer.isEmpty()) {
        answerQueue.append({ lateAnswer, 0 });
        lateAnswer.clear();
        pumpAnswers();
    }
    const FaultSpec fault = takeFault(quint8(payload.at(0)));
    // A command that gets no answer never reached the device.
    if (fault.kind == Fault::NoAnswer)
        return;
    QByteArray answer = execute(payload, fault.kind == Fault::Refuse);
    if (answer.isEmpty())
        return;
    if (fault.kind == Fault::StuffedCode)
        answer[0] = char(kEscapeByte);
    QByteArray frame = encodeFrame(answer);
    if (fault.kind == Fault::WrongStartByte)
        frame[0] = char(0x00);
    if (fault.kind == Fault::ExtraBytes)
        frame.append(fault.extra.isEmpty() ? bytes({ 0x00, 0x55, 0xAA }) : fault.extra);
    if (fault.kind == Fault::Twice)
        frame.append(frame);
    sendAnswer(frame, fault);
}

void Transmitter::sendUnasked(const QByteArray &bytes)
{
    writeLine(bytes);
}

void Transmitter::sendAnswer(const QByteArray &frame, const FaultSpec &fault)
{
    if (fault.kind == Fault::Late) {
        lateAnswer = frame;
        return;
    }
    if (fault.kind == Fault::Split) {
        const int count = qBound(1, fault.pieces, frame.size());
        for (int i = 0; i < count; ++i) {
            const int from = frame.size() * i / count;
            const int to = frame.size() * (i + 1) / count;
            answerQueue.append({ frame.mid(from, to - from), i == 0 ? 0 : qMax(0, fault.pauseMs) });
        }
    } else {
        answerQueue.append({ frame, fault.kind == Fault::Delay ? qMax(0, fault.delayMs) : 0 });
    }
    pumpAnswers();
}

void Transmitter::pumpAnswers()
{
    while (!pumping && !answerQueue.isEmpty()) {
        Piece &next = answerQueue.first();
        if (next.waitMs > 0) {
            pumping = true;
            const int generation = lineGeneration;
            // Precise: a coarse timer may fire 5 % early, and a delay just
            // past the program's time-out must stay past it.
            QTimer::singleShot(next.waitMs, Qt::PreciseTimer, this, [this, generation] {
                if (generation != lineGeneration)
                    return;
                pumping = false;
                answerQueue.first().waitMs = 0;
                pumpAnswers();
            });
            return;
        }
        writeLine(answerQueue.takeFirst().bytes);
    }
}

QByteArray Transmitter::execute(const QByteArray &payload, bool refuse)
{
    const quint8 code = quint8(payload.at(0));
    const quint8 answerCode = quint8(code + 0x10);
    auto reject = [&](const QString &why) {
        emit refused(payload, why);
        return bytes({ answerCode, 0 });
    };
    auto accept = [&] { return bytes({ answerCode, 1 }); };

    switch (code) {
    case ConnectionTest: {
        QByteArray echo = payload;
        if (refuse)
            echo[0] = char(kWrongCode);
        return echo;
    }
    case Status:
        return bytes({ refuse ? kWrongCode : answerCode, 0, 0, statusByte(), 0, 0 });
    case Version:
        return bytes({ refuse ? kWrongCode : answerCode, version, buildYear, buildMonth, buildDay });
    case GpsTime: {
        const QDateTime now = clock();
        const QDate d = now.date();
        const QTime t = now.time();
        return bytes({ refuse ? kWrongCode : answerCode, d.year() / 100, d.year() % 100, d.month(), d.day(), t.hour(),
            t.minute(), t.second() });
    }
    case StartParameters: {
        if (refuse)
            return reject(QStringLiteral("refusal on demand"));
        const StartPlan plan = planStart(payload, signalCode, sweepMode < 0 ? 0 : sweepMode);
        if (!plan.accepted)
            return reject(plan.refusal);
        const QDateTime now = clock();
        armed = true;
        runStart = plan.start < now ? now : plan.start;
        runMs = plan.durationMs;
        return accept();
    }
    case StartSignal:
        if (refuse)
            return reject(QStringLiteral("refusal on demand"));
        if (payload.size() != 2)
            return reject(QStringLiteral("start signal of %1 bytes").arg(payload.size()));
        if (!isKnownSignal(quint8(payload.at(1))))
            return reject(QStringLiteral("unknown signal code %1").arg(quint8(payload.at(1))));
        signalCode = quint8(payload.at(1));
        return accept();
    case Stop:
        if (refuse)
            return reject(QStringLiteral("refusal on demand"));
        armed = false;
        return accept();
    case SweepMode:
        if (refuse)
            return reject(QStringLiteral("refusal on demand"));
        if (payload.size() != 3)
            return reject(QStringLiteral("sweep mode of %1 bytes").arg(payload.size()));
        if (quint8(payload.at(1)) != 0x00 && quint8(payload.at(1)) != kCyclicSweep)
            return reject(QStringLiteral("unknown sweep mode %1").arg(quint8(payload.at(1))));
        sweepMode = quint8(payload.at(1));
        return accept();
    case Delay:
        if (refuse)
            return reject(QStringLiteral("refusal on demand"));
        if (payload.size() != 5)
            return reject(QStringLiteral("delay of %1 bytes").arg(payload.size()));
        delay = bigEndian32(payload, 1);
        return accept();
    default:
        emit refused(payload, QStringLiteral("unknown command, no answer"));
        return QByteArray();
    }
}

// --- device state ---

void Transmitter::setVersion(quint8 versionByte, int yearSince2000, int month, int day)
{
    version = versionByte;
    buildYear = yearSince2000;
    buildMonth = month;
    buildDay = day;
}

void Transmitter::setGpsLocked(bool on)
{
    gpsLockFrom = on ? QDateTime::fromMSecsSinceEpoch(0) : QDateTime();
}

void Transmitter::setGpsLockedAt(const QDateTime &from)
{
    gpsLockFrom = from;
}

void Transmitter::setLeapDone(bool on)
{
    leapFrom = on ? QDateTime::fromMSecsSinceEpoch(0) : QDateTime();
}

void Transmitter::setLeapDoneAt(const QDateTime &from)
{
    leapFrom = from;
}

void Transmitter::setClock(const QDateTime &at)
{
    clockOffsetMs = QDateTime::currentDateTime().msecsTo(at);
}

void Transmitter::useSystemClock()
{
    clockOffsetMs = 0;
}

QDateTime Transmitter::clock() const
{
    return QDateTime::currentDateTime().addMSecs(clockOffsetMs);
}

void Transmitter::setWarnings(bool overTemp, bool overVoltage, bool overCurrent, bool waterShortage)
{
    warnTemp = overTemp;
    warnVolt = overVoltage;
    warnCurr = overCurrent;
    warnWater = waterShortage;
}

void Transmitter::setInterruptProtection(bool on)
{
    interrupt = on;
}

Transmitter::Phase Transmitter::phase() const
{
    if (!armed)
        return Phase::Idle;
    const QDateTime now = clock();
    if (now < runStart)
        return Phase::Armed;
    if (runMs < 0 || now < runStart.addMSecs(runMs))
        return Phase::Transmitting;
    armed = false; // the run is over; a clock set back later must not revive it
    return Phase::Idle;
}

quint8 Transmitter::statusByte() const
{
    const QDateTime pcNow = QDateTime::currentDateTime();
    quint8 status = 0;
    if (phase() == Phase::Transmitting)
        status |= 0x80;
    if (gpsLockFrom.isValid() && pcNow >= gpsLockFrom)
        status |= 0x40;
    if (leapFrom.isValid() && pcNow >= leapFrom)
        status |= 0x20;
    if (warnTemp)
        status |= 0x10;
    if (warnVolt)
        status |= 0x08;
    if (warnCurr)
        status |= 0x04;
    if (warnWater)
        status |= 0x02;
    if (interrupt)
        status |= 0x01;
    return status;
}

bool Transmitter::isArmed() const
{
    return phase() == Phase::Armed;
}

bool Transmitter::isTransmitting() const
{
    return phase() == Phase::Transmitting;
}

QDateTime Transmitter::plannedStart() const
{
    return phase() == Phase::Idle ? QDateTime() : runStart;
}

qint64 Transmitter::plannedDurationMs() const
{
    return phase() == Phase::Idle ? 0 : runMs;
}

void Transmitter::clearRecord()
{
    goodPayloads.clear();
    goodRaw.clear();
    badCount = 0;
}

} // namespace txsim
