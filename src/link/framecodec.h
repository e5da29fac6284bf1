#pragma once

#include "commands/commandset.h"

// Largest start-parameter payload the program lets through: the header and
// one entry per step of the frequency ladder.
constexpr int kMaxPayloadLength = 8 + 6 * kLadderSteps;

// The output area EncodeFrame needs for a payload: every byte after the start
// byte may be stuffed.
constexpr int FrameAreaSize(int payloadLength)
{
    return 2 * (payloadLength + 4);
}

// Writes the stuffed frame of `length` payload bytes into `out`, which must
// hold FrameAreaSize(length) bytes (all of them are cleared first), and returns
// the frame's length on the wire. Not reentrant: it shares one scratch area.
int EncodeFrame(unsigned char *out, const unsigned char *payload, int length);
