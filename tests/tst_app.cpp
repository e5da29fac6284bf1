#include "app/startup.h"
#include "testdesk.h"

#include <QComboBox>
#include <QElapsedTimer>
#include <QLineEdit>
#include <QListView>
#include <QProcess>
#include <QStatusBar>
#include <QStringListModel>
#include <QTableView>
#include <QTranslator>

#include <optional>

static QStringList viewLines(const TestDesk &d)
{
    return qobject_cast<QStringListModel *>(d.w<QListView>("v_list_log")->model())->stringList();
}

// The window: its language, fit, controls, log, and the guard against a second copy.
class AppTest : public QObject
{
    Q_OBJECT

    std::optional<AppFolderFixture> folder;
    int restyles = 0; // in the whole application, once the filter is installed
    bool eventFilter(QObject *, QEvent *event) override
    {
        restyles += event->type() == QEvent::StyleChange;
        return false;
    }

private slots:
    void init() { folder.emplace(); } // each test its own folder

    // Chinese only under a mainland Chinese locale, Qt's own buttons included;
    // the English window keeps no Chinese, visible yet or not.
    void languageFollowsTheLocale_data()
    {
        QTest::addColumn<QString>("locale");
        QTest::addColumn<QString>("yesNo"); // as Qt's catalogue words them
        const QString english = "&Yes &No";
        QTest::newRow("zh_CN") << "zh_CN" << QString("是(&Y) 否(&N)");
        QTest::newRow("en_US") << "en_US" << english;
        QTest::newRow("zh_TW") << "zh_TW" << english;
        QTest::newRow("lower-case cn") << "xx_cn" << english;
    }
    void languageFollowsTheLocale()
    {
        QFETCH(QString, locale);
        QFETCH(QString, yesNo);
        QTranslator translator;
        InstallLanguage(*qApp, translator, locale);
        TestDesk d;
        QMessageBox box(QMessageBox::Question, QString(), QString(), QMessageBox::Yes | QMessageBox::No);
        QStringList texts { box.button(QMessageBox::Yes)->text() + " " + box.button(QMessageBox::No)->text() };
        QApplication::removeTranslator(&translator);
        for (const QWidget *w : d.findChildren<QWidget *>()) {
            for (const char *property : { "text", "placeholderText", "title", "toolTip", "statusTip", "whatsThis" })
                texts << w->property(property).toString();
            if (auto *combo = qobject_cast<const QComboBox *>(w))
                for (int i = 0; i < combo->count(); ++i)
                    texts << combo->itemText(i);
        }
        const QAbstractItemModel *table = d.w<QTableView>("tableView")->model();
        for (int c = 0; c < table->columnCount(); ++c)
            texts << table->headerData(c, Qt::Horizontal).toString();
        QCOMPARE(texts.first(), yesNo);
        const bool chinese = locale == "zh_CN";
        QVERIFY(texts.contains(chinese ? "启动" : "Startup")); // the walk reaches the form
        for (const QString &text : texts)
            QVERIFY2(chinese || !text.contains(QRegularExpression("\\p{Han}")), qPrintable(text));
    }

    void everyButtonFitsTheScreen_data()
    {
        QTest::addColumn<QSize>("screen"); // the free area, in logical pixels
        QTest::addColumn<QRect>("opens");
        QTest::newRow("1366x768") << QSize(1366, 768) << QRect(43, 0, 1280, 768);
        QTest::newRow("1366x768 at 150 %") << QSize(910, 512) << QRect(0, 0, 910, 512);
    }
    void everyButtonFitsTheScreen()
    {
        QFETCH(QSize, screen);
        QFETCH(QRect, opens);
        TestDesk d;
        // Every row of the form shown, and a long line in the status bar.
        d.ShowInterruptProtection(true);
        d.SetWarningVisible(true, "设备过温,过压,过流,缺水");
        d.statusBar()->showMessage(QString(200, QChar(0x4E2D)));
        FitToArea(&d, QRect(QPoint(), screen), QMargins());
        QCOMPARE(d.geometry(), opens);
        d.show();
        QVERIFY(QTest::qWaitForWindowExposed(&d));
        QWidgetList whole = { d.w<QWidget>("label_total_sec"), d.statusBar() };
        for (QPushButton *button : d.findChildren<QPushButton *>())
            whole << button;
        for (QWidget *w : whole) {
            const QRect r(w->mapTo(&d, QPoint()), w->size());
            QVERIFY2(w->isVisible() && d.rect().contains(r) && w->size() == w->size().expandedTo(w->minimumSizeHint()),
                qPrintable(w->objectName()));
        }
        // The place holder left of Start looks like the window behind it, not a dark box.
        auto *holder = d.w<QPushButton>("btn_hidden");
        const QImage shot = d.grab().toImage();
        const QPoint margin = d.centralWidget()->mapTo(&d, QPoint(2, 2));
        QVERIFY(QColor(shot.pixel(margin)).lightness() > 128);
        QCOMPARE(QColor(shot.pixel(holder->mapTo(&d, holder->rect().center()))), QColor(shot.pixel(margin)));
    }

    // Typed, then shown and whether complete: tenths at most, "0" alone is no delay.
    void delayFieldTakesWhatIsTyped()
    {
        TestDesk d;
        auto *edit = d.w<QLineEdit>("edt_time_delay");
        const QStringList rows = { "12", "12 ok", "12.5", "12.5 ok", "0.5", "0.5 ok", "7.55", "7.5 ok", "07", "0", "1a",
            "1 ok", "-3", "3 ok", "0.", "0." };
        for (int i = 0; i < rows.size(); i += 2) {
            edit->clear();
            QTest::keyClicks(edit, rows[i]);
            QCOMPARE(edit->text() + (edit->hasAcceptableInput() ? " ok" : ""), rows[i + 1]);
        }
    }

    // Tab leaves the table, and passes the invisible place holder before Start.
    void tabLeavesTheTableAndPassesThePlaceHolder()
    {
        TestDesk d;
        d.show();
        QApplication::setActiveWindow(&d);
        QVERIFY(QTest::qWaitForWindowActive(&d));
        auto *table = d.w<QTableView>("tableView");
        d.w<QAbstractButton>("rBtn_continue")->click();
        d.addRow("8", "20");
        table->setFocus();
        table->setCurrentIndex(table->model()->index(0, 0));
        QTest::keyClick(table, Qt::Key_Tab);
        QVERIFY(QApplication::focusWidget() != table);
        QWidget *beforeIt = d.w<QWidget>("cmb_model_scan");
        beforeIt->setFocus();
        QTest::keyClick(beforeIt, Qt::Key_Tab);
        QVERIFY(QApplication::focusWidget() && QApplication::focusWidget() != d.w<QWidget>("btn_hidden"));
    }

    // Every status answer paints the states again, once a second for the whole
    // run; restyling unchanged widgets cost milliseconds of CPU each time.
    void repaintingTheSameStatesRestylesNothing()
    {
        TestDesk d;
        d.w<QAbstractButton>("rBtn_continue")->click();
        d.show();
        QVERIFY(QTest::qWaitForWindowExposed(&d));
        const auto paintIdle = [&d] {
            d.ShowDeviceStatus("已连接", ColourGreen);
            d.ShowWorkStatus("空闲", ColourBlack);
            d.ShowGpsStatus("未锁定", ColourRed, GpsLockLabel);
            d.EnableStartStop(true, false);
            d.EnableSettings(true);
        };
        paintIdle();
        qApp->installEventFilter(this);
        paintIdle();
        QCOMPARE(restyles, 0);
        d.EnableStartStop(false, true); // a state that does change still restyles
        QVERIFY(restyles > 0);
    }

    // View: time, "-", the category, "->", the text. File: time, "->", the
    // text, one line feed; the once-a-second status poll stays out of it.
    void linesInTheViewAndTheFile()
    {
        const QString time = "\\d\\d:\\d\\d:\\d\\d";
        {
            TestDesk first;
            first.LogToView(LogUserOperation, "导入");
            first.CommandState = StateDeviceStatus;
            first.LogToFile("poll");
            first.LogToView(LogSystemInfo, QString());
            const QString view = viewLines(first).mid(viewLines(first).size() - 2).join('\n');
            QVERIFY2(
                QRegularExpression("^" + time + "-用户操作->导入\n" + time + "-系统信息->$").match(view).hasMatch(),
                qPrintable(view));
            first.CommandState = StateGpsTime;
            first.LogToFile("first run");
        }
        // The next run appends to the same file, and a run that passes midnight
        // keeps it: once settled, the path follows neither the folder nor the date.
        TestDesk second;
        AppFolderFixture moved;
        second.LogToFile(QString());
        const QString file
            = QString::fromUtf8(readFile(folder->file(QDate::currentDate().toString("yyyy-MM-dd") + "_log.txt")));
        const QRegularExpression layout(
            "^(" + time + "->.*\n)*" + time + "->first run\n(" + time + "->.*\n)*" + time + "->\n$");
        QVERIFY2(layout.match(file).hasMatch() && !file.contains("poll") && !file.contains('\r'), qPrintable(file));
        QVERIFY(QDir(moved.path()).isEmpty());
    }

    // Refilling the view for every line cost about a second per line after
    // 100,000 lines; a line now costs a few milliseconds at that length.
    void viewKeepsEveryLineAndStaysQuickOverALongRun()
    {
        TestDesk d;
        d.show();
        QVERIFY(QTest::qWaitForWindowExposed(&d));
        auto *view = d.w<QListView>("v_list_log");
        QStringList lines = viewLines(d);
        while (lines.size() < 100000)
            lines << QString("10:15:02-系统信息->端口连接成功. %1").arg(lines.size());
        d.logLines = lines; // the run so far, as if logged line by line
        qobject_cast<QStringListModel *>(view->model())->setStringList(lines);
        view->setCurrentIndex(view->model()->index(0, 0));
        QCoreApplication::sendPostedEvents();
        QElapsedTimer clock;
        clock.start();
        for (int i = 0; i < 5; ++i) {
            d.LogToView(LogSystemInfo, QString::number(i));
            QCoreApplication::sendPostedEvents();
        }
        QVERIFY2(clock.elapsed() < 500, qPrintable(QString("%1 ms for five lines").arg(clock.elapsed())));
        const QStringList shown = viewLines(d);
        QCOMPARE(shown.mid(0, 100000), lines);
        QVERIFY(shown.size() == 100005 && shown.last().endsWith("->4"));
        // The newest line scrolls into sight; new lines keep the operator's selection.
        QTRY_VERIFY(view->viewport()->rect().intersects(view->visualRect(view->model()->index(100004, 0))));
        QVERIFY(view->selectionModel()->isRowSelected(0, QModelIndex()));
    }

    // With a copy of the program running, this process is the second; once the
    // first is gone, even killed with its guard left behind, the next starts.
    void secondCopyIsRefusedUntilTheFirstEnds()
    {
        QTemporaryDir dir; // the copy's own folder, so its log lands there
        const QString copy = dir.filePath(QFileInfo(SOURCEDESK_PATH).fileName());
        QVERIFY(QFile::copy(SOURCEDESK_PATH, copy));
        qputenv("LC_ALL", "zh_CN.UTF-8"); // the copies' logs in Chinese
        QProcess first, next;
        const auto started = [&dir] { return logFileTexts(dir.path()).count("应用初始化完成."); };
        first.start(copy, QStringList());
        QTRY_COMPARE_WITH_TIMEOUT(started(), 1, 30000);

        BoxAnswerer answerer;
        QCOMPARE(StartDesk(*qApp, {}, [] { return 0; }), -1);
        QCOMPARE(
            answerer.seen, QStringList("Open failed|The application is already running and cannot be opened again!"));
        QVERIFY(logFileTexts(folder->path()).isEmpty()); // refused before anything is logged
        QCOMPARE(first.state(), QProcess::Running);

        first.kill();
        QVERIFY(first.waitForFinished());
        next.start(copy, QStringList());
        QTRY_COMPARE_WITH_TIMEOUT(started(), 2, 30000);
        next.kill();
        QVERIFY(next.waitForFinished());
    }
};

QTEST_MAIN(AppTest)
#include "tst_app.moc"
