// Makes the host's jog increment follow the pendant's increment selector, in the host's unit.
#pragma once
#include <cstdint>

struct IncSelectState {
    int32_t lastIncSel = -1;  // selector of the last call that got past the range check; -1 = none
};
extern IncSelectState incSelectState;

// Writes the selector's increment to the host's DRO when it differs; a difference while the
// selector has not moved was made by hand at the host and is undone with a note.
void UpdateIncSelect(int32_t sel, bool justPressed);
