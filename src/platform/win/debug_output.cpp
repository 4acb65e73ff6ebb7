#include <windows.h>

#include "platform/platform.h"

void PlatformDebugOutput(const char* line) { OutputDebugStringA(line); }

void PlatformTimeOfDay(TimeOfDay* now) {
    SYSTEMTIME local;
    GetLocalTime(&local);
    now->hour = local.wHour;
    now->minute = local.wMinute;
    now->second = local.wSecond;
    now->millisecond = local.wMilliseconds;
}
