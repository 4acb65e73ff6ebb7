// The module's application object and the DLL entry that drives it: start-up on attach
// (a failed socket start-up refuses the load), shut-down on detach. Static objects are built
// by the runtime before the entry runs and destroyed after it returns from detach.
#include "shell/plugin_app.h"

#include <windows.h>
#include <winsock.h>

#include <string>

#include "platform/platform.h"

namespace {
// The module's file name without directory and extension, as the framework derives the
// application's names from it.
std::string ModuleBaseName(HMODULE module) {
    char path[MAX_PATH + 1] = {};
    const DWORD length = GetModuleFileNameA(module, path, MAX_PATH);
    std::string name(path, length < MAX_PATH ? length : MAX_PATH);
    const size_t slash = name.find_last_of("\\/:");
    if (slash != std::string::npos) name.erase(0, slash + 1);
    const size_t dot = name.find_last_of('.');
    if (dot != std::string::npos) name.erase(dot);
    return name;
}
}  // namespace

PluginApp::PluginApp() = default;
PluginApp::~PluginApp() = default;

bool PluginApp::InitInstance(HMODULE module, SocketStartupFn socketStartup) {
    appName_ = ModuleBaseName(module);
    if (!socketStartup()) {
        MessageBoxA(nullptr, "Sockets Init Failed", appName_.c_str(), MB_OK);
        return false;
    }
    return true;
}

void PluginApp::ExitInstance() { WSACleanup(); }

bool StartWindowsSockets() {
    WSADATA data;
    return WSAStartup(MAKEWORD(1, 1), &data) == 0;
}

const char* PluginAppTitle() { return thePluginApp.Title(); }

const char* PlatformModuleBaseName() { return thePluginApp.Title(); }

extern "C" BOOL WINAPI DllMain(HINSTANCE module, DWORD reason, LPVOID /*reserved*/) {
    switch (reason) {
        case DLL_PROCESS_ATTACH:
            DisableThreadLibraryCalls(module);
            return thePluginApp.InitInstance(module, StartWindowsSockets) ? TRUE : FALSE;
        case DLL_PROCESS_DETACH:
            thePluginApp.ExitInstance();
            return TRUE;
        default:
            return TRUE;
    }
}
