#include "testdesk.h"

#include <QImage>
#include <QProcess>

// The demo run as a user of scripts/run would get it: from its own folder,
// headless, touring the window, leaving three screenshots and quitting.
class DemoTest : public QObject
{
    Q_OBJECT

private slots:
    void screenshotTourConnectsStartsStopsAndQuits()
    {
        QTemporaryDir folder;
        const QString demo = folder.filePath("SourceDeskDemo"), shots = folder.filePath("shots");
        QVERIFY(QFile::copy(DEMO_PATH, demo));
        QProcess run; // on the suite's own platform
        qputenv("LC_ALL", "C.UTF-8"); // the English catalogue
        run.start(demo, { "--screenshots", shots });
        QVERIFY2(run.waitForFinished(240000), "the tour did not end");
        const QString out = QString::fromUtf8(run.readAllStandardOutput());
        QVERIFY2(run.exitStatus() == QProcess::NormalExit && run.exitCode() == 0, run.readAllStandardError().data());

        for (const char *name : { "connected", "waiting", "transmitting" }) {
            const QString path = QDir(shots).filePath(QString("sourcedesk-%1.png").arg(name));
            QVERIFY2(out.contains("Screenshot: " + path), qPrintable(out));
            const QImage image(path);
            QVERIFY2(image.width() > 600 && image.height() > 400, name);
            // A window, not a blank: the white log view and the grey frame at least.
            QVERIFY(image.pixel(5, 5) != image.pixel(image.width() / 5, image.height() * 3 / 4));
        }

        // It says so when the transmitter is simulated, and leaves without saving.
        const QStringList log = logFileTexts(folder.path());
        for (const char *line : { "The transmitter is simulated; no hardware is connected.", "Startup successful.",
                 "Task stopped successfully." })
            QVERIFY2(log.contains(line), qPrintable(log.join('\n')));
        QCOMPARE(log.last(), QString("Exit the application"));
        QVERIFY(!QFileInfo::exists(folder.filePath("param.config")));

        // Its help needs no display.
        QProcess help;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        for (const char *name : { "DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM" })
            env.remove(name);
        help.setProcessEnvironment(env);
        help.start(DEMO_PATH, { "--help" });
        QVERIFY(help.waitForFinished(30000) && help.exitStatus() == QProcess::NormalExit && help.exitCode() == 0);
        QVERIFY(help.readAllStandardOutput().contains("--screenshots <folder>"));
    }
};

QTEST_MAIN(DemoTest)
#include "tst_demo.moc"
