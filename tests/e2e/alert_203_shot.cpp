// Alert 203 as an operator meets it, for window_shot.sh: the real DLL, connected to the host's
// object model, reads a board that has lost power (0x00: enable off, axis selector 0) and shows
// its invalid-data alert as a real message box. Once the box is on screen and painted this
// prints "shown <caption>", waits for a line on its input (the screenshot is taken meanwhile),
// then presses Return in the box. Exits 0 when the box read the alert's full text under the
// plug-in's title, its thread ended once it was closed, the host's ticks went on meanwhile, and
// RESET with the board back brought the plug-in back.
#include <windows.h>

#include <cstdio>
#include <string>
#include <vector>

#include "profile_files.h"
#include "sim_host.h"
#include "window_view.h"

namespace {
const char kCaption[] = "QUORVAN-9";
const char kAlert203[] =
    "Error(203):\n"
    "QUORVAN-9 Plug-In got invalid data from the QUORVAN-9 board.\n"
    "Possible causes are that the board is not plugged into the parallel port,\n"
    "the QUORVAN-9 board is not powered on,\n"
    "or that the port address is mis-configured in Mach.\n"
    "\n"
    "The QUORVAN-9 Plug-In has been disabled.\n"
    "Please correct the problem and click on the Mach3 'RESET' button\n"
    "to re-enable the plug-in.\n"
    "\n"
    "See the QUORVAN-9 Plug-In Release Notes\n"
    "for more information.";
const char kInvalidDataLine[] = "[QUORVAN-9][ERROR]: Read invalid raw data 0x00, presume card unplugged";
const char kReEnabled[] = "QUORVAN-9 Plug-In is re-enabled";
const DWORD kWindowDeadlineMs = 60000;

int failures = 0;

void Check(bool ok, const std::string& what) {
    printf("%s: %s\n", ok ? "ok" : "FAIL", what.c_str());
    fflush(stdout);
    if (!ok) ++failures;
}

// The text with its line ends shown, for a one-line report.
std::string OneLine(const std::string& text) {
    std::string line;
    for (char c : text) line += c == '\n' ? std::string("\\n") : std::string(1, c);
    return line;
}

void Ticks(SimHost& sim, int count) {
    for (int i = 0; i < count; ++i) sim.Tick();
}

bool LogHas(const std::vector<std::string>& log, const std::string& wanted) {
    for (const std::string& line : log) {
        if (line == wanted) return true;
    }
    return false;
}
}  // namespace

int main() {
    TempFolder folder;
    SimHost sim;
    sim.state.ConfigureForBoard(0x278);
    if (!folder.ok() || !sim.Load()) {
        printf("cannot start the host: %s\n", sim.error().c_str());
        return 1;
    }
    sim.InitControl();
    sim.SetProName(folder.CopyHostProfile());
    if (!sim.objectModel.Start()) {
        printf("cannot start the host's object model: %s\n", sim.objectModel.error().c_str());
        return 1;
    }
    Check(sim.PostInitControl() == 0, "the plug-in connected to the host's object model");
    sim.alerts.ShowRealBoxes(true);

    // The board at rest: the plug-in runs and raises nothing.
    sim.state.boardByte = 0x07;
    Ticks(sim, 3);
    Check(sim.alerts.WaitForRaisedBoxes() && sim.alerts.Take().empty(), "no alert while the board is at rest");
    sim.TakeLog();

    // The board loses power: every input reads low. The second tick confirms the byte.
    sim.state.boardByte = 0x00;
    Ticks(sim, 2);
    const bool raised = sim.alerts.WaitForBoxes(1);
    const std::vector<AlertBox> boxes = sim.alerts.Take();
    Check(raised && boxes.size() == 1, "one alert box raised by the unplugged board");
    if (boxes.size() != 1) {
        sim.Unload();
        return 1;
    }
    const AlertBox& box = boxes[0];
    Check(box.text == kAlert203 && box.caption == kCaption && box.style == 0x30u,
          "the plug-in asked for alert 203 with its title and the warning style");
    Check(LogHas(sim.TakeLog(), kInvalidDataLine), std::string("log: ") + kInvalidDataLine);
    HANDLE boxThread = OpenThread(SYNCHRONIZE, FALSE, box.threadId);

    HWND window = WaitForThreadDialog(box.threadId, kCaption, kWindowDeadlineMs);
    Check(window != nullptr, "the real box came on screen");
    if (window == nullptr) {
        sim.Unload();
        return 1;
    }
    PaintWindowNow(window);
    const std::string caption = WindowCaption(window);
    const std::vector<std::string> texts = StaticTexts(window);
    std::string shownText;
    for (const std::string& text : texts) {
        if (!text.empty()) shownText = text;
    }
    printf("shown %s\n", caption.c_str());
    fflush(stdout);
    Check(caption == kCaption, "window caption '" + caption + "'");
    Check(shownText == kAlert203, "window text '" + OneLine(shownText) + "'");

    // The box on screen does not hold up the host: its ticks go on, the disabled plug-in reads
    // no more and raises nothing further.
    const int readsBefore = sim.state.portReads;
    Ticks(sim, 20);
    const bool noFurtherAlert = sim.alerts.WaitForRaisedBoxes() && sim.alerts.Take().empty();
    Check(sim.state.portReads == readsBefore && noFurtherAlert && IsWindowVisible(window),
          "20 ticks with the box open: no port read, no further alert, the box still shown");

    char line[64];
    if (fgets(line, sizeof line, stdin) == nullptr) {
        // No one to take the picture: close the box all the same.
    }
    PressReturnIn(window);
    const bool ended = boxThread != nullptr && WaitForSingleObject(boxThread, kWindowDeadlineMs) == WAIT_OBJECT_0;
    if (boxThread != nullptr) CloseHandle(boxThread);
    Check(ended && !IsWindow(window) && sim.alerts.OpenBoxes() == 0, "Return closed the box and its thread ended");

    // The operator plugs the board back in and presses RESET: the plug-in runs again.
    sim.state.boardByte = 0x07;
    sim.state.SetIo<HostIo::EStop>(1);
    sim.Tick();
    sim.state.SetIo<HostIo::EStop>(0);
    Ticks(sim, 3);
    Check(sim.state.MessageLine() == kReEnabled, "message line after RESET '" + sim.state.MessageLine() + "'");
    Check(sim.state.portReads > readsBefore, "the board is read again after RESET");
    Check(sim.alerts.WaitForRaisedBoxes() && sim.alerts.Take().empty(), "no alert with the board back");

    sim.StopPlug();
    sim.Unload();
    sim.objectModel.Stop();
    printf("%s\n", failures == 0 ? "alert 203 shown, read and closed" : "alert 203: checks failed");
    return failures == 0 ? 0 : 1;
}
