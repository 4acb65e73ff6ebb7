// Makes the host's MPG jog axis follow the pendant's axis selector.
#pragma once
#include <cstdint>

struct AxisSelectState {
    int32_t lastAxisSel = -1;  // selector of the last call that compared the axes; -1 = none
};
extern AxisSelectState axisSelectState;

// The LED code (59..64) of the host's MPG jog axis, or -1.
int32_t GetMPGJogAxis();

// The LED code for selector 0..5, or -1.
int32_t AxisSelToJogAxis(int32_t sel);

// Presses the host's select button when its axis differs from the selector's; a difference
// while the selector has not moved was made by hand at the host and is undone with a note.
void UpdateAxisSelect(int32_t sel, bool justPressed);
