#include "plugin/notify.h"

#include "diag/log.h"
#include "pendant/mpg_config.h"
#include "pendant/plugin_state.h"

namespace {
struct NotifyLabel {
    const char* label;  // nullptr: the code has no row of its own
    const char* remark;
    int32_t level;
};

// Codes -1 to 15, in order; 12 and 13 have no row.
const NotifyLabel kLabels[] = {
    {"-1", "** SYSTEM SHUTDOWN ** Ignored", LOG_INFO},
    {"EX_DDA [should not get this]", "Ignored", LOG_WARNING},
    {"EX_VMS [should not get this]", "Ignored", LOG_WARNING},
    {"EX_COMMAND [should not get this]", "Ignored", LOG_WARNING},
    {"EX_SPINON", "Ignored", LOG_INFO},
    {"EX_SPINOFF", "Ignored", LOG_INFO},
    {"EX_SPINSPEED", "Ignored", LOG_INFO},
    {"EX_MOTORTUNED", "Ignored", LOG_INFO},
    {"EX_SETUP", "Ignored", LOG_INFO},
    {"EX_FEEDHOLD", "Ignored", LOG_INFO},
    {"EX_RUN", "Ignored", LOG_INFO},
    {"EX_ESTOP", "Ignored", LOG_INFO},
    {"EX_CONFIG", "Ignored", LOG_INFO},
    {nullptr, nullptr, 0},
    {nullptr, nullptr, 0},
    {"UNDOC_MSG_SHUTDOWN_0x0E", "ignored, not shutdown? Can be sent after Home/Limits dialog", LOG_INFO},
    {"UNDOC_0x0F", "could be 'zero axis' or change axis position', ignored", LOG_INFO},
};
constexpr int32_t kFirstLabelledCode = -1;
constexpr int32_t kLastLabelledCode = 15;
constexpr int32_t kGeneralStop = 65535;
constexpr int32_t kUndocShutdown = 0x12000E;

void LogUnknown(int32_t code) {
    LogMsg(LOG_WARNING, "myNotify( 0x%X ) Unknown Message", static_cast<unsigned>(code));
}
}  // namespace

void myNotify(int32_t code) {
    if (code > kGeneralStop) {
        if (code == kUndocShutdown) {
            LogMsg(LOG_INFO, "myNotify( UNDOC SHUTDOWN 0x%X ), MAYBE SHOULD BE calling myCleanUp()",
                   static_cast<unsigned>(code));
        } else {
            LogUnknown(code);
        }
        return;
    }
    if (code == kGeneralStop) {
        LogMsg(LOG_INFO, "myNotify( %s ) %s", "UNDOC_MSG_GENERALSTOP", "Ignored");
        return;
    }
    if (code < kFirstLabelledCode || code > kLastLabelledCode || kLabels[code - kFirstLabelledCode].label == nullptr) {
        LogUnknown(code);
        return;
    }
    if (code == EX_CONFIG && pluginState.postInitCalled) {
        LogMsg(LOG_INFO, "myNotify( %s ) %s", "EX_CONFIG", "forcing MPG1 config");
        ForceMPGConfig();
        return;
    }
    const NotifyLabel& row = kLabels[code - kFirstLabelledCode];
    LogMsg(row.level, "myNotify( %s ) %s", row.label, row.remark);
}
