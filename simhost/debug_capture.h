// Reads the debug-output channel the way debug viewers do (the DBWIN buffer and its two
// events), keeping the lines this process wrote.
#pragma once
#include <windows.h>

#include <string>
#include <vector>

class DebugCapture {
public:
    DebugCapture() = default;
    ~DebugCapture();
    DebugCapture(const DebugCapture&) = delete;
    DebugCapture& operator=(const DebugCapture&) = delete;

    // Opens the channel and starts the reader thread; false if another viewer holds it.
    bool Start();
    void Stop();

    // Every line written since the last call, in order. Waits until the reader has seen all
    // lines written before this call.
    std::vector<std::string> TakeLines();

private:
    static DWORD WINAPI ReaderThread(void* self);
    void ReadLoop();

    HANDLE bufferReady_ = nullptr;
    HANDLE dataReady_ = nullptr;
    HANDLE mapping_ = nullptr;
    HANDLE flushSeen_ = nullptr;
    HANDLE thread_ = nullptr;
    const char* view_ = nullptr;
    volatile LONG stopping_ = 0;
    CRITICAL_SECTION lock_;
    bool lockReady_ = false;
    std::vector<std::string> lines_;
    unsigned flushCount_ = 0;
};
