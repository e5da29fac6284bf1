#include "EM/csamt_pub.h"

#include <QtTest>

#include <cstring>
#include <memory>

namespace {

// Two entries, both texts empty: every field at its offset.
const QByteArray kExample = QByteArray::fromHex("01000000" // 0 version
                                                "01000000 00" // 4 L1, 8 name
                                                "04030201" // 9 header_id
                                                "0a000000 0b000000 0c000000 0d000000 0e000000 0f000000" // 13
                                                "01000000 00" // 37 L2, 41 name2
                                                "05000000 01000000 02000000" // 42 modes, 50 freq_num
                                                "96000000 0000003f 05000000 00002041" // 54 {150, 0.5, 5, 10}
                                                "e8030000 00000046 00100000 0000003f"); // 70 {1000, 8192, 4096, 0.5}

// An FTB2 file of our own: the name's length word counts exactly its bytes.
QByteArray ftb(const QByteArray &name, qint32 freqNum = 1, qint32 version = 1)
{
    QByteArray bytes;
    QDataStream s(&bytes, QIODevice::WriteOnly);
    s.setByteOrder(QDataStream::LittleEndian);
    s.setFloatingPointPrecision(QDataStream::SinglePrecision);
    s << version << qint32(name.size());
    s.writeRawData(name.constData(), name.size());
    s << qint32(7) << 1u << 2u << 3u << 4u << 5u << 6u << qint32(1) << qint8(0) << qint32(2) << qint32(1) << freqNum;
    for (int i = 0; i < freqNum; ++i)
        s << qint32(150) << 1.0f << qint32(15) << 15.0f;
    return bytes;
}

using File = std::unique_ptr<FILE, int (*)(FILE *)>;

// What a writer puts in a file; *count gets the count it returns.
template <class R> QByteArray written(int (*write)(FILE *, const R *), const R &record, int *count = nullptr)
{
    File fp(std::tmpfile(), &std::fclose);
    if (!fp)
        return "<no temporary file>";
    const int n = write(fp.get(), &record);
    if (count)
        *count = n;
    QByteArray bytes(int(std::ftell(fp.get())), '\0');
    std::rewind(fp.get());
    return std::fread(bytes.data(), 1, size_t(bytes.size()), fp.get()) == size_t(bytes.size()) ? bytes : "<unread>";
}

template <class R> int readBack(const QByteArray &bytes, int (*read)(FILE *, R *), R *record)
{
    File fp(std::tmpfile(), &std::fclose);
    if (!fp || std::fwrite(bytes.constData(), 1, size_t(bytes.size()), fp.get()) != size_t(bytes.size()))
        return 0;
    std::rewind(fp.get());
    return read(fp.get(), record);
}

} // namespace

class CsamtPubTest : public QObject
{
    Q_OBJECT

private slots:
    void writerAndReaderKeepTheLayout()
    {
        freq_table t {};
        t.header_id = 0x01020304;
        for (int i = 0; i < 6; ++i)
            t.header_val[i] = uint32_t(10 + i);
        t.header_mode = 5;
        t.harmonic_mode = 1;
        t.freq_num = 2;
        t.items[0] = { 150, 0.5f, 5, 10.0f };
        t.items[1] = { 1000, 8192.0f, 4096, 0.5f };
        int count = 0;
        QCOMPARE(written(freq_table_write, t, &count), kExample);
        QCOMPARE(count, 86);
        QCOMPARE(freq_table_file_size(&t), 86);

        freq_table back;
        std::memset(&back, 0x5a, sizeof back);
        QCOMPARE(readBack(kExample, freq_table_read, &back), 1);
        QVERIFY(!std::memcmp(&back, &t, offsetof(freq_table, items) + 2 * sizeof(freq_item)));
        QCOMPARE(back.items[2].sample_rate, 0x5a5a5a5a); // beyond freq_num: as it was
    }

    void ownFiles_data()
    {
        QTest::addColumn<QByteArray>("file");
        QTest::addColumn<int>("result");
        QTest::addColumn<QByteArray>("name");
        QTest::addColumn<int>("freqNum");
        const QByteArray abc("abc", 4);
        QTest::newRow("version 7") << ftb(abc, 2, 7) << 1 << QByteArray("abc") << 2;
        QTest::newRow("length 0") << ftb("") << 1 << QByteArray() << 1;
        QTest::newRow("255, no NUL") << ftb(QByteArray(255, 'x')) << 1 << QByteArray(255, 'x') << 1;
        QTest::newRow("freq_num 127") << ftb(abc, 127) << 1 << QByteArray("abc") << 127;
        const QByteArray none;
        QTest::newRow("freq_num 128") << ftb(abc, 128) << -1 << none << 0;
        QTest::newRow("length -1") << ftb(abc).replace(4, 4, QByteArray::fromHex("ffffffff")) << -1 << none << 0;
        QTest::newRow("length 256") << ftb(QByteArray(256, 'x')) << -1 << none << 0;
        QTest::newRow("second length 256")
            << ftb(abc).replace(40, 4, QByteArray::fromHex("00010000")) << -1 << none << 0;
        for (int length = 0; length < kExample.size(); ++length)
            QTest::newRow(qPrintable(QString("cut to %1 bytes").arg(length)))
                << kExample.left(length) << -1 << none << 0;
    }

    void ownFiles()
    {
        QFETCH(QByteArray, file);
        QFETCH(int, result);
        QFETCH(QByteArray, name);
        QFETCH(int, freqNum);
        freq_table t;
        std::memset(&t, 'Z', sizeof t); // unterminated texts, to see that reads terminate them
        const freq_table before = t;
        QCOMPARE(readBack(file, freq_table_read, &t), result);
        if (result < 0) {
            QVERIFY(!std::memcmp(&t, &before, sizeof t));
            return;
        }
        QCOMPARE(QByteArray(t.name), name);
        QCOMPARE(QByteArray(t.name2), QByteArray());
        QCOMPARE(t.header_mode, 2); // the fields after the texts land where they belong
        QCOMPARE(t.freq_num, freqNum);
        QCOMPARE(t.items[freqNum - 1].sample_rate, 150);

        // Whatever imports exports to a file that imports again; a name cut to
        // fit its NUL is the only change.
        freq_table back {};
        QCOMPARE(readBack(written(freq_table_write, t), freq_table_read, &back), 1);
        QCOMPARE(QByteArray(back.name), name.left(254));
        QCOMPARE(back.freq_num, freqNum);
    }

    void settingsNameStaysACString()
    {
        // The remembered table's name is opened as a C string, even when it fills
        // its field; the rest of the file is checked by tst_settings.
        SettingsRecord rec = { 7, 0, 5, 9, 1, "" };
        std::memset(rec.tableFile, 'n', sizeof rec.tableFile);
        SettingsRecord back {};
        QCOMPARE(readBack(written(settings_write, rec), settings_read, &back), 1);
        QCOMPARE(QByteArray(back.tableFile), QByteArray(255, 'n'));
    }
};

QTEST_GUILESS_MAIN(CsamtPubTest)
#include "tst_csamtpub.moc"
