#include "console.h"
#include "linewriter.h"
#include "transmitter.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QSocketNotifier>

#include <csignal>
#include <cstdio>
#include <fcntl.h>
#include <unistd.h>

namespace {

int signalPipe[2] = { -1, -1 };

void onSignal(int)
{
    const char byte = 1;
    [[maybe_unused]] ssize_t ignored = ::write(signalPipe[1], &byte, 1);
}

// The log must never hold up the answers: a pipe nobody drains loses lines
// instead (and says how many), the line keeps being served.
txsim::LineWriter logWriter(STDOUT_FILENO);

void say(const QString &text)
{
    logWriter.write(text);
}

QString stamp()
{
    return QTime::currentTime().toString(QStringLiteral("hh:mm:ss.zzz"));
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    QStringList commands;
    QString devicePath, error;
    bool help = false;
    if (!txsim::Console::commandsFromArguments(app.arguments(), &commands, &devicePath, &help, &error)) {
        std::fprintf(stderr, "txsim: %s\n", qPrintable(error));
        return 2;
    }
    if (help) {
        say(txsim::Console::helpText());
        return 0;
    }

    txsim::Transmitter tx;
    txsim::Console console(tx);
    for (const QString &command : commands) {
        bool ok = false;
        const QString reply = console.run(command, &ok);
        if (!ok) {
            std::fprintf(stderr, "txsim: %s\n", qPrintable(reply));
            return 2;
        }
    }

    const bool started = devicePath.isEmpty() ? tx.start() : tx.startOnDevice(devicePath);
    if (!started) {
        std::fprintf(stderr, "txsim: %s\n", qPrintable(tx.errorString()));
        return 1;
    }

    QObject::connect(&tx, &txsim::Transmitter::commandReceived, [](const QByteArray &payload) {
        say(QStringLiteral("%1 <- %2 %3")
                .arg(
                    stamp(), txsim::commandName(quint8(payload.isEmpty() ? 0 : payload.at(0))), txsim::toHex(payload)));
    });
    QObject::connect(&tx, &txsim::Transmitter::answered,
        [](const QByteArray &bytes) { say(QStringLiteral("%1 -> %2").arg(stamp(), txsim::toHex(bytes))); });
    QObject::connect(&tx, &txsim::Transmitter::badFrameReceived,
        [](const QByteArray &bytes) { say(QStringLiteral("%1 !! bad frame %2").arg(stamp(), txsim::toHex(bytes))); });
    QObject::connect(&tx, &txsim::Transmitter::refused, [](const QByteArray &payload, const QString &why) {
        say(QStringLiteral("%1 !! refused %2: %3")
                .arg(stamp(), txsim::commandName(quint8(payload.isEmpty() ? 0 : payload.at(0))), why));
    });

    // Signals arrive through a pipe so that the event loop, not the handler,
    // shuts the line down.
    if (::pipe(signalPipe) == 0) {
        fcntl(signalPipe[0], F_SETFD, FD_CLOEXEC);
        fcntl(signalPipe[1], F_SETFD, FD_CLOEXEC);
        struct sigaction action = {};
        action.sa_handler = onSignal;
        sigemptyset(&action.sa_mask);
        sigaction(SIGINT, &action, nullptr);
        sigaction(SIGTERM, &action, nullptr);
        auto *stopSignals = new QSocketNotifier(signalPipe[0], QSocketNotifier::Read, &app);
        QObject::connect(stopSignals, &QSocketNotifier::activated, &app, &QCoreApplication::quit);
    }

    if (txsim::ConsoleInput::canListen(STDIN_FILENO)) {
        auto *input = new txsim::ConsoleInput(console, STDIN_FILENO, say, &app);
        QObject::connect(input, &txsim::ConsoleInput::quitRequested, &app, &QCoreApplication::quit);
    }

    say(QStringLiteral("PORT %1").arg(tx.portPath()));
    const int result = app.exec();
    tx.stop();
    return result;
}
