#pragma once

// Bytes that must have arrived, as received, before the answer to the command
// marked by `commandState` is examined.
int MinResponseLength(int commandState);

// Ticks of 10 ms: an answer is examined up to tick 198; the tick that finds
// 199 declares the time-out, about 2 seconds after the frame was written.
constexpr int kResponseTickMs = 10;
constexpr int kLastWaitingTick = 198;
