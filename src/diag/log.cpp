#include "diag/log.h"

#include <cstdarg>
#include <cstdio>
#include <cstring>

#include "platform/platform.h"

LogState logState;

namespace {
const char* const kLevelNames[] = {"OFF", "SYSTEM", "ERROR", "WARNING", "INFO", "DEBUG", "ALL"};
constexpr int32_t kLevelCount = sizeof(kLevelNames) / sizeof(kLevelNames[0]);

bool IsValidLevel(int32_t level) { return level >= 0 && level < kLevelCount; }

// The current level only ever takes valid values; "?" keeps a null out of the format all the same.
const char* CurrentLevelName() {
    const char* name = IsValidLevel(logState.logLevel) ? kLevelNames[logState.logLevel] : nullptr;
    return name != nullptr ? name : "?";
}
}  // namespace

const char* LogLevelName(int32_t level) { return IsValidLevel(level) ? kLevelNames[level] : nullptr; }

void LogWrite(int32_t level, const char* format, ...) {
    const char* levelName = LogLevelName(level);
    if (levelName == nullptr) return;  // a line without a true level name is never written

    TimeOfDay now;
    PlatformTimeOfDay(&now);
    char clock[16];
    snprintf(clock, sizeof clock, "%02d:%02d:%02d", now.hour, now.minute, now.second);

    char line[kLogLineSize];
    snprintf(line, kLogLineSize, "%s.%03d [%s][%s]: ", clock, now.millisecond, kLogTag, levelName);
    const size_t headerLength = strlen(line);

    va_list args;
    va_start(args, format);
    vsnprintf(line + headerLength, kLogLineSize - headerLength, format, args);
    va_end(args);

    // The cut mark: a line of 1022 characters or more ends in '#' at 1022.
    line[kLogLineSize - 2] = '#';
    line[kLogLineSize - 1] = '\0';
    PlatformDebugOutput(line);
}

void LogStart(int32_t level) {
    const bool valid = IsValidLevel(level);
    if (valid) logState.logLevel = level;
    logState.logEnabled = true;
    LogMsg(LOG_SYSTEM, "PlugIn log started, level '%s', *RELEASE VERSION*", CurrentLevelName());
    if (!valid) LogMsg(LOG_SYSTEM, "ERROR: Initial debug level %d is invalid, ignored", level);
}

void LogStop() { logState.logEnabled = false; }

int32_t LogGetLevel() { return logState.logLevel; }

void LogSetLevel(int32_t level) {
    if (!IsValidLevel(level)) {
        LogMsg(LOG_SYSTEM, "ERROR: New debug level of %d is invalid, ignored", level);
        return;
    }
    // Written before the change, so the old level decides whether it shows.
    LogMsg(LOG_SYSTEM, "Debug level changed from '%s' to '%s'", CurrentLevelName(), kLevelNames[level]);
    logState.logLevel = level;
}
