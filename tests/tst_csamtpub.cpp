#include "EM/csamt_pub.h"

#include <QDataStream>
#include <QTemporaryDir>
#include <QtTest>

#include <cstring>

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

// An FTB2 file of our own, lengths and counts as given, however wrong.
QByteArray ftb(qint32 version, qint32 len1, const QByteArray &text1, qint32 freqNum, int entries, qint32 len2 = 1,
    const QByteArray &text2 = QByteArray(1, '\0'))
{
    QByteArray bytes;
    QDataStream s(&bytes, QIODevice::WriteOnly);
    s.setByteOrder(QDataStream::LittleEndian);
    s.setFloatingPointPrecision(QDataStream::SinglePrecision);
    s << version << len1;
    s.writeRawData(text1.constData(), text1.size());
    s << qint32(7) << 1u << 2u << 3u << 4u << 5u << 6u << len2;
    s.writeRawData(text2.constData(), text2.size());
    s << qint32(2) << qint32(1) << freqNum;
    for (int i = 0; i < entries; ++i)
        s << qint32(150) << 1.0f << qint32(15) << 15.0f;
    return bytes;
}

QTemporaryDir dir;

// What a writer puts in a file; *count gets the count it returns.
template <class R> QByteArray written(int (*write)(FILE *, const R *), const R &record, int *count = nullptr)
{
    const QString path = dir.filePath("w.bin");
    FILE *fp = csamt_fopen(QFile::encodeName(path), "wb");
    const int n = write(fp, &record);
    fclose(fp);
    if (count)
        *count = n;
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<unreadable>");
}

// Runs a reader over the bytes.
template <class R> int readBack(const QByteArray &bytes, int (*read)(FILE *, R *), R *record)
{
    const QString path = dir.filePath("r.bin");
    QFile f(path);
    if (!f.open(QIODevice::WriteOnly | QIODevice::Truncate) || f.write(bytes) != bytes.size())
        return 0;
    f.close();
    FILE *fp = csamt_fopen(QFile::encodeName(path), "rb");
    const int result = read(fp, record);
    fclose(fp);
    return result;
}

} // namespace

class CsamtPubTest : public QObject
{
    Q_OBJECT

private slots:
    void writerAndReaderKeepTheLayout();
    void ownFiles_data();
    void ownFiles();
    void settingsNameStaysACString();
    void entryHelpers();
    void channelFile();
};

void CsamtPubTest::writerAndReaderKeepTheLayout()
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

    // A name without its NUL and a count past the record: the writer puts out
    // at most 255 name bytes with the NUL, the most a reader takes, and no
    // entry beyond the record.
    t = {};
    std::memset(t.name, 'q', sizeof t.name);
    t.freq_num = 5000;
    const QByteArray bytes = written(freq_table_write, t, &count);
    QCOMPARE(bytes.mid(4, 4), QByteArray::fromHex("ff000000"));
    QCOMPARE(bytes.at(8 + 254), '\0');
    QCOMPARE(count, 52 + 255 + 1 + 16 * CSAMT_MAX_FREQ_NUM);
    QCOMPARE(count, freq_table_file_size(&t));
}

void CsamtPubTest::ownFiles_data()
{
    QTest::addColumn<QByteArray>("file");
    QTest::addColumn<int>("result");
    QTest::addColumn<QByteArray>("name");
    QTest::addColumn<int>("freqNum");
    const QByteArray abc("abc", 4);
    QTest::newRow("version 7") << ftb(7, 4, abc, 2, 2) << 1 << QByteArray("abc") << 2;
    QTest::newRow("length 0") << ftb(1, 0, "", 1, 1) << 1 << QByteArray() << 1;
    QTest::newRow("no NUL") << ftb(1, 3, "abc", 1, 1) << 1 << QByteArray("abc") << 1;
    QTest::newRow("255, no NUL") << ftb(1, 255, QByteArray(255, 'x'), 1, 1) << 1 << QByteArray(255, 'x') << 1;
    QTest::newRow("trailing bytes") << ftb(1, 4, abc, 1, 1) + "junk" << 1 << QByteArray("abc") << 1;
    QTest::newRow("freq_num -5") << ftb(1, 4, abc, -5, 0) << 1 << QByteArray("abc") << -5;
    QTest::newRow("freq_num 127") << ftb(1, 4, abc, 127, 127) << 1 << QByteArray("abc") << 127;
    QTest::newRow("freq_num 128") << ftb(1, 4, abc, 128, 128) << -1 << QByteArray() << 0;
    QTest::newRow("length -1") << ftb(1, -1, "", 1, 1) << -1 << QByteArray() << 0;
    QTest::newRow("length 256") << ftb(1, 256, QByteArray(256, 'x'), 1, 1) << -1 << QByteArray() << 0;
    QTest::newRow("second length 256") << ftb(1, 4, abc, 1, 1, 256, QByteArray(256, 'y')) << -1 << QByteArray() << 0;
    for (int length = 0; length < kExample.size(); ++length)
        QTest::newRow(qPrintable(QString("cut to %1 bytes").arg(length)))
            << kExample.left(length) << -1 << QByteArray() << 0;
}

void CsamtPubTest::ownFiles()
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
    QCOMPARE(t.items[0].sample_rate, freqNum > 0 ? 150 : 0x5a5a5a5a);

    // Whatever imports exports to a file that imports again; a name cut to
    // fit its NUL is the only change.
    freq_table back {};
    QCOMPARE(readBack(written(freq_table_write, t), freq_table_read, &back), 1);
    QCOMPARE(QByteArray(back.name), name.left(254));
    QCOMPARE(back.freq_num, freqNum);
}

void CsamtPubTest::settingsNameStaysACString()
{
    // Layout, round trip and short files are checked on the window's saves and
    // loads in tst_settings; a name that fills its field is not.
    SettingsRecord rec = { 7, 0, 5, 9, 1, "" };
    std::memset(rec.tableFile, 'n', sizeof rec.tableFile);
    int count = 0;
    const QByteArray bytes = written(settings_write, rec, &count);
    QCOMPARE(count, 280);
    SettingsRecord back {};
    QCOMPARE(readBack(bytes, settings_read, &back), 1);
    QCOMPARE(QByteArray(back.tableFile), QByteArray(255, 'n'));
    QCOMPARE(QVector<int>({ back.freqIndex, back.singleMode, back.delayMs }), QVector<int>({ 9, 0, 7 }));
}

void CsamtPubTest::entryHelpers()
{
    freq_table t {};
    t.freq_num = 2;
    t.items[0] = { 150, 0.5f, 5, 10.0f };
    t.items[1] = { 2400, 4.0f, 10, 2.25f };
    t.items[2] = { 1, 1.0f, 1000, 0.0f }; // beyond freq_num
    QCOMPARE(freq_samples(&t.freq_num, 1), 6000);
    QCOMPARE(freq_total_duration(&t.freq_num), 24.75);
    QCOMPARE(freq_total_seconds(&t.freq_num, 2), 25);
    for (int mode : { 0, 1, 2, 9 }) {
        t.harmonic_mode = mode;
        QCOMPARE(harmonic_multiplier(&t, 3), mode == 0 ? 7 : mode == 1 ? 8 : 4);
    }
    QCOMPARE(harmonic_freq(&t, 1, 3), 16.0f);
    freq_item item = { 150, 0.5f, 5, 0.0f }; // 1500 samples
    send_time_from_samples(100, &item);
    QCOMPARE(item.send_time, 18.0f);
    send_time_from_samples(1, &item);
    QCOMPARE(item.send_time, 5.0f);
}

void CsamtPubTest::channelFile()
{
    QCOMPARE(QByteArray(channel_kind_text(2)), QByteArray(u8"磁道"));
    QCOMPARE(QByteArray(channel_kind_text(5)), QByteArray(u8"磁道")); // unknown: the last text stays
    QCOMPARE(channel_kind_from_text(u8"电道"), 1);
    QCOMPARE(channel_kind_from_text(u8"电"), 0);

    channel_table c;
    channel_table_init(&c);
    for (int i = 0; i < CSAMT_CHANNEL_NUM; ++i) {
        c.channel_id[i] = 100 + i;
        c.channel_kind[i] = 1;
        std::strcpy(c.coil_name[i], "E1");
        std::strcpy(c.coil_serial[i], "SN123456"); // longer than a file may carry
    }
    int count = 0;
    const QByteArray bytes = written(channel_table_write, c, &count);
    QCOMPARE(count, 8 + 6 * 25);
    QCOMPARE(bytes.mid(0, 25).toHex(), QByteArray("01000000060000006400000001000300000045310008000000"));

    channel_table back;
    channel_table_init(&back);
    QCOMPARE(readBack(bytes, channel_table_read, &back), 1);
    QCOMPARE(back.channel_id[5], 105);
    QCOMPARE(QByteArray(back.coil_serial[3]), QByteArray("SN12345"));

    // More channels than the record holds, a text length out of 1..8, a short file: refused.
    QByteArray tooMany = bytes, longText = bytes, emptyText = bytes;
    tooMany[4] = 7;
    longText[14] = 9;
    emptyText[14] = 0;
    for (const QByteArray &bad : { tooMany, longText, emptyText, bytes.left(30) }) {
        channel_table kept = back;
        QCOMPARE(readBack(bad, channel_table_read, &kept), -1);
        QVERIFY(!std::memcmp(&kept, &back, sizeof kept));
    }
}

QTEST_GUILESS_MAIN(CsamtPubTest)
#include "tst_csamtpub.moc"
