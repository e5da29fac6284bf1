#pragma once

#include "framing.h"
#include "pty.h"

#include <QByteArray>
#include <QDateTime>
#include <QHash>
#include <QList>
#include <QObject>
#include <QPointer>
#include <QTemporaryDir>

#include <memory>

class QSerialPort;
class QSocketNotifier;
class QTimer;

namespace txsim {

// Late: the answer held back until the next command arrives, then sent just
// ahead of that command's answer, as a unit that answers after the program
// gave up does. Twice: the answer sent again right behind itself.
enum class Fault { None, NoAnswer, WrongStartByte, Split, Delay, Refuse, ExtraBytes, StuffedCode, Late, Twice };

struct FaultSpec
{
    Fault kind = Fault::None;
    int pieces = 2; // Split: number of pieces
    int pauseMs = 5; // Split: pause between pieces
    int delayMs = 0; // Delay: wait before answering
    int count = -1; // -1 forever, n: the next n matching commands
    QByteArray extra; // ExtraBytes: what follows the answer (empty: 00 55 AA)
};

// Command codes the device understands.
enum Command : quint8 {
    StartParameters = 0x01,
    ConnectionTest = 0x02,
    GpsTime = 0x03,
    Stop = 0x04,
    SweepMode = 0x05,
    StartSignal = 0x06,
    Status = 0x07,
    Delay = 0x09,
    Version = 0x0A,
};

// A stand-in for the transmitter's control unit on a pseudo-terminal (or a
// real serial device), serving on the event loop of the thread it lives in.
class Transmitter : public QObject
{
    Q_OBJECT
public:
    explicit Transmitter(QObject *parent = nullptr);
    ~Transmitter() override;

    bool start(); // opens a pseudo-terminal
    bool startOnDevice(const QString &devicePath); // a real serial device / loop-back cable, 115200 8N1
    // Stable path to hand to the program: a symlink in a private temporary
    // folder to the pty slave (the device path itself in device mode).
    QString portPath() const;
    QString errorString() const { return lastError; }
    void stop();
    // Like pulling a USB adapter: the program's open handle fails, the path
    // vanishes. replug() puts a new pty behind the same portPath(). In device
    // mode these only close and reopen the device.
    void unplug();
    bool replug();
    bool isPlugged() const;

    // device state
    void setVersion(quint8 versionByte, int yearSince2000, int month, int day);
    void setGpsLocked(bool on);
    void setGpsLockedAt(const QDateTime &from); // PC local time
    void setLeapDone(bool on);
    void setLeapDoneAt(const QDateTime &from); // PC local time
    void setClock(const QDateTime &at); // GPS clock reads `at` now, then runs in real time
    void useSystemClock(); // GPS clock = PC local clock (default)
    QDateTime clock() const;
    void setWarnings(bool overTemp, bool overVoltage, bool overCurrent, bool waterShortage);
    void setInterruptProtection(bool on);
    // bit7 transmitting, bit6 GPS locked, bit5 leap second, bits4..1 warnings, bit0 interrupt
    quint8 statusByte() const;
    bool isArmed() const; // start accepted, start moment not reached yet
    bool isTransmitting() const; // from the start moment until the run ends or a stop
    QDateTime plannedStart() const; // on the GPS clock; invalid when idle
    qint64 plannedDurationMs() const; // -1 until stopped
    quint8 versionByte() const { return version; }
    int lastSweepMode() const { return sweepMode; }
    int lastSignalCode() const { return signalCode; }
    qint32 lastDelay() const { return delay; }

    // what it received
    QList<QByteArray> payloads() const { return goodPayloads; }
    QList<QByteArray> rawFrames() const { return goodRaw; }
    int badFrames() const { return badCount; }
    void clearRecord();

    // faults for one command code, or for all commands with code 0
    void setFault(quint8 commandCode, const FaultSpec &spec);
    void clearFaults();
    // Bytes onto the line now, unasked. While the program's port is closed a
    // pseudo-terminal keeps them for its next open, as a USB adapter's own
    // receive buffer can.
    void sendUnasked(const QByteArray &bytes);
    // Takes what the program has written so far now, not at the next turn of
    // the event loop, so a test knows what the device had before its next step.
    void drain();

signals:
    void commandReceived(const QByteArray &payload);
    void answered(const QByteArray &bytesWritten); // once per write, so once per piece of a split answer
    void badFrameReceived(const QByteArray &bytes);
    void bytesReceived(const QByteArray &bytes); // raw, as read from the line
    void refused(const QByteArray &payload, const QString &why);
    void unplugged();
    void replugged();

private:
    enum class Mode { Off, Pty, Device };
    enum class Phase { Idle, Armed, Transmitting };

    bool openPty();
    void closeLine();
    void readMaster();
    void readDevice();
    void takeBytes(const QByteArray &bytes);
    void writeLine(const QByteArray &bytes);
    void flushPending();
    void handleCommand(const QByteArray &payload);
    QByteArray execute(const QByteArray &payload, bool refuse);
    void sendAnswer(const QByteArray &frame, const FaultSpec &fault);
    void pumpAnswers();
    FaultSpec takeFault(quint8 code);
    Phase phase() const;

    Mode mode = Mode::Off;
    Pty pty;
    std::unique_ptr<QTemporaryDir> linkDir;
    QString linkPath;
    QSocketNotifier *readNotifier = nullptr;
    QSocketNotifier *writeNotifier = nullptr;
    QPointer<QSerialPort> device;
    QString devicePath;
    QByteArray outgoing;
    QTimer *silence = nullptr;
    FrameDecoder decoder;
    QString lastError;
    // Answers leave in the order of their commands, like from the device's
    // single UART: a delayed or split answer holds back the ones after it.
    struct Piece
    {
        QByteArray bytes;
        int waitMs = 0;
    };
    QList<Piece> answerQueue;
    QByteArray lateAnswer;
    bool pumping = false;
    // A scheduled piece belongs to one line: a replug must not deliver it.
    int lineGeneration = 0;

    quint8 version = 0x21;
    int buildYear = 19, buildMonth = 6, buildDay = 3;
    QDateTime gpsLockFrom, leapFrom; // invalid: off
    qint64 clockOffsetMs = 0;
    bool warnTemp = false, warnVolt = false, warnCurr = false, warnWater = false;
    bool interrupt = false;

    mutable bool armed = false;
    QDateTime runStart; // on the GPS clock
    qint64 runMs = 0; // -1 until stopped
    int sweepMode = -1;
    int signalCode = -1;
    qint32 delay = 0;

    QList<QByteArray> goodPayloads, goodRaw;
    int badCount = 0;
    QHash<quint8, FaultSpec> faults;
};

} // namespace txsim
