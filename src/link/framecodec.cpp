#include "link/framecodec.h"

#include <cstring>

namespace {

constexpr unsigned char kStartByte = 0x7E;
constexpr unsigned char kEscapeByte = 0x7D;

// The unstuffed frame: start byte, length, payload, checksum.
unsigned char scratch[kMaxPayloadLength + 4];

} // namespace

int EncodeFrame(unsigned char *out, const unsigned char *payload, int length)
{
    scratch[0] = kStartByte;
    scratch[1] = static_cast<unsigned char>(length / 256);
    scratch[2] = static_cast<unsigned char>(length % 256);
    std::memcpy(scratch + 3, payload, static_cast<size_t>(length));

    int sum = 0;
    for (int i = 0; i < length + 3; ++i) {
        if (sum > 1000000)
            sum &= 0xFF;
        sum += scratch[i];
    }
    scratch[3 + length] = static_cast<unsigned char>(0xFF - (sum & 0xFF));

    std::memset(out, 0, static_cast<size_t>(FrameAreaSize(length)));
    out[0] = kStartByte;
    int position = 1;
    for (int i = 1; i <= length + 3; ++i) {
        const unsigned char byte = scratch[i];
        if (byte == kEscapeByte || byte == kStartByte) {
            out[position++] = kEscapeByte;
            out[position++] = byte ^ 0x20;
        } else {
            out[position++] = byte;
        }
    }
    return position;
}
