#include "alert_recorder.h"

#include <cstring>

namespace {
AlertRecorder* activeRecorder = nullptr;

// The import slot through which module calls functionName of dllName, or nullptr.
void** FindImportSlot(HMODULE module, const char* dllName, const char* functionName) {
    auto* base = reinterpret_cast<unsigned char*>(module);
    auto* dos = reinterpret_cast<IMAGE_DOS_HEADER*>(base);
    auto* nt = reinterpret_cast<IMAGE_NT_HEADERS*>(base + dos->e_lfanew);
    const IMAGE_DATA_DIRECTORY& imports = nt->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_IMPORT];
    if (imports.VirtualAddress == 0) return nullptr;
    for (auto* entry = reinterpret_cast<IMAGE_IMPORT_DESCRIPTOR*>(base + imports.VirtualAddress); entry->Name != 0;
         ++entry) {
        if (_stricmp(reinterpret_cast<const char*>(base + entry->Name), dllName) != 0) continue;
        auto* names = reinterpret_cast<IMAGE_THUNK_DATA*>(base + entry->OriginalFirstThunk);
        auto* slots = reinterpret_cast<IMAGE_THUNK_DATA*>(base + entry->FirstThunk);
        for (; names->u1.AddressOfData != 0; ++names, ++slots) {
            if (IMAGE_SNAP_BY_ORDINAL(names->u1.Ordinal)) continue;
            auto* byName = reinterpret_cast<IMAGE_IMPORT_BY_NAME*>(base + names->u1.AddressOfData);
            if (strcmp(reinterpret_cast<const char*>(byName->Name), functionName) == 0) {
                return reinterpret_cast<void**>(&slots->u1.Function);
            }
        }
    }
    return nullptr;
}
}  // namespace

AlertRecorder::AlertRecorder() {
    InitializeCriticalSection(&lock_);
    opened_ = CreateEventA(nullptr, FALSE, FALSE, nullptr);
    closeAll_ = CreateEventA(nullptr, TRUE, TRUE, nullptr);
    activeRecorder = this;
}

AlertRecorder::~AlertRecorder() {
    CloseOpenBoxes();
    while (open_ > 0) SwitchToThread();  // let every box thread leave the recorder first
    if (activeRecorder == this) activeRecorder = nullptr;
    CloseHandle(opened_);
    CloseHandle(closeAll_);
    for (HANDLE thread : boxThreads_) CloseHandle(thread);
    DeleteCriticalSection(&lock_);
}

namespace {
bool Redirect(HMODULE module, const char* dllName, const char* functionName, void* replacement) {
    void** slot = FindImportSlot(module, dllName, functionName);
    if (slot == nullptr) return false;
    DWORD oldProtection;
    if (!VirtualProtect(slot, sizeof *slot, PAGE_READWRITE, &oldProtection)) return false;
    *slot = replacement;
    VirtualProtect(slot, sizeof *slot, oldProtection, &oldProtection);
    return true;
}
}  // namespace

bool AlertRecorder::Install(HMODULE plugin) {
    return Redirect(plugin, "USER32.dll", "MessageBoxA", reinterpret_cast<void*>(&RecordMessageBox)) &&
           Redirect(plugin, "KERNEL32.dll", "CreateThread", reinterpret_cast<void*>(&CountCreateThread));
}

void AlertRecorder::HoldBoxesOpen(bool hold) {
    if (hold) {
        ResetEvent(closeAll_);
    } else {
        SetEvent(closeAll_);
    }
}

void AlertRecorder::CloseOpenBoxes() { SetEvent(closeAll_); }

void AlertRecorder::ShowRealBoxes(bool show) { showReal_ = show; }

bool AlertRecorder::WaitForBoxes(size_t count, DWORD timeoutMs) {
    EnterCriticalSection(&lock_);
    const size_t taken = taken_;
    LeaveCriticalSection(&lock_);
    return WaitUntil(taken + count, timeoutMs);
}

bool AlertRecorder::WaitForRaisedBoxes(DWORD timeoutMs) { return WaitUntil(static_cast<size_t>(started_), timeoutMs); }

bool AlertRecorder::WaitUntil(size_t recordedAtLeast, DWORD timeoutMs) {
    const DWORD deadline = GetTickCount() + timeoutMs;
    for (;;) {
        EnterCriticalSection(&lock_);
        const size_t have = recorded_;
        LeaveCriticalSection(&lock_);
        if (have >= recordedAtLeast) return true;
        const DWORD now = GetTickCount();
        if (static_cast<LONG>(deadline - now) <= 0) return false;
        WaitForSingleObject(opened_, deadline - now);
    }
}

std::vector<AlertBox> AlertRecorder::Take() {
    EnterCriticalSection(&lock_);
    std::vector<AlertBox> taken;
    taken.swap(boxes_);
    taken_ += taken.size();
    LeaveCriticalSection(&lock_);
    return taken;
}

bool AlertRecorder::WaitForBoxThreadsToEnd(DWORD timeoutMs) {
    EnterCriticalSection(&lock_);
    std::vector<HANDLE> threads;
    threads.swap(boxThreads_);
    LeaveCriticalSection(&lock_);
    const DWORD deadline = GetTickCount() + timeoutMs;
    bool ended = true;
    for (HANDLE thread : threads) {
        const DWORD now = GetTickCount();
        const DWORD left = static_cast<LONG>(deadline - now) > 0 ? deadline - now : 0;
        ended = WaitForSingleObject(thread, left) == WAIT_OBJECT_0 && ended;
        CloseHandle(thread);
    }
    return ended;
}

int AlertRecorder::OpenBoxes() const { return static_cast<int>(open_); }

int WINAPI AlertRecorder::RecordMessageBox(HWND owner, LPCSTR text, LPCSTR caption, UINT style) {
    return activeRecorder != nullptr ? activeRecorder->Record(owner, text, caption, style) : IDOK;
}

HANDLE WINAPI AlertRecorder::CountCreateThread(LPSECURITY_ATTRIBUTES security, SIZE_T stack,
                                              LPTHREAD_START_ROUTINE start, LPVOID parameter, DWORD flags,
                                              LPDWORD threadId) {
    HANDLE thread = CreateThread(security, stack, start, parameter, flags, threadId);
    AlertRecorder* recorder = activeRecorder;
    if (thread != nullptr && recorder != nullptr) {
        // The plug-in closes its handle at once; ours lets the host wait for the thread's end.
        HANDLE own = nullptr;
        const HANDLE process = GetCurrentProcess();
        if (DuplicateHandle(process, thread, process, &own, SYNCHRONIZE, FALSE, 0)) {
            EnterCriticalSection(&recorder->lock_);
            recorder->boxThreads_.push_back(own);
            LeaveCriticalSection(&recorder->lock_);
        }
        InterlockedIncrement(&recorder->started_);
    }
    return thread;
}

int AlertRecorder::Record(HWND owner, LPCSTR text, LPCSTR caption, UINT style) {
    InterlockedIncrement(&open_);
    EnterCriticalSection(&lock_);
    boxes_.push_back(AlertBox{text != nullptr ? text : "", caption != nullptr ? caption : "", style,
                              GetCurrentThreadId()});
    ++recorded_;
    LeaveCriticalSection(&lock_);
    SetEvent(opened_);
    int result = IDOK;
    if (showReal_) result = MessageBoxA(owner, text, caption, style);
    WaitForSingleObject(closeAll_, INFINITE);
    InterlockedDecrement(&open_);
    return result;
}
