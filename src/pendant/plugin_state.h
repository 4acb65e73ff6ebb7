// The plug-in's run state and the update cycle's fields: one record, zeroed at load
// (except where noted) and never reset while the module is loaded.
#pragma once
#include <cstdint>

struct PluginState {
    // Run state.
    bool called = false;          // the update cycle has run
    bool init = false;            // the host object model is connected
    bool unplug = false;          // the board sent invalid data
    bool err = false;             // a port read failed
    bool isRunning = false;       // sampling and driving the host; only UpdateIsRunning changes it
    bool inEStop = false;         // the host's EStop as last seen
    bool postInitCalled = false;  // PostInitControl has been called

    // Update cycle.
    bool updateActive = false;  // a tick is in progress (re-entrancy guard)
    bool firstUpdate = true;    // the first tick has not run yet
    int32_t lastData = -1;      // last masked byte seen by the change filter; -1 = none yet
    bool dataChanging = false;  // a changed byte awaits a second equal sample
};

extern PluginState pluginState;
