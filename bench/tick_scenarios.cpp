#include "tick_scenarios.h"

#include <cstdlib>
#include <new>

#include "diag/log.h"
#include "fake_platform.h"
#include "hostlink/object_model.h"
#include "pendant/plugin_state.h"
#include "pendant/update_cycle.h"
#include "plugin/host_binding.h"

namespace {
unsigned long long heapAllocations = 0;
constexpr int kEngagedByte = 0x88;  // enable, axis selector 0, increment selector 1 (x10)
}  // namespace

extern "C" {
void* __real_malloc(size_t size);
void* __real_calloc(size_t count, size_t size);
void* __real_realloc(void* block, size_t size);
void* __wrap_malloc(size_t size) {
    ++heapAllocations;
    return __real_malloc(size);
}
void* __wrap_calloc(size_t count, size_t size) {
    ++heapAllocations;
    return __real_calloc(count, size);
}
void* __wrap_realloc(void* block, size_t size) {
    ++heapAllocations;
    return __real_realloc(block, size);
}
}

void* operator new(size_t size) {
    void* block = __wrap_malloc(size == 0 ? 1 : size);
    if (block == nullptr) throw std::bad_alloc();
    return block;
}
void operator delete(void* block) noexcept { free(block); }
void operator delete(void* block, size_t) noexcept { free(block); }

unsigned long long HeapAllocations() { return heapAllocations; }

TickScenario::TickScenario(TickPath path) : path_(path) {
    ResetPluginState();
    host_.ConfigureForBoard(0x278);
    BindHost(host_);
    LogStart(LOG_SYSTEM);  // the level a host runs with: every engine line is filtered
    host_.recordCalls = false;
    fakePlatform.steadyPortByte = kEngagedByte;
    fakePlatform.recordPortAddresses = false;
    pluginState.init = path != TickPath::NotRunning;
    for (int i = 0; i < 8; ++i) myUpdate();  // first tick, change filter, press, switch to MPG

    host_.recordCalls = true;
    myUpdate();
    steadyCalls_ = host_.calls;
    host_.calls.clear();
    host_.recordCalls = false;
    fakePlatform.lines.clear();
    fakePlatform.alerts.clear();
}

void TickScenario::Tick() {
    if (path_ == TickPath::Change) host_.dro[HostCode::DroJogIncrement] = 0.5;
    myUpdate();
}

void TickScenario::BaselineTick() {
    (void)HostIo::EStop::Read(host.ioRecord);
    (void)HostIo::Port2Enabled::Read(host.ioRecord);
    (void)HostIo::Port2PinsAsInputs::Read(host.ioRecord);
    const uint16_t address = HostIo::Port2Address::Read(host.ioRecord);
    for (int i = 0; i < 3; ++i) (void)ReadPortByte(address);
    for (const HostCall& call : steadyCalls_) {
        switch (call.kind) {
            case HostCall::GetLED: (void)host.callbacks.GetLED(call.code); break;
            case HostCall::DoButton: host.callbacks.DoButton(call.code); break;
            case HostCall::GetDRO: (void)host.callbacks.GetDRO(call.code); break;
            case HostCall::SetDRO: host.callbacks.SetDRO(call.code, call.value); break;
        }
    }
}
