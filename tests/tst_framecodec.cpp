#include "link/framecodec.h"

#include <QByteArray>
#include <QRandomGenerator>
#include <QtTest>

#include <vector>

static QByteArray hex(const char *text)
{
    return QByteArray::fromHex(QByteArray(text).replace(' ', ""));
}

static QByteArray encode(const QByteArray &payload)
{
    std::vector<unsigned char> out(size_t(FrameAreaSize(payload.size())));
    const int length
        = EncodeFrame(out.data(), reinterpret_cast<const unsigned char *>(payload.constData()), payload.size());
    return QByteArray(reinterpret_cast<const char *>(out.data()), length);
}

// An independent reading of a frame: unstuff, then split into its fields.
struct Unstuffed
{
    bool ok = false;
    int length = -1;
    QByteArray payload;
    int sum = 0;
};

static Unstuffed unstuff(const QByteArray &wire)
{
    Unstuffed u;
    if (wire.isEmpty() || quint8(wire[0]) != 0x7E)
        return u;
    QByteArray plain(1, char(0x7E));
    for (int i = 1; i < wire.size(); ++i) {
        const quint8 b = quint8(wire[i]);
        if (b == 0x7E)
            return u;
        if (b == 0x7D) {
            if (++i >= wire.size())
                return u;
            plain.append(char(quint8(wire[i]) ^ 0x20));
        } else {
            plain.append(char(b));
        }
    }
    if (plain.size() < 4)
        return u;
    u.length = quint8(plain[1]) * 256 + quint8(plain[2]);
    u.payload = plain.mid(3, plain.size() - 4);
    for (char c : plain)
        u.sum += quint8(c);
    u.ok = true;
    return u;
}

class FrameCodecTest : public QObject
{
    Q_OBJECT

private slots:
    void framesOnTheWire_data();
    void framesOnTheWire();
    void lengthByteIsStuffed_data();
    void lengthByteIsStuffed();
    void outputAreaIsClearedUpToTwiceTheFrame();
    void largestStartParametersFitAndStuffEveryByte();
    void randomPayloadsDecodeBack();
};

void FrameCodecTest::framesOnTheWire_data()
{
    QTest::addColumn<QByteArray>("payload");
    QTest::addColumn<QByteArray>("frame");
    QTest::newRow("connection test") << hex("02 00 02 55 AA") << hex("7E 00 05 02 00 02 55 AA 79");
    QTest::newRow("status poll") << hex("07 00 01") << hex("7E 00 03 07 00 01 76");
    QTest::newRow("stop") << hex("04") << hex("7E 00 01 04 7C");
    QTest::newRow("hardware version") << hex("0A") << hex("7E 00 01 0A 76");
    QTest::newRow("GPS time, checksum 7D") << hex("03") << hex("7E 00 01 03 7D 5D");
    QTest::newRow("checksum 7E") << hex("02") << hex("7E 00 01 02 7D 5E");
    QTest::newRow("stuffed payload") << hex("7E 7D") << hex("7E 00 02 7D 5E 7D 5D 84");
    QTest::newRow("empty payload") << QByteArray() << hex("7E 00 00 81");
}

void FrameCodecTest::framesOnTheWire()
{
    QFETCH(QByteArray, payload);
    QFETCH(QByteArray, frame);
    QCOMPARE(encode(payload).toHex(' '), frame.toHex(' '));
}

void FrameCodecTest::lengthByteIsStuffed_data()
{
    QTest::addColumn<int>("length");
    QTest::addColumn<QByteArray>("head");
    QTest::addColumn<quint8>("checksum");
    QTest::newRow("125") << 125 << hex("7E 00 7D 5D") << quint8(0x04);
    QTest::newRow("126") << 126 << hex("7E 00 7D 5E") << quint8(0x03);
}

void FrameCodecTest::lengthByteIsStuffed()
{
    QFETCH(int, length);
    QFETCH(QByteArray, head);
    QFETCH(quint8, checksum);
    const QByteArray wire = encode(QByteArray(length, '\0'));
    QCOMPARE(wire.size(), 4 + length + 1);
    QCOMPARE(wire.left(4).toHex(' '), head.toHex(' '));
    QCOMPARE(wire.mid(4, length), QByteArray(length, '\0'));
    QCOMPARE(quint8(wire.back()), checksum);
}

void FrameCodecTest::outputAreaIsClearedUpToTwiceTheFrame()
{
    const unsigned char payload[3] = { 0x07, 0x00, 0x01 };
    unsigned char out[40];
    std::fill(std::begin(out), std::end(out), 0xCC);
    const int length = EncodeFrame(out, payload, 3);
    QCOMPARE(length, 7);
    for (int i = length; i < FrameAreaSize(3); ++i)
        QVERIFY2(out[i] == 0, qPrintable(QString("byte %1 not cleared").arg(i)));
    // Nothing beyond the area the caller was asked to provide is touched.
    for (int i = FrameAreaSize(3); i < int(sizeof out); ++i)
        QCOMPARE(int(out[i]), 0xCC);
}

void FrameCodecTest::largestStartParametersFitAndStuffEveryByte()
{
    const QByteArray payload(kMaxPayloadLength, char(0x7E));
    const QByteArray wire = encode(payload);
    // Start byte, two plain length bytes (00 A4), every payload byte doubled,
    // and a checksum.
    QCOMPARE(quint8(wire[2]), quint8(kMaxPayloadLength));
    const Unstuffed u = unstuff(wire);
    QVERIFY(u.ok);
    QCOMPARE(u.payload, payload);
    QCOMPARE(u.sum % 256, 0xFF);
    QVERIFY(wire.size() >= 3 + 2 * kMaxPayloadLength + 1);
    QVERIFY(wire.size() <= FrameAreaSize(kMaxPayloadLength));
}

void FrameCodecTest::randomPayloadsDecodeBack()
{
    QRandomGenerator random(20240517);
    for (int round = 0; round < 500; ++round) {
        QByteArray payload(int(random.bounded(kMaxPayloadLength + 1)), '\0');
        for (char &c : payload) // favour the bytes that need stuffing
            c = char(random.bounded(4) == 0 ? 0x7D + random.bounded(2) : random.bounded(256));
        const QByteArray wire = encode(payload);
        const Unstuffed u = unstuff(wire);
        QVERIFY2(u.ok, wire.toHex(' ').constData());
        QCOMPARE(u.length, payload.size());
        QCOMPARE(u.payload, payload);
        QCOMPARE(u.sum % 256, 0xFF);
        QVERIFY(wire.size() >= payload.size() + 4 && wire.size() <= 2 * (payload.size() + 4) - 1);
    }
}

QTEST_APPLESS_MAIN(FrameCodecTest)
#include "tst_framecodec.moc"
