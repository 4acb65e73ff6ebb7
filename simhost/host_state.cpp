#include "host_state.h"

#include <algorithm>

HostState* simHost = nullptr;

namespace {
// The host's shared empty string: reference count -1, never freed.
struct EmptyHostString {
    HostStringHeader header{-1, 0, 0};
    char chars[1] = {'\0'};
} emptyHostString;

bool ValidCode(int16_t code) { return code >= 0 && code < kCodeCount; }
}  // namespace

HostState::HostState()
    : ioRecord(HostIo::kMinimumSize + 64, 0), motionRecord(HostMotion::kMinimumSize + 64, 0) {
    HostMotion::MessageLine::Write(motionRecord.data(), emptyHostString.chars);
    SetJogMode(HostCode::LedJogContinuous);
    SetMpgAxis(0);
    dro[HostCode::DroJogIncrement] = 0.1;
}

HostState::~HostState() { HostStringRelease(HostString{HostMotion::MessageLine::Read(motionRecord.data())}); }

int16_t HostState::JogMode() const {
    for (int16_t mode : {HostCode::LedJogContinuous, HostCode::LedJogIncremental, HostCode::LedJogMpg}) {
        if (led[mode]) return mode;
    }
    return -1;
}

void HostState::SetJogMode(int16_t mode) {
    for (int16_t each : {HostCode::LedJogContinuous, HostCode::LedJogIncremental, HostCode::LedJogMpg}) {
        led[each] = (each == mode);
    }
}

int HostState::MpgAxis() const {
    for (int axis = 0; axis < HostCode::kAxisCount; ++axis) {
        if (led[HostCode::LedMpgAxisFirst + axis]) return axis;
    }
    return -1;
}

void HostState::SetMpgAxis(int axis) {
    for (int each = 0; each < HostCode::kAxisCount; ++each) led[HostCode::LedMpgAxisFirst + each] = (each == axis);
}

std::string HostState::MessageLine() const {
    const char* chars = HostMotion::MessageLine::Read(motionRecord.data());
    return chars != nullptr ? chars : "";
}

void HostState::SetMessageLine(const char* text) {
    HostString old{HostMotion::MessageLine::Read(motionRecord.data())};
    HostMotion::MessageLine::Write(motionRecord.data(), HostStringCreate(text).chars);
    HostStringRelease(old);
}

int HostState::NextPortRead(uint16_t address) {
    ++portReads;
    lastPortAddress = address;
    if (boardReads.empty()) return boardByte;
    const int value = boardReads.front();
    boardReads.pop_front();
    return value;
}

void HostState::ConfigureForBoard(uint16_t port2Address) {
    SetIo<HostIo::Port2Enabled>(1);
    SetIo<HostIo::Port2PinsAsInputs>(1);
    SetIo<HostIo::Port2Address>(port2Address);
    SetIo<HostIo::Mpg1Active>(1);
    SetIo<HostIo::Mpg1APort>(2);
    SetIo<HostIo::Mpg1APin>(8);
    SetIo<HostIo::Mpg1BPort>(2);
    SetIo<HostIo::Mpg1BPin>(7);
    SetMotion<HostMotion::Mpg1Steps>(4.0);
    led[HostCode::LedJogEnabled] = true;
}

uint8_t QV_CDECL SimGetLED(int16_t code) {
    if (simHost->recordCalls) simHost->calls.push_back({HostCall::GetLED, code, 0});
    if (simHost->onGetLED != nullptr) simHost->onGetLED(code);
    return ValidCode(code) && simHost->led[code] ? 1 : 0;
}

void QV_CDECL SimSetLED(int16_t code, uint8_t lit) {
    if (ValidCode(code)) simHost->led[code] = lit != 0;
}

void QV_CDECL SimDoButton(int16_t code) {
    HostState& h = *simHost;
    if (h.recordCalls) h.calls.push_back({HostCall::DoButton, code, 0});
    if (code == HostCode::ButtonJogModeToggle && !h.jogModeStuck && !h.jogCycle.empty()) {
        const auto at = std::find(h.jogCycle.begin(), h.jogCycle.end(), h.JogMode());
        const size_t next = at == h.jogCycle.end() ? 0 : (at - h.jogCycle.begin() + 1) % h.jogCycle.size();
        h.SetJogMode(h.jogCycle[next]);
    } else if (code >= HostCode::ButtonMpgAxisFirst && code < HostCode::ButtonMpgAxisFirst + HostCode::kAxisCount &&
               !h.axisButtonsStuck) {
        h.SetMpgAxis(code - HostCode::ButtonMpgAxisFirst);
    }
}

double QV_CDECL SimGetDRO(int16_t code) {
    if (simHost->recordCalls) simHost->calls.push_back({HostCall::GetDRO, code, 0});
    return ValidCode(code) ? simHost->dro[code] : 0.0;
}

void QV_CDECL SimSetDRO(int16_t code, double value) {
    if (simHost->recordCalls) simHost->calls.push_back({HostCall::SetDRO, code, value});
    if (ValidCode(code)) simHost->dro[code] = value;
}

void QV_CDECL SimCode(const char*) {}
void QV_CDECL SimGetMenuRange(int16_t) {}
