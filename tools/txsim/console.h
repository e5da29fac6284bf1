#pragma once

#include "transmitter.h"

#include <QObject>
#include <QStringList>

#include <functional>

class QSocketNotifier;

namespace txsim {

// Reads fault descriptions such as "status:split:3:20@2" (command, kind,
// arguments, optional count of affected commands).
bool parseFault(const QString &text, quint8 *commandCode, FaultSpec *spec, QString *error);
// "status", "version", ... for a command code; the hex code for others.
QString commandName(quint8 code);
QString toHex(const QByteArray &bytes);

// The trainer's controls of the simulated device: line commands while it
// runs, and the same settings as start-up flags.
class Console
{
public:
    explicit Console(Transmitter &transmitter)
        : tx(transmitter)
    {
    }

    // Runs one line command and returns what to print. Sets `ok` false for an
    // unknown or malformed command.
    QString run(const QString &line, bool *ok = nullptr);
    bool quitRequested() const { return quit; }

    QString describeState() const;
    QString describeRecord() const;

    // Turns start-up flags into line commands. `devicePath` receives the
    // --device argument; `help` is set for --help.
    static bool commandsFromArguments(
        const QStringList &arguments, QStringList *commands, QString *devicePath, bool *help, QString *error);
    static QString helpText();

private:
    Transmitter &tx;
    bool quit = false;
    quint8 versionByte = 0x21;
    QDate buildDate = QDate(2019, 6, 3);
};

// Runs the console's commands as lines arrive on a descriptor, standard input
// as a rule, on the event loop and without ever waiting for them.
class ConsoleInput : public QObject
{
    Q_OBJECT
public:
    ConsoleInput(Console &console, int fd, std::function<void(const QString &)> reply, QObject *parent = nullptr);

    // Someone can type or pipe commands into `fd`: a terminal of which this
    // process has the foreground (a background read would stop it), a pipe, a
    // socket or a file; not /dev/null, nor a closed descriptor.
    static bool canListen(int fd);

signals:
    void quitRequested();

private:
    void readSome();

    Console &console;
    int fd;
    std::function<void(const QString &)> reply;
    QSocketNotifier *notifier;
    QByteArray pending;
};

} // namespace txsim
