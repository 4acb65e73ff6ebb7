// Windows of the simulated host's process as an operator meets them: a dialog found when it comes
// on screen, its caption and the texts of its static controls read through the window itself,
// and Return pressed in it. Usable from any thread of the process; the window's own thread
// answers while it runs its message loop.
#pragma once
#include <windows.h>

#include <string>
#include <vector>

// Waits until the thread shows a dialog (a message box is one) with this caption, and returns
// its window; nullptr when none comes in time. One wait at a time.
HWND WaitForThreadDialog(DWORD threadId, const std::string& caption, DWORD timeoutMs);

std::string WindowCaption(HWND window);
// The texts of the window's static controls, in their order; icons give empty texts.
std::vector<std::string> StaticTexts(HWND window);
// Has the window and its controls painted now; returns once its thread has drawn them.
void PaintWindowNow(HWND window);
// Return in a dialog: its default button.
void PressReturnIn(HWND window);
