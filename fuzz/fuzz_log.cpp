// libFuzzer over the debug log line and the alert text. The formats come from a fixed table
// (the input never becomes a format); the strings, widths, precisions and numbers given to
// them, the line's level, the current level and the clock come from the input. Every line
// must be the header and the message whole when they fit in 1021 characters, and otherwise
// their first 1022 characters and '#'; a filtered call writes nothing and reads no clock;
// an alert's text is its level line, the message and the closing text, exactly, however long.
//
// Input: records until the input ends, each an op byte and the bytes it asks for:
//   op 0-15    one call of the table's format of that number: line level (signed byte),
//              alert code (32 bits), clock (hour, minute, second bytes, milliseconds 16 bits),
//              then the format's arguments: a string is a 16-bit length and its bytes, a width
//              or precision a signed 16-bit number, an integer 32 bits, a double 64 bits
//   op 16      LogSetLevel(signed byte)
//   op 17      LogStart(signed byte)
//   op 18      LogStop()
//   others     ignored
#include <cstdarg>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "diag/alert.h"
#include "diag/log.h"
#include "fake_platform.h"
#include "fuzz_check.h"
#include "trace_reader.h"

const char kFuzzSubject[] = "LOG";

namespace {

const char kClosingText[] = "\n\nSee the QUORVAN-9 Plug-In Release Notes\nfor more information.";
const char* const kLevelNames[] = {"OFF", "SYSTEM", "ERROR", "WARNING", "INFO", "DEBUG", "ALL"};

// The printf result as a string, however long.
template <typename... Args>
std::string Printf(const char* format, Args... args) {
    const int length = snprintf(nullptr, 0, format, args...);
    REQUIRE(length >= 0, "reference formatting of \"%s\" failed", format);
    std::string out(static_cast<size_t>(length) + 1, '\0');
    snprintf(&out[0], out.size(), format, args...);
    out.resize(static_cast<size_t>(length));
    return out;
}

// The line the log must write for a complete text: whole up to 1021 characters, else cut at
// 1022 with '#' as its 1023rd.
std::string CutLine(const std::string& full) {
    constexpr size_t kLongestWhole = kLogLineSize - 3;
    if (full.size() <= kLongestWhole) return full;
    return full.substr(0, kLongestWhole + 1) + "#";
}

struct Call {
    int32_t level;
    int32_t alertCode;
    TimeOfDay clock;
};

template <typename... Args>
void Check(const Call& call, const char* format, Args... args) {
    const std::string message = Printf(format, args...);

    fakePlatform.lines.clear();
    fakePlatform.clock = call.clock;
    const int clockReads = fakePlatform.clockReads;
    const bool written = logState.logEnabled && call.level >= 0 && call.level <= logState.logLevel;
    LogMsg(call.level, format, args...);
    if (!written) {
        REQUIRE(fakePlatform.lines.empty(), "line written at level %d (current %d, enabled %d)", call.level,
                logState.logLevel, logState.logEnabled);
        REQUIRE(fakePlatform.clockReads == clockReads, "a filtered call read the clock");
    } else {
        REQUIRE(fakePlatform.lines.size() == 1, "%zu lines for one call", fakePlatform.lines.size());
        const std::string header = Printf("%02d:%02d:%02d.%03d [%s][%s]: ", call.clock.hour, call.clock.minute,
                                          call.clock.second, call.clock.millisecond, "QUORVAN-9",
                                          kLevelNames[call.level]);
        const std::string& line = fakePlatform.lines.front();
        REQUIRE(line.size() <= kLogLineSize - 1, "line of %zu characters", line.size());
        const std::string full = header + message;
        REQUIRE(line == CutLine(full), "line of %zu characters for a text of %zu:\n%s", line.size(), full.size(),
                line.c_str());
        const bool cut = full.size() >= kLogLineSize - 2;
        REQUIRE(cut == (line.size() == kLogLineSize - 1 && line.back() == '#'),
                "cut mark wrong for a text of %zu characters", full.size());
    }

    fakePlatform.alerts.clear();
    ShowAlert(call.alertCode, format, args...);
    REQUIRE(fakePlatform.alerts.size() == 1, "%zu alerts for one call", fakePlatform.alerts.size());
    const std::string levelLine =
        Printf(call.alertCode < kFirstErrorAlert ? "Warning(%d):\n" : "Error(%d):\n", call.alertCode);
    REQUIRE(fakePlatform.alerts.front() == levelLine + message + kClosingText,
            "alert text of %zu characters, wanted %zu", fakePlatform.alerts.front().size(),
            levelLine.size() + message.size() + sizeof kClosingText - 1);
}

// A string argument: a 16-bit length (cut to what the input holds) and its bytes; the
// argument ends at the first NUL, as any C string does.
std::string NextString(Trace& trace) {
    size_t length = trace.U16();
    if (length > trace.Remaining()) length = trace.Remaining();
    std::string text;
    text.reserve(length);
    for (size_t i = 0; i < length; ++i) text += static_cast<char>(trace.Byte());
    return text;
}

int NextWidth(Trace& trace) { return static_cast<int16_t>(trace.U16()); }
int NextInt(Trace& trace) { return static_cast<int32_t>(trace.U32()); }

void RunFormat(Trace& trace, int which) {
    Call call;
    call.level = static_cast<int8_t>(trace.Byte());
    call.alertCode = static_cast<int32_t>(trace.U32());
    call.clock.hour = trace.Byte() % 24;
    call.clock.minute = trace.Byte() % 60;
    call.clock.second = trace.Byte() % 60;
    call.clock.millisecond = trace.U16() % 1000;

    switch (which) {
        case 0: {
            const std::string s = NextString(trace);
            Check(call, "%s", s.c_str());
            break;
        }
        case 1: {
            const int precision = NextWidth(trace);
            const std::string s = NextString(trace);
            Check(call, "%.*s", precision, s.c_str());
            break;
        }
        case 2: {
            const int width = NextWidth(trace);
            const std::string s = NextString(trace);
            Check(call, "%*s", width, s.c_str());
            break;
        }
        case 3: {
            const int width = NextWidth(trace);
            const int precision = NextWidth(trace);
            const std::string s = NextString(trace);
            Check(call, "%-*.*s|", width, precision, s.c_str());
            break;
        }
        case 4: {
            const std::string a = NextString(trace);
            const std::string b = NextString(trace);
            Check(call, "%s%s", a.c_str(), b.c_str());
            break;
        }
        case 5: {
            const std::string prefix = NextString(trace);
            Check(call, "%sInvalid Increment Select value %d", prefix.c_str(), NextInt(trace));
            break;
        }
        case 6: {
            const int width = NextWidth(trace);
            Check(call, "%*d", width, NextInt(trace));
            break;
        }
        case 7: {
            const std::string prefix = NextString(trace);
            const int data = NextInt(trace);
            Check(call, "%sData changing, ignored. New=0x%02.2x, Old=0x%02.2x", prefix.c_str(), data, NextInt(trace));
            break;
        }
        case 8: {
            const std::string prefix = NextString(trace);
            const double wanted = trace.F64();
            const std::string name = NextString(trace);
            const std::string unit = NextString(trace);
            const int i = NextInt(trace);
            const int m = NextInt(trace);
            Check(call, "%sIncrement Select set to %01.3f (%s) %s (i=%d, m=%d), old = %01.3f", prefix.c_str(), wanted,
                  name.c_str(), unit.c_str(), i, m, trace.F64());
            break;
        }
        case 9: {
            const int width = NextWidth(trace);
            const int precision = NextWidth(trace);
            Check(call, "%*.*f", width, precision, trace.F64());
            break;
        }
        case 10:
            Check(call, "myNotify( 0x%X ) Unknown Message", static_cast<unsigned>(NextInt(trace)));
            break;
        case 11: {
            const std::string prefix = NextString(trace);
            const int on = NextInt(trace);
            const int in = NextInt(trace);
            Check(call, "%sPort 2 not configured, on=%d, in=%d, add=0x%04.4x", prefix.c_str(), on, in,
                  static_cast<unsigned>(trace.U16()));
            break;
        }
        case 12: {
            // A NUL character would end the line early in any C string sink; it is not a text.
            const int c = trace.Byte();
            Check(call, "%c%c", c != 0 ? c : '0', '#');
            break;
        }
        case 13: {
            const std::string text = NextString(trace);
            Check(call, "%s#", text.c_str());
            break;
        }
        case 14: {
            const int width = NextWidth(trace);
            const std::string s = NextString(trace);
            Check(call, "%%%*s%%", width, s.c_str());
            break;
        }
        default: {
            const std::string a = NextString(trace);
            const int width = NextWidth(trace);
            const std::string b = NextString(trace);
            Check(call, "%s%*s%s", a.c_str(), width, b.c_str(), a.c_str());
            break;
        }
    }
}

// Level changes: an invalid level leaves the current one; the lines they write are lines too.
void RunLevelChange(Trace& trace, uint8_t op) {
    const int32_t level = static_cast<int8_t>(trace.Byte());
    const int32_t before = logState.logLevel;
    const bool valid = level >= 0 && level <= LOG_ALL;
    fakePlatform.lines.clear();
    if (op == 16) {
        LogSetLevel(level);
        REQUIRE(logState.logLevel == (valid ? level : before), "LogSetLevel(%d) left level %d", level,
                logState.logLevel);
    } else {
        LogStart(level);
        REQUIRE(logState.logEnabled, "LogStart left the log disabled");
        REQUIRE(logState.logLevel == (valid ? level : before), "LogStart(%d) left level %d", level, logState.logLevel);
    }
    for (const std::string& line : fakePlatform.lines) {
        REQUIRE(line.size() <= kLogLineSize - 1, "line of %zu characters", line.size());
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    ResetPluginState();
    LogStart(LOG_ALL);
    Trace trace(data, size);
    while (!trace.AtEnd()) {
        const uint8_t op = trace.Byte();
        if (op < 16) {
            RunFormat(trace, op);
        } else if (op == 16 || op == 17) {
            RunLevelChange(trace, op);
        } else if (op == 18) {
            LogStop();
        }
    }
    return 0;
}
