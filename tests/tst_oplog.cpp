#include "app/logview.h"
#include "testdesk.h"

#include <QAbstractItemModelTester>

#include <QElapsedTimer>
#include <QListView>
#include <QScrollBar>
#include <QStringListModel>

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
    void lineLayoutInTheViewAndTheFile();
    void pollStaysOutAndRunsAppendToTheFileOfTheirFirstWrite();
    void viewKeepsEveryLineAndStaysQuickOverALongRun();
    void viewShowsWhatAPlainListShows();
    void modelAnswersForTheRowsItHas();
};

void OpLogTest::lineLayoutInTheViewAndTheFile()
{
    AppFolderFixture folder;
    TestDesk d;
    d.LogToView(LogSystemInfo, QString());
    d.LogToFile("first");
    d.LogToFile(QString());

    // View: time, "-", the category, "->", the text.
    QVERIFY2(QRegularExpression("^\\d\\d:\\d\\d:\\d\\d-系统信息->$").match(d.logLines.last()).hasMatch(),
        qPrintable(d.logLines.last()));
    QCOMPARE(d.logModel->stringList(), d.logLines);

    // File: time, "->", text, one line feed.
    const QString file = QString::fromUtf8(readFile(todaysLog(folder.path())));
    const QString time = "\\d\\d:\\d\\d:\\d\\d->";
    const QRegularExpression layout("^(" + time + ".*\n)*" + time + "first\n" + time + "\n$");
    QVERIFY2(layout.match(file).hasMatch() && !file.contains('\r'), qPrintable(file));
}

void OpLogTest::pollStaysOutAndRunsAppendToTheFileOfTheirFirstWrite()
{
    AppFolderFixture folder;
    {
        TestDesk first;
        first.CommandState = StateDeviceStatus; // view only
        first.LogToFile("poll");
        first.LogToView(LogSystemInfo, "view lines still appear");
        QVERIFY(first.logLines.last().endsWith("view lines still appear"));
        first.CommandState = StateGpsTime;
        first.LogToFile("first run");
    }
    TestDesk second;
    // A run that passes midnight keeps its first file: once settled, the path
    // no longer follows the folder or the date.
    AppFolderFixture moved;
    second.LogToFile("second run");
    const QStringList lines = logFileTexts(folder.path());
    QVERIFY(!lines.contains("poll"));
    QVERIFY2(lines.contains("first run") && lines.indexOf("first run") < lines.indexOf("second run"),
        qPrintable(lines.join('|')));
    QCOMPARE(QDir(folder.path()).entryList(QStringList("*_log.txt")).size(), 1);
    QVERIFY(!QFile::exists(todaysLog(moved.path())));
}

void OpLogTest::viewKeepsEveryLineAndStaysQuickOverALongRun()
{
    AppFolderFixture folder;
    TestDesk d;
    QVERIFY(shown(d));
    auto *view = d.w<QListView>("v_list_log");
    // Refilling the view for every line cost about a second per line after
    // 100,000 lines; a line now costs a few milliseconds at that length.
    while (d.logLines.size() < 100000)
        d.logLines << QString("10:15:02-系统信息->端口连接成功. %1").arg(d.logLines.size());
    d.logModel->setStringList(d.logLines);
    view->setCurrentIndex(d.logModel->index(0));
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
    // The newest line scrolls into sight; new lines keep the operator's selection.
    QTRY_VERIFY(view->viewport()->rect().intersects(view->visualRect(d.logModel->index(100004))));
    QVERIFY(!view->viewport()->rect().intersects(view->visualRect(d.logModel->index(0))));
    QCOMPARE(view->currentIndex().row(), 0);
    QVERIFY(view->selectionModel()->isRowSelected(0, QModelIndex()));
}

// The log view is laid out on a grid for speed; a list view left as Qt sets
// it up, on the same lines, is what the operator must still see.
void OpLogTest::viewShowsWhatAPlainListShows()
{
    AppFolderFixture folder;
    TestDesk d;
    QVERIFY(shown(d));
    auto *view = d.w<QListView>("v_list_log");
    QListView plain(view->parentWidget());
    plain.setStyleSheet(view->styleSheet());
    plain.setModel(d.logModel);

    const QStringList texts = { "short", "打开" + QString(150, QChar('W')), "x", QString(), "串口关闭成功" };
    for (int shown = 0; shown < 40; ++shown) {
        d.LogToView(LogSystemInfo, texts.at(shown % texts.size()) + QString::number(shown));
        plain.setGeometry(view->geometry());
        plain.show();
        plain.scrollToBottom();
        for (QScrollBar *bar : { view->horizontalScrollBar(), plain.horizontalScrollBar() })
            bar->setValue(shown % 2 ? bar->maximum() : 0);
        QCoreApplication::sendPostedEvents();
        QCOMPARE(view->horizontalScrollBar()->maximum(), plain.horizontalScrollBar()->maximum());
        QCOMPARE(view->verticalScrollBar()->value(), plain.verticalScrollBar()->value());
        QCOMPARE(view->viewport()->grab().toImage(), plain.viewport()->grab().toImage());
    }
}

void OpLogTest::modelAnswersForTheRowsItHas()
{
    LogListModel model;
    QAbstractItemModelTester tester(&model, QAbstractItemModelTester::FailureReportingMode::QtTest);
    const auto answersExactly = [&model](int rows) {
        return model.rowCount() == rows && !model.index(rows).isValid()
            && (rows == 0 || model.index(rows - 1).data() == model.stringList().last());
    };
    model.insertRows(0, 3);
    QVERIFY(answersExactly(3));
    model.setStringList({ "a", "b", "c", "d", "e" });
    QVERIFY(answersExactly(5));
    model.removeRows(1, 2);
    QVERIFY(answersExactly(3));
    model.moveRows(QModelIndex(), 0, 1, QModelIndex(), 3);
    QVERIFY(answersExactly(3));
    QCOMPARE(model.stringList(), QStringList({ "d", "e", "a" }));
    model.setStringList({});
    QVERIFY(answersExactly(0));
}

QTEST_MAIN(OpLogTest)
#include "tst_oplog.moc"
