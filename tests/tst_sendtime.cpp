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
    void clockAdvancesOneSecond();
};

void SendTimeTest::roundingButtons_data()
{
    QTest::addColumn<QString>("button");
    QTest::addColumn<QString>("clock");
    QTest::addColumn<QString>("frequency"); // single-frequency output; empty: sweep
    QTest::addColumn<QStringList>("rows"); // sending times of the sweep rows
    QTest::addColumn<QString>("sendTime"); // empty: the warning; "typed": left alone, silently

    const QString clock = "2024/05/17 10:15:00";
    const QString minute = "btn_round_min";
    const QString period = "btn_round_circel";
    const QStringList none;
    QTest::newRow("minute, on the minute") << minute << clock << "1" << none << "2024/05/17 10:16:00";
    QTest::newRow("minute, 30 s past") << minute << "2024/05/17 10:15:30"
                                       << "1" << none << "2024/05/17 10:17:00";
    QTest::newRow("minute, day rolls over") << minute << "2024/05/17 23:59:45"
                                            << "1" << none << "2024/05/18 00:01:00";
    QTest::newRow("period, 8 Hz") << period << clock << "8" << none << "2024/05/17 10:15:06";
    QTest::newRow("period, 1/16 Hz") << period << clock << "1/16" << none << "2024/05/17 10:15:12";
    QTest::newRow("period, 1/8192 Hz") << period << clock << "1/8192" << none << "2024/05/17 11:31:12";
    QTest::newRow("period, 2040, 1/8192 Hz") << period << "2040/05/17 10:15:00"
                                             << "1/8192" << none << "2040/05/17 11:39:44";
    QTest::newRow("period, rows of 10 s and 20.7 s")
        << period << clock << "" << QStringList { "10", "20.7" } << "2024/05/17 10:15:30";
    QTest::newRow("period, no rows") << period << clock << "" << none << "";
    // The total counts 5 s, yet the truncated times sum to 0: no period.
    QTest::newRow("period, 5 s and -5.5 s") << period << clock << "" << QStringList { "5", "-5.5" } << "";
    // No clock yet: nothing to round, not even the empty table to warn of.
    QTest::newRow("minute, no clock") << minute << ""
                                      << "1" << none << "typed";
    QTest::newRow("period, no clock") << period << ""
                                      << "" << none << "typed";
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
    const bool warned = sendTime.isEmpty(), set = !warned && sendTime != "typed";
    QCOMPARE(answerer.seen, warned ? QStringList("设置提示|至少需要1个频率，请先导入频率表！") : QStringList());
    QCOMPARE(d.w<QLineEdit>("edt_send_time")->text(), set ? sendTime : QString("typed"));
    QCOMPARE(d.w<QLineEdit>("edt_system_time")->text(), clock);
    const QStringList log = logFileTexts(folder.path());
    const QString line = button == "btn_round_min" ? "设置整分" : "设置整周期";
    QCOMPARE(set ? log.last() == line : log.contains(line), set);
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
