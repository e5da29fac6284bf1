#pragma once

#include "commands/commandset.h"

// Entries the start-parameters payload has room for (8 + 6 x 26 = 164 bytes).
constexpr int kMaxStartEntries = kLadderSteps;

// Pause between a start, stop or delay button and its first command, and
// between two looks at an exchange that is still open.
constexpr int kStepDelayMs = 200;
