// The configuration dialog shown by the Config entry point.
#pragma once

class ProfileDocument;

#ifdef _WIN32
#include <windows.h>

#include <string>

// The modal dialog of resource IDD_CONFIG_FORM; its caption is set when it opens.
class CConfigForm {
public:
    explicit CConfigForm(HWND parent);
    CConfigForm(const CConfigForm&) = delete;
    CConfigForm& operator=(const CConfigForm&) = delete;

    void SetTitle(const char* text) { title = text; }
    // Shows the dialog on the calling thread until a button closes it; returns that button's
    // id, or -1 when the dialog cannot be made (no display, for one).
    int DoModal();

private:
    static INT_PTR CALLBACK DialogProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
    BOOL OnInitDialog(HWND window);

    HWND parent_;
    std::string title;
};
#endif

// Shows the dialog; the document is the profile Config keeps open around it, unused here.
void myConfig(ProfileDocument* document);
