// The module's application object: its title (the module's file base name) and start-up.
#pragma once

#include <windows.h>

#include <string>

// Windows Sockets start-up: true when the version the module needs is available.
typedef bool (*SocketStartupFn)();
// Shows a message box, as MessageBoxA does.
typedef int(WINAPI* MessageBoxFn)(HWND owner, LPCSTR text, LPCSTR caption, UINT type);

class PluginApp {
public:
    PluginApp();
    ~PluginApp();
    PluginApp(const PluginApp&) = delete;
    PluginApp& operator=(const PluginApp&) = delete;

    // Runs when the module is attached: takes the module's names, then checks the socket
    // start-up; a failure is shown in a box and refuses the load (false).
    bool InitInstance(HMODULE module, SocketStartupFn startSockets, MessageBoxFn showBox);
    // Runs when the module is detached, also after a refused load.
    void ExitInstance();

    // The module's file base name, also the application title.
    const char* Title() const { return appName_.c_str(); }
    HMODULE Module() const { return module_; }

private:
    std::string appName_;
    HMODULE module_ = nullptr;
    bool socketsStarted_ = false;
};

// Windows Sockets 1.1 start-up, the module's load condition.
bool StartWindowsSockets();

// A full module path cut as the application framework names an application: at the extension
// that PathFindExtension finds, then to the file name that PathFindFileName finds.
std::string ModuleBaseNameOf(const char* modulePath);

extern PluginApp thePluginApp;
