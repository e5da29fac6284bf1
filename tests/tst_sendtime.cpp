#include "testdesk.h"

#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>

#include <ctime>

// The rounding buttons as the operator uses them. The process runs in UTC so
// the expected texts are fixed; the arithmetic itself is tst_timeutil's.
class SendTimeTest : public QObject
{
    Q_OBJECT

private slots:
    void roundingButtons_data();
    void roundingButtons();
    void emptyClockLeavesBothButtonsSilent();
    void clockAdvancesOneSecond();
};

void SendTimeTest::roundingButtons_data()
{
    QTest::addColumn<QString>("button");
    QTest::addColumn<QString>("clock");
    QTest::addColumn<QString>("frequency"); // single-frequency output; empty: sweep
    QTest::addColumn<QStringList>("rows"); // sending times of the sweep rows
    QTest::addColumn<QString>("sendTime"); // empty: the warning, field unchanged

    const QString clock = "2024/05/17 10:15:00";
    const QString minute = "btn_round_min";
    const QString period = "btn_round_circel";
    QTest::newRow("minute, on the minute") << minute << clock << "1" << QStringList() << "2024/05/17 10:16:00";
    QTest::newRow("minute, 30 s past") << minute << "2024/05/17 10:15:30"
                                       << "1" << QStringList() << "2024/05/17 10:17:00";
    QTest::newRow("minute, day rolls over") << minute << "2024/05/17 23:59:45"
                                            << "1" << QStringList() << "2024/05/18 00:01:00";
    QTest::newRow("minute, 2040 leap day") << minute << "2040/02/29 23:59:31"
                                           << "1" << QStringList() << "2040/03/01 00:01:00";
    QTest::newRow("period, 8 Hz") << period << clock << "8" << QStringList() << "2024/05/17 10:15:06";
    QTest::newRow("period, 1/16 Hz") << period << clock << "1/16" << QStringList() << "2024/05/17 10:15:12";
    QTest::newRow("period, 1/8192 Hz") << period << clock << "1/8192" << QStringList() << "2024/05/17 11:31:12";
    QTest::newRow("period, 2040, 1/8192 Hz") << period << "2040/05/17 10:15:00"
                                             << "1/8192" << QStringList() << "2040/05/17 11:39:44";
    QTest::newRow("period, rows of 10 s and 20.7 s")
        << period << clock << "" << QStringList { "10", "20.7" } << "2024/05/17 10:15:30";
    QTest::newRow("period, fractions dropped as added: 3.9 + 3.9 + 3 is 9")
        << period << clock << "" << QStringList { "3.9", "3.9", "3" } << "2024/05/17 10:15:09";
    QTest::newRow("period, no rows") << period << clock << "" << QStringList() << "";
    QTest::newRow("period, total of 0") << period << clock << "" << QStringList { "0" } << "";
    // The total counts 5 s, yet the truncated times sum to 0: no period.
    QTest::newRow("period, 5 s and -5.5 s") << period << clock << "" << QStringList { "5", "-5.5" } << "";
}

void SendTimeTest::roundingButtons()
{
    QFETCH(QString, button);
    QFETCH(QString, clock);
    QFETCH(QString, frequency);
    QFETCH(QStringList, rows);
    QFETCH(QString, sendTime);

    AppFolderFixture folder;
    TestDesk d;
    if (frequency.isEmpty()) {
        d.w<QRadioButton>("rBtn_continue")->click();
        for (const QString &seconds : rows)
            d.addRow("1", seconds);
    } else {
        d.w<QComboBox>("cmb_freq")->setCurrentText(frequency);
        QCOMPARE(d.w<QComboBox>("cmb_freq")->currentText(), frequency);
    }
    d.w<QLineEdit>("edt_system_time")->setText(clock);
    d.w<QLineEdit>("edt_send_time")->setText("typed");

    BoxAnswerer answerer;
    d.w<QPushButton>(qPrintable(button))->click();
    const QString logLine = button == "btn_round_min" ? "设置整分" : "设置整周期";
    if (sendTime.isEmpty()) {
        QCOMPARE(answerer.seen, QStringList({ "设置提示|至少需要1个频率，请先导入频率表！" }));
        QCOMPARE(d.w<QLineEdit>("edt_send_time")->text(), QString("typed"));
        QVERIFY(!logFileTexts(folder.path()).contains(logLine));
        return;
    }
    QVERIFY(answerer.seen.isEmpty());
    QCOMPARE(d.w<QLineEdit>("edt_send_time")->text(), sendTime);
    QCOMPARE(d.w<QLineEdit>("edt_system_time")->text(), clock);
    QCOMPARE(logFileTexts(folder.path()).last(), logLine);
}

void SendTimeTest::emptyClockLeavesBothButtonsSilent()
{
    AppFolderFixture folder;
    TestDesk d;
    d.w<QRadioButton>("rBtn_continue")->click(); // an empty table would warn, were the clock read
    d.w<QLineEdit>("edt_send_time")->setText("typed");
    const QStringList before = logFileTexts(folder.path());
    BoxAnswerer answerer;
    d.w<QPushButton>("btn_round_min")->click();
    d.w<QPushButton>("btn_round_circel")->click();
    QVERIFY(answerer.seen.isEmpty());
    QCOMPARE(d.w<QLineEdit>("edt_send_time")->text(), QString("typed"));
    QCOMPARE(logFileTexts(folder.path()), before);
}

void SendTimeTest::clockAdvancesOneSecond()
{
    AppFolderFixture folder;
    TestDesk d;
    auto *clock = d.w<QLineEdit>("edt_system_time");
    const QList<QPair<QString, QString>> steps = {
        { "2024/05/17 23:59:59", "2024/05/18 00:00:00" },
        { "2038/01/19 03:14:07", "2038/01/19 03:14:08" },
        { "2024/05/17 10:14:60", "2024/05/17 10:15:01" },
    };
    for (const auto &step : steps) {
        clock->setText(step.first);
        d.showTimer();
        QCOMPARE(clock->text(), step.second);
    }
}

int main(int argc, char **argv)
{
    qputenv("TZ", "UTC");
#ifdef Q_OS_WIN
    _tzset();
#else
    tzset();
#endif
    QApplication app(argc, argv);
    SendTimeTest test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_sendtime.moc"
