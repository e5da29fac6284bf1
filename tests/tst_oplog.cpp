#include "app/startup.h"
#include "testdesk.h"

#include <QElapsedTimer>
#include <QListView>
#include <QScrollBar>
#include <QStringListModel>
#include <QTranslator>

#include <algorithm>

namespace {

QString todaysLog(const QString &folder)
{
    return folder + "/" + QDate::currentDate().toString("yyyy-MM-dd") + "_log.txt";
}

bool shown(TestDesk &d)
{
    d.resize(1280, 800);
    d.show();
    return QTest::qWaitForWindowExposed(&d);
}

} // namespace

class OpLogTest : public QObject
{
    Q_OBJECT

private slots:
    void linesInBothLanguages_data();
    void linesInBothLanguages();
    void statusPollAndMissingFolderKeepLinesOutOfTheFile();
    void runsAppendToTheFileOfTheirFirstWrite();
    void viewKeepsEveryLineAndStaysQuickOverALongRun();
};

void OpLogTest::linesInBothLanguages_data()
{
    QTest::addColumn<QString>("locale");
    // View lines after their time: the start, a user operation, system information
    // with an empty text; then the first and the last-but-one texts of the file.
    QTest::addColumn<QStringList>("texts");
    QTest::newRow("zh_CN") << "zh_CN"
                           << QStringList({ "-系统信息->程序已启动！", "-用户操作->扫描端口...", "-系统信息->",
                                  "应用启动!", "启动连接测试" });
    QTest::newRow("en_US") << "en_US"
                           << QStringList(
                                  { "- System information -> Program started!", "- User action -> Scan ports...",
                                      "- System information -> ", "Application is start!", "Start connection test" });
}

void OpLogTest::linesInBothLanguages()
{
    QFETCH(QString, locale);
    QFETCH(QStringList, texts);
    AppFolderFixture folder;
    QTranslator translator;
    InstallLanguage(*qApp, translator, locale);
    TestDesk d;
    d.LogToView(LogUserOperation, d.tr("扫描端口..."));
    d.LogToView(LogSystemInfo, QString());
    d.LogToFile(d.tr("启动连接测试"));
    d.LogToFile(QString());
    QApplication::removeTranslator(&translator);

    QStringList formats;
    for (const QString &line : qAsConst(d.logLines)) {
        QVERIFY2(QRegularExpression("^\\d\\d:\\d\\d:\\d\\d-").match(line).hasMatch(), qPrintable(line));
        formats << line.mid(8);
    }
    QCOMPARE(formats, texts.mid(0, 3));
    QCOMPARE(d.logModel->stringList(), d.logLines);

    // The file keeps its own layout in either language: time, "->", text, one line feed.
    const QString file = QString::fromUtf8(readFile(todaysLog(folder.path())));
    const QString time = "\\d\\d:\\d\\d:\\d\\d->";
    const QRegularExpression layout("^" + time + QRegularExpression::escape(texts.at(3)) + "\n(" + time + ".*\n)*"
        + time + QRegularExpression::escape(texts.at(4)) + "\n" + time + "\n$");
    QVERIFY2(layout.match(file).hasMatch() && !file.contains('\r'), qPrintable(file));
}

void OpLogTest::statusPollAndMissingFolderKeepLinesOutOfTheFile()
{
    AppFolderFixture folder;
    const QString missing = folder.file("no/such/folder");
    SetAppFolder(missing);
    TestDesk d;
    QVERIFY(!QFile::exists(todaysLog(missing)));
    QCOMPARE(d.logLines.size(), 1); // the start lines are dropped silently, the window goes on
    QDir().mkpath(missing);
    d.CommandState = 5;
    d.LogToFile("串口关闭!");
    d.LogToView(LogSystemInfo, "view lines still appear");
    QVERIFY(!QFile::exists(todaysLog(missing)));
    QVERIFY(d.logLines.last().endsWith("view lines still appear"));
    d.CommandState = 9;
    d.LogToFile("获取GPS时间");
    QCOMPARE(logFileTexts(missing), QStringList("获取GPS时间"));
}

void OpLogTest::runsAppendToTheFileOfTheirFirstWrite()
{
    AppFolderFixture folder;
    {
        TestDesk first;
        first.LogToFile("first run");
    }
    TestDesk second;
    // A run that passes midnight keeps its first file: once settled, the path
    // no longer follows the folder or the date.
    AppFolderFixture moved;
    second.LogToFile("second run");
    const QStringList lines = logFileTexts(folder.path());
    QCOMPARE(lines.count("应用启动!"), 2);
    QVERIFY(lines.indexOf("first run") < lines.indexOf("second run"));
    QCOMPARE(QDir(folder.path()).entryList(QStringList("*_log.txt")).size(), 1);
    QVERIFY(!QFile::exists(todaysLog(moved.path())));
}

void OpLogTest::viewKeepsEveryLineAndStaysQuickOverALongRun()
{
    AppFolderFixture folder;
    TestDesk d;
    QVERIFY(shown(d));
    auto *view = d.w<QListView>("v_list_log");
    d.LogToView(LogSystemInfo, "打开" + QString(200, QChar('x')));
    view->setCurrentIndex(d.logModel->index(1));
    for (int i = 0; i < 300; ++i)
        d.LogToView(LogSystemInfo, QString::number(i));
    QCOMPARE(d.logModel->rowCount(), 302);
    const QModelIndex newest = d.logModel->index(301);
    QCOMPARE(newest.data().toString(), d.logLines.last());
    QTRY_VERIFY(view->viewport()->rect().intersects(view->visualRect(newest)));
    QVERIFY(!view->viewport()->rect().intersects(view->visualRect(d.logModel->index(0))));
    // New lines keep the operator's selection.
    QCOMPARE(view->currentIndex().row(), 1);
    QVERIFY(view->selectionModel()->isRowSelected(1, QModelIndex()));
    // Every row is as wide as the widest line, so the view scrolls far enough
    // to the right to show all of it.
    const int needed = view->fontMetrics().horizontalAdvance(d.logLines.at(1));
    QVERIFY2(view->visualRect(newest).width() >= needed, qPrintable(QString::number(needed)));
    QTRY_VERIFY(view->horizontalScrollBar()->maximum() + view->viewport()->width() >= needed);
    // The model answers for its lines and nothing beyond them.
    for (const QModelIndex &beyond :
        { d.logModel->index(302), d.logModel->index(-1), d.logModel->index(0, 1), d.logModel->index(0, 0, newest) })
        QVERIFY(!beyond.isValid());

    // An edit in the view is lost with the next line.
    d.logModel->setData(d.logModel->index(5), "edited");
    d.LogToView(LogSystemInfo, "next");
    QVERIFY(d.logModel->index(5).data().toString().endsWith("->3"));

    // Refilling the view for every line cost about a second per line after
    // 100,000 lines; a line now costs a few milliseconds at that length.
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
    QCOMPARE(d.logModel->stringList(), d.logLines);
    QTRY_VERIFY(view->viewport()->rect().intersects(view->visualRect(d.logModel->index(100004))));
}

QTEST_MAIN(OpLogTest)
#include "tst_oplog.moc"
