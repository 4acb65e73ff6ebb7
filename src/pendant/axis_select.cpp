#include "pendant/axis_select.h"

#include "diag/alert.h"
#include "diag/log.h"
#include "plugin/host_binding.h"

AxisSelectState axisSelectState;

namespace {
const char kPrefix[] = "UpdateAxisSelect(): ";
}

int32_t GetMPGJogAxis() {
    for (int axis = 0; axis < HostCode::kAxisCount; ++axis) {
        const int16_t led = static_cast<int16_t>(HostCode::LedMpgAxisFirst + axis);
        if (host.callbacks.GetLED(led) != 0) return led;
    }
    LogMsg(LOG_ERROR, "GetMPGJogAxis() unknown axis return -1");
    return -1;
}

int32_t AxisSelToJogAxis(int32_t sel) {
    if (sel >= 0 && sel < HostCode::kAxisCount) return HostCode::LedMpgAxisFirst + sel;
    LogMsg(LOG_ERROR, "AxisSelToJogAxis() unknown axissel %d return -1", sel);
    return -1;
}

void UpdateAxisSelect(int32_t sel, bool justPressed) {
    AxisSelectState& s = axisSelectState;
    if (justPressed) s.lastAxisSel = -1;
    const int32_t current = GetMPGJogAxis();
    const int32_t wanted = AxisSelToJogAxis(sel);
    if (current == -1 || wanted == -1) {
        LogMsg(LOG_ERROR, "%scannot set axis, current = %d, new = %d (%d)", kPrefix, current, wanted, sel);
        return;
    }
    if (current == wanted) {
        if (justPressed) LogMsg(LOG_DEBUG, "%sfirst time, already set", kPrefix);
        s.lastAxisSel = sel;
        return;
    }
    if (sel == s.lastAxisSel) {
        LogMsg(LOG_INFO, "%sOverriding user axis select", kPrefix);
        SetHostMessage("Pendant or front panel MPG is enabled, disable to manually change jog axis");
    }
    LogMsg(LOG_INFO, "%snew Axis Select = %d (%d), old = %d", kPrefix, wanted, sel, current);
    host.callbacks.DoButton(static_cast<int16_t>(HostCode::ButtonMpgAxisFirst + sel));
    s.lastAxisSel = sel;
}
