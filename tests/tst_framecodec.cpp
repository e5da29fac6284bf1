#include "link/framecodec.h"

#include <QtTest>

class FrameCodecTest : public QObject
{
    Q_OBJECT

private slots:
    void framesOnTheWire_data()
    {
        QTest::addColumn<QByteArray>("payload");
        QTest::addColumn<QByteArray>("frame");
        const auto hex = [](const char *text) { return QByteArray::fromHex(text); }; // spaces are skipped
        QTest::newRow("connection test") << hex("02 00 02 55 AA") << hex("7E 00 05 02 00 02 55 AA 79");
        QTest::newRow("GPS time, checksum 7D") << hex("03") << hex("7E 00 01 03 7D 5D");
        QTest::newRow("stuffed payload") << hex("7E 7D") << hex("7E 00 02 7D 5E 7D 5D 84");
        QTest::newRow("empty payload") << QByteArray() << hex("7E 00 00 81");
        const QByteArray zeros(125, '\0');
        QTest::newRow("length 7D") << zeros << hex("7E 00 7D 5D") + zeros + hex("04");
        QTest::newRow("length 7E") << zeros + '\0' << hex("7E 00 7D 5E") + zeros + hex("00 03");
        // The largest start parameters, every byte stuffed: the area still holds them.
        QTest::newRow("largest, all 7E") << QByteArray(kMaxPayloadLength, char(0x7E))
                                         << hex("7E 00 A4") + hex("7D 5E").repeated(kMaxPayloadLength) + hex("25");
    }
    void framesOnTheWire()
    {
        QFETCH(QByteArray, payload);
        QFETCH(QByteArray, frame);
        const int area = FrameAreaSize(payload.size());
        QByteArray out(area + 8, char(0xCC));
        const int length = EncodeFrame(reinterpret_cast<unsigned char *>(out.data()),
            reinterpret_cast<const unsigned char *>(payload.constData()), payload.size());
        QCOMPARE(out.left(length).toHex(' '), frame.toHex(' '));
        QCOMPARE(out.mid(length), QByteArray(area - length, '\0') + QByteArray(8, char(0xCC))); // cleared, not beyond
    }
};

QTEST_APPLESS_MAIN(FrameCodecTest)
#include "tst_framecodec.moc"
