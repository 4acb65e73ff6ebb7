// The main job: the plug-in running inside the simulated host, playing a pendant session and
// showing, tick by tick, what the operator sees at the machine.
//   simhost [--log] [session-file]
#include <cstdio>
#include <cstring>
#include <fstream>
#include <sstream>

#include "session.h"
#include "sim_host.h"

namespace {
const char kDefaultSession[] = "simhost/sessions/demo.session";

bool ReadFile(const char* path, std::string* text) {
    std::ifstream file(path, std::ios::binary);
    if (!file) return false;
    std::ostringstream content;
    content << file.rdbuf();
    *text = content.str();
    return true;
}

void ShowLog(SimHost& host) {
    for (const std::string& line : host.TakeLog()) printf("         |   log %s\n", line.c_str());
}
}  // namespace

int main(int argc, char** argv) {
    bool showLog = false;
    const char* sessionPath = kDefaultSession;
    for (int i = 1; i < argc; ++i) {
        if (strcmp(argv[i], "--log") == 0) {
            showLog = true;
        } else {
            sessionPath = argv[i];
        }
    }
    std::string text;
    std::vector<SessionCommand> commands;
    std::string error;
    if (!ReadFile(sessionPath, &text)) {
        fprintf(stderr, "simhost: cannot read session file %s\n", sessionPath);
        return 2;
    }
    if (!ParseSession(text, &commands, &error)) {
        fprintf(stderr, "simhost: %s: %s\n", sessionPath, error.c_str());
        return 2;
    }

    SimHost host;
    host.state.ConfigureForBoard(0x278);
    if (!host.Load()) {
        fprintf(stderr, "simhost: %s\n", host.error().c_str());
        return 1;
    }
    printf("== The host loads QUORVAN-9.dll and starts it\n");
    host.InitControl();
    const std::string title = host.SetProName(host.MakeDemoProfile());
    printf("         | plug-in title: \"%s\"\n", title.c_str());
    printf("         | object-model connection: status %d\n", host.PostInitControl());
    ShowLog(host);

    SessionPlayer player(host, stdout, showLog);
    const bool played = player.Play(commands);
    if (!played) fprintf(stderr, "simhost: %s: %s\n", sessionPath, player.error().c_str());

    printf("\n== The host stops the plug-in\n");
    host.StopPlug();
    ShowLog(host);
    host.alerts.CloseOpenBoxes();
    host.Unload();
    return played ? 0 : 1;
}
