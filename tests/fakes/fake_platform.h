// Test doubles for the platform seam and the host object model, for the native build.
#pragma once
#include <cstdint>
#include <deque>
#include <string>
#include <vector>

#include "platform/platform.h"

struct FakePlatform {
    std::vector<std::string> lines;  // debug-output lines, whole, as written
    TimeOfDay clock{14, 3, 7, 42};
    int clockReads = 0;
    std::vector<std::string> alerts;  // complete alert texts, in the order raised
    std::string moduleBaseName = "QUORVAN-9";

    // Host object model.
    int32_t startupStatus = 0;
    int startupCalls = 0;
    int shutdownCalls = 0;
    std::deque<int32_t> portBytes;  // one per read; when empty, steadyPortByte is read
    int32_t steadyPortByte = 0x87;
    int portReads = 0;
    std::vector<uint16_t> portAddresses;
    bool recordPortAddresses = true;  // off where a test counts heap allocations
};

extern FakePlatform fakePlatform;

// Every log line without its time stamp.
std::vector<std::string> LogLinesWithoutTime();

// Puts every module-level state of the plug-in and the fakes back to how a fresh load has them.
void ResetPluginState();

struct HostState;

// Hands the plug-in a simulated host's callbacks and records, as the host's start-up does.
void BindHost(HostState& state);
