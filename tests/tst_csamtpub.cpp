#include "ftb2bytes.h"

#include <QtTest>

#include <cstring>
#include <memory>

namespace {

// Reads a table file's bytes into *table; *again gets what the writer makes of the record then.
int readAndWriteBack(const QByteArray &bytes, freq_table *table, QByteArray *again)
{
    std::unique_ptr<FILE, int (*)(FILE *)> in(std::tmpfile(), &std::fclose), out(std::tmpfile(), &std::fclose);
    if (!in || !out || std::fwrite(bytes.constData(), 1, size_t(bytes.size()), in.get()) != size_t(bytes.size()))
        return 0;
    std::rewind(in.get());
    const int result = freq_table_read(in.get(), table);
    again->resize(freq_table_write(out.get(), table));
    std::rewind(out.get());
    return std::fread(again->data(), 1, size_t(again->size()), out.get()) == size_t(again->size()) ? result : 0;
}

} // namespace

class CsamtPubTest : public QObject
{
    Q_OBJECT

private slots:
    void tableFilesReadAndWrittenBack_data()
    {
        QTest::addColumn<QByteArray>("file");
        QTest::addColumn<QByteArray>("again"); // what the writer makes of what was read; empty: refused
        const QVector<freq_item> two = { { 150, 0.5f, 5, 10.0f }, { 1000, 8192.0f, 4096, 0.5f } };
        const QByteArray ours = ftb2Bytes(two), none;
        QTest::newRow("ours") << ours << ours;
        // A 255-byte name without its NUL loses a byte, so that it imports again.
        QTest::newRow("name 255, no NUL")
            << ftb2Bytes(two, QByteArray(255, 'x')) << ftb2Bytes(two, QByteArray(254, 'x') + '\0');
        QTest::newRow("128 rows") << QByteArray(ours).replace(64, 4, QByteArray::fromHex("80000000")) << none;
        QTest::newRow("name length -1") << QByteArray(ours).replace(4, 4, QByteArray::fromHex("ffffffff")) << none;
        QTest::newRow("name2 length 256") << QByteArray(ours).replace(45, 4, QByteArray::fromHex("00010000")) << none;
        for (int length = 0; length < ours.size(); ++length)
            QTest::addRow("cut to %d bytes", length) << ours.left(length) << none;
    }
    void tableFilesReadAndWrittenBack()
    {
        QFETCH(QByteArray, file);
        QFETCH(QByteArray, again);
        freq_table t;
        std::memset(&t, 'Z', sizeof t); // unterminated texts, to see that reads terminate them
        const freq_table before = t;
        QByteArray written;
        QCOMPARE(readAndWriteBack(file, &t, &written), again.isEmpty() ? -1 : 1);
        // Nothing of a refused file is taken; a record read is sized as written.
        QVERIFY(again.isEmpty() ? !std::memcmp(&t, &before, sizeof t) : freq_table_file_size(&t) == again.size());
        if (!again.isEmpty())
            QCOMPARE(written.toHex(' '), again.toHex(' '));
    }
};

QTEST_GUILESS_MAIN(CsamtPubTest)
#include "tst_csamtpub.moc"
