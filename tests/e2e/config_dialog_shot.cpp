// The configuration dialog as an operator sees it, for window_shot.sh: the host's Config call
// through the real DLL; once the dialog is on screen and painted this prints "shown <caption>",
// waits for a line on its input (the screenshot is taken meanwhile), then presses Return in the
// dialog. Exits 0 when the dialog read its caption and text, and Config came back with the
// dialog's result, OK.
#include <windows.h>

#include <cstdio>
#include <string>
#include <thread>
#include <vector>

#include "dialog_watch.h"
#include "profile_files.h"
#include "sim_host.h"
#include "window_view.h"

namespace {
const char kCaption[] = "QUORVAN-9 Configuration (Version 2012.05.15)";
const char kText[] = "There is no configuration required for this plug-in";
}  // namespace

int main() {
    TempFolder folder;
    SimHost sim;
    if (!folder.ok() || !sim.Load()) {
        printf("cannot start the host: %s\n", sim.error().c_str());
        return 1;
    }
    sim.InitControl();
    // The host's profile with the plug-in at DEBUG, so the dialog's result is logged.
    const std::string path = folder.path() + "Mach3Mill.xml";
    std::string profile;
    ReadFileBytes(HostProfilePath(), &profile);
    const std::string entry = "<DebugLevel>4</DebugLevel>\r\n  </QUORVAN9>";
    const size_t at = profile.find(entry);
    if (at != std::string::npos) profile.replace(at, entry.size(), "<DebugLevel>5</DebugLevel>\r\n  </QUORVAN9>");
    WriteFileBytes(path, profile);
    sim.SetProName(path);
    sim.TakeLog();

    ConfigDialogWatch watch(ConfigDialogWatch::WaitForClose);
    HANDLE configReturned = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    // What the dialog shows, read through its window while it is on screen.
    std::string shownCaption;
    std::vector<std::string> shownTexts;
    std::thread operatorAtTheMachine([&] {
        if (!watch.WaitShown(configReturned, INFINITE)) return;
        shownCaption = WindowCaption(watch.window());
        shownTexts = StaticTexts(watch.window());
        printf("shown %s\n", shownCaption.c_str());
        fflush(stdout);
        char line[64];
        if (fgets(line, sizeof line, stdin) == nullptr) {
            // No one to take the picture: close the dialog all the same.
        }
        watch.PressReturn();
    });
    sim.plugin.entry.Config();
    SetEvent(configReturned);
    operatorAtTheMachine.join();
    CloseHandle(configReturned);

    if (!watch.shown()) printf("not shown: the dialog never appeared\n");
    bool returnedOk = false;
    for (const std::string& line : sim.TakeLog()) {
        printf("log %s\n", line.c_str());
        if (line == "[QUORVAN-9][DEBUG]: After DoModal(), ret=1") returnedOk = true;
    }
    std::string after;
    ReadFileBytes(path, &after);
    const bool profileKept = after == profile;
    const bool captionOk = watch.caption() == kCaption && shownCaption == kCaption;
    const bool textOk = shownTexts == std::vector<std::string>{kText};
    printf("caption '%s', ", shownCaption.c_str());
    for (const std::string& text : shownTexts) printf("text '%s', ", text.c_str());
    printf("Config returned with OK: %s, profile unchanged: %s\n", returnedOk ? "yes" : "no",
           profileKept ? "yes" : "no");
    printf("%s: caption\n%s: text\n", captionOk ? "ok" : "FAIL", textOk ? "ok" : "FAIL");
    fflush(stdout);
    sim.StopPlug();
    sim.Unload();
    return captionOk && textOk && returnedOk && profileKept ? 0 : 1;
}
