// The simulated host's own state: its two records laid out as the real host's, and the
// controls the plug-in reaches through callbacks (LEDs, DROs, buttons), behaving as the
// host's jog controls do.
#pragma once
#include <cstdint>
#include <deque>
#include <string>
#include <vector>

#include "diag/host_string.h"
#include "plugin/host_binding.h"

constexpr int kCodeCount = 2048;

// One host call made by the plug-in, for checks and the per-tick view.
struct HostCall {
    enum Kind { GetLED, DoButton, GetDRO, SetDRO } kind;
    int16_t code;
    double value;
};

struct HostState {
    HostState();
    ~HostState();
    HostState(const HostState&) = delete;
    HostState& operator=(const HostState&) = delete;

    // Records, sized to hold every field the plug-in may touch.
    std::vector<unsigned char> ioRecord;
    std::vector<unsigned char> motionRecord;

    bool led[kCodeCount] = {};
    double dro[kCodeCount] = {};

    // Button 245 steps through this order of jog modes; a stuck host ignores the button.
    std::vector<int16_t> jogCycle{HostCode::LedJogContinuous, HostCode::LedJogIncremental, HostCode::LedJogMpg};
    bool jogModeStuck = false;
    bool axisButtonsStuck = false;

    // Every call the plug-in made, oldest first; cleared by whoever reads it.
    std::vector<HostCall> calls;
    bool recordCalls = true;

    // The QUORVAN-9 board on port 2, as the host's port read sees it: every read gives
    // boardByte unless scripted reads are queued (one per read; kReadFails makes that read fail).
    static constexpr int kReadFails = -1;
    int boardByte = 0x07;  // enable off, axis selector 7: a board at rest
    std::deque<int> boardReads;
    int portReads = 0;
    uint16_t lastPortAddress = 0;
    // The byte for one read of address, or kReadFails.
    int NextPortRead(uint16_t address);

    // Called from inside GetLED when set, to let a test re-enter the plug-in mid-tick.
    void (*onGetLED)(int16_t code) = nullptr;

    // The host's view.
    int16_t JogMode() const;  // lit jog-mode LED, or -1
    void SetJogMode(int16_t mode);
    int MpgAxis() const;  // 0..5, or -1
    void SetMpgAxis(int axis);
    std::string MessageLine() const;
    void SetMessageLine(const char* text);

    // Field access through the plug-in's own binding.
    template <typename Field>
    typename Field::Type Io() const { return Field::Read(ioRecord.data()); }
    template <typename Field>
    void SetIo(typename Field::Type value) { Field::Write(ioRecord.data(), value); }
    template <typename Field>
    typename Field::Type Motion() const { return Field::Read(motionRecord.data()); }
    template <typename Field>
    void SetMotion(typename Field::Type value) { Field::Write(motionRecord.data(), value); }

    // What a correctly configured host with the board on port 2 looks like.
    void ConfigureForBoard(uint16_t port2Address);
};

// The one simulated host of this process; the callbacks have no context argument.
extern HostState* simHost;

// The callbacks handed to the plug-in.
uint8_t QV_CDECL SimGetLED(int16_t code);
void QV_CDECL SimSetLED(int16_t code, uint8_t lit);
void QV_CDECL SimDoButton(int16_t code);
double QV_CDECL SimGetDRO(int16_t code);
void QV_CDECL SimSetDRO(int16_t code, double value);
void QV_CDECL SimCode(const char* code);
void QV_CDECL SimGetMenuRange(int16_t count);
