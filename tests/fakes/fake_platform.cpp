#include "fake_platform.h"

#include <cstdlib>

#include "diag/log.h"
#include "hostlink/object_model.h"
#include "pendant/axis_select.h"
#include "pendant/inc_select.h"
#include "pendant/pendant_controller.h"
#include "pendant/plugin_state.h"
#include "host_state.h"
#include "plugin/host_binding.h"

FakePlatform fakePlatform;

void PlatformDebugOutput(const char* line) { fakePlatform.lines.emplace_back(line); }

void PlatformTimeOfDay(TimeOfDay* now) {
    ++fakePlatform.clockReads;
    *now = fakePlatform.clock;
}

void PlatformPresentAlert(char* text) {
    fakePlatform.alerts.emplace_back(text);
    free(text);
}

const char* PlatformModuleBaseName() { return fakePlatform.moduleBaseName.c_str(); }

int32_t Mach3ObjectModelStartup() {
    ++fakePlatform.startupCalls;
    return fakePlatform.startupStatus;
}

void Mach3ObjectModelShutdown() { ++fakePlatform.shutdownCalls; }

int32_t ReadPortByte(uint16_t address) {
    ++fakePlatform.portReads;
    if (fakePlatform.recordPortAddresses) fakePlatform.portAddresses.push_back(address);
    if (fakePlatform.portBytes.empty()) return fakePlatform.steadyPortByte;
    const int32_t value = fakePlatform.portBytes.front();
    fakePlatform.portBytes.pop_front();
    return value;
}

std::vector<std::string> LogLinesWithoutTime() {
    std::vector<std::string> out;
    for (const std::string& line : fakePlatform.lines) out.push_back(line.size() > 13 ? line.substr(13) : line);
    return out;
}

void ResetPluginState() {
    fakePlatform = FakePlatform{};
    logState = LogState{};
    pluginState = PluginState{};
    pendantState = PendantState{};
    axisSelectState = AxisSelectState{};
    incSelectState = IncSelectState{};
    host = HostBinding{};
}

void BindHost(HostState& state) {
    simHost = &state;
    host.callbacks = HostCallbacks{SimGetLED, SimSetLED, SimDoButton, SimGetDRO, SimSetDRO, SimCode, SimGetMenuRange};
    host.ioRecord = state.ioRecord.data();
    host.motionRecord = state.motionRecord.data();
}
