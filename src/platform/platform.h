// The operating-system services the portable core needs. Each build links exactly one
// implementation: the Windows one in platform/win, or the test doubles of the native build.
#pragma once
#include <cstdint>

#if defined(_WIN32) && !defined(_WIN64)
#define QV_CDECL __cdecl
#else
#define QV_CDECL
#endif

struct TimeOfDay {
    int hour;
    int minute;
    int second;
    int millisecond;
};

// Debug-output channel: one whole line per call, without a line end.
void PlatformDebugOutput(const char* line);

// Local time of day with milliseconds.
void PlatformTimeOfDay(TimeOfDay* now);

// Shows a finished alert text in a modal box on a thread of its own and returns at once.
// Takes ownership of text (allocated with malloc); it is freed once the box has closed,
// or at once if the box cannot be shown.
void PlatformPresentAlert(char* text);

// The plug-in module's file name without directory and extension.
const char* PlatformModuleBaseName();
