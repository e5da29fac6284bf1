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

// An independent reading of a frame: unstuffed, the start byte, two length
// bytes, the payload and the checksum; empty when it is no frame.
static QByteArray unstuff(const QByteArray &wire)
{
    if (!wire.startsWith(char(0x7E)) || wire.indexOf(char(0x7E), 1) > 0 || wire.endsWith(char(0x7D)))
        return QByteArray();
    QByteArray plain(1, char(0x7E));
    for (int i = 1; i < wire.size(); ++i)
        plain.append(wire[i] == char(0x7D) ? char(wire[++i] ^ 0x20) : wire[i]);
    return plain;
}

class FrameCodecTest : public QObject
{
    Q_OBJECT

private slots:
    void framesOnTheWire_data()
    {
        QTest::addColumn<QByteArray>("payload");
        QTest::addColumn<QByteArray>("frame");
        QTest::newRow("connection test") << hex("02 00 02 55 AA") << hex("7E 00 05 02 00 02 55 AA 79");
        QTest::newRow("GPS time, checksum 7D") << hex("03") << hex("7E 00 01 03 7D 5D");
        QTest::newRow("checksum 7E") << hex("02") << hex("7E 00 01 02 7D 5E");
        QTest::newRow("stuffed payload") << hex("7E 7D") << hex("7E 00 02 7D 5E 7D 5D 84");
        QTest::newRow("empty payload") << QByteArray() << hex("7E 00 00 81");
        const QByteArray zeros(125, '\0');
        QTest::newRow("length 7D") << zeros << hex("7E 00 7D 5D") + zeros + hex("04");
        QTest::newRow("length 7E") << zeros + '\0' << hex("7E 00 7D 5E") + zeros + hex("00 03");
    }

    void framesOnTheWire()
    {
        QFETCH(QByteArray, payload);
        QFETCH(QByteArray, frame);
        QCOMPARE(encode(payload).toHex(' '), frame.toHex(' '));
    }

    void outputAreaIsClearedUpToTwiceTheFrame()
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

    void anyPayloadDecodesBackWithinItsArea()
    {
        QRandomGenerator random(20240517);
        // First the largest start parameters, every byte stuffed; then random
        // payloads that favour the bytes needing it.
        QByteArray payload(kMaxPayloadLength, char(0x7E));
        for (int round = 0; round < 500; ++round) {
            const QByteArray wire = encode(payload);
            const QByteArray plain = unstuff(wire);
            QVERIFY2(plain.size() >= 4, wire.toHex(' ').constData());
            QCOMPARE(quint8(plain[1]) * 256 + quint8(plain[2]), payload.size());
            QCOMPARE(plain.mid(3, plain.size() - 4), payload);
            int sum = 0;
            for (char c : plain)
                sum += quint8(c);
            QCOMPARE(sum % 256, 0xFF);
            QVERIFY(wire.size() < FrameAreaSize(payload.size())); // the start byte is never stuffed

            payload.resize(int(random.bounded(kMaxPayloadLength + 1)));
            for (char &c : payload)
                c = char(random.bounded(4) == 0 ? 0x7D + random.bounded(2) : random.bounded(256));
        }
    }
};

QTEST_APPLESS_MAIN(FrameCodecTest)
#include "tst_framecodec.moc"
