#include "transmission/sweepprogress.h"
#include "transmission/timeutil.h"

#include <QtTest>

#include <ctime>
#include <limits>

// The suite runs in UTC; this puts the calendar functions in another zone
// while it lives.
struct LocalZone
{
    explicit LocalZone(const char *zone) { Apply(zone); }
    ~LocalZone() { Apply("UTC0"); }
    static void Apply(const char *zone)
    {
        qputenv("TZ", zone);
#ifdef Q_OS_WIN
        _tzset();
#else
        tzset();
#endif
    }
};

namespace {
const QString kZero = "0000/00/00 00:00:00"; // a moment outside the calendar
const QString kUntouched = "2001/02/03 04:05:06";
enum { Add, Period };
} // namespace

class TimeUtilTest : public QObject
{
    Q_OBJECT

    TimeFields At(const QString &text) const { return util.ParseTime(text); }
    TimeUtil util;

private slots:
    void initTestCase() { LocalZone::Apply("UTC0"); }

    void countsAndRoundingInEachZone_data()
    {
        QTest::addColumn<QByteArray>("zone");
        QTest::addColumn<QString>("clock");
        QTest::addColumn<qint64>("count"); // seconds since 1970 UTC; -1 outside the calendar
        QTest::addColumn<qint64>("period"); // 0: whole minute
        QTest::addColumn<QString>("sendTime");
        auto row = [](const char *name, const char *zone, const QString &clock, qint64 count, qint64 period,
                       const QString &sendTime) {
            QTest::newRow(name) << QByteArray(zone) << clock << count << period << sendTime;
        };
        row("epoch", "UTC0", "1970/01/01 00:00:00", 0, 0, "1970/01/01 00:01:00");
        row("last 32-bit second", "UTC0", "2038/01/19 03:14:07", 2147483647, 0, "2038/01/19 03:15:00");
        row("first second after", "UTC0", "2038/01/19 03:14:08", 2147483648, 30, "2038/01/19 03:14:30");
        // Outside the calendar everything reads all zeros, never 1970.
        row("end of 3000", "UTC0", "3000/12/31 23:59:59", 32535215999, 0, kZero);
        row("before 1970", "UTC0", "1969/12/31 23:59:59", -1, 0, kZero);
        row("after 3000", "UTC0", "3001/01/01 00:00:00", -1, 0, kZero);
        row("the zero record", "UTC0", kZero, -1, 0, kZero);
        // Periods align to UTC counts whatever the zone: each clock is 10:15:00 UTC.
        const qint64 utc = 1715940900;
        row("UTC+8, a day falls at 08:00", "CST-8", "2024/05/17 18:15:00", utc, 86400, "2024/05/18 08:00:00");
        row("UTC-5, 8192 s", "EST5", "2024/05/17 05:15:00", utc, 8192, "2024/05/17 06:31:12");
        row("UTC+5:30, 8192 s", "IST-5:30", "2024/05/17 15:45:00", utc, 8192, "2024/05/17 17:01:12");
        // Central Europe: a summer clock must not come back an hour late.
        const char *europe = "CET-1CEST,M3.5.0,M10.5.0/3";
        row("summer time", europe, "2024/07/17 10:15:29", 1721204129, 0, "2024/07/17 10:16:00");
        row("winter time", europe, "2024/01/17 10:15:29", 1705482929, 0, "2024/01/17 10:16:00");
        // The hour repeated in autumn reads as its later pass; the minute is
        // counted on the clock's face, the period in UTC seconds. Nor does the
        // minute jump the hour skipped in spring. New York's changes: the
        // Windows runtime takes no rules from TZ and applies the US ones.
        const char *newYork = "EST5EDT";
        row("repeated hour, minute", newYork, "2024/11/03 01:59:45", 1730617185, 0, "2024/11/03 02:01:00");
        row("repeated hour, period", newYork, "2024/11/03 01:59:45", 1730617185, 30, "2024/11/03 02:00:00");
        row("skipped hour, minute", newYork, "2024/03/10 02:30:10", 1710055810, 0, "2024/03/10 02:31:00");
    }
    void countsAndRoundingInEachZone()
    {
        QFETCH(QByteArray, zone);
        QFETCH(QString, clock);
        QFETCH(qint64, count);
        QFETCH(qint64, period);
        QFETCH(QString, sendTime);
        LocalZone local(zone.constData());
        util.WholeMinute(At("2024/07/17 10:15:29")); // an earlier press, in summer, changes nothing
        QCOMPARE(util.ToTimeT(At(clock)), count);
        QCOMPARE(util.ToTimeT(util.FromTimeT(count)), count);
        for (qint64 outside : { qint64(-86400), qint64(32535216000), std::numeric_limits<qint64>::max() })
            QCOMPARE(util.FormatTime(util.FromTimeT(outside)), kZero);
        TimeFields out = util.WholeMinute(At(clock));
        if (period > 0)
            QVERIFY(util.WholePeriod(At(clock), period, &out));
        QCOMPARE(util.FormatTime(out), sendTime);
    }

    void sendTimeArithmetic_data()
    {
        // The rounding buttons' own examples are tst_sendtime's.
        QTest::addColumn<QString>("from");
        QTest::addColumn<int>("op");
        QTest::addColumn<qint64>("n"); // seconds to add, or the period
        QTest::addColumn<QString>("to");
        QTest::newRow("into a leap day") << "2024/02/28 23:59:59" << int(Add) << 1ll << "2024/02/29 00:00:00";
        QTest::newRow("no leap day in 2023") << "2023/02/28 23:59:59" << int(Add) << 1ll << "2023/03/01 00:00:00";
        QTest::newRow("backwards over midnight") << "2024/05/18 00:00:10" << int(Add) << -20ll << "2024/05/17 23:59:50";
        // 10:15:05 is itself a multiple of 7 s: no extra period is added.
        QTest::newRow("period aligned") << "2024/05/17 10:14:59" << int(Period) << 7ll << "2024/05/17 10:15:05";
        QTest::newRow("period 0 refused") << "2024/05/17 10:15:00" << int(Period) << 0ll << "refused " + kUntouched;
        // Nothing after the calendar's end or before 1970: all zeros.
        QTest::newRow("period at the end") << "3000/12/31 23:59:58" << int(Period) << 16ll << kZero;
        QTest::newRow("before 1970 plus 2") << "1969/12/31 23:59:59" << int(Add) << 2ll << kZero;
    }
    void sendTimeArithmetic()
    {
        QFETCH(QString, from);
        QFETCH(int, op);
        QFETCH(qint64, n);
        QFETCH(QString, to);
        TimeFields out = At(kUntouched);
        QString prefix;
        if (op == Add)
            out = util.AddSeconds(At(from), n);
        else if (!util.WholePeriod(At(from), n, &out))
            prefix = "refused ";
        QCOMPARE(prefix + util.FormatTime(out), to);
    }

    void periods_data()
    {
        // One value: the period of a single frequency; several: of a sweep's
        // sending times. Ordinary ones come through the buttons in tst_sendtime.
        QTest::addColumn<QVector<float>>("values");
        QTest::addColumn<qint64>("period");
        const float nan = std::numeric_limits<float>::quiet_NaN();
        QTest::newRow("0.4 Hz rounds up") << QVector<float> { 0.4f } << 3ll;
        QTest::newRow("unreadable text gives 0 Hz") << QVector<float> { 0.0f } << 0ll;
        QTest::newRow("NaN Hz") << QVector<float> { nan } << 0ll;
        QTest::newRow("period beyond 32 bits") << QVector<float> { 1e-30f } << 0ll;
        QTest::newRow("sweep of fractions only") << QVector<float> { 0.5f, 0.9f } << 0ll;
        QTest::newRow("sweep beyond 32 bits") << QVector<float> { 3e9f, 1.0f } << 0ll;
        QTest::newRow("sweep, NaN row") << QVector<float> { 10.0f, nan } << 0ll;
    }
    void periods()
    {
        QFETCH(QVector<float>, values);
        QFETCH(qint64, period);
        QCOMPARE(values.size() > 1 ? util.PeriodOfSweep(values) : util.PeriodOfFrequency(values.first()), period);
    }

    void parseTimeReadsOnlyThePiecesPresent_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("fields");
        auto row = [](const char *name, const char *text, const char *fields) {
            QTest::newRow(name) << QString(text) << QString(fields);
        };
        row("date only", "2024/05/17", "2024/05/17 00:00:00");
        row("extra pieces ignored", "2024/05/17/9 10:15:00:42 x", "2024/05/17 10:15:00");
        row("atoi: blanks, sign, stop at other", "\t2024x/+5/-3 7:0x1:59.9", "2024/05/-3 07:00:59");
        row("saturates beyond int", "99999999999/01/01 -99999999999:00:00", "-001/01/01 00:00:00");
    }
    void parseTimeReadsOnlyThePiecesPresent()
    {
        QFETCH(QString, text);
        QFETCH(QString, fields);
        QCOMPARE(util.FormatTime(At(text)), fields);
    }

    void strictParseAcceptsOnlyCompleteRealTimes_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<bool>("accepted");
        // In the past and after 2038 still count.
        for (const char *text : { "2024/02/29 23:59:59", "1999/12/31 00:00:00", "2040/01/31 12:00:00" })
            QTest::newRow(text) << QString(text) << true;
        for (const char *text : { "", "2024/05/17", "2024/05/17  10:15:00", " 2024/05/17 10:15:00", "2024/05/17 10:15",
                 "2024/5/17 10:15:00", "2024/O5/17 10:15:00", "2024/05/17 +1:15:00", "2024/13/01 10:15:00",
                 "2024/00/01 10:15:00", "2024/04/31 10:15:00", "2023/02/29 10:15:00", "2024/05/17 24:00:00",
                 "2024/05/17 10:60:00", "2024/05/17 10:15:60", "0000/00/00 00:00:00", "2024/05/17 10:15:00\n" })
            QTest::newRow(*text ? text : "empty") << QString(text) << false;
        QTest::newRow("non-Latin digits") << QString::fromUtf8("٢٠٢٤/05/17 10:15:00") << false;
    }
    void strictParseAcceptsOnlyCompleteRealTimes()
    {
        QFETCH(QString, text);
        QFETCH(bool, accepted);
        TimeFields out = At(kUntouched);
        QCOMPARE(util.ParseTime(text, &out), accepted);
        QCOMPARE(util.FormatTime(out), accepted ? text : kUntouched);
    }

    // Where a run stands, from the payload a start sent and the device's clock
    // (start at 1000). Rows: 1 Hz for 10, 20 and 30 s, seconds counted.
    void sweepPosition_data()
    {
        QTest::addColumn<bool>("cyclic");
        QTest::addColumn<double>("now");
        QTest::addColumn<QString>("where"); // phase row rowLeft sweepLeft end, or the wait
        QTest::newRow("waiting") << false << 995.5 << "wait 4.5";
        QTest::newRow("first row") << false << 1000.0 << "1 0 10 60 1060";
        QTest::newRow("second row") << false << 1015.0 << "1 1 15 45 1060";
        QTest::newRow("last second") << false << 1059.5 << "1 2 0.5 0.5 1060";
        QTest::newRow("single sweep ends") << false << 1060.0 << "2 -1 0 0 1060";
        QTest::newRow("cyclic: before the wrap") << true << 1059.0 << "1 2 1 1 1060";
        QTest::newRow("cyclic: across the wrap") << true << 1065.0 << "1 0 5 55 1120";
        QTest::newRow("cyclic: third cycle") << true << 1135.0 << "1 1 15 45 1180";
    }
    void sweepPosition()
    {
        QFETCH(bool, cyclic);
        QFETCH(double, now);
        QFETCH(QString, where);
        unsigned char payload[26] = { 0x01 };
        const unsigned char rows[3] = { 10, 20, 30 };
        for (int k = 0; k < 3; ++k) {
            payload[8 + 6 * k + 1] = 13; // 8192 / 2^13 = 1 Hz
            payload[8 + 6 * k + 5] = rows[k];
        }
        const SweepPosition at = PositionAt(PlanOfStart(payload, 26, false, cyclic, 1000), now);
        const QString got = at.phase == SweepPosition::Waiting
            ? QString("wait %1").arg(at.untilStart)
            : QString("%1 %2 %3 %4 %5").arg(at.phase).arg(at.row).arg(at.rowLeft).arg(at.sweepLeft).arg(at.end);
        QCOMPARE(got, where);
    }

    // Square waves count periods: 8 periods of 1/2 Hz last 16 s; a single
    // frequency runs until stopped and counts up.
    void sweepPlanFromPayload()
    {
        const unsigned char square[14] = { 0x01, 0, 0, 0, 0, 0, 0, 0, 0x00, 14, 0, 0, 0, 8 };
        const SweepPlan plan = PlanOfStart(square, 14, true, false, 0);
        QCOMPARE(plan.rows.value(0).frequency, 0.5f);
        QCOMPARE(plan.sweepSeconds(), 16.0);
        const unsigned char endless[14] = { 0x01, 0, 0, 0, 0, 0, 0, 0, 0x00, 0, 0x7F, 0xFF, 0xFF, 0xFF };
        const SweepPosition at = PositionAt(PlanOfStart(endless, 14, false, true, 0), 4000.2);
        QVERIFY(PlanOfStart(endless, 14, false, true, 0).endless);
        QCOMPARE(at.phase, SweepPosition::Running);
        QCOMPARE(at.sinceStart, 4000.2);
        QCOMPARE(SpanText(30 * 3600 + 0.2), QString("30:00:01"));
    }
};

QTEST_GUILESS_MAIN(TimeUtilTest)
#include "tst_timeutil.moc"
