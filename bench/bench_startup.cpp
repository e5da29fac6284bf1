// Start-up to the first painted window, headless: runs itself N times (default
// 20) as a child that starts the window as the product's main function does,
// and times each child from its launch to the line it prints once the
// window's first paint has been flushed. The child leaves out the
// single-instance guard, so it never stands in the way of a SourceDesk or a
// test running on the same machine.

#include "platform/appfolder.h"
#include "app/srcdesk.h"
#include "app/startup.h"
#include "benchdesk.h"

#include <QLocale>
#include <QMainWindow>
#include <QProcess>
#include <QTemporaryDir>
#include <QTranslator>

#include <cstring>
#include <unistd.h>

namespace {

// In the child: the first widget of the main window that paints starts the
// first paint of the window; it is flushed by the time the event loop comes
// round to the queued report.
class FirstPaint : public QObject
{
protected:
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        auto *widget = qobject_cast<QWidget *>(watched);
        if (seen || event->type() != QEvent::Paint || !widget || !qobject_cast<QMainWindow *>(widget->window()))
            return false;
        seen = true;
        QTimer::singleShot(0, [] {
            std::printf("painted\n");
            std::fflush(stdout);
            ::_exit(0); // the figure is taken; leave without the close question
        });
        return false;
    }

private:
    bool seen = false;
};

void watchForPaint()
{
    if (qEnvironmentVariableIsSet("SRCDESK_BENCH_CHILD"))
        qApp->installEventFilter(new FirstPaint);
}
Q_COREAPP_STARTUP_FUNCTION(watchForPaint)

} // namespace

int main(int argc, char *argv[])
{
    if (qEnvironmentVariableIsSet("SRCDESK_BENCH_CHILD")) {
        SetAppFolder(qEnvironmentVariable("SRCDESK_BENCH_CHILD"));
        QApplication app(argc, argv);
        return StartDesk(app);
    }

    QCoreApplication app(argc, argv);
    const int runs = argc > 1 ? std::atoi(argv[1]) : 20;
    QTemporaryDir folder;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("QT_QPA_PLATFORM", "offscreen");
    env.insert("SRCDESK_BENCH_CHILD", folder.path());

    std::vector<double> times;
    for (int i = 0; i < runs; ++i) {
        QProcess child;
        child.setProcessEnvironment(env);
        QElapsedTimer clock;
        clock.start();
        child.start(QCoreApplication::applicationFilePath(), QStringList());
        if (!child.waitForReadyRead(10000) || !child.readAll().contains("painted")) {
            std::fprintf(stderr, "bench_startup: no painted window\n");
            return 1;
        }
        times.push_back(double(clock.nsecsElapsed()) / 1e6);
        child.waitForFinished(5000);
    }
    report("start-up to the first painted window", times);
    return 0;
}
