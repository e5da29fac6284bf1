#include "framing.h"

namespace txsim {

quint8 frameChecksum(const QByteArray &unstuffedWithoutChecksum)
{
    unsigned sum = 0;
    for (char c : unstuffedWithoutChecksum)
        sum += quint8(c);
    return quint8(0xFF - (sum & 0xFF));
}

QByteArray encodeFrame(const QByteArray &payload)
{
    QByteArray plain;
    plain.append(char(kStartByte));
    plain.append(char((payload.size() >> 8) & 0xFF));
    plain.append(char(payload.size() & 0xFF));
    plain.append(payload);
    plain.append(char(frameChecksum(plain)));

    QByteArray wire;
    wire.append(char(kStartByte));
    for (int i = 1; i < plain.size(); ++i) {
        const quint8 b = quint8(plain.at(i));
        if (b == kStartByte || b == kEscapeByte) {
            wire.append(char(kEscapeByte));
            wire.append(char(b ^ 0x20));
        } else {
            wire.append(char(b));
        }
    }
    return wire;
}

void FrameDecoder::reset()
{
    stage = Stage::Hunt;
    escaped = false;
    raw.clear();
    unstuffed.clear();
    payloadLength = 0;
}

void FrameDecoder::fail(QList<DecodedItem> &out, const QString &reason)
{
    DecodedItem item;
    item.raw = raw;
    item.reason = reason;
    out.append(item);
    reset();
}

QList<DecodedItem> FrameDecoder::feed(const QByteArray &bytes)
{
    QList<DecodedItem> out;
    for (char c : bytes)
        takeByte(out, quint8(c));
    return out;
}

QList<DecodedItem> FrameDecoder::flush()
{
    QList<DecodedItem> out;
    if (!raw.isEmpty())
        fail(out, stage == Stage::Hunt ? QStringLiteral("garbage") : QStringLiteral("incomplete frame"));
    return out;
}

void FrameDecoder::takeByte(QList<DecodedItem> &out, quint8 byte)
{
    if (byte == kStartByte) {
        // A start byte always begins a new frame; whatever came before it
        // without completing a frame is rejected.
        if (!raw.isEmpty())
            fail(out, stage == Stage::Hunt ? QStringLiteral("garbage") : QStringLiteral("incomplete frame"));
        stage = Stage::Header;
        raw.append(char(byte));
        unstuffed.append(char(byte));
        return;
    }
    raw.append(char(byte));
    if (stage == Stage::Hunt)
        return;

    if (escaped) {
        escaped = false;
        if (byte != (kStartByte ^ 0x20) && byte != (kEscapeByte ^ 0x20)) {
            fail(out, QStringLiteral("bad stuffing"));
            return;
        }
        byte ^= 0x20;
    } else if (byte == kEscapeByte) {
        escaped = true;
        return;
    }
    unstuffed.append(char(byte));

    if (stage == Stage::Header) {
        if (unstuffed.size() < 3)
            return;
        payloadLength = (quint8(unstuffed.at(1)) << 8) | quint8(unstuffed.at(2));
        if (payloadLength > kMaxPayload) {
            fail(out, QStringLiteral("length %1 too large").arg(payloadLength));
            return;
        }
        stage = Stage::Body;
        return;
    }

    if (unstuffed.size() < payloadLength + 4)
        return;
    unsigned sum = 0;
    for (char c : unstuffed)
        sum += quint8(c);
    if ((sum & 0xFF) != 0xFF) {
        fail(out, QStringLiteral("bad checksum"));
        return;
    }
    DecodedItem item;
    item.good = true;
    item.raw = raw;
    item.payload = unstuffed.mid(3, payloadLength);
    out.append(item);
    reset();
}

} // namespace txsim
