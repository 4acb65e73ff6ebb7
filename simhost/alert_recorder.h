// Sees the plug-in's alert boxes. The plug-in's import of MessageBoxA is pointed at a recorder
// that keeps each box's text, caption and style; boxes can be held open until the host (or a
// test) closes them, and can still be shown for real (under a display) after being recorded.
// Its import of CreateThread is counted too, so the host knows how many boxes are on their way.
#pragma once
#include <windows.h>

#include <string>
#include <vector>

struct AlertBox {
    std::string text;
    std::string caption;
    unsigned style;
    DWORD threadId;
};

class AlertRecorder {
public:
    AlertRecorder();
    ~AlertRecorder();
    AlertRecorder(const AlertRecorder&) = delete;
    AlertRecorder& operator=(const AlertRecorder&) = delete;

    // Points the module's MessageBoxA and CreateThread imports at the recorder; false if it
    // has none.
    bool Install(HMODULE plugin);

    // While held, boxes stay open (their threads wait) until CloseOpenBoxes.
    void HoldBoxesOpen(bool hold);
    void CloseOpenBoxes();
    // After recording, show the box for real as well.
    void ShowRealBoxes(bool show);

    // Waits until at least count boxes have been opened since the last Take (or the timeout).
    bool WaitForBoxes(size_t count, DWORD timeoutMs = 10000);
    // Waits until every box thread the plug-in has started so far has opened its box.
    bool WaitForRaisedBoxes(DWORD timeoutMs = 10000);
    // The boxes opened since the last call, in the order they opened.
    std::vector<AlertBox> Take();
    // Boxes whose threads have not returned yet.
    int OpenBoxes() const;
    // Box threads the plug-in has started, all time.
    long Raised() const { return started_; }
    // Waits until every box thread the plug-in started has ended (boxes must not be held).
    bool WaitForBoxThreadsToEnd(DWORD timeoutMs = 10000);

private:
    static int WINAPI RecordMessageBox(HWND owner, LPCSTR text, LPCSTR caption, UINT style);
    static HANDLE WINAPI CountCreateThread(LPSECURITY_ATTRIBUTES security, SIZE_T stack,
                                           LPTHREAD_START_ROUTINE start, LPVOID parameter, DWORD flags,
                                           LPDWORD threadId);
    bool WaitUntil(size_t recordedAtLeast, DWORD timeoutMs);
    int Record(HWND owner, LPCSTR text, LPCSTR caption, UINT style);

    mutable CRITICAL_SECTION lock_;
    HANDLE opened_;  // auto-reset: a box was opened
    HANDLE closeAll_;  // manual-reset: set while boxes may close
    std::vector<HANDLE> boxThreads_;  // our own handles to the box threads, until they end
    std::vector<AlertBox> boxes_;
    volatile LONG open_ = 0;
    volatile LONG started_ = 0;  // box threads the plug-in started
    size_t recorded_ = 0;        // boxes opened, all time
    size_t taken_ = 0;           // boxes handed out by Take
    bool showReal_ = false;
};
