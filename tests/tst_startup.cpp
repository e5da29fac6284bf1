#include "app/startup.h"
#include "testdesk.h"

#include <QApplication>
#include <QDomDocument>
#include <QProcess>
#include <QTranslator>

namespace {

// Starts a copy of `binary` from a folder of its own, so its log lands there.
void launch(QProcess &p, const QTemporaryDir &dir, const QString &binary, const char *locale,
    const QStringList &args = { "--quit-when-shown" })
{
    const QString copy = dir.filePath(QFileInfo(binary).fileName());
    QFile::copy(binary, copy);
    QFile::setPermissions(copy, QFile::permissions(binary));
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("LC_ALL", locale);
    env.insert("LANG", locale);
    p.setProcessEnvironment(env);
    p.start(copy, args);
}

QStringList outputLines(QProcess &p)
{
    return QString::fromUtf8(p.readAllStandardOutput()).split('\n', Qt::SkipEmptyParts);
}

} // namespace

class StartupTest : public QObject
{
    Q_OBJECT

private slots:
    void languageFollowsTheLocaleName_data();
    void languageFollowsTheLocaleName();
    void catalogueHoldsEveryMessage();
    void guardTitleAndLogOfTheStartingCopies();
};

void StartupTest::languageFollowsTheLocaleName_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<bool>("english");
    QTest::newRow("zh_CN") << "zh_CN" << false;
    QTest::newRow("zh_TW") << "zh_TW" << true;
    QTest::newRow("en_US") << "en_US" << true;
    QTest::newRow("lower-case cn") << "xx_cn" << true;
}

void StartupTest::languageFollowsTheLocaleName()
{
    QFETCH(QString, name);
    QFETCH(bool, english);
    QCOMPARE(WantsEnglish(name), english);
    QTranslator translator;
    InstallLanguage(*qApp, translator, name);
    const QString translated = QCoreApplication::translate("SrcDesk", "连接失败");
    QApplication::removeTranslator(&translator);
    QCOMPARE(translated, english ? QString("Disconnected") : QString("连接失败"));
}

void StartupTest::catalogueHoldsEveryMessage()
{
    QFile ts(CATALOGUE_SOURCE);
    QVERIFY(ts.open(QIODevice::ReadOnly));
    QDomDocument doc;
    QVERIFY(doc.setContent(&ts));

    QTranslator translator;
    QVERIFY(translator.load(":/language_EN.qm"));
    QHash<QString, int> perContext;
    const QDomNodeList contexts = doc.elementsByTagName("context");
    for (int c = 0; c < contexts.size(); ++c) {
        const QDomElement context = contexts.at(c).toElement();
        const QString name = context.firstChildElement("name").text();
        const QDomNodeList messages = context.elementsByTagName("message");
        for (int m = 0; m < messages.size(); ++m) {
            const QDomElement message = messages.at(m).toElement();
            const QString source = message.firstChildElement("source").text();
            const QString english = message.firstChildElement("translation").text();
            QVERIFY2(!english.isEmpty(), qPrintable(source));
            QCOMPARE(translator.translate(name.toUtf8(), source.toUtf8()), english);
            ++perContext[name];
        }
    }
    // Entries lost from the catalogue would pass the loop above.
    QCOMPARE(perContext.value("SrcDesk"), 174);
    QCOMPARE(perContext.value("TableModel"), 5);
}

void StartupTest::guardTitleAndLogOfTheStartingCopies()
{
    QTemporaryDir dirs[4];
    QProcess first, second;
    launch(first, dirs[0], SOURCEDESK_PATH, "zh_CN.UTF-8", {});
    QVERIFY(first.waitForStarted());
    QTRY_VERIFY_WITH_TIMEOUT(logFileTexts(dirs[0].path()).contains("应用初始化完成."), 30000);

    launch(second, dirs[1], PROBE_PATH, "zh_CN.UTF-8", {});
    QVERIFY(second.waitForFinished(60000));
    QCOMPARE(second.exitCode(), 255); // -1
    QCOMPARE(outputLines(second),
        QStringList("BOX|Open failed|The application is already running and cannot be opened again!"));
    QVERIFY(logFileTexts(dirs[1].path()).isEmpty()); // refused before anything is logged
    QCOMPARE(first.state(), QProcess::Running);

    first.kill(); // SIGKILL: the segment stays behind
    QVERIFY(first.waitForFinished());

    // The next copy starts, and after it ended normally so does another; the
    // title, checked nowhere else, is the same in both languages.
    for (int i : { 2, 3 }) {
        QProcess next;
        launch(next, dirs[i], PROBE_PATH, i == 2 ? "en_US.UTF-8" : "zh_CN.UTF-8");
        QVERIFY(next.waitForFinished(60000));
        QCOMPARE(next.exitCode(), 0);
        QVERIFY(outputLines(next).contains("TITLE|SourceDesk-V2.1.2A"));
    }

    // The log of a start holds its three lines in order.
    const QStringList texts = logFileTexts(dirs[3].path());
    const int started = texts.indexOf("应用启动!"), initialising = texts.indexOf("应用初始化...");
    QVERIFY2(started >= 0 && started < initialising && initialising < texts.indexOf("应用初始化完成."),
        qPrintable(texts.join('|')));
}

QTEST_MAIN(StartupTest)
#include "tst_startup.moc"
