// The main job: the plug-in running inside the simulated host, showing what the operator
// and a debug-output viewer would see.
#include <cstdio>

#include "sim_host.h"

namespace {
void ShowLog(SimHost& host) {
    for (const std::string& line : host.TakeLog()) printf("  log  | %s\n", line.c_str());
}
}  // namespace

int main(int argc, char** argv) {
    SimHost host;
    host.state.ConfigureForBoard(0x278);
    if (!host.Load(argc > 1 ? argv[1] : "")) {
        fprintf(stderr, "simhost: %s\n", host.error().c_str());
        return 1;
    }
    printf("Plug-in loaded; the host hands over its callbacks and records.\n");
    host.InitControl();
    ShowLog(host);
    printf("SetProName -> title \"%s\"\n", host.SetProName("C:\\Mach3\\Mach3Mill.xml").c_str());
    ShowLog(host);
    printf("PostInitControl -> status %d\n", host.PostInitControl());
    ShowLog(host);
    for (int tick = 0; tick < 3; ++tick) host.Tick();
    ShowLog(host);
    host.StopPlug();
    ShowLog(host);
    host.Unload();
    printf("Plug-in unloaded.\n");
    return 0;
}
