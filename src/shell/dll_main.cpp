// The DLL entry that drives the application object. The static objects of module_objects.cpp
// are built by the runtime before the entry runs on attach and destroyed after it returns from
// detach, in reverse order.
#include <windows.h>

#include "platform/platform.h"
#include "shell/plugin_app.h"

const char* PlatformModuleBaseName() { return thePluginApp.Title(); }

extern "C" BOOL WINAPI DllMain(HINSTANCE module, DWORD reason, LPVOID /*reserved*/) {
    switch (reason) {
        case DLL_PROCESS_ATTACH:
            DisableThreadLibraryCalls(module);
            return thePluginApp.InitInstance(module, StartWindowsSockets, MessageBoxA) ? TRUE : FALSE;
        case DLL_PROCESS_DETACH:
            thePluginApp.ExitInstance();
            return TRUE;
        default:
            return TRUE;
    }
}
