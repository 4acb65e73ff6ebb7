// The tick paths the figures are taken on, each set up over the native host and fake port.
#pragma once
#include <vector>

#include "host_state.h"

enum class TickPath {
    NotRunning,     // disabled plug-in: EStop tracking and the gate only
    SteadyEngaged,  // pendant engaged, host already where the selectors want it
    Change,         // engaged, and the operator changes the increment by hand before every tick
};

class TickScenario {
public:
    explicit TickScenario(TickPath path);
    TickScenario(const TickScenario&) = delete;
    TickScenario& operator=(const TickScenario&) = delete;

    // One host tick of the path (for Change, the operator's edit and the tick).
    void Tick();
    // Only the host calls the steady engaged tick makes, in the same order, and nothing else.
    void BaselineTick();

private:
    TickPath path_;
    HostState host_;
    std::vector<HostCall> steadyCalls_;
};

// Heap allocations counted since the program started (malloc family and operator new).
unsigned long long HeapAllocations();
