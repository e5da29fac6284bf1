#include "testdesk.h"

#include <QImage>
#include <QProcess>

// The demo's self-driven tour, run as a user of scripts/run would get it:
// from its own folder, headless, leaving three screenshots and quitting.
class DemoTest : public QObject
{
    Q_OBJECT

private slots:
    void screenshotTourConnectsStartsStopsAndQuits();
    void helpNeedsNoDisplay();
};

void DemoTest::screenshotTourConnectsStartsStopsAndQuits()
{
    QTemporaryDir folder;
    const QString demo = folder.filePath("SourceDeskDemo");
    QVERIFY(QFile::copy(DEMO_PATH, demo));
    const QString shots = folder.filePath("shots");

    QProcess run;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("QT_QPA_PLATFORM", "offscreen");
    env.insert("LC_ALL", "C.UTF-8"); // the English catalogue
    run.setProcessEnvironment(env);
    run.start(demo, { "--screenshots", shots });
    QVERIFY2(run.waitForFinished(240000), "the tour did not end");
    const QString out = QString::fromUtf8(run.readAllStandardOutput());
    const QString err = QString::fromUtf8(run.readAllStandardError());
    QVERIFY2(run.exitStatus() == QProcess::NormalExit && run.exitCode() == 0, qPrintable(err));

    const QStringList names = { "sourcedesk-connected.png", "sourcedesk-waiting.png", "sourcedesk-transmitting.png" };
    for (const QString &name : names) {
        const QString path = QDir(shots).filePath(name);
        QVERIFY2(out.contains("Screenshot: " + path), qPrintable(out));
        const QImage image(path);
        QVERIFY2(image.width() > 600 && image.height() > 400, qPrintable(name));
        // A window, not a blank: the white log view and the grey frame at least.
        QVERIFY(image.pixel(5, 5) != image.pixel(image.width() / 5, image.height() * 3 / 4));
    }

    // It says so when the transmitter is simulated, and leaves without saving.
    const QStringList log = logFileTexts(folder.path());
    QVERIFY2(log.contains("The transmitter is simulated; no hardware is connected."), qPrintable(log.join('\n')));
    for (const char *line : { "Startup successful.", "Task stopped successfully.", "Exit the application" })
        QVERIFY2(log.contains(line), line);
    QCOMPARE(log.last(), QString("Exit the application"));
    QVERIFY(!QFileInfo::exists(folder.filePath("param.config")));
}

void DemoTest::helpNeedsNoDisplay()
{
    QProcess help;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.remove("DISPLAY");
    env.remove("WAYLAND_DISPLAY");
    env.remove("QT_QPA_PLATFORM");
    help.setProcessEnvironment(env);
    help.start(DEMO_PATH, { "--help" });
    QVERIFY(help.waitForFinished(30000));
    QVERIFY(help.exitStatus() == QProcess::NormalExit && help.exitCode() == 0);
    QVERIFY(help.readAllStandardOutput().contains("--screenshots <folder>"));
}

QTEST_MAIN(DemoTest)
#include "tst_demo.moc"
