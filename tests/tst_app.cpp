#include "app/startup.h"
#include "testdesk.h"

#include <QComboBox>
#include <QLineEdit>
#include <QListView>
#include <QProcess>
#include <QStatusBar>
#include <QStringListModel>
#include <QTableView>
#include <QTranslator>

#include <optional>

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

    // Chinese only under a mainland Chinese locale, Qt's own Yes and No included;
    // the English window keeps no Chinese, visible yet or not.
    void languageFollowsTheLocale_data()
    {
        QTest::addColumn<QString>("locale");
        for (const char *locale : { "zh_CN", "en_US", "zh_TW", "xx_cn" })
            QTest::newRow(locale) << QString(locale);
    }
    void languageFollowsTheLocale()
    {
        QFETCH(QString, locale);
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
        for (int c = 0; c < d.tableModel->columnCount(); ++c)
            texts << d.tableModel->headerData(c, Qt::Horizontal).toString();
        const bool chinese = locale == "zh_CN";
        QCOMPARE(texts.first(), QString(chinese ? "是(&Y) 否(&N)" : "&Yes &No")); // as Qt's catalogue words them
        QVERIFY(texts.contains(chinese ? "启动" : "Startup")); // the walk reaches the form
        for (const QString &text : texts)
            QVERIFY2(chinese || !text.contains(QRegularExpression("\\p{Han}")), qPrintable(text));
    }

    void fitsTheScreenAndTakesKeys_data()
    {
        QTest::addColumn<QSize>("screen"); // the free area, in logical pixels
        QTest::addColumn<QRect>("opens");
        QTest::newRow("1366x768") << QSize(1366, 768) << QRect(43, 0, 1280, 768);
        QTest::newRow("1366x768 at 150 %") << QSize(910, 512) << QRect(0, 0, 910, 512);
    }
    void fitsTheScreenAndTakesKeys()
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
        QApplication::setActiveWindow(&d); // for the keys below
        QVERIFY(QTest::qWaitForWindowActive(&d));
        for (QWidget *w : d.findChildren<QWidget *>())
            if (qobject_cast<QPushButton *>(w) || w == d.statusBar() || w->objectName() == "label_total_sec")
                QVERIFY2(w->isVisible() && d.rect().contains(QRect(w->mapTo(&d, QPoint()), w->size()))
                        && w->size() == w->size().expandedTo(w->minimumSizeHint()),
                    qPrintable(w->objectName()));
        // The place holder left of Start looks like the window behind it, not a dark box.
        const QImage shot = d.grab().toImage();
        const QColor behind = shot.pixel(d.centralWidget()->mapTo(&d, QPoint(2, 2)));
        auto *holder = d.w<QPushButton>("btn_hidden");
        QVERIFY(behind.lightness() > 128 && QColor(shot.pixel(holder->mapTo(&d, holder->rect().center()))) == behind);

        // The delay field as typed, then shown and whether complete: tenths at most, "0" alone is no delay.
        // Tab leaves the table, and passes the invisible place holder before Start. Status answers paint the
        // states again every second of a run; restyling unchanged widgets cost milliseconds of CPU each time.
        d.w<QAbstractButton>("rBtn_continue")->click();
        d.addRow("8", "20");
        auto *edit = d.w<QLineEdit>("edt_time_delay");
        const QStringList rows = { "12", "12 ok", "12.5", "12.5 ok", "0.5", "0.5 ok", "7.55", "7.5 ok", "07", "0", "1a",
            "1 ok", "-3", "3 ok", "0.", "0." };
        for (int i = 0; i < rows.size(); i += 2) {
            edit->clear();
            QTest::keyClicks(edit, rows[i]);
            QCOMPARE(edit->text() + (edit->hasAcceptableInput() ? " ok" : ""), rows[i + 1]);
        }
        auto *table = d.w<QTableView>("tableView");
        table->setFocus();
        table->setCurrentIndex(table->model()->index(0, 0));
        QTest::keyClick(table, Qt::Key_Tab);
        QVERIFY(QApplication::focusWidget() != table);
        d.w<QWidget>("cmb_model_scan")->setFocus(); // the control before the place holder
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        QVERIFY(QApplication::focusWidget() && QApplication::focusWidget() != d.w<QWidget>("btn_hidden"));
        qApp->installEventFilter(this);
        for (int pass = 0; pass < 2; ++pass) { // the idle states, then the same again
            restyles = 0;
            d.ShowDeviceStatus("已连接", ColourGreen);
            d.ShowWorkStatus("空闲", ColourBlack);
            d.EnableStartStop(true, false);
            d.EnableSettings(true);
        }
        QCOMPARE(restyles, 0);
        d.EnableStartStop(false, true); // a state that does change still restyles
        QVERIFY(restyles > 0);
    }

    // View: time, "-", the category, "->", the text; refilling it for every line
    // cost about a second per line after 100,000 lines. File: time, "->", the
    // text, one line feed; the once-a-second status poll stays out of it.
    void linesInTheViewAndTheFile()
    {
        const QString time = "\\d\\d:\\d\\d:\\d\\d";
        {
            TestDesk first;
            first.show();
            QVERIFY(QTest::qWaitForWindowExposed(&first));
            auto *view = first.w<QListView>("v_list_log");
            while (first.logLines.size() < 100000) // the run so far, as if logged line by line
                first.logLines << QString("10:15:02-系统信息->端口连接成功. %1").arg(first.logLines.size());
            first.logModel->setStringList(first.logLines);
            view->setCurrentIndex(view->model()->index(0, 0));
            QCoreApplication::sendPostedEvents();
            const QDeadlineTimer budget(400);
            first.LogToFile("first run");
            first.LogToView(LogUserOperation, "导入");
            first.CommandState = StateDeviceStatus;
            first.LogToFile("poll");
            first.LogToView(LogSystemInfo, QString());
            QCoreApplication::sendPostedEvents();
            QVERIFY2(!budget.hasExpired(), "two lines took over 400 ms");
            const QStringList shown = qobject_cast<QStringListModel *>(view->model())->stringList();
            QVERIFY(shown == first.logLines);
            QCOMPARE(shown.mid(100000).join('\n').replace(QRegularExpression(time), "t"),
                QString("t-用户操作->导入\nt-系统信息->"));
            // The newest line scrolls into sight; new lines keep the operator's selection.
            QTRY_VERIFY(view->viewport()->rect().intersects(view->visualRect(view->model()->index(100001, 0))));
            QVERIFY(view->selectionModel()->isRowSelected(0, QModelIndex()));
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

    // With a copy of the program running, this process is the second; once the
    // first is gone, even killed with its guard left behind, the next starts.
    void secondCopyIsRefusedUntilTheFirstEnds()
    {
        QTemporaryDir dir; // the copy's own folder, so its log lands there
        const QString copy = dir.filePath(QFileInfo(SOURCEDESK_PATH).fileName());
        QVERIFY(QFile::copy(SOURCEDESK_PATH, copy));
        qputenv("LC_ALL", "zh_CN.UTF-8"); // the copies' logs in Chinese
        const auto started = [&dir] { return logFileTexts(dir.path()).count("应用初始化完成."); };
        QProcess first, next;
        first.start(copy, QStringList());
        QTRY_COMPARE_WITH_TIMEOUT(started(), 1, 30000);
        BoxAnswerer answerer;
        QCOMPARE(StartDesk(*qApp, {}, [] { return 0; }), -1);
        QCOMPARE(
            answerer.seen, QStringList("Open failed|The application is already running and cannot be opened again!"));
        QVERIFY(logFileTexts(folder->path()).isEmpty()); // refused before anything is logged
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
