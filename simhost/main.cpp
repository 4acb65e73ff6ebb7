// The main job: the plug-in running inside the simulated host, playing a pendant session and
// showing, tick by tick, what the operator sees at the machine.
//   simhost [--log] [--machine] [--record FILE] [session-file]
//   simhost --interactive [--record FILE]   (commands on stdin, machine lines on stdout)
#include <fcntl.h>
#include <io.h>

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
}  // namespace

int main(int argc, char** argv) {
    _setmode(_fileno(stdout), _O_BINARY);  // plain line ends for the Unix programs that read it
    SessionOptions options;
    bool interactive = false;
    const char* recordPath = nullptr;
    const char* sessionPath = kDefaultSession;
    for (int i = 1; i < argc; ++i) {
        if (strcmp(argv[i], "--log") == 0) {
            options.showLog = true;
        } else if (strcmp(argv[i], "--machine") == 0) {
            options.machineLines = true;
        } else if (strcmp(argv[i], "--interactive") == 0) {
            interactive = options.machineLines = true;
        } else if (strcmp(argv[i], "--record") == 0 && i + 1 < argc) {
            recordPath = argv[++i];
        } else {
            sessionPath = argv[i];
        }
    }
    std::string text;
    std::vector<SessionCommand> commands;
    std::string error;
    if (interactive) {
        // no session file: the commands come from stdin
    } else if (!ReadFile(sessionPath, &text)) {
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
    host.InitControl();
    options.profilePath = host.MakeDemoProfile();
    const std::string title = host.SetProName(options.profilePath);
    // The host's automation object model is running before the plug-in connects to it.
    if (!host.objectModel.Start()) fprintf(stderr, "simhost: %s\n", host.objectModel.error().c_str());
    const int connection = host.PostInitControl();

    SessionPlayer player(host, stdout, options);
    player.ShowStartUp(title, connection);
    if (recordPath != nullptr && !player.StartRecording(recordPath)) {
        fprintf(stderr, "simhost: cannot write the trace file %s\n", recordPath);
        return 2;
    }
    bool played = true;
    if (interactive) {
        player.PlayInteractive(stdin);
    } else {
        played = player.Play(commands);
        if (!played) fprintf(stderr, "simhost: %s: %s\n", sessionPath, player.error().c_str());
    }
    player.StopRecording();

    host.StopPlug();
    player.ShowShutDown();
    host.alerts.CloseOpenBoxes();
    host.Unload();
    return played ? 0 : 1;
}
