#include "testdesk.h"
#include "transmission/sweepprogress.h"

#include <QComboBox>
#include <QLineEdit>

#include <ctime>

class TimeUtilTest : public QObject
{
    Q_OBJECT

private slots:
    // The send time's rounding buttons. how: "min", "Hz f" (single frequency) or
    // "s t1 t2 ..." (sweep rows' sending times); shown "": the warning, the text left.
    void roundingButtons_data()
    {
        QTest::addColumn<QByteArray>("zone");
        QTest::addColumn<QString>("clock");
        QTest::addColumn<QString>("how");
        QTest::addColumn<QString>("shown");
        const auto row = [](const char *name, const char *zone, QString clock, const char *how, QString shown) {
            QTest::newRow(name) << QByteArray(zone) << clock << QString(how) << shown;
        };
        row("minute, 30 s past", "UTC0", "2024/05/17 10:15:30", "min", "2024/05/17 10:17:00");
        row("minute, read like atoi", "UTC0", "\t2024x/+5/-3 7:0x1:59.9", "min", "2024/04/27 07:02:00");
        row("end of 3000: zeros, never 1970", "UTC0", "3000/12/31 23:59:59", "min", "0000/00/00 00:00:00");
        row("period at the end", "UTC0", "3000/12/31 23:59:58", "Hz 1/16", "0000/00/00 00:00:00");
        row("before 1970", "UTC0", "1969/12/31 23:59:59", "min", "0000/00/00 00:00:00");
        row("period, 8 Hz", "UTC0", "2024/05/17 10:15:00", "Hz 8", "2024/05/17 10:15:06");
        row("period, 2040, 1/8192 Hz", "UTC0", "2040/05/17 10:15:00", "Hz 1/8192", "2040/05/17 11:39:44");
        row("period aligned", "UTC0", "2024/05/17 10:14:59", "s 7", "2024/05/17 10:15:05");
        row("rows of 10 s and 20.7 s", "UTC0", "2024/05/17 10:15:00", "s 10 20.7", "2024/05/17 10:15:30");
        row("no rows", "UTC0", "2024/05/17 10:15:00", "s", "");
        row("5 s and -5.5 s truncated sum to 0", "UTC0", "2024/05/17 10:15:00", "s 5 -5.5", "");
        row("sweep beyond 32 bits", "UTC0", "2024/05/17 10:15:00", "s 3000000000 1", "");
        row("no clock, nothing to round", "UTC0", "", "min", "typed");
        row("no clock, no table to warn of", "UTC0", "", "s", "typed");
        // Periods align to UTC whatever the zone; each clock is 10:15:00 UTC.
        row("UTC+8, a day falls at 08:00", "CST-8", "2024/05/17 18:15:00", "s 86400", "2024/05/18 08:00:00");
        row("UTC+5:30, 8192 s", "IST-5:30", "2024/05/17 15:45:00", "Hz 1/8192", "2024/05/17 17:01:12");
        row("summer time, not an hour late", "CET-1CEST", "2024/07/17 10:15:29", "min", "2024/07/17 10:16:00");
        // The repeated hour reads as its later pass; minutes on the clock's face, periods in UTC.
        row("repeated hour, minute", "EST5EDT", "2024/11/03 01:59:45", "min", "2024/11/03 02:01:00");
        row("repeated hour, period", "EST5EDT", "2024/11/03 01:59:45", "s 30", "2024/11/03 02:00:00");
        row("skipped hour, minute", "EST5EDT", "2024/03/10 02:30:10", "min", "2024/03/10 02:31:00");
    }
    void roundingButtons()
    {
        QFETCH(QByteArray, zone);
        QFETCH(QString, clock);
        QFETCH(QString, how);
        QFETCH(QString, shown);
        qputenv("TZ", zone);
#ifdef Q_OS_WIN // read again now, as the C library keeps the zone it first read
        _tzset();
#else
        tzset();
#endif
        AppFolderFixture folder;
        TestDesk d;
        const QStringList words = how.split(' ');
        d.w<QComboBox>("cmb_freq")->setCurrentText(words.value(1)); // a sweep ignores it
        d.w<QAbstractButton>(words[0] == "s" ? "rBtn_continue" : "rBtn_single")->click();
        for (const QString &seconds : words.mid(words[0] == "s" ? 1 : 2))
            d.addRow("1", seconds);
        d.w<QLineEdit>("edt_system_time")->setText(clock);
        d.w<QLineEdit>("edt_send_time")->setText("typed");
        BoxAnswerer answerer;
        d.w<QPushButton>(how == "min" ? "btn_round_min" : "btn_round_circel")->click();
        QCOMPARE(answerer.seen.join(""), QString(shown.isEmpty() ? "设置提示|至少需要1个频率，请先导入频率表！" : ""));
        QCOMPARE(d.w<QLineEdit>("edt_send_time")->text(), shown.isEmpty() ? QString("typed") : shown);
    }

    // Where a run stands, from a start's payload and the clock (start at 1000); rows of 1 Hz for 10, 20 and 30 s.
    void sweepPosition_data()
    {
        QTest::addColumn<QByteArray>("payload"); // command code first
        QTest::addColumn<QString>("mode");
        QTest::addColumn<double>("now");
        QTest::addColumn<QString>("where"); // phase row rowLeft sweepLeft end, or the wait
        const auto hex = [](const char *text) { return QByteArray::fromHex(text); };
        const QByteArray rows = hex("01 00000000000000 000D0000000A 000D00000014 000D0000001E");
        QTest::newRow("waiting") << rows << "once" << 995.5 << "wait 4.5";
        QTest::newRow("first row") << rows << "once" << 1000.0 << "1 0 10 60 1060";
        QTest::newRow("second row") << rows << "once" << 1015.0 << "1 1 15 45 1060";
        QTest::newRow("single sweep ends") << rows << "once" << 1060.0 << "2 -1 0 0 1060";
        QTest::newRow("cyclic: across the wrap") << rows << "cyclic" << 1065.0 << "1 0 5 55 1120";
        // Square waves count periods: 8 of 1/2 Hz last 16 s. A single frequency runs until stopped.
        QTest::newRow("square wave") << hex("01 00000000000000 000E00000008") << "square" << 1004.0 << "1 0 12 12 1016";
        QTest::newRow("until stopped") << hex("01 00000000000000 00007FFFFFFF") << "cyclic" << 5000.0 << "1 0 0 0 0";
    }
    void sweepPosition()
    {
        QFETCH(QByteArray, payload);
        QFETCH(QString, mode);
        QFETCH(double, now);
        QFETCH(QString, where);
        const SweepPosition at = PositionAt(PlanOfStart(reinterpret_cast<const unsigned char *>(payload.constData()),
                                                payload.size(), mode == "square", mode == "cyclic", 1000),
            now);
        const QString got = at.phase == SweepPosition::Waiting
            ? QString("wait %1").arg(at.untilStart)
            : QString("%1 %2 %3 %4 %5").arg(at.phase).arg(at.row).arg(at.rowLeft).arg(at.sweepLeft).arg(at.end);
        QCOMPARE(got, where);
    }
};

QTEST_MAIN(TimeUtilTest)
#include "tst_timeutil.moc"
