#include "pendant/inc_select.h"

#include "diag/alert.h"
#include "diag/log.h"
#include "plugin/host_binding.h"

IncSelectState incSelectState;

namespace {
const char kPrefix[] = "UpdateIncSelect(): ";
constexpr int32_t kSelectorCount = 3;

// Indexed by selector + 3 * unit flag: millimetres first, then inches.
const double kIncrements[2 * kSelectorCount] = {0.01, 0.1, 1.0, 0.001, 0.01, 0.1};
const char* const kSelectorNames[kSelectorCount] = {"x1", "x10", "x100"};
const char* const kUnitNames[2] = {"mm", "inches"};
}  // namespace

void UpdateIncSelect(int32_t sel, bool justPressed) {
    IncSelectState& s = incSelectState;
    if (justPressed) s.lastIncSel = -1;
    if (sel < 0 || sel >= kSelectorCount) {
        LogMsg(LOG_ERROR, "%sInvalid Increment Select value %d", kPrefix, sel);
        return;
    }
    const int inches = host.callbacks.GetLED(HostCode::LedUnitsInches) != 0 ? 1 : 0;
    const int m = host.callbacks.GetLED(HostCode::Led802) != 0 ? 1 : 0;
    const double current = host.callbacks.GetDRO(HostCode::DroJogIncrement);
    const double wanted = kIncrements[sel + kSelectorCount * inches];

    // Exact comparison: the table value is written unchanged, so a host that keeps it reads it
    // back equal; any NaN compares unequal and is replaced.
    if (current == wanted) {
        if (justPressed) LogMsg(LOG_DEBUG, "%sfirst time, already set", kPrefix);
        s.lastIncSel = sel;
        return;
    }
    if (sel == s.lastIncSel) {
        LogMsg(LOG_INFO, "%sOverriding user inc select", kPrefix);
        SetHostMessage("Pendant or front panel MPG is enabled, disable to manually change jog increment");
    }
    LogMsg(LOG_INFO, "%sIncrement Select set to %01.3f (%s) %s (i=%d, m=%d), old = %01.3f", kPrefix, wanted,
           kSelectorNames[sel], kUnitNames[inches], inches, m, current);
    host.callbacks.SetDRO(HostCode::DroJogIncrement, wanted);
    s.lastIncSel = sel;
}
