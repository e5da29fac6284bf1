// SourceDeskDemo: the SourceDesk window connected to a simulated transmitter
// that runs inside the same process, for a first look without hardware.
#include "app/srcdesk.h"
#include "app/startup.h"
#include "console.h"
#include "linewriter.h"
#include "screenshots.h"
#include "transmitter.h"

#include <QApplication>
#include <QCommandLineParser>
#include <QDateTime>
#include <QMessageBox>

#include <cstdio>
#include <memory>
#include <unistd.h>

int main(int argc, char *argv[])
{
    QCommandLineParser options;
    options.setApplicationDescription("SourceDesk connected to a simulated transmitter.");
    const QCommandLineOption help = options.addHelpOption();
    const QCommandLineOption screenshots("screenshots",
        "Run without a person: connect, start a sweep, wait for its send time, watch it run, stop, quit without "
        "saving, and keep screenshots of the connected window, of the wait and of the running transmission in "
        "<folder>.",
        "folder");
    options.addOption(screenshots);
    {
        // Help needs no display: answer it before the window system is opened.
        QCoreApplication plain(argc, argv);
        options.parse(plain.arguments());
        if (options.isSet(help) || options.isSet("help-all"))
            options.process(plain);
    }
    QApplication app(argc, argv);
    options.process(app);

    // Firmware V2.1 built 2019-06-03; the GPS clock is the PC's. Lock and leap
    // second arrive a few seconds after the first contact, as in the field.
    txsim::Transmitter transmitter;
    transmitter.setVersion(0x21, 19, 6, 3);
    transmitter.useSystemClock();
    QObject::connect(&transmitter, &txsim::Transmitter::commandReceived, &transmitter, [&transmitter] {
        static bool contacted = false;
        if (contacted)
            return;
        contacted = true;
        const QDateTime now = QDateTime::currentDateTime();
        transmitter.setGpsLockedAt(now.addSecs(4));
        transmitter.setLeapDoneAt(now.addSecs(6));
    });
    SrcDesk *shown = nullptr;
    const auto prepare = [&](SrcDesk &window) {
        if (!transmitter.start()) {
            QMessageBox::critical(
                nullptr, "SourceDeskDemo", "The simulated transmitter could not start: " + transmitter.errorString());
            return false;
        }
        window.SetPortSource([&transmitter] { return QStringList(transmitter.portPath()); });
        window.setWindowTitle(QCoreApplication::translate("SrcDesk", "%1 (模拟发射机)").arg(WindowTitle()));
        const QString simulated = QCoreApplication::translate("SrcDesk", "发射机为模拟设备，未连接真实硬件");
        window.LogToView(LogSystemInfo, simulated);
        window.LogToFile(simulated);
        shown = &window;
        return true;
    };

    if (!options.isSet(screenshots)) {
        // A trainer steers the simulated transmitter from the terminal the demo
        // was started in, with txsim's own commands.
        return StartDesk(app, prepare, [&] {
            txsim::Console console(transmitter);
            txsim::LineWriter replies(STDOUT_FILENO);
            std::unique_ptr<txsim::ConsoleInput> input;
            if (txsim::ConsoleInput::canListen(STDIN_FILENO)) {
                input = std::make_unique<txsim::ConsoleInput>(
                    console, STDIN_FILENO, [&replies](const QString &text) { replies.write(text); });
                QObject::connect(input.get(), &txsim::ConsoleInput::quitRequested, shown, &QWidget::close);
                replies.write("The simulated transmitter takes txsim's commands here; \"help\" lists them.");
            }
            return app.exec();
        });
    }

    bool ok = false;
    const int result = StartDesk(app, prepare, [&] {
        ScreenshotTour tour(shown, options.value(screenshots));
        QObject::connect(&tour, &ScreenshotTour::finished, [&](bool done, const QString &message) {
            ok = done;
            if (!done)
                std::fprintf(stderr, "SourceDeskDemo: %s\n", qPrintable(message));
            for (const QString &path : tour.saved())
                std::printf("Screenshot: %s\n", qPrintable(path));
            std::fflush(stdout);
            QCoreApplication::exit(done ? 0 : 1);
        });
        tour.start();
        return app.exec();
    });
    return ok ? result : (result == 0 ? 1 : result);
}
