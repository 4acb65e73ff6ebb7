// Levelled debug log written to the debug-output channel, one call per line.
#pragma once
#include <cstdint>

enum LogLevel : int32_t {
    LOG_OFF = 0,
    LOG_SYSTEM = 1,
    LOG_ERROR = 2,
    LOG_WARNING = 3,
    LOG_INFO = 4,
    LOG_DEBUG = 5,
    LOG_ALL = 6,
};

struct LogState {
    bool logEnabled = false;
    int32_t logLevel = LOG_SYSTEM;
};

extern LogState logState;

constexpr int kLogLineSize = 1024;
constexpr const char* kLogTag = "QUORVAN-9";

#if defined(__MINGW32__)
#define QV_PRINTF(fmt, first) __attribute__((format(gnu_printf, fmt, first)))
#else
#define QV_PRINTF(fmt, first) __attribute__((format(printf, fmt, first)))
#endif

// LogMsg(level, format, ...): one line when the log is enabled and level is not above the
// current level. Both tests are made inline at the call, before anything else, so a filtered
// call costs those two tests and no call at all.
#define LogMsg(level, ...) (LogWanted(level) ? LogWrite((level), __VA_ARGS__) : (void)0)

inline bool LogWanted(int32_t level) { return logState.logEnabled && level <= logState.logLevel; }

// Writes one line that LogMsg's tests let through.
void LogWrite(int32_t level, const char* format, ...) QV_PRINTF(2, 3);
void LogStart(int32_t level);
void LogStop();
int32_t LogGetLevel();
void LogSetLevel(int32_t level);

// Name of a valid level, or nullptr for a value outside 0..6.
const char* LogLevelName(int32_t level);
