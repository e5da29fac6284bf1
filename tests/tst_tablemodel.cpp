#include "table/tablemodel.h"

#include <QtTest>

#include <cmath>

namespace {

QStringList column(const TableModel &m, int col)
{
    QStringList texts;
    for (int row = 0; row < m.rowCount(); ++row)
        texts << m.index(row, col).data().toString();
    return texts;
}

} // namespace

class TableModelTest : public QObject
{
    Q_OBJECT

private slots:
    void totalText_data();
    void totalText();
    void newRowsAndRenumbering();
    void insertWithoutCurrentRowAppends();
    void totalCountsWholeSecondsOnly();
    void frequencyText_data();
    void frequencyText();
    void entryRowsShowTheRecord_data();
    void entryRowsShowTheRecord();
    void everyCellIsCentred();
};

void TableModelTest::totalText_data()
{
    QTest::addColumn<int>("seconds");
    QTest::addColumn<QString>("text");
    QTest::newRow("3725") << 3725 << "01:02:05";
    QTest::newRow("360000") << 360000 << "100:00:00";
    QTest::newRow("0") << 0 << "00:00:00";
    QTest::newRow("59") << 59 << "00:00:59";
}

void TableModelTest::totalText()
{
    QFETCH(int, seconds);
    QFETCH(QString, text);
    TableModel m;
    QCOMPARE(m.totalText, QString("00:00:00"));
    m.totalSeconds = seconds;
    m.updateTotalText();
    QCOMPARE(m.totalText, text);
}

void TableModelTest::newRowsAndRenumbering()
{
    TableModel m;
    m.appendDefaultRow();
    QCOMPARE(QStringList({ "1", "1", "15", "15", "150" }),
        QStringList({ column(m, 0)[0], column(m, 1)[0], column(m, 2)[0], column(m, 3)[0], column(m, 4)[0] }));
    QCOMPARE(m.totalText, QString("00:00:15"));
    m.appendDefaultRow();
    m.appendDefaultRow();
    m.setData(m.index(1, 2), "100");
    QVERIFY(m.deleteRow(1)); // takes its own 100 s off, whatever the running total said
    QCOMPARE(column(m, 0), QStringList({ "1", "3" }));
    QCOMPARE(m.totalSeconds, 45 - 100);
    m.recomputeTotal();
    QCOMPARE(m.totalText, QString("00:00:30"));
    m.appendDefaultRow();
    QCOMPARE(column(m, 0), QStringList({ "1", "3", "3" }));
    m.insertDefaultRow(0);
    QCOMPARE(column(m, 0), QStringList({ "1", "2", "3", "4" }));
    QCOMPARE(m.totalText, QString("00:01:00"));

    QVERIFY(!m.deleteRow(-1));
    QCOMPARE(m.rowCount(), 4);
    QCOMPARE(m.totalText, QString("00:01:00"));
    m.clearRows();
    m.clearRows();
    QCOMPARE(m.rowCount(), 0);
    QCOMPARE(m.totalText, QString("00:00:00"));
}

void TableModelTest::insertWithoutCurrentRowAppends()
{
    TableModel m;
    m.appendDefaultRow();
    m.setData(m.index(0, 1), "1/16");
    m.insertDefaultRow(-1);
    QCOMPARE(column(m, 0), QStringList({ "1", "2" }));
    QCOMPARE(column(m, 1), QStringList({ "1/16", "1" }));
    QCOMPARE(m.totalText, QString("00:00:30"));
}

void TableModelTest::totalCountsWholeSecondsOnly()
{
    TableModel m;
    m.appendDefaultRow();
    m.appendDefaultRow();
    m.setData(m.index(0, 2), "12.5");
    m.setData(m.index(1, 2), "3600");
    QCOMPARE(m.sendTime(0), 12.5f);
    m.recomputeTotal();
    QCOMPARE(m.totalSeconds, 3600);
    QCOMPARE(m.totalText, QString("01:00:00"));
}

void TableModelTest::frequencyText_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<float>("hz");
    QTest::newRow("1/16") << "1/16" << 0.0625f;
    QTest::newRow("spaces") << " 1/2 " << 0.5f;
    QTest::newRow("8192") << "8192" << 8192.0f;
    QTest::newRow("1.5") << "1.5" << 1.5f;
    QTest::newRow("not a number") << "abc" << 0.0f;
    QTest::newRow("nothing after the slash") << "1/" << float(INFINITY);
}

void TableModelTest::frequencyText()
{
    QFETCH(QString, text);
    QFETCH(float, hz);
    TableModel m;
    m.appendDefaultRow();
    m.setData(m.index(0, 1), text);
    QCOMPARE(m.frequency(0), hz);
}

void TableModelTest::entryRowsShowTheRecord_data()
{
    QTest::addColumn<float>("freq");
    QTest::addColumn<float>("seconds");
    QTest::addColumn<QString>("freqText");
    QTest::addColumn<QString>("timeText");
    QTest::addColumn<float>("readBack");
    QTest::newRow("0.26 Hz") << 0.26f << 14.6f << "1/3"
                             << "15" << 1.0f / 3.0f;
    QTest::newRow("1/16 Hz") << 0.0625f << 14.4f << "1/16"
                             << "14" << 0.0625f;
    QTest::newRow("1.5 Hz") << 1.5f << 14.5f << "1.5"
                            << "15" << 1.5f;
    QTest::newRow("8192 Hz") << 8192.0f << 0.5f << "8192"
                             << "1" << 8192.0f;
    QTest::newRow("1234567 Hz") << 1234567.0f << 2.0f << "1.23457e+06"
                                << "2" << 1234570.0f;
    QTest::newRow("0 Hz") << 0.0f << 2.0f << "0"
                          << "2" << 0.0f;
}

void TableModelTest::entryRowsShowTheRecord()
{
    QFETCH(float, freq);
    QFETCH(float, seconds);
    QFETCH(QString, freqText);
    QFETCH(QString, timeText);
    QFETCH(float, readBack);
    TableModel m;
    m.appendDefaultRow();
    m.insertEntryRow(1, { 2400, freq, 77, seconds });
    QCOMPARE(column(m, 0), QStringList({ "1", "2" }));
    QCOMPARE(column(m, 1)[1], freqText);
    QCOMPARE(column(m, 2)[1], timeText);
    QCOMPARE(m.periodCount(1), 77);
    QCOMPARE(m.sampleRate(1), 2400);
    QCOMPARE(m.frequency(1), readBack);
    QCOMPARE(m.totalSeconds, 15 + timeText.toInt());
}

void TableModelTest::everyCellIsCentred()
{
    TableModel m;
    m.appendDefaultRow();
    QCOMPARE(m.columnCount(), 5);
    QCOMPARE(m.headerData(2, Qt::Horizontal).toString(), QString("发送时长(S)"));
    for (int col = 0; col < 5; ++col)
        QCOMPARE(m.index(0, col).data(Qt::TextAlignmentRole).toInt(), 132);
}

QTEST_GUILESS_MAIN(TableModelTest)
#include "tst_tablemodel.moc"
