#pragma once

#include <QByteArray>
#include <QList>

// The transmitter's side of the serial framing, written independently of the
// program's encoder so that each can catch the other's mistakes.
namespace txsim {

constexpr quint8 kStartByte = 0x7E;
constexpr quint8 kEscapeByte = 0x7D;
// Far above any real command (the longest, start parameters, is 164 bytes);
// a larger length field means we are reading garbage.
constexpr int kMaxPayload = 1024;

// Start byte, big-endian length, payload, checksum; every byte after the start
// byte that equals 0x7D or 0x7E is sent as 0x7D, byte ^ 0x20.
QByteArray encodeFrame(const QByteArray &payload);

// Checksum of an unstuffed frame so far: makes the 8-bit sum of all bytes 0xFF.
quint8 frameChecksum(const QByteArray &unstuffedWithoutChecksum);

// A frame or a stretch of rejected bytes, as found by FrameDecoder.
struct DecodedItem
{
    bool good = false;
    QByteArray payload; // good frames only
    QByteArray raw; // the bytes as they arrived, stuffing included
    QString reason; // bad items only
};

// Turns a byte stream into frames. Bytes may arrive in any pieces; garbage,
// bad stuffing and bad checksums are reported, and decoding resynchronises on
// the next start byte (a start byte never occurs inside a well-formed frame).
class FrameDecoder
{
public:
    QList<DecodedItem> feed(const QByteArray &bytes);
    // Reports whatever is pending as bad: used when the line falls silent in
    // the middle of a frame or after garbage.
    QList<DecodedItem> flush();
    bool isPending() const { return !raw.isEmpty(); }
    void reset();

private:
    enum class Stage { Hunt, Header, Body };
    void fail(QList<DecodedItem> &out, const QString &reason);
    void takeByte(QList<DecodedItem> &out, quint8 byte);

    Stage stage = Stage::Hunt;
    bool escaped = false;
    QByteArray raw;
    QByteArray unstuffed;
    int payloadLength = 0;
};

} // namespace txsim
