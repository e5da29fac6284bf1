// What only Windows can show: file names through the ANSI code page, the
// rename that replaces a file, and the command line handed to main() (by
// MinGW's runtime, which defines the entry that Qt's adaptor supplies under
// MSVC). CTest runs it under the default code page and under 936.
#include "EM/csamt_pub.h"
#include "platform/narrowpath.h"
#include "platform/stagedfile.h"
#include "testdesk.h"

#include <QProcess>
#include <QtTest>

#include <qt_windows.h>

class WindowsTest : public QObject
{
    Q_OBJECT

private slots:
    void tableFileOpensWhenTheCodePageHoldsItsName_data();
    void tableFileOpensWhenTheCodePageHoldsItsName();
    void productTakesItsArgumentsAndLogsWithLineFeeds();
};

void WindowsTest::tableFileOpensWhenTheCodePageHoldsItsName_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<bool>("opens");
    QTest::newRow("ascii") << "table.FTB2" << true;
    QTest::newRow("western, in 1252 and 936") << "caf\u00e9.FTB2" << true;
    QTest::newRow("chinese, in 936 only") << "\u9891\u7387\u8868.FTB2" << (GetACP() == 936);
    QTest::newRow("hangul, in neither") << "\ud45c.FTB2" << false;
}

void WindowsTest::tableFileOpensWhenTheCodePageHoldsItsName()
{
    QFETCH(QString, name);
    QFETCH(bool, opens);
    QTemporaryDir dir;
    const QString path = dir.filePath(name);
    QVERIFY(writeFile(path, "old"));

    // As the table dialogs open it: the name converted, then fopen.
    FILE *fp = csamt_fopen(Utf8ToLocal(path.toUtf8()).constData(), "rb");
    QCOMPARE(fp != nullptr, opens);
    if (fp)
        std::fclose(fp);

    // A save over the file moves the new one over it; MoveFileEx, not rename().
    for (const QByteArray &bytes : { QByteArray("new"), QByteArray("newer") }) {
        StagedFile staged(path);
        QCOMPARE(staged.write([&](FILE *out) { return csamt_fwrite(out, bytes.constData(), bytes.size()) > 0; })
                && staged.commit(),
            opens);
        QCOMPARE(readFile(path), opens ? bytes : QByteArray("old"));
    }
    QCOMPARE(QDir(dir.path()).entryList(QDir::Files), QStringList(name));
}

void WindowsTest::productTakesItsArgumentsAndLogsWithLineFeeds()
{
    // An unusable platform in the environment, a usable one on the command
    // line: the window only comes up if the arguments reach QApplication.
    QTemporaryDir dir;
    const QString copy = dir.filePath("SourceDesk.exe");
    QVERIFY(QFile::copy(SOURCEDESK_PATH, copy));
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("QT_QPA_PLATFORM", "none");
    QProcess product;
    product.setProcessEnvironment(env);
    product.start(copy, { "-platform", "offscreen" });
    QVERIFY(product.waitForStarted());
    const QString log = dir.filePath(QDate::currentDate().toString("yyyy-MM-dd") + "_log.txt");
    QTRY_VERIFY_WITH_TIMEOUT(readFile(log).endsWith('\n'), 30000);
    product.kill();
    QVERIFY(product.waitForFinished());
    QVERIFY(!readFile(log).contains('\r'));
}

QTEST_MAIN(WindowsTest)
#include "tst_windows.moc"
