#include "pendant/jog_mode.h"

#include "diag/log.h"
#include "plugin/host_binding.h"

namespace {
const char kPrefix[] = "SetJogMode(): ";
constexpr int kMaxPresses = 4;

struct JogModeRow {
    JogMode mode;
    const char* name;
};
// In reading order: when the host lights several LEDs, the first one wins.
const JogModeRow kJogModes[] = {
    {JOG_CONTINUOUS, "Continuous"},
    {JOG_INCREMENTAL, "Incremental"},
    {JOG_MPG, "MPG"},
};
}  // namespace

const char* JogModeName(JogMode mode) {
    for (const JogModeRow& row : kJogModes) {
        if (row.mode == mode) return row.name;
    }
    return "UNKNOWN";
}

JogMode GetJogMode() {
    for (const JogModeRow& row : kJogModes) {
        if (host.callbacks.GetLED(static_cast<int16_t>(row.mode)) != 0) return row.mode;
    }
    return JOG_UNKNOWN;
}

JogMode SetJogMode(JogMode target) {
    JogMode mode = JOG_UNKNOWN;
    for (int presses = 1; presses <= kMaxPresses; ++presses) {
        host.callbacks.DoButton(HostCode::ButtonJogModeToggle);
        mode = GetJogMode();
        LogMsg(LOG_DEBUG, "%stoggle jog mode, now '%s' (%d)", kPrefix, JogModeName(mode), mode);
        if (mode == target) {
            LogMsg(LOG_DEBUG, "%sSuccess, took %d tries", kPrefix, presses);
            return mode;
        }
    }
    LogMsg(LOG_ERROR, "%scould not set jog mode, mode=%d (%s)", kPrefix, mode, JogModeName(mode));
    return mode;
}
