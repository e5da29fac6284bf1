#include "app/startup.h"
#include "testdesk.h"

#include <QApplication>
#include <QMessageBox>
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
    p.start(copy, args, QIODevice::ReadWrite | QIODevice::Text); // lines end in CR LF on Windows
}

} // namespace

class StartupTest : public QObject
{
    Q_OBJECT

private slots:
    void languageFollowsTheLocaleName_data();
    void languageFollowsTheLocaleName();
    void secondCopyIsRefusedUntilTheFirstEnds();
};

void StartupTest::languageFollowsTheLocaleName_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<bool>("english");
    QTest::newRow("zh_CN") << "zh_CN" << false;
    QTest::newRow("en_US") << "en_US" << true;
    QTest::newRow("zh_TW") << "zh_TW" << true;
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
    // Qt's own buttons speak the same language, as Qt's catalogue words them.
    QMessageBox question(QMessageBox::Question, QString(), QString(), QMessageBox::Yes | QMessageBox::No);
    const QStringList buttons { question.button(QMessageBox::Yes)->text(), question.button(QMessageBox::No)->text() };
    QApplication::removeTranslator(&translator);
    QCOMPARE(translated, english ? QString("Disconnected") : QString("连接失败"));
    QTranslator qtChinese;
    QVERIFY(qtChinese.load(":/qtbase_zh_CN.qm"));
    QStringList expected;
    for (const char *source : { "&Yes", "&No" })
        expected << (english ? QString(source) : qtChinese.translate("QPlatformTheme", source));
    QCOMPARE(buttons, expected);
}

void StartupTest::secondCopyIsRefusedUntilTheFirstEnds()
{
    QTemporaryDir dirs[4];
    QProcess first, second;
    launch(first, dirs[0], SOURCEDESK_PATH, "zh_CN.UTF-8", {});
    QVERIFY(first.waitForStarted());
    QTRY_VERIFY_WITH_TIMEOUT(logFileTexts(dirs[0].path()).contains("应用初始化完成."), 30000);

    launch(second, dirs[1], PROBE_PATH, "zh_CN.UTF-8", {});
    QVERIFY(second.waitForFinished(60000));
    QCOMPARE(second.exitCode() & 0xff, 255); // -1, which Windows reports whole
    QCOMPARE(QString::fromUtf8(second.readAllStandardOutput()).split('\n', Qt::SkipEmptyParts),
        QStringList("BOX|Open failed|The application is already running and cannot be opened again!"));
    QVERIFY(logFileTexts(dirs[1].path()).isEmpty()); // refused before anything is logged
    QCOMPARE(first.state(), QProcess::Running);

    first.kill(); // SIGKILL: the segment stays behind
    QVERIFY(first.waitForFinished());

    // The next copy starts, and after it ended normally so does another.
    for (int i : { 2, 3 }) {
        QProcess next;
        launch(next, dirs[i], PROBE_PATH, "zh_CN.UTF-8");
        QVERIFY(next.waitForFinished(60000));
        QCOMPARE(next.exitCode(), 0);
    }
}

QTEST_MAIN(StartupTest)
#include "tst_startup.moc"
