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
    void initTestCase()
    {
        qputenv("TZ", "UTC");
#ifdef Q_OS_WIN
        _tzset();
#else
        tzset();
#endif
    }
    void roundingButtons_data();
    void roundingButtons();
    void clockAdvancesOneSecond();
};

void SendTimeTest::roundingButtons_data()
{
    QTest::addColumn<QString>("button");
    QTest::addColumn<QString>("clock");
    QTest::addColumn<QString>("frequency"); // single-frequency output; empty: sweep
    QTest::addColumn<QStringList>("rows"); // sending times of the sweep rows
    QTest::addColumn<QString>("sendTime"); // empty: the warning; "typed": left alone, silently

    const QString clock = "2024/05/17 10:15:00", minute = "btn_round_min", period = "btn_round_circel";
    const auto row = [](const char *name, const QString &button, const QString &clock, const QString &frequency,
                         const QStringList &rows, const QString &sendTime) {
        QTest::newRow(name) << button << clock << frequency << rows << sendTime;
    };
    row("minute, on the minute", minute, clock, "1", {}, "2024/05/17 10:16:00");
    row("minute, 30 s past", minute, "2024/05/17 10:15:30", "1", {}, "2024/05/17 10:17:00");
    row("minute, day rolls over", minute, "2024/05/17 23:59:45", "1", {}, "2024/05/18 00:01:00");
    row("period, 8 Hz", period, clock, "8", {}, "2024/05/17 10:15:06");
    row("period, 1/16 Hz", period, clock, "1/16", {}, "2024/05/17 10:15:12");
    row("period, 1/8192 Hz", period, clock, "1/8192", {}, "2024/05/17 11:31:12");
    row("period, 2040, 1/8192 Hz", period, "2040/05/17 10:15:00", "1/8192", {}, "2040/05/17 11:39:44");
    row("period, rows of 10 s and 20.7 s", period, clock, "", { "10", "20.7" }, "2024/05/17 10:15:30");
    row("period, no rows", period, clock, "", {}, "");
    // The total counts 5 s, yet the truncated times sum to 0: no period.
    row("period, 5 s and -5.5 s", period, clock, "", { "5", "-5.5" }, "");
    // No clock yet: nothing to round, not even the empty table to warn of.
    row("minute, no clock", minute, "", "1", {}, "typed");
    row("period, no clock", period, "", "", {}, "typed");
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
    const bool warned = sendTime.isEmpty();
    QCOMPARE(answerer.seen, warned ? QStringList("设置提示|至少需要1个频率，请先导入频率表！") : QStringList());
    QCOMPARE(d.w<QLineEdit>("edt_send_time")->text(), warned ? QString("typed") : sendTime);
}

void SendTimeTest::clockAdvancesOneSecond()
{
    AppFolderFixture folder;
    TestDesk d;
    auto *clock = d.w<QLineEdit>("edt_system_time");
    for (const auto &[from, to] : { std::pair<QString, QString>("2024/05/17 23:59:59", "2024/05/18 00:00:00"),
             { "2038/01/19 03:14:07", "2038/01/19 03:14:08" }, { "2024/05/17 10:14:60", "2024/05/17 10:15:01" } }) {
        clock->setText(from);
        d.showTimer();
        QCOMPARE(clock->text(), to);
    }
}

QTEST_MAIN(SendTimeTest)
#include "tst_sendtime.moc"
