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
};

void TableModelTest::rowOperationsNumberAndCount()
{
    TableModel m;
    for (int i = 0; i < 3; ++i)
        m.appendDefaultRow();
    QVERIFY(m.deleteRow(1));
    m.appendDefaultRow();
    QCOMPARE(column(m, 0), QStringList({ "1", "3", "3" })); // not renumbered until an insert
    m.insertDefaultRow(0);
    m.insertDefaultRow(-1); // no current row: at the end
    QCOMPARE(column(m, 0), QStringList({ "1", "2", "3", "4", "5" }));
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
    QCOMPARE(m.totalText, QString("00:00:00"));

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

QTEST_GUILESS_MAIN(TableModelTest)
#include "tst_tablemodel.moc"
