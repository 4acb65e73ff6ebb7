#include "window_view.h"

#include <cstring>

namespace {
const char kDialogClass[] = "#32770";

// The one wait in progress. It outlives every wait: a hook procedure already running on the
// watched thread may still read it after the wait has given up.
struct DialogWait {
    std::string caption;
    HANDLE shown = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    HWND window = nullptr;  // set once, by the first matching dialog
    volatile LONG watching = 0;
};
DialogWait dialogWait;

bool IsDialogCaptioned(HWND window, const std::string& caption) {
    char className[32] = {};
    GetClassNameA(window, className, sizeof className);
    return strcmp(className, kDialogClass) == 0 && WindowCaption(window) == caption;
}

// Runs on the watched thread: a dialog is activated when it is shown, its caption already set.
LRESULT CALLBACK WatchActivation(int code, WPARAM wParam, LPARAM lParam) {
    HWND window = reinterpret_cast<HWND>(wParam);
    if (code == HCBT_ACTIVATE && dialogWait.watching != 0 && IsDialogCaptioned(window, dialogWait.caption) &&
        InterlockedCompareExchangePointer(reinterpret_cast<void* volatile*>(&dialogWait.window), window, nullptr) ==
            nullptr) {
        SetEvent(dialogWait.shown);
    }
    return CallNextHookEx(nullptr, code, wParam, lParam);
}

struct ThreadSearch {
    const std::string* caption;
    HWND found;
};

BOOL CALLBACK FindShownDialog(HWND window, LPARAM search) {
    auto* s = reinterpret_cast<ThreadSearch*>(search);
    if (!IsWindowVisible(window) || !IsDialogCaptioned(window, *s->caption)) return TRUE;
    s->found = window;
    return FALSE;
}
}  // namespace

HWND WaitForThreadDialog(DWORD threadId, const std::string& caption, DWORD timeoutMs) {
    dialogWait.caption = caption;
    dialogWait.window = nullptr;
    ResetEvent(dialogWait.shown);
    InterlockedExchange(&dialogWait.watching, 1);
    HHOOK hook = SetWindowsHookExA(WH_CBT, WatchActivation, nullptr, threadId);
    // A dialog shown before the hook was in place is already on screen.
    ThreadSearch search{&caption, nullptr};
    EnumThreadWindows(threadId, FindShownDialog, reinterpret_cast<LPARAM>(&search));
    HWND window = search.found;
    if (window == nullptr && hook != nullptr && WaitForSingleObject(dialogWait.shown, timeoutMs) == WAIT_OBJECT_0) {
        window = dialogWait.window;
    }
    if (hook != nullptr) UnhookWindowsHookEx(hook);
    InterlockedExchange(&dialogWait.watching, 0);
    return window;
}

std::string WindowCaption(HWND window) {
    char caption[512] = {};
    GetWindowTextA(window, caption, sizeof caption);
    return caption;
}

namespace {
BOOL CALLBACK AddStaticText(HWND child, LPARAM texts) {
    char className[32] = {};
    GetClassNameA(child, className, sizeof className);
    if (_stricmp(className, "Static") == 0) {
        std::vector<char> text(GetWindowTextLengthA(child) + 1);
        GetWindowTextA(child, text.data(), static_cast<int>(text.size()));
        reinterpret_cast<std::vector<std::string>*>(texts)->push_back(text.data());
    }
    return TRUE;
}
}  // namespace

std::vector<std::string> StaticTexts(HWND window) {
    std::vector<std::string> texts;
    EnumChildWindows(window, AddStaticText, reinterpret_cast<LPARAM>(&texts));
    return texts;
}

void PaintWindowNow(HWND window) {
    RedrawWindow(window, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_FRAME | RDW_UPDATENOW | RDW_ALLCHILDREN);
    GdiFlush();
}

void PressReturnIn(HWND window) {
    if (window != nullptr) PostMessageA(window, WM_KEYDOWN, VK_RETURN, 0);
}
