#include "debug_capture.h"

#include <cstdio>
#include <cstring>

namespace {
constexpr DWORD kBufferSize = 4096;
// A line no plug-in writes: when the reader sees it, every earlier line has been read.
constexpr char kFlushMark[] = "\x01simhost-flush-";
}  // namespace

DebugCapture::~DebugCapture() { Stop(); }

bool DebugCapture::Start() {
    InitializeCriticalSection(&lock_);
    lockReady_ = true;
    bufferReady_ = CreateEventA(nullptr, FALSE, FALSE, "DBWIN_BUFFER_READY");
    if (bufferReady_ != nullptr && GetLastError() == ERROR_ALREADY_EXISTS) return false;
    dataReady_ = CreateEventA(nullptr, FALSE, FALSE, "DBWIN_DATA_READY");
    mapping_ = CreateFileMappingA(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE, 0, kBufferSize, "DBWIN_BUFFER");
    if (bufferReady_ == nullptr || dataReady_ == nullptr || mapping_ == nullptr) return false;
    view_ = static_cast<const char*>(MapViewOfFile(mapping_, FILE_MAP_READ, 0, 0, kBufferSize));
    flushSeen_ = CreateEventA(nullptr, FALSE, FALSE, nullptr);
    if (view_ == nullptr || flushSeen_ == nullptr) return false;
    thread_ = CreateThread(nullptr, 0, ReaderThread, this, 0, nullptr);
    return thread_ != nullptr;
}

void DebugCapture::Stop() {
    if (thread_ != nullptr) {
        InterlockedExchange(&stopping_, 1);
        SetEvent(dataReady_);
        WaitForSingleObject(thread_, INFINITE);
        CloseHandle(thread_);
        thread_ = nullptr;
    }
    if (view_ != nullptr) UnmapViewOfFile(view_);
    view_ = nullptr;
    for (HANDLE* handle : {&mapping_, &dataReady_, &bufferReady_, &flushSeen_}) {
        if (*handle != nullptr) CloseHandle(*handle);
        *handle = nullptr;
    }
    if (lockReady_) DeleteCriticalSection(&lock_);
    lockReady_ = false;
}

DWORD WINAPI DebugCapture::ReaderThread(void* self) {
    static_cast<DebugCapture*>(self)->ReadLoop();
    return 0;
}

void DebugCapture::ReadLoop() {
    const DWORD ownProcess = GetCurrentProcessId();
    for (;;) {
        SetEvent(bufferReady_);
        WaitForSingleObject(dataReady_, INFINITE);
        if (stopping_) return;
        DWORD writer;
        memcpy(&writer, view_, sizeof writer);
        if (writer != ownProcess) continue;
        const char* text = view_ + sizeof(DWORD);
        std::string line(text, strnlen(text, kBufferSize - sizeof(DWORD)));
        if (line.compare(0, sizeof kFlushMark - 1, kFlushMark) == 0) {
            SetEvent(flushSeen_);
            continue;
        }
        EnterCriticalSection(&lock_);
        lines_.push_back(std::move(line));
        LeaveCriticalSection(&lock_);
    }
}

std::vector<std::string> DebugCapture::TakeLines() {
    char mark[64];
    snprintf(mark, sizeof mark, "%s%u", kFlushMark, ++flushCount_);
    OutputDebugStringA(mark);
    WaitForSingleObject(flushSeen_, 10000);
    EnterCriticalSection(&lock_);
    std::vector<std::string> taken;
    taken.swap(lines_);
    LeaveCriticalSection(&lock_);
    return taken;
}
