#include "dialog_watch.h"

#include <cstring>

#include "window_view.h"

namespace {
// The hook procedure has no context argument; one watch at a time.
ConfigDialogWatch* activeWatch = nullptr;
const char kDialogClass[] = "#32770";
const char kCaptionStart[] = "QUORVAN-9";
}  // namespace

ConfigDialogWatch::ConfigDialogWatch(Mode mode) : mode_(mode) {
    shownEvent_ = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    activeWatch = this;
    hook_ = SetWindowsHookExA(WH_CBT, HookProc, nullptr, GetCurrentThreadId());
}

ConfigDialogWatch::~ConfigDialogWatch() {
    if (hook_ != nullptr) UnhookWindowsHookEx(hook_);
    if (activeWatch == this) activeWatch = nullptr;
    if (shownEvent_ != nullptr) CloseHandle(shownEvent_);
}

// The dialog is activated when its modal loop shows it, after its caption has been set.
LRESULT CALLBACK ConfigDialogWatch::HookProc(int code, WPARAM wParam, LPARAM lParam) {
    ConfigDialogWatch* watch = activeWatch;
    if (code == HCBT_ACTIVATE && watch != nullptr && watch->window_ == nullptr) {
        HWND window = reinterpret_cast<HWND>(wParam);
        char className[32] = {};
        char caption[256] = {};
        GetClassNameA(window, className, sizeof className);
        GetWindowTextA(window, caption, sizeof caption);
        if (strcmp(className, kDialogClass) == 0 && strncmp(caption, kCaptionStart, sizeof kCaptionStart - 1) == 0) {
            watch->caption_ = caption;
            watch->window_ = window;
            if (watch->mode_ == CloseAtOnce) watch->PressReturn();
            SetEvent(watch->shownEvent_);
        }
    }
    return CallNextHookEx(nullptr, code, wParam, lParam);
}

bool ConfigDialogWatch::WaitShown(HANDLE giveUp, DWORD milliseconds) {
    const HANDLE events[2] = {shownEvent_, giveUp};
    if (WaitForMultipleObjects(giveUp != nullptr ? 2 : 1, events, FALSE, milliseconds) != WAIT_OBJECT_0) return false;
    PaintWindowNow(window_);
    return true;
}

void ConfigDialogWatch::PressReturn() { PressReturnIn(window_); }
