#include "app/startup.h"
#include "testdesk.h"

#include <QApplication>
#include <QDomDocument>
#include <QProcess>
#include <QTranslator>

namespace {

// A copy of an executable in a folder of its own, so its log lands there.
QString copyInto(const QTemporaryDir &dir, const QString &binary)
{
    const QString target = dir.filePath(QFileInfo(binary).fileName());
    QFile::remove(target);
    if (!QFile::copy(binary, target))
        return QString();
    QFile::setPermissions(target, QFile::permissions(binary));
    return target;
}

// Start-up lines of these tests are checked in Chinese.
void chineseLocale(QProcess &p)
{
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("LC_ALL", "zh_CN.UTF-8");
    env.insert("LANG", "zh_CN.UTF-8");
    p.setProcessEnvironment(env);
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
    void titleIsTheSameInBothLanguages();
    void secondCopyIsRefusedAndAKilledCopyDoesNotBlock();
    void logFileOfAStart();
};

void StartupTest::languageFollowsTheLocaleName_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<bool>("english");
    QTest::newRow("zh_CN") << "zh_CN" << false;
    QTest::newRow("bo_CN") << "bo_CN" << false;
    QTest::newRow("zh_TW") << "zh_TW" << true;
    QTest::newRow("en_US") << "en_US" << true;
    QTest::newRow("de_DE") << "de_DE" << true;
    QTest::newRow("lower-case cn") << "xx_cn" << true;
    QTest::newRow("C") << "C" << true;
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
    QCOMPARE(perContext.value("SrcDesk"), 174);
    QCOMPARE(perContext.value("TableModel"), 5);

    // Texts whose spacing and punctuation are easy to get wrong.
    auto en = [&](const char *source) { return translator.translate("SrcDesk", source); };
    QCOMPARE(en("发现端口数：%1"), QString("Number of found ports:  %1"));
    QCOMPARE(en("是否保存参数?"), QString("Do you want to save the parameters？"));
    QCOMPARE(en("**通信**：%1"), QString("** Communication ** : %1"));
    QCOMPARE(en("%调试信息->%2"), QString("% debug info -> %2"));
    QCOMPARE(en("固件版本："), QString("Firmware version："));
    QCOMPARE(en("警告：未连接！"), QString("Warning: Not connected!"));
    QCOMPARE(en("警告：未连接!"), QString("Warning: Not connected!"));
    QCOMPARE(translator.translate("TableModel", "发送时长(S)"), QString("Sending time(S)"));
    // Texts without an entry stay as written.
    for (const char *none : { "获取失败", "%1-", "%1_log.txt", "1/8192", "SrcDesk", "%1.FTB2" })
        QVERIFY2(translator.translate("SrcDesk", none).isEmpty(), none);
    QVERIFY(translator.translate("QObject", "SourceDesk-V%1.%2.%3A").isEmpty());
    QVERIFY(translator.translate("QObject", "Open failed").isEmpty());
}

void StartupTest::titleIsTheSameInBothLanguages()
{
    QCOMPARE(WindowTitle(), QString("SourceDesk-V2.1.2A"));
    for (const char *locale : { "zh_CN.UTF-8", "en_US.UTF-8" }) {
        QTemporaryDir dir;
        QProcess probe;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert("LC_ALL", locale);
        env.insert("LANG", locale);
        probe.setProcessEnvironment(env);
        probe.start(copyInto(dir, PROBE_PATH), { "--quit-when-shown" });
        QVERIFY(probe.waitForFinished(60000));
        QCOMPARE(probe.exitCode(), 0);
        QVERIFY(outputLines(probe).contains("TITLE|SourceDesk-V2.1.2A"));
    }
}

void StartupTest::secondCopyIsRefusedAndAKilledCopyDoesNotBlock()
{
    QTemporaryDir firstDir, secondDir, thirdDir;
    QProcess first;
    chineseLocale(first);
    first.start(copyInto(firstDir, SOURCEDESK_PATH), QStringList());
    QVERIFY(first.waitForStarted());
    QTRY_VERIFY_WITH_TIMEOUT(logFileTexts(firstDir.path()).contains("应用初始化完成."), 30000);

    QProcess second;
    chineseLocale(second);
    second.start(copyInto(secondDir, PROBE_PATH), QStringList());
    QVERIFY(second.waitForFinished(60000));
    QCOMPARE(second.exitCode(), 255); // -1
    QCOMPARE(outputLines(second),
             QStringList("BOX|Open failed|The application is already running and cannot be opened again!"));
    QVERIFY(logFileTexts(secondDir.path()).isEmpty()); // refused before anything is logged
    QCOMPARE(first.state(), QProcess::Running);

    first.kill(); // SIGKILL: the segment stays behind
    QVERIFY(first.waitForFinished());

    QProcess third;
    third.start(copyInto(thirdDir, PROBE_PATH), { "--quit-when-shown" });
    QVERIFY(third.waitForFinished(60000));
    QCOMPARE(third.exitCode(), 0);
    QVERIFY(outputLines(third).contains("TITLE|SourceDesk-V2.1.2A"));

    // A copy that ended normally does not block the next one either.
    QProcess fourth;
    fourth.start(copyInto(thirdDir, PROBE_PATH), { "--quit-when-shown" });
    QVERIFY(fourth.waitForFinished(60000));
    QCOMPARE(fourth.exitCode(), 0);
}

void StartupTest::logFileOfAStart()
{
    QTemporaryDir dir;
    QProcess probe;
    chineseLocale(probe);
    probe.start(copyInto(dir, PROBE_PATH), { "--quit-when-shown" });
    QVERIFY(probe.waitForFinished(60000));
    QCOMPARE(probe.exitCode(), 0);

    QFile log(dir.filePath(QDate::currentDate().toString("yyyy-MM-dd") + "_log.txt"));
    QVERIFY(log.open(QIODevice::ReadOnly));
    const QByteArray bytes = log.readAll();
    QVERIFY(bytes.endsWith('\n'));
    QVERIFY(!bytes.contains('\r'));
    const QStringList lines = QString::fromUtf8(bytes).split('\n', Qt::SkipEmptyParts);
    const QRegularExpression shape("^\\d\\d:\\d\\d:\\d\\d->(.*)$");
    QStringList texts;
    for (const QString &line : lines) {
        const QRegularExpressionMatch m = shape.match(line);
        QVERIFY2(m.hasMatch(), qPrintable(line));
        texts << m.captured(1);
    }
    QCOMPARE(texts.value(0), QString("应用启动!"));
    QCOMPARE(texts.value(1), QString("应用初始化..."));
    QVERIFY(texts.indexOf("应用初始化完成.") > 1);
}

QTEST_MAIN(StartupTest)
#include "tst_startup.moc"
