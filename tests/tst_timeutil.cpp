#include "transmission/timeutil.h"

#include <QtTest>

#include <cmath>
#include <ctime>
#include <limits>

// Switches the process's local zone for the calendar functions and restores it.
class LocalZone
{
public:
    explicit LocalZone(const char *zone)
        : saved(qgetenv("TZ"))
        , hadZone(qEnvironmentVariableIsSet("TZ"))
    {
        Apply(zone);
    }
    ~LocalZone()
    {
        if (hadZone)
            Apply(saved.constData());
        else {
            qunsetenv("TZ");
            Reload();
        }
    }
    static void Apply(const char *zone)
    {
        qputenv("TZ", zone);
        Reload();
    }

private:
    static void Reload()
    {
#ifdef Q_OS_WIN
        _tzset();
#else
        tzset();
#endif
    }
    QByteArray saved;
    bool hadZone;
};

class TimeUtilTest : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void countsAreSecondsSinceTheEpochPast2038_data();
    void countsAreSecondsSinceTheEpochPast2038();
    void momentsOutsideTheCalendarGiveZeroFields();
    void addSecondsCrossesCalendarBoundaries_data();
    void addSecondsCrossesCalendarBoundaries();
    void wholeMinuteIsMoreThan30SecondsAhead_data();
    void wholeMinuteIsMoreThan30SecondsAhead();
    void wholePeriodIsTheNextMultipleAtLeast6SecondsAhead_data();
    void wholePeriodIsTheNextMultipleAtLeast6SecondsAhead();
    void wholePeriodRefusesPeriodsBelowOne();
    void roundingPastTheCalendarsEndGivesZeroFields();
    void periodOfFrequency_data();
    void periodOfFrequency();
    void periodOfSweepDropsEachRowsFraction_data();
    void periodOfSweepDropsEachRowsFraction();
    void parseTimeReadsOnlyThePiecesPresent_data();
    void parseTimeReadsOnlyThePiecesPresent();
    void strictParseAcceptsOnlyCompleteRealTimes_data();
    void strictParseAcceptsOnlyCompleteRealTimes();
    void alignmentDoesNotDependOnTheZone_data();
    void alignmentDoesNotDependOnTheZone();
    void summerTimeRoundTripsUnchanged();

private:
    TimeFields At(const char *text) const { return util.ParseTime(QString::fromLatin1(text)); }
    TimeUtil util;
};

void TimeUtilTest::initTestCase()
{
    LocalZone::Apply("UTC0");
    QCOMPARE(util.ToTimeT(At("1970/01/01 00:00:00")), qint64(0));
}

void TimeUtilTest::countsAreSecondsSinceTheEpochPast2038_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<qint64>("count");
    QTest::newRow("epoch") << "1970/01/01 00:00:00" << qint64(0);
    QTest::newRow("2024") << "2024/05/17 10:15:00" << qint64(1715940900);
    QTest::newRow("last 32-bit second") << "2038/01/19 03:14:07" << qint64(2147483647);
    QTest::newRow("first second after") << "2038/01/19 03:14:08" << qint64(2147483648);
    QTest::newRow("2040") << "2040/05/17 10:15:00" << qint64(2220862500);
    QTest::newRow("end of 3000") << "3000/12/31 23:59:59" << qint64(32535215999);
}

void TimeUtilTest::countsAreSecondsSinceTheEpochPast2038()
{
    QFETCH(QString, text);
    QFETCH(qint64, count);
    QCOMPARE(util.ToTimeT(util.ParseTime(text)), count);
    QCOMPARE(util.FormatTime(util.FromTimeT(count)), text);
}

void TimeUtilTest::momentsOutsideTheCalendarGiveZeroFields()
{
    const QString zero("0000/00/00 00:00:00");
    QCOMPARE(util.FormatTime(util.FromTimeT(-1)), zero);
    QCOMPARE(util.FormatTime(util.FromTimeT(-86400)), zero);
    QCOMPARE(util.FormatTime(util.FromTimeT(32535216000)), zero);
    QCOMPARE(util.FormatTime(util.FromTimeT(std::numeric_limits<qint64>::max())), zero);
    QCOMPARE(util.ToTimeT(At("1969/12/31 23:59:59")), qint64(-1));
    QCOMPARE(util.ToTimeT(At("3001/01/01 00:00:00")), qint64(-1));
    // The zero record itself lies outside the calendar.
    QCOMPARE(util.ToTimeT(util.FromTimeT(-1)), qint64(-1));
}

void TimeUtilTest::addSecondsCrossesCalendarBoundaries_data()
{
    QTest::addColumn<QString>("from");
    QTest::addColumn<qint64>("n");
    QTest::addColumn<QString>("to");
    QTest::newRow("into a leap day") << "2024/02/28 23:59:59" << qint64(1) << "2024/02/29 00:00:00";
    QTest::newRow("no leap day in 2023") << "2023/02/28 23:59:59" << qint64(1) << "2023/03/01 00:00:00";
    QTest::newRow("new year") << "2024/12/31 23:59:59" << qint64(1) << "2025/01/01 00:00:00";
    QTest::newRow("backwards over midnight") << "2024/05/18 00:00:10" << qint64(-20) << "2024/05/17 23:59:50";
    QTest::newRow("over the 32-bit limit") << "2038/01/19 03:14:07" << qint64(1) << "2038/01/19 03:14:08";
    QTest::newRow("a leap year of seconds") << "2039/06/01 12:00:00" << qint64(366 * 86400) << "2040/06/01 12:00:00";
    QTest::newRow("out of range fields") << "2024/05/17 10:15:90" << qint64(0) << "2024/05/17 10:16:30";
}

void TimeUtilTest::addSecondsCrossesCalendarBoundaries()
{
    QFETCH(QString, from);
    QFETCH(qint64, n);
    QFETCH(QString, to);
    QCOMPARE(util.FormatTime(util.AddSeconds(util.ParseTime(from), n)), to);
}

void TimeUtilTest::wholeMinuteIsMoreThan30SecondsAhead_data()
{
    QTest::addColumn<QString>("clock");
    QTest::addColumn<QString>("sendTime");
    QTest::newRow("on the minute") << "2024/05/17 10:15:00"
                                   << "2024/05/17 10:16:00";
    QTest::newRow("29 s past") << "2024/05/17 10:15:29"
                               << "2024/05/17 10:16:00";
    QTest::newRow("30 s past") << "2024/05/17 10:15:30"
                               << "2024/05/17 10:17:00";
    QTest::newRow("day rolls over") << "2024/05/17 23:59:45"
                                    << "2024/05/18 00:01:00";
    QTest::newRow("across the 32-bit limit") << "2038/01/19 03:14:07"
                                             << "2038/01/19 03:15:00";
    QTest::newRow("2040 leap day") << "2040/02/29 23:59:31"
                                   << "2040/03/01 00:01:00";
}

void TimeUtilTest::wholeMinuteIsMoreThan30SecondsAhead()
{
    QFETCH(QString, clock);
    QFETCH(QString, sendTime);
    QCOMPARE(util.FormatTime(util.WholeMinute(util.ParseTime(clock))), sendTime);
}

void TimeUtilTest::wholePeriodIsTheNextMultipleAtLeast6SecondsAhead_data()
{
    QTest::addColumn<QString>("clock");
    QTest::addColumn<qint64>("period");
    QTest::addColumn<QString>("sendTime");
    const char *clock = "2024/05/17 10:15:00";
    QTest::newRow("8 Hz") << clock << util.PeriodOfFrequency(8.0f) << "2024/05/17 10:15:06";
    QTest::newRow("1/16 Hz") << clock << util.PeriodOfFrequency(1.0f / 16) << "2024/05/17 10:15:12";
    QTest::newRow("1/8192 Hz") << clock << util.PeriodOfFrequency(1.0f / 8192) << "2024/05/17 11:31:12";
    QTest::newRow("rows of 10 s and 20.7 s") << clock << util.PeriodOfSweep({ 10.0f, 20.7f }) << "2024/05/17 10:15:30";
    // 10:15:05 is itself a multiple of 7 s: no extra period is added.
    QTest::newRow("already aligned") << "2024/05/17 10:14:59" << qint64(7) << "2024/05/17 10:15:05";
    QTest::newRow("2040, 1/8192 Hz") << "2040/05/17 10:15:00" << qint64(8192) << "2040/05/17 11:39:44";
    QTest::newRow("2040, 30 s") << "2040/05/17 10:15:00" << qint64(30) << "2040/05/17 10:15:30";
}

void TimeUtilTest::wholePeriodIsTheNextMultipleAtLeast6SecondsAhead()
{
    QFETCH(QString, clock);
    QFETCH(qint64, period);
    QFETCH(QString, sendTime);
    TimeFields out = {};
    QVERIFY(util.WholePeriod(util.ParseTime(clock), period, &out));
    QCOMPARE(util.FormatTime(out), sendTime);
    QCOMPARE(util.ToTimeT(out) % period, qint64(0));
}

void TimeUtilTest::wholePeriodRefusesPeriodsBelowOne()
{
    const TimeFields sentinel = At("2001/02/03 04:05:06");
    for (qint64 period : { qint64(0), qint64(-16) }) {
        TimeFields out = sentinel;
        QVERIFY(!util.WholePeriod(At("2024/05/17 10:15:00"), period, &out));
        QCOMPARE(util.FormatTime(out), QString("2001/02/03 04:05:06"));
    }
}

void TimeUtilTest::roundingPastTheCalendarsEndGivesZeroFields()
{
    // A clock two seconds before the end of the calendar has no whole minute
    // or period after it: the send time reads all zeros, never 1970.
    const QString zero("0000/00/00 00:00:00");
    const TimeFields clock = At("3000/12/31 23:59:58");
    QCOMPARE(util.FormatTime(util.WholeMinute(clock)), zero);
    TimeFields out = At("2001/02/03 04:05:06");
    QVERIFY(util.WholePeriod(clock, 16, &out));
    QCOMPARE(util.FormatTime(out), zero);
    QCOMPARE(util.FormatTime(util.AddSeconds(util.FromTimeT(-1), 60)), zero);
    QCOMPARE(util.FormatTime(util.AddSeconds(At("1969/12/31 23:59:59"), 2)), zero);
}

void TimeUtilTest::periodOfFrequency_data()
{
    QTest::addColumn<float>("frequency");
    QTest::addColumn<qint64>("period");
    QTest::newRow("8192 Hz") << 8192.0f << qint64(1);
    QTest::newRow("1 Hz") << 1.0f << qint64(1);
    QTest::newRow("1/2 Hz") << 0.5f << qint64(2);
    QTest::newRow("0.3 Hz rounds") << 0.3f << qint64(3);
    QTest::newRow("0.4 Hz rounds up") << 0.4f << qint64(3);
    QTest::newRow("1/4096 Hz") << 1.0f / 4096 << qint64(4096);
    QTest::newRow("1/8192 Hz") << 1.0f / 8192 << qint64(8192);
    QTest::newRow("unreadable text gives 0 Hz") << 0.0f << qint64(0);
    QTest::newRow("negative") << -0.25f << qint64(0);
    QTest::newRow("not a number") << std::numeric_limits<float>::quiet_NaN() << qint64(0);
    QTest::newRow("period beyond 32 bits") << 1e-30f << qint64(0);
}

void TimeUtilTest::periodOfFrequency()
{
    QFETCH(float, frequency);
    QFETCH(qint64, period);
    QCOMPARE(util.PeriodOfFrequency(frequency), period);
}

void TimeUtilTest::periodOfSweepDropsEachRowsFraction_data()
{
    QTest::addColumn<QVector<float>>("sendTimes");
    QTest::addColumn<qint64>("period");
    QTest::newRow("10 s and 20.7 s") << QVector<float> { 10.0f, 20.7f } << qint64(30);
    QTest::newRow("each fraction dropped") << QVector<float> { 1.9f, 1.9f, 1.9f } << qint64(3);
    QTest::newRow("no rows") << QVector<float> {} << qint64(0);
    QTest::newRow("fractions only") << QVector<float> { 0.5f, 0.9f } << qint64(0);
    QTest::newRow("negative total") << QVector<float> { 5.0f, -10.0f } << qint64(0);
    QTest::newRow("beyond 32 bits") << QVector<float> { 3e9f } << qint64(0);
    QTest::newRow("not a number") << QVector<float> { 10.0f, std::nanf("") } << qint64(0);
}

void TimeUtilTest::periodOfSweepDropsEachRowsFraction()
{
    QFETCH(QVector<float>, sendTimes);
    QFETCH(qint64, period);
    QCOMPARE(util.PeriodOfSweep(sendTimes), period);
}

void TimeUtilTest::parseTimeReadsOnlyThePiecesPresent_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("fields");
    QTest::newRow("complete") << "2024/05/17 10:15:00"
                              << "2024/05/17 10:15:00";
    QTest::newRow("empty") << ""
                           << "0000/00/00 00:00:00";
    QTest::newRow("date only") << "2024/05/17"
                               << "2024/05/17 00:00:00";
    QTest::newRow("two date pieces") << "2024/05"
                                     << "2024/05/00 00:00:00";
    QTest::newRow("no blank") << "2024/05/1710:15:00"
                              << "2024/05/-82 00:00:00";
    QTest::newRow("time without date") << "10:15:00"
                                       << "0010/00/00 00:00:00";
    QTest::newRow("leading blank") << " 10:15:00"
                                   << "0000/00/00 10:15:00";
    QTest::newRow("hour only") << "2024/05/17 10"
                               << "2024/05/17 10:00:00";
    QTest::newRow("extra pieces ignored") << "2024/05/17/9 10:15:00:42 x"
                                          << "2024/05/17 10:15:00";
    QTest::newRow("atoi: blanks, sign, stop at other") << "\t2024x/+5/-3 7:0x1:59.9"
                                                       << "2024/05/-3 07:00:59";
    QTest::newRow("letters read as 0") << "abcd/ef/gh ij:kl:mn"
                                       << "0000/00/00 00:00:00";
    QTest::newRow("non-Latin digits") << QString::fromUtf8("٢٠٢٤/05/17 10:15:00") << "0000/05/17 10:15:00";
    QTest::newRow("truncated to the field") << "70000/300/01 255:00:00"
                                            << "4464/44/01 -1:00:00";
    QTest::newRow("saturates beyond int") << "99999999999/01/01 -99999999999:00:00"
                                          << "-001/01/01 00:00:00";
}

void TimeUtilTest::parseTimeReadsOnlyThePiecesPresent()
{
    QFETCH(QString, text);
    QFETCH(QString, fields);
    QCOMPARE(util.FormatTime(util.ParseTime(text)), fields);
}

void TimeUtilTest::strictParseAcceptsOnlyCompleteRealTimes_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<bool>("accepted");
    QTest::newRow("complete") << "2024/05/17 10:15:00" << true;
    QTest::newRow("leap day") << "2024/02/29 23:59:59" << true;
    QTest::newRow("in the past") << "1999/12/31 00:00:00" << true;
    QTest::newRow("2040") << "2040/01/31 12:00:00" << true;
    QTest::newRow("empty") << "" << false;
    QTest::newRow("date only") << "2024/05/17" << false;
    QTest::newRow("no blank") << "2024/05/1710:15:00" << false;
    QTest::newRow("two blanks") << "2024/05/17  10:15:00" << false;
    QTest::newRow("leading blank") << " 2024/05/17 10:15:00" << false;
    QTest::newRow("trailing line feed") << "2024/05/17 10:15:00\n" << false;
    QTest::newRow("missing second") << "2024/05/17 10:15" << false;
    QTest::newRow("missing day") << "2024/05 10:15:00" << false;
    QTest::newRow("single-digit month") << "2024/5/17 10:15:00" << false;
    QTest::newRow("letter") << "2024/O5/17 10:15:00" << false;
    QTest::newRow("sign") << "2024/05/17 +1:15:00" << false;
    QTest::newRow("non-Latin digits") << QString::fromUtf8("٢٠٢٤/05/17 10:15:00") << false;
    QTest::newRow("month 13") << "2024/13/01 10:15:00" << false;
    QTest::newRow("month 0") << "2024/00/01 10:15:00" << false;
    QTest::newRow("day 32") << "2024/05/32 10:15:00" << false;
    QTest::newRow("31 April") << "2024/04/31 10:15:00" << false;
    QTest::newRow("29 Feb, no leap year") << "2023/02/29 10:15:00" << false;
    QTest::newRow("hour 24") << "2024/05/17 24:00:00" << false;
    QTest::newRow("minute 60") << "2024/05/17 10:60:00" << false;
    QTest::newRow("second 60") << "2024/05/17 10:15:60" << false;
    QTest::newRow("the zero record") << "0000/00/00 00:00:00" << false;
}

void TimeUtilTest::strictParseAcceptsOnlyCompleteRealTimes()
{
    QFETCH(QString, text);
    QFETCH(bool, accepted);
    TimeFields out = At("2001/02/03 04:05:06");
    QCOMPARE(util.ParseTime(text, &out), accepted);
    QCOMPARE(util.FormatTime(out), accepted ? text : QString("2001/02/03 04:05:06"));
}

void TimeUtilTest::alignmentDoesNotDependOnTheZone_data()
{
    QTest::addColumn<QByteArray>("zone");
    QTest::addColumn<QString>("clock");
    QTest::addColumn<qint64>("period");
    QTest::addColumn<QString>("sendTime");
    // Each clock shows 2024/05/17 10:15:00 UTC in its zone.
    QTest::newRow("UTC+8, 8192 s") << QByteArray("CST-8") << "2024/05/17 18:15:00" << qint64(8192)
                                   << "2024/05/17 19:31:12";
    QTest::newRow("UTC+8, 30 s") << QByteArray("CST-8") << "2024/05/17 18:15:00" << qint64(30) << "2024/05/17 18:15:30";
    QTest::newRow("UTC+8, a day falls at 08:00")
        << QByteArray("CST-8") << "2024/05/17 18:15:00" << qint64(86400) << "2024/05/18 08:00:00";
    QTest::newRow("UTC-5, 8192 s") << QByteArray("EST5") << "2024/05/17 05:15:00" << qint64(8192)
                                   << "2024/05/17 06:31:12";
    QTest::newRow("UTC+5:30, 8192 s") << QByteArray("IST-5:30") << "2024/05/17 15:45:00" << qint64(8192)
                                      << "2024/05/17 17:01:12";
}

void TimeUtilTest::alignmentDoesNotDependOnTheZone()
{
    QFETCH(QByteArray, zone);
    QFETCH(QString, clock);
    QFETCH(qint64, period);
    QFETCH(QString, sendTime);
    LocalZone local(zone.constData());
    QCOMPARE(util.ToTimeT(util.ParseTime(clock)), qint64(1715940900));
    TimeFields out = {};
    QVERIFY(util.WholePeriod(util.ParseTime(clock), period, &out));
    QCOMPARE(util.FormatTime(out), sendTime);
}

void TimeUtilTest::summerTimeRoundTripsUnchanged()
{
    // Central Europe in July: the clock reads 10:15:29 and whole minute is 10:16:00, not an hour later.
    LocalZone zone("CET-1CEST,M3.5.0,M10.5.0/3");
    TimeUtil util;
    const TimeFields clock = util.ParseTime("2024/07/17 10:15:29");
    QCOMPARE(util.FormatTime(util.FromTimeT(util.ToTimeT(clock))), QString("2024/07/17 10:15:29"));
    QCOMPARE(util.ToTimeT(clock), qint64(1721204129)); // 08:15:29 UTC
    QCOMPARE(util.FormatTime(util.WholeMinute(clock)), QString("2024/07/17 10:16:00"));
    QCOMPARE(util.FormatTime(util.AddSeconds(util.ParseTime("2024/01/17 10:15:29"), 1)), QString("2024/01/17 10:15:30"));
}

QTEST_GUILESS_MAIN(TimeUtilTest)
#include "tst_timeutil.moc"
