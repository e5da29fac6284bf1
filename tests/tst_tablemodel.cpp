#include "table/tablemodel.h"

#include <QtTest>

#include <cmath>
#include <limits>

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
    void rowOperationsNumberAndCount();
    void cellTexts_data();
    void cellTexts();
};

void TableModelTest::rowOperationsNumberAndCount()
{
    TableModel m;
    QCOMPARE(m.totalText, QString("00:00:00"));
    m.appendDefaultRow();
    QCOMPARE(QStringList({ column(m, 0)[0], column(m, 1)[0], column(m, 2)[0], column(m, 3)[0], column(m, 4)[0] }),
        QStringList({ "1", "1", "15", "15", "150" }));
    m.appendDefaultRow();
    m.appendDefaultRow();
    QVERIFY(m.deleteRow(1));
    QCOMPARE(column(m, 0), QStringList({ "1", "3" })); // not closed up
    m.appendDefaultRow();
    QCOMPARE(column(m, 0), QStringList({ "1", "3", "3" }));
    m.insertDefaultRow(0);
    QCOMPARE(column(m, 0), QStringList({ "1", "2", "3", "4" }));
    m.insertDefaultRow(-1); // no current row: at the end
    QCOMPARE(column(m, 0), QStringList({ "1", "2", "3", "4", "5" }));
    QCOMPARE(m.totalText, QString("00:01:15"));
    QVERIFY(!m.deleteRow(-1));
    QCOMPARE(m.rowCount(), 5);

    // 12.5 s reads as 12.5 but counts 0 in the total.
    m.setData(m.index(0, 2), "12.5");
    m.setData(m.index(1, 2), "3600");
    QCOMPARE(m.sendTime(0), 12.5f);
    m.recomputeTotal();
    QCOMPARE(m.totalText, QString("01:00:45"));
    // Typed frequencies: spaces around, nothing after the slash, not a number.
    const QStringList typed = { " 1/2 ", "1/", "abc" };
    const float want[] = { 0.5f, float(INFINITY), 0.0f };
    for (int i = 0; i < 3; ++i) {
        m.setData(m.index(0, 1), typed[i]);
        QCOMPARE(m.frequency(0), want[i]);
    }
    m.clearRows();
    QCOMPARE(m.rowCount(), 0);
    QCOMPARE(m.totalText, QString("00:00:00"));

    for (const auto &[seconds, text] : { std::pair<int, QString>(3725, "01:02:05"), { 360000, "100:00:00" } }) {
        m.totalSeconds = seconds;
        m.updateTotalText();
        QCOMPARE(m.totalText, text);
    }

    // Two imported rows of 2e9 s hold more seconds than an int: the total
    // shows the largest it can, and deleting one row gives the other exactly.
    m.insertEntryRow(0, { 150, 1.0f, 1, 2e9f });
    m.insertEntryRow(1, { 150, 1.0f, 1, 2e9f });
    QCOMPARE(m.totalSeconds, std::numeric_limits<int>::max());
    m.recomputeTotal();
    QCOMPARE(m.totalSeconds, std::numeric_limits<int>::max());
    QVERIFY(m.deleteRow(1));
    QCOMPARE(m.totalSeconds, 2000000000);
    QCOMPARE(m.totalText, QString("555555:33:20"));
}

void TableModelTest::cellTexts_data()
{
    // Imported entries; 1/16, 1.5 and 8192 Hz come through a file in tst_table.
    QTest::addColumn<float>("freq");
    QTest::addColumn<float>("seconds");
    QTest::addColumn<QString>("freqText");
    QTest::addColumn<QString>("timeText");
    QTest::addColumn<float>("readBack");
    QTest::newRow("0.26 Hz") << 0.26f << 14.6f << "1/3"
                             << "15" << 1.0f / 3.0f;
    QTest::newRow("1234567 Hz") << 1234567.0f << 2.0f << "1.23457e+06"
                                << "2" << 1234570.0f;
    QTest::newRow("0 Hz") << 0.0f << 14.5f << "0"
                          << "15" << 0.0f;
}

void TableModelTest::cellTexts()
{
    QFETCH(float, freq);
    QFETCH(float, seconds);
    QFETCH(QString, freqText);
    QFETCH(QString, timeText);
    QFETCH(float, readBack);
    TableModel m;
    m.appendDefaultRow();
    m.insertEntryRow(1, { 2400, freq, 77, seconds });
    QCOMPARE(column(m, 1)[1], freqText);
    QCOMPARE(column(m, 2)[1], timeText);
    QCOMPARE(m.frequency(1), readBack);
    QCOMPARE(QVector<int>({ m.periodCount(1), m.sampleRate(1), m.totalSeconds }),
        QVector<int>({ 77, 2400, 15 + timeText.toInt() }));
    for (int col = 0; col < 5; ++col)
        QCOMPARE(m.index(1, col).data(Qt::TextAlignmentRole).toInt(), 132);
}

QTEST_GUILESS_MAIN(TableModelTest)
#include "tst_tablemodel.moc"
