// The module's application object: its title (the module's file base name) and start-up.
#pragma once

#ifdef _WIN32
#include <windows.h>

#include <string>

typedef bool (*SocketStartupFn)();

class PluginApp {
public:
    PluginApp();
    ~PluginApp();
    PluginApp(const PluginApp&) = delete;
    PluginApp& operator=(const PluginApp&) = delete;

    // Runs when the module is attached; false refuses the load.
    bool InitInstance(HMODULE module, SocketStartupFn socketStartup);
    void ExitInstance();

    const char* Title() const { return appName_.c_str(); }

private:
    std::string appName_;
};

// Windows Sockets 1.1 start-up, the module's load condition.
bool StartWindowsSockets();

extern PluginApp thePluginApp;
#endif

// The application's title, used as the caption of alert boxes.
const char* PluginAppTitle();
