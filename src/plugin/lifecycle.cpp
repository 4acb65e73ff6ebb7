#include "plugin/lifecycle.h"

#include "diag/log.h"
#include "hostlink/object_model.h"
#include "pendant/plugin_state.h"

void myInitControl() {
    LogStart(LOG_SYSTEM);
    LogMsg(LOG_INFO, "myInitControl()");
}

int32_t myPostInitControl() {
    LogMsg(LOG_INFO, "myPostInitControl()");
    pluginState.postInitCalled = true;  // before the attempt, so it holds even when it fails
    const int32_t status = Mach3ObjectModelStartup();
    if (status == 0) pluginState.init = true;
    return status;
}

void myCleanUp() {
    LogMsg(LOG_DEBUG, "myCleanUp()");
    if (pluginState.init) Mach3ObjectModelShutdown();
    LogStop();
}

void myProbe() { LogMsg(LOG_INFO, "myProbe(), ignored"); }

void myPurge(int16_t value) { LogMsg(LOG_INFO, "myPurge(%d), ignored", value); }
