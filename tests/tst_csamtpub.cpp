#include "EM/csamt_pub.h"

#include <QDataStream>
#include <QTemporaryDir>
#include <QtTest>

#include <cstring>

namespace {

// Two entries, both texts empty: the smallest table with every field in use.
const QByteArray kExample = QByteArray::fromHex("01000000" // 0 version
                                                "01000000 00" // 4 L1, 8 name
                                                "04030201" // 9 header_id
                                                "0a000000 0b000000 0c000000 0d000000 0e000000 0f000000" // 13 header_val
                                                "01000000 00" // 37 L2, 41 name2
                                                "05000000" // 42 header_mode
                                                "01000000" // 46 harmonic_mode
                                                "02000000" // 50 freq_num
                                                "96000000 0000003f 05000000 00002041" // 54 {150, 0.5, 5, 10.0}
                                                "e8030000 00000046 00100000 0000003f"); // 70 {1000, 8192, 4096, 0.5}

freq_table exampleRecord()
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
    return t;
}

// An FTB2 file of our own; texts and counts as given, however wrong.
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

class Files
{
public:
    QByteArray written(void (*write)(FILE *, int *), int *count)
    {
        const QByteArray path = QFile::encodeName(dir.filePath("w.bin"));
        FILE *fp = csamt_fopen(path, "wb");
        write(fp, count);
        fclose(fp);
        QFile f(dir.filePath("w.bin"));
        f.open(QIODevice::ReadOnly);
        return f.readAll();
    }
    FILE *reading(const QByteArray &bytes)
    {
        QFile f(dir.filePath("r.bin"));
        f.open(QIODevice::WriteOnly | QIODevice::Truncate);
        f.write(bytes);
        f.close();
        return csamt_fopen(QFile::encodeName(f.fileName()), "rb");
    }

private:
    QTemporaryDir dir;
};

} // namespace

class CsamtPubTest : public QObject
{
    Q_OBJECT

private slots:
    void writerLaysOutEveryFieldLittleEndian();
    void readerTakesTheExampleBack();
    void ownFiles_data();
    void ownFiles();
    void fileCutShortAnywhereChangesNothing();
    void writerStaysWithinTheRecord();
    void initialiserGivesAnExportDefinedHeaders();
    void settingsRecordIs280BytesInFileOrder();
    void shortSettingsKeepWhatTheyDoNotReach();
    void entryHelpers();
    void channelFile();

private:
    Files files;
};

void CsamtPubTest::writerLaysOutEveryFieldLittleEndian()
{
    static freq_table t = exampleRecord();
    int count = 0;
    QCOMPARE(files.written([](FILE *fp, int *n) { *n = freq_table_write(fp, &t); }, &count), kExample);
    QCOMPARE(count, 86);
    QCOMPARE(freq_table_file_size(&t), 86);

    // Texts move what follows them by their stored length, NUL included.
    std::strcpy(t.name, "abc");
    std::strcpy(t.name2, "line 2");
    const QByteArray bytes = files.written([](FILE *fp, int *n) { *n = freq_table_write(fp, &t); }, &count);
    QCOMPARE(bytes.size(), 52 + 4 + 7 + 32);
    QCOMPARE(bytes.mid(4, 8), QByteArray::fromHex("04000000") + QByteArray("abc", 4));
    QCOMPARE(bytes.mid(12, 4), QByteArray::fromHex("04030201"));
    QCOMPARE(bytes.mid(40, 11), QByteArray::fromHex("07000000") + QByteArray("line 2", 7));
    QCOMPARE(bytes.mid(59, 4), QByteArray::fromHex("02000000"));
}

void CsamtPubTest::readerTakesTheExampleBack()
{
    freq_table t;
    std::memset(&t, 0x5a, sizeof t);
    FILE *fp = files.reading(kExample);
    QCOMPARE(freq_table_read(fp, &t), 1);
    fclose(fp);
    const freq_table want = exampleRecord();
    QCOMPARE(QByteArray(t.name), QByteArray());
    QCOMPARE(QByteArray(t.name2), QByteArray());
    QCOMPARE(t.header_id, want.header_id);
    QVERIFY(!std::memcmp(t.header_val, want.header_val, sizeof want.header_val));
    QCOMPARE(t.header_mode, 5);
    QCOMPARE(t.harmonic_mode, 1);
    QCOMPARE(t.freq_num, 2);
    QVERIFY(!std::memcmp(t.items, want.items, 2 * sizeof(freq_item)));
    QCOMPARE(t.items[2].sample_rate, 0x5a5a5a5a); // beyond freq_num: as it was
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
    QTest::newRow("255 bytes, no NUL") << ftb(1, 255, QByteArray(255, 'x'), 1, 1) << 1 << QByteArray(255, 'x') << 1;
    QTest::newRow("trailing bytes") << ftb(1, 4, abc, 1, 1) + "junk" << 1 << QByteArray("abc") << 1;
    QTest::newRow("freq_num -5") << ftb(1, 4, abc, -5, 0) << 1 << QByteArray("abc") << -5;
    QTest::newRow("freq_num 127") << ftb(1, 4, abc, 127, 127) << 1 << QByteArray("abc") << 127;
    QTest::newRow("freq_num 128") << ftb(1, 4, abc, 128, 128) << -1 << QByteArray() << 0;
    QTest::newRow("length -1") << ftb(1, -1, "", 1, 1) << -1 << QByteArray() << 0;
    QTest::newRow("length 256") << ftb(1, 256, QByteArray(256, 'x'), 1, 1) << -1 << QByteArray() << 0;
    QTest::newRow("second length 256") << ftb(1, 4, abc, 1, 1, 256, QByteArray(256, 'y')) << -1 << QByteArray() << 0;
    QTest::newRow("second length -1") << ftb(1, 4, abc, 1, 1, -1, "") << -1 << QByteArray() << 0;
}

void CsamtPubTest::ownFiles()
{
    QFETCH(QByteArray, file);
    QFETCH(int, result);
    QFETCH(QByteArray, name);
    QFETCH(int, freqNum);
    freq_table t, before;
    std::memset(&t, 'Z', sizeof t); // unterminated texts, to see that reads terminate them
    before = t;
    FILE *fp = files.reading(file);
    QCOMPARE(freq_table_read(fp, &t), result);
    fclose(fp);
    if (result < 0) {
        QVERIFY(!std::memcmp(&t, &before, sizeof t));
        return;
    }
    QVERIFY(std::memchr(t.name, 0, MAX_FILE_NAME_LEN) && std::memchr(t.name2, 0, MAX_FILE_NAME_LEN));
    QCOMPARE(QByteArray(t.name), name);
    QCOMPARE(t.header_id, 7);
    QCOMPARE(t.header_mode, 2); // the fields after the texts land where they belong
    QCOMPARE(t.freq_num, freqNum);
    QCOMPARE(t.items[0].sample_rate, freqNum > 0 ? 150 : 0x5a5a5a5a);
}

void CsamtPubTest::fileCutShortAnywhereChangesNothing()
{
    for (int length = 0; length < kExample.size(); ++length) {
        freq_table t;
        std::memset(&t, 0x33, sizeof t);
        const freq_table before = t;
        FILE *fp = files.reading(kExample.left(length));
        QCOMPARE(freq_table_read(fp, &t), -1);
        fclose(fp);
        QVERIFY2(!std::memcmp(&t, &before, sizeof t), qPrintable(QString::number(length)));
    }
}

void CsamtPubTest::writerStaysWithinTheRecord()
{
    static freq_table t = exampleRecord();
    std::memset(t.name, 'q', sizeof t.name); // lost its NUL
    t.freq_num = -3;
    int count = 0;
    QByteArray bytes = files.written([](FILE *fp, int *n) { *n = freq_table_write(fp, &t); }, &count);
    QCOMPARE(count, 52 + 256 + 1);
    QCOMPARE(bytes.mid(4, 4), QByteArray::fromHex("00010000"));
    QCOMPARE(bytes.mid(8 + 255, 1), QByteArray(1, '\0'));
    QCOMPARE(bytes.right(4), QByteArray::fromHex("fdffffff")); // the count as held, no entries

    t.freq_num = 5000;
    bytes = files.written([](FILE *fp, int *n) { *n = freq_table_write(fp, &t); }, &count);
    QCOMPARE(count, 52 + 256 + 1 + 16 * CSAMT_MAX_FREQ_NUM);
    QCOMPARE(count, freq_table_file_size(&t));
}

void CsamtPubTest::initialiserGivesAnExportDefinedHeaders()
{
    static freq_table t;
    std::memset(&t, 0xee, sizeof t);
    freq_table_init(&t);
    QCOMPARE(uchar(t.name[4]), uchar(0xee)); // only the text and its NUL are written
    int count = 0;
    const QByteArray bytes = files.written([](FILE *fp, int *n) { *n = freq_table_write(fp, &t); }, &count);
    QCOMPARE(count, 61);
    QCOMPARE(bytes.toHex(),
        QByteArray("01000000"
                   "04000000"
                   "61616100"
                   "65000000" // "aaa", 101
                   "0080bb45"
                   "00007ac4"
                   "00007a44"
                   "0000a041"
                   "00000000"
                   "00000000"
                   "05000000"
                   "7465737400"
                   "02000000"
                   "00000000"
                   "00000000"));
}

void CsamtPubTest::settingsRecordIs280BytesInFileOrder()
{
    static SettingsRecord rec;
    std::memset(&rec, 0x11, sizeof rec);
    rec = { 100, 1, 0, 16, 1, {} };
    std::strcpy(rec.tableFile, "2024-05-17.FTB2");
    rec.tableFile[200] = 'k'; // the whole field goes to the file
    int count = 0;
    const QByteArray bytes = files.written([](FILE *fp, int *n) { *n = settings_write(fp, &rec); }, &count);
    QCOMPARE(count, 280);
    QCOMPARE(bytes.size(), 280);
    QCOMPARE(bytes.left(4), QByteArray::fromHex("01000000"));
    QCOMPARE(bytes.mid(4, 256), QByteArray(rec.tableFile, 256));
    QCOMPARE(bytes.mid(260).toHex(),
        QByteArray("10000000"
                   "01000000"
                   "01000000"
                   "00000000"
                   "64000000"));

    SettingsRecord back {};
    FILE *fp = files.reading(bytes);
    QCOMPARE(settings_read(fp, &back), 1);
    fclose(fp);
    QVERIFY(!std::memcmp(&back, &rec, sizeof rec));
}

void CsamtPubTest::shortSettingsKeepWhatTheyDoNotReach()
{
    QByteArray bytes = QByteArray::fromHex("01000000") + QByteArray(256, 'n') + QByteArray::fromHex("03000000");
    SettingsRecord rec = { 7, 0, 5, 9, 1, "old.FTB2" };
    FILE *fp = files.reading(bytes.left(3));
    QCOMPARE(settings_read(fp, &rec), -1);
    fclose(fp);
    QCOMPARE(QByteArray(rec.tableFile), QByteArray("old.FTB2"));

    fp = files.reading(bytes);
    QCOMPARE(settings_read(fp, &rec), 1);
    fclose(fp);
    QCOMPARE(rec.freqIndex, 3);
    QCOMPARE(QByteArray(rec.tableFile), QByteArray(255, 'n')); // kept terminated
    QCOMPARE(rec.singleMode, 0);
    QCOMPARE(rec.signalIndex, 5);
    QCOMPARE(rec.delayMs, 7);
}

void CsamtPubTest::entryHelpers()
{
    freq_table t {};
    t.freq_num = 2;
    t.items[0] = { 150, 0.5f, 5, 10.0f };
    t.items[1] = { 2400, 4.0f, 10, 2.25f };
    t.items[2] = { 1, 1.0f, 1000, 0.0f }; // beyond freq_num
    QCOMPARE(freq_item_samples(&t.items[0]), 1500);
    QCOMPARE(freq_samples(&t.freq_num, 1), 6000);
    const freq_item wraps = { 65536, 1.0f, 65536, 0.0f }; // the product overflows 32 bits to 0
    QCOMPARE(freq_item_samples(&wraps), 0);
    QCOMPARE(freq_duration(&t.freq_num, 1), 4.75);
    QCOMPARE(freq_total_duration(&t.freq_num), 24.75);
    QCOMPARE(freq_total_seconds(&t.freq_num, 2), 25);
    t.freq_num = -1;
    QCOMPARE(freq_total_duration(&t.freq_num), 0.0);
    QCOMPARE(linear_value(1.5f, 0.25f, -4), 0.5);

    const int want[3] = { 7, 8, 4 };
    for (int mode = 0; mode < 3; ++mode) {
        t.harmonic_mode = mode;
        QCOMPARE(harmonic_multiplier(&t, 3), want[mode]);
    }
    t.harmonic_mode = 9;
    QCOMPARE(harmonic_multiplier(&t, 3), 4);
    QCOMPARE(harmonic_freq(&t, 1, 3), 16.0f);

    freq_item item = { 150, 0.5f, 5, 0.0f };
    send_time_from_samples(100, &item); // 150000 samples
    QCOMPARE(item.send_time, 18.0f);
    send_time_from_samples(1, &item);
    QCOMPARE(item.send_time, 5.0f);
    QCOMPARE(min_time(1000, 1000), 103.0);
    QCOMPARE(min_time(100, 50), 5.0);
    QCOMPARE(csamt_trunc_int32(3e9), INT32_MIN);
    QCOMPARE(csamt_trunc_int32(-2.9), -2);
}

void CsamtPubTest::channelFile()
{
    QCOMPARE(QByteArray(channel_kind_text(2)), QByteArray(u8"磁道"));
    QCOMPARE(QByteArray(channel_kind_text(5)), QByteArray(u8"磁道")); // unknown: the last text stays
    QCOMPARE(QByteArray(channel_kind_text(0)), QByteArray(u8"无效"));
    QCOMPARE(channel_kind_from_text(u8"电道"), 1);
    QCOMPARE(channel_kind_from_text(u8"磁道"), 2);
    QCOMPARE(channel_kind_from_text(u8"电"), 0);

    static channel_table c;
    channel_table_init(&c);
    for (int i = 0; i < CSAMT_CHANNEL_NUM; ++i) {
        c.channel_id[i] = 100 + i;
        c.channel_kind[i] = int16_t(i % 2 + 1);
        std::strcpy(c.coil_name[i], "E1");
        std::strcpy(c.coil_serial[i], "SN123456"); // longer than a file may carry
    }
    int count = 0;
    const QByteArray bytes = files.written([](FILE *fp, int *n) { *n = channel_table_write(fp, &c); }, &count);
    QCOMPARE(count, 8 + 6 * (4 + 2 + 4 + 3 + 4 + 8));
    QCOMPARE(bytes.mid(8, 17).toHex(),
        QByteArray("64000000"
                   "0100"
                   "03000000"
                   "453100"
                   "08000000"));

    channel_table back;
    channel_table_init(&back);
    FILE *fp = files.reading(bytes);
    QCOMPARE(channel_table_read(fp, &back), 1);
    fclose(fp);
    QCOMPARE(back.channel_id[5], 105);
    QCOMPARE(back.channel_kind[1], int16_t(2));
    QCOMPARE(QByteArray(back.coil_serial[3]), QByteArray("SN12345"));

    // More channels than the record holds, or a text length out of 1..8: refused.
    QByteArray tooMany = bytes;
    tooMany[4] = 7;
    QByteArray longText = bytes;
    longText[14] = 9;
    QByteArray emptyText = bytes;
    emptyText[14] = 0;
    for (const QByteArray &bad : { tooMany, longText, emptyText, bytes.left(30) }) {
        channel_table kept = back;
        fp = files.reading(bad);
        QCOMPARE(channel_table_read(fp, &kept), -1);
        fclose(fp);
        QVERIFY(!std::memcmp(&kept, &back, sizeof kept));
    }
}

QTEST_GUILESS_MAIN(CsamtPubTest)
#include "tst_csamtpub.moc"
