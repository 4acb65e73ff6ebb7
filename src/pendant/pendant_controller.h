// Decides, on every stable byte, who owns the host's jog settings: the pendant while its
// enable is held, the operator while it is off.
#pragma once
#include <cstdint>

#include "pendant/jog_mode.h"

struct PendantState {
    bool enableActive = false;   // the enable has been seen pressed and not yet released
    bool justPressed = false;    // this enabled tick is the one on which the press was seen
    bool weChangedMode = false;  // since the press, the controller has tried to switch to MPG
    bool extSwitchSeen = false;  // the last enabled tick past the JogEnable test showed a switch
    int32_t lastExtSwitch = 0;   // the axis selector (6 or 7) of that switch
    JogMode savedJogMode = JOG_CONTINUOUS;  // the host's mode at the press
    double savedJogInc = 0.1;               // the host's increment at the press
};
extern PendantState pendantState;

// The controller's states, derived from the two flags that define them.
enum class PendantControlState { Released, Engaged, EngagedSwitched };
PendantControlState CurrentPendantControlState();
const char* PendantControlStateName(PendantControlState state);

// One step on a stable byte: data has bits 5 and 6 cleared, raw is the byte as read.
void UpdatePendant(int32_t data, int32_t raw);
