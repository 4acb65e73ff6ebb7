// The pendant controller. On the press it saves the host's jog mode and increment; while the
// enable is held it keeps the host in MPG mode and makes the axis and increment follow the
// selectors; on the release it gives back the saved mode and increment, but only when it was
// the controller that changed the mode. While released the operator may not choose MPG mode.
// With the enable off a working board shows axis selector 7; anything else means no board.
#include "pendant/pendant_controller.h"

#include <cmath>

#include "diag/alert.h"
#include "diag/log.h"
#include "pendant/axis_select.h"
#include "pendant/inc_select.h"
#include "pendant/update_cycle.h"
#include "plugin/host_binding.h"

PendantState pendantState;

namespace {
const char kPrefix[] = "DoMyUpdate(): ";
constexpr int32_t kAxisMask = 0x07;
constexpr int32_t kIncShift = 3;
constexpr int32_t kIncMask = 0x03;
constexpr int32_t kEnableBit = 0x80;
constexpr int32_t kExtSwitchFirst = 6;   // axis selector 6 and 7 are external switches #1 and #2
constexpr int32_t kSelectorIdle = 7;     // what the board shows with the enable off

void Press(JogMode mode) {
    PendantState& s = pendantState;
    LogMsg(LOG_INFO, "%spendant enable JUST pressed", kPrefix);
    s.enableActive = true;
    s.justPressed = true;
    const int mpg = host.callbacks.GetLED(HostCode::LedJogMpg) != 0;
    const int inc = host.callbacks.GetLED(HostCode::LedJogIncremental) != 0;
    const int cont = host.callbacks.GetLED(HostCode::LedJogContinuous) != 0;
    LogMsg(LOG_DEBUG, "%sJogMode LEDs cont=%d, inc=%d, mpg=%d", kPrefix, cont, inc, mpg);
    s.savedJogMode = mode;
    s.savedJogInc = host.callbacks.GetDRO(HostCode::DroJogIncrement);
}

void EnabledStep(JogMode mode, int32_t axisSel, int32_t incSel) {
    PendantState& s = pendantState;
    if (host.callbacks.GetLED(HostCode::LedJogEnabled) == 0) {
        if (s.justPressed) {
            LogMsg(LOG_WARNING, "%sgot JogEnable DISABLED", kPrefix);
            ShowAlert(101,
                      "Jogging is DISABLED in Mach3.\n\nTo enable jogging, type CNTL-ALT-J.\n\nIn the default Mach3 "
                      "Mill screen set, you can also go to the\n\"Program Run\" tab, then click on the \"Jog ON/OFF\" "
                      "button\nin the \"Tool Information\" section (jog is enabled when this\nbutton is outlined in "
                      "green).");
        }
        return;
    }
    if (axisSel >= kExtSwitchFirst) {
        if (!(s.extSwitchSeen && s.lastExtSwitch == axisSel)) {
            LogMsg(LOG_WARNING, "%sGot ext swt #%d pressed, IGNORED", kPrefix, axisSel - (kExtSwitchFirst - 1));
        }
        s.extSwitchSeen = true;
        s.lastExtSwitch = axisSel;
        return;
    }
    s.extSwitchSeen = false;
    if (mode != JOG_MPG) {
        LogMsg(LOG_INFO, "%sChanging to MPG Jog Mode (%s)", kPrefix, s.justPressed ? "Enabled" : "Override User");
        if (!s.justPressed) {
            SetHostMessage("Pendant or front panel MPG is enabled, disable to manually change jog mode");
        }
        const JogMode result = SetJogMode(JOG_MPG);
        s.weChangedMode = true;
        if (result != JOG_MPG) {
            LogMsg(LOG_ERROR, "%scould not set jog mode to MPG, exiting", kPrefix);
            return;
        }
    }
    UpdateAxisSelect(axisSel, s.justPressed);
    UpdateIncSelect(incSel, s.justPressed);
}

void Release() {
    PendantState& s = pendantState;
    LogMsg(LOG_INFO, "%spendant enable JUST UN-pressed", kPrefix);
    s.enableActive = false;
    if (!s.weChangedMode) {
        LogMsg(LOG_INFO, "%sNOT restoring previous mode, we didn't change it", kPrefix);
        return;
    }
    LogMsg(LOG_INFO, "%sRestoring previous mode %d and inc %01.3f", kPrefix, s.savedJogMode, s.savedJogInc);
    s.weChangedMode = false;
    const JogMode result = SetJogMode(s.savedJogMode);
    if (result != s.savedJogMode) {
        LogMsg(LOG_ERROR, "%scould not restore jog mode, try=%d, result=%d", kPrefix, s.savedJogMode, result);
    }
    // A host that showed no number at the press gets no non-number back as its jog increment.
    if (!std::isfinite(s.savedJogInc)) {
        LogMsg(LOG_ERROR, "%snot restoring inc, saved value is not a number", kPrefix);
        return;
    }
    host.callbacks.SetDRO(HostCode::DroJogIncrement, s.savedJogInc);
}

void KeepOperatorOutOfMpg() {
    LogMsg(LOG_INFO, "%sOverriding user MPG mode to CONTINOUS", kPrefix);
    SetHostMessage("Can only change jog mode to MPG by enabling pendant or front panel MPG");
    if (SetJogMode(JOG_CONTINUOUS) != JOG_CONTINUOUS) {
        LogMsg(LOG_ERROR, "%scould not set jog mode to CONTINUOUS", kPrefix);
    }
}
}  // namespace

PendantControlState CurrentPendantControlState() {
    if (!pendantState.enableActive) return PendantControlState::Released;
    return pendantState.weChangedMode ? PendantControlState::EngagedSwitched : PendantControlState::Engaged;
}

const char* PendantControlStateName(PendantControlState state) {
    switch (state) {
        case PendantControlState::Released: return "Released";
        case PendantControlState::Engaged: return "Engaged";
        case PendantControlState::EngagedSwitched: return "EngagedSwitched";
    }
    return "?";
}

void UpdatePendant(int32_t data, int32_t raw) {
    PendantState& s = pendantState;
    const JogMode mode = GetJogMode();  // every test of this step uses the mode read here
    const int32_t axisSel = data & kAxisMask;
    const int32_t incSel = (data >> kIncShift) & kIncMask;

    if ((data & kEnableBit) != 0) {
        if (!s.enableActive) {
            Press(mode);
        } else {
            s.justPressed = false;
        }
        EnabledStep(mode, axisSel, incSel);
        return;
    }
    if (axisSel != kSelectorIdle) {
        ReportUnplugged(raw);
        return;
    }
    if (s.enableActive) {
        Release();
        return;
    }
    if (mode == JOG_MPG) KeepOperatorOutOfMpg();
}
