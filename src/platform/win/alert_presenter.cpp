// Alert boxes on threads of their own. Each thread holds a reference to this module, so a
// box still open when the host unloads the plug-in keeps the code it returns into mapped;
// the thread drops that reference as its last act.
#include <windows.h>

#include <cstdlib>

#include "platform/platform.h"
#include "shell/plugin_app.h"

namespace {
constexpr UINT kAlertStyle = MB_OK | MB_ICONWARNING;  // 0x30

DWORD WINAPI AlertThread(void* parameter) {
    char* text = static_cast<char*>(parameter);
    HMODULE self = nullptr;
    GetModuleHandleExA(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                       reinterpret_cast<LPCSTR>(&AlertThread), &self);
    MessageBoxA(nullptr, text, thePluginApp.Title(), kAlertStyle);  // the application title
    free(text);
    FreeLibraryAndExitThread(self, 0);
    return 0;
}
}  // namespace

void PlatformPresentAlert(char* text) {
    HMODULE pinned = nullptr;
    if (!GetModuleHandleExA(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS, reinterpret_cast<LPCSTR>(&AlertThread), &pinned)) {
        free(text);
        return;
    }
    HANDLE thread = CreateThread(nullptr, 0, AlertThread, text, 0, nullptr);
    if (thread == nullptr) {
        free(text);
        FreeLibrary(pinned);
        return;
    }
    CloseHandle(thread);
}
