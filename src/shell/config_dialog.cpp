// The configuration dialog: there is nothing to configure, so it only says so, with the
// plug-in's version in its caption.
#include "shell/config_dialog.h"

#include <memory>
#include <string>

#include "diag/log.h"
#include "shell/config_dialog_id.h"
#include "shell/plugin_app.h"

CConfigForm::CConfigForm(HWND parent) : parent_(parent) {}

int CConfigForm::DoModal() {
    return static_cast<int>(DialogBoxParamA(thePluginApp.Module(), MAKEINTRESOURCEA(IDD_CONFIG_FORM), parent_,
                                            DialogProc, reinterpret_cast<LPARAM>(this)));
}

BOOL CConfigForm::OnInitDialog(HWND window) {
    SetWindowTextA(window, title.c_str());
    return TRUE;
}

INT_PTR CALLBACK CConfigForm::DialogProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
        case WM_INITDIALOG:
            return reinterpret_cast<CConfigForm*>(lParam)->OnInitDialog(window);
        case WM_COMMAND:
            // OK, and the dialog manager's cancel (Escape, the close box), end the dialog.
            if (LOWORD(wParam) == IDOK || LOWORD(wParam) == IDCANCEL) {
                EndDialog(window, LOWORD(wParam));
                return TRUE;
            }
            return FALSE;
        default:
            return FALSE;
    }
}

void myConfig(ProfileDocument* /*document*/) {
    LogMsg(LOG_INFO, "myConfig()");
    try {
        std::unique_ptr<CConfigForm> form(new CConfigForm(nullptr));
        form->SetTitle((std::string("QUORVAN-9 Configuration (") + "Version 2012.05.15" + ")").c_str());
        const int result = form->DoModal();
        LogMsg(LOG_DEBUG, "After DoModal(), ret=%d", result);
    } catch (...) {
        // Out of memory before the dialog opened: nothing was shown.
    }
}
