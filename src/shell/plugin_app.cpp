// The module's application object: start-up on attach (a failed socket start-up refuses the
// load), shut-down on detach.
#include "shell/plugin_app.h"

#include <windows.h>
#include <winsock.h>
#include <shlwapi.h>

#include <string>

std::string ModuleBaseNameOf(const char* modulePath) {
    std::string path(modulePath != nullptr ? modulePath : "");
    path.push_back('\0');  // room for the cut and a writable terminator
    char* start = &path[0];
    *PathFindExtensionA(start) = '\0';
    return std::string(PathFindFileNameA(start));
}

PluginApp::PluginApp() = default;
PluginApp::~PluginApp() = default;

bool PluginApp::InitInstance(HMODULE module, SocketStartupFn startSockets, MessageBoxFn showBox) {
    module_ = module;
    char path[MAX_PATH + 1] = {};
    GetModuleFileNameA(module, path, MAX_PATH);
    appName_ = ModuleBaseNameOf(path);
    socketsStarted_ = startSockets();
    if (!socketsStarted_) {
        showBox(nullptr, "Sockets Init Failed", appName_.c_str(), MB_OK);
        return false;
    }
    return true;
}

void PluginApp::ExitInstance() {
    if (socketsStarted_) WSACleanup();
    socketsStarted_ = false;
}

bool StartWindowsSockets() {
    WSADATA data;
    return WSAStartup(MAKEWORD(1, 1), &data) == 0;
}
