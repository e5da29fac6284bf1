#pragma once

#include <QtGlobal>

// First payload byte of every command to the transmitter.
namespace CommandCode {
constexpr quint8 StartParameters = 0x01;
constexpr quint8 ConnectionTest = 0x02;
constexpr quint8 GpsTime = 0x03;
constexpr quint8 Stop = 0x04;
constexpr quint8 SweepMode = 0x05;
constexpr quint8 StartSignal = 0x06;
constexpr quint8 DeviceStatus = 0x07;
constexpr quint8 SyncDelay = 0x09;
constexpr quint8 HardwareVersion = 0x0A;
} // namespace CommandCode

// Steps of the transmitter's frequency ladder, 8192 Hz down to 1/4096 Hz; a
// start carries at most one entry per step.
constexpr int kLadderSteps = 26;

// The code an answer carries at position 3.
constexpr quint8 ResponseCode(quint8 commandCode)
{
    return static_cast<quint8>(commandCode + 0x10);
}
