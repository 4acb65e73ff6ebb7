// Watches the host's thread for the plug-in's configuration dialog while the host's Config call
// runs, and closes it the way an operator does: Return on its default button.
#pragma once
#include <windows.h>

#include <string>

class ConfigDialogWatch {
public:
    enum Mode {
        CloseAtOnce,    // Return is pressed as soon as the dialog is shown
        WaitForClose,   // the dialog stays until PressReturn is called from another thread
    };

    // Installs the watch on the calling thread, the one that will call Config.
    explicit ConfigDialogWatch(Mode mode);
    ~ConfigDialogWatch();
    ConfigDialogWatch(const ConfigDialogWatch&) = delete;
    ConfigDialogWatch& operator=(const ConfigDialogWatch&) = delete;

    // From another thread: waits until the dialog is shown, then has it painted. False when
    // giveUp (an event, may be null) is signalled first, or the time runs out.
    bool WaitShown(HANDLE giveUp, DWORD milliseconds);
    // From any thread: presses Return in the dialog.
    void PressReturn();

    bool shown() const { return window_ != nullptr; }
    // The caption the dialog had when it was shown.
    const std::string& caption() const { return caption_; }
    HWND window() const { return window_; }

private:
    static LRESULT CALLBACK HookProc(int code, WPARAM wParam, LPARAM lParam);

    Mode mode_;
    HHOOK hook_ = nullptr;
    HANDLE shownEvent_ = nullptr;
    HWND window_ = nullptr;
    std::string caption_;
};
