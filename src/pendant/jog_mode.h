// The host's jog mode, identified by the code of the LED that shows it.
#pragma once
#include <cstdint>

typedef int32_t JogMode;
constexpr JogMode JOG_CONTINUOUS = 14;
constexpr JogMode JOG_INCREMENTAL = 15;
constexpr JogMode JOG_MPG = 57;
constexpr JogMode JOG_UNKNOWN = -1;

// The jog mode in force: the first lit of LEDs 14, 15, 57, or JOG_UNKNOWN.
JogMode GetJogMode();

// Presses the host's jog-mode toggle until it shows target, at most four times, and returns
// the mode read after the last press. Always presses at least once.
JogMode SetJogMode(JogMode target);

// The mode's name for the log ("UNKNOWN" for anything that is not a jog mode).
const char* JogModeName(JogMode mode);
