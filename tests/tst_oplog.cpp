#include "app/startup.h"
#include "testdesk.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QListView>
#include <QScrollBar>
#include <QStringListModel>
#include <QTranslator>

#include <algorithm>
#include <cstdio>

class OpLogTest : public QObject
{
    Q_OBJECT

private slots:
    void viewLineFormats();
    void englishViewLineFormats();
    void emptyTextGivesBareLines();
    void fileLineIsTimeArrowTextAndOneLineFeed();
    void statusPollSilencesTheFile();
    void twoRunsAppendToTheSameFile();
    void pathIsFixedAtTheFirstWrite();
    void unwritableFolderDropsTheLineSilently();
    void viewKeepsEveryLineNewestAtTheBottom();
    void nextLineKeepsTheSelectionAndTheLongestLineInReach();
    void aLineCostsLittleAfterALongRun();
};

static QString readAll(const QString &path)
{
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        return QString();
    return QString::fromUtf8(f.readAll());
}

static QString todaysLog(const QString &folder)
{
    return folder + "/" + QDate::currentDate().toString("yyyy-MM-dd") + "_log.txt";
}

void OpLogTest::viewLineFormats()
{
    AppFolderFixture folder;
    TestDesk d;
    d.LogToView(LogUserOperation, "扫描端口...");
    d.LogToView(LogSystemInfo, "串口关闭成功");
    const QRegularExpression user("^\\d\\d:\\d\\d:\\d\\d-用户操作->扫描端口\\.\\.\\.$");
    const QRegularExpression system("^\\d\\d:\\d\\d:\\d\\d-系统信息->串口关闭成功$");
    QVERIFY2(user.match(d.logLines.at(1)).hasMatch(), qPrintable(d.logLines.at(1)));
    QVERIFY2(system.match(d.logLines.at(2)).hasMatch(), qPrintable(d.logLines.at(2)));
    QCOMPARE(d.logModel->stringList(), d.logLines);
}

void OpLogTest::englishViewLineFormats()
{
    AppFolderFixture folder;
    QTranslator translator;
    InstallLanguage(*qApp, translator, "en_US");
    TestDesk d;
    d.LogToView(LogUserOperation, d.tr("扫描端口..."));
    d.LogToView(LogSystemInfo, "x");
    d.LogToFile(d.tr("启动连接测试"));
    QApplication::removeTranslator(&translator);
    QVERIFY2(QRegularExpression("^\\d\\d:\\d\\d:\\d\\d- System information -> Program started!$")
                 .match(d.logLines.at(0))
                 .hasMatch(),
             qPrintable(d.logLines.at(0)));
    QVERIFY2(QRegularExpression("^\\d\\d:\\d\\d:\\d\\d- User action -> Scan ports\\.\\.\\.$").match(d.logLines.at(1)).hasMatch(),
             qPrintable(d.logLines.at(1)));
    QVERIFY(d.logLines.at(2).endsWith("- System information -> x"));
    // The file line keeps its own layout: time, "->", text.
    QCOMPARE(logFileTexts(folder.path()).last(), QString("Start connection test"));
    QCOMPARE(logFileTexts(folder.path()).first(), QString("Application is start!"));
}

void OpLogTest::emptyTextGivesBareLines()
{
    AppFolderFixture folder;
    TestDesk d;
    d.LogToView(LogSystemInfo, QString());
    d.LogToFile(QString());
    QVERIFY(d.logLines.last().endsWith("系统信息->"));
    const QString content = readAll(todaysLog(folder.path()));
    QVERIFY(QRegularExpression("\n\\d\\d:\\d\\d:\\d\\d->\n$").match(content).hasMatch());
}

void OpLogTest::fileLineIsTimeArrowTextAndOneLineFeed()
{
    AppFolderFixture folder;
    TestDesk d;
    d.LogToFile("端口连接测试成功");
    QFile f(todaysLog(folder.path()));
    QVERIFY(f.open(QIODevice::ReadOnly));
    const QByteArray bytes = f.readAll();
    QVERIFY(!bytes.contains('\r'));
    const QList<QByteArray> lines = bytes.split('\n');
    QCOMPARE(lines.last(), QByteArray()); // ends in a line feed
    const QRegularExpression shape("^\\d\\d:\\d\\d:\\d\\d->.+$");
    for (int i = 0; i + 1 < lines.size(); ++i)
        QVERIFY2(shape.match(QString::fromUtf8(lines.at(i))).hasMatch(), lines.at(i).constData());
    QCOMPARE(QString::fromUtf8(lines.at(lines.size() - 2)).mid(10), QString("端口连接测试成功"));
}

void OpLogTest::statusPollSilencesTheFile()
{
    AppFolderFixture folder;
    TestDesk d;
    const int before = logFileTexts(folder.path()).size();
    d.CommandState = 5;
    d.LogToFile("串口关闭!");
    d.LogToFile("anything at all");
    QCOMPARE(logFileTexts(folder.path()).size(), before);
    d.LogToView(LogSystemInfo, "view lines still appear");
    QVERIFY(d.logLines.last().endsWith("view lines still appear"));
    d.CommandState = 9;
    d.LogToFile("获取GPS时间");
    QCOMPARE(logFileTexts(folder.path()).last(), QString("获取GPS时间"));
}

void OpLogTest::twoRunsAppendToTheSameFile()
{
    AppFolderFixture folder;
    {
        TestDesk first;
        first.LogToFile("first run");
    }
    {
        TestDesk second;
        second.LogToFile("second run");
    }
    const QStringList lines = logFileTexts(folder.path());
    QCOMPARE(lines.count("应用启动!"), 2);
    QVERIFY(lines.indexOf("first run") < lines.indexOf("second run"));
    QCOMPARE(QDir(folder.path()).entryList(QStringList("*_log.txt")).size(), 1);
}

void OpLogTest::pathIsFixedAtTheFirstWrite()
{
    // A run that passes midnight keeps its first file: once settled, the path
    // no longer follows the folder or the date.
    AppFolderFixture first;
    TestDesk d;
    AppFolderFixture second;
    d.LogToFile("after the folder moved");
    QVERIFY(logFileTexts(first.path()).contains("after the folder moved"));
    QVERIFY(!QFile::exists(todaysLog(second.path())));
}

void OpLogTest::unwritableFolderDropsTheLineSilently()
{
    AppFolderFixture folder;
    const QString missing = folder.file("no/such/folder");
    SetAppFolder(missing);
    TestDesk d;
    d.LogToFile("dropped");
    QVERIFY(!QFile::exists(todaysLog(missing)));
    QCOMPARE(d.logLines.size(), 1); // the window goes on as usual
    QDir().mkpath(missing);
    d.LogToFile("later calls try again");
    QCOMPARE(logFileTexts(missing), QStringList("later calls try again"));
}

void OpLogTest::viewKeepsEveryLineNewestAtTheBottom()
{
    AppFolderFixture folder;
    TestDesk d;
    d.resize(1280, 800);
    d.show();
    QVERIFY(QTest::qWaitForWindowExposed(&d));
    for (int i = 0; i < 300; ++i)
        d.LogToView(LogSystemInfo, QString::number(i));
    QCOMPARE(d.logModel->rowCount(), 301);
    auto *view = d.w<QListView>("v_list_log");
    const QModelIndex newest = d.logModel->index(300);
    QTRY_VERIFY(view->viewport()->rect().intersects(view->visualRect(newest)));
    QVERIFY(!view->viewport()->rect().intersects(view->visualRect(d.logModel->index(0))));
    // The model answers for its lines and nothing beyond them.
    QCOMPARE(newest.data().toString(), d.logLines.at(300));
    QVERIFY(!d.logModel->index(301).isValid());
    QVERIFY(!d.logModel->index(-1).isValid());
    QVERIFY(!d.logModel->index(0, 1).isValid());
    QVERIFY(!d.logModel->index(0, 0, newest).isValid());
    QVERIFY(!d.logModel->hasIndex(301, 0));

    // An edit in the view is lost with the next line.
    d.logModel->setData(d.logModel->index(5), "edited");
    d.LogToView(LogSystemInfo, "next");
    QVERIFY(d.logModel->index(5).data().toString().endsWith("->4"));
}

void OpLogTest::nextLineKeepsTheSelectionAndTheLongestLineInReach()
{
    AppFolderFixture folder;
    TestDesk d;
    d.resize(1280, 800);
    d.show();
    QVERIFY(QTest::qWaitForWindowExposed(&d));
    auto *view = d.w<QListView>("v_list_log");
    const QString wide = "打开" + QString(200, QChar('x'));
    d.LogToView(LogSystemInfo, wide);
    d.LogToView(LogSystemInfo, "短");
    view->setCurrentIndex(d.logModel->index(1));

    d.LogToView(LogSystemInfo, "短");
    QCOMPARE(view->currentIndex().row(), 1);
    QVERIFY(view->selectionModel()->isRowSelected(1, QModelIndex()));
    // Every row is as wide as the widest line, so the view scrolls far
    // enough to the right to show all of it.
    const int needed = view->fontMetrics().horizontalAdvance(d.logLines.at(1));
    QVERIFY2(view->visualRect(d.logModel->index(3)).width() >= needed, qPrintable(QString::number(needed)));
    QTRY_VERIFY(view->horizontalScrollBar()->maximum() + view->viewport()->width() >= needed);
}

void OpLogTest::aLineCostsLittleAfterALongRun()
{
    // Refilling the view for every line cost about a second per line after
    // 100,000 lines; a line now costs a few milliseconds at that length.
    AppFolderFixture folder;
    TestDesk d;
    d.resize(1280, 800);
    d.show();
    QVERIFY(QTest::qWaitForWindowExposed(&d));
    while (d.logLines.size() < 100000)
        d.logLines << QString("10:15:02-系统信息->端口连接成功. %1").arg(d.logLines.size());
    d.logModel->setStringList(d.logLines);
    QCoreApplication::sendPostedEvents();

    QList<qint64> costs;
    for (int i = 0; i < 5; ++i) {
        QElapsedTimer clock;
        clock.start();
        d.LogToView(LogSystemInfo, QString::number(i));
        QCoreApplication::sendPostedEvents();
        costs << clock.elapsed();
    }
    std::sort(costs.begin(), costs.end());
    QVERIFY2(costs.at(2) < 100, qPrintable(QString("median %1 ms").arg(costs.at(2))));
    QCOMPARE(d.logModel->rowCount(), 100005);
    QCOMPARE(d.logModel->stringList(), d.logLines);
}

QTEST_MAIN(OpLogTest)
#include "tst_oplog.moc"
