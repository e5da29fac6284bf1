#pragma once

#include "transmitter.h"

#include <QObject>
#include <QStringList>

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

} // namespace txsim
