#include "hostlink/com_error_text.h"

#include <cstdio>
#include <cstring>

#include "diag/log.h"

namespace {
// Codes the automation layer numbers for itself: the base and the last one.
constexpr uint32_t kDispatchErrorBase = 0x80040200u;
constexpr uint32_t kDispatchErrorLast = 0x8004FFFFu;

// The 32-bit pattern of a code, whatever the width of long on this build.
unsigned long CodeBits(int32_t code) { return static_cast<unsigned long>(static_cast<uint32_t>(code)); }
}  // namespace

void FormatComErrorFallback(int32_t code, char* buffer, size_t size) {
    const uint32_t bits = static_cast<uint32_t>(code);
    if (bits > kDispatchErrorBase && bits <= kDispatchErrorLast) {
        snprintf(buffer, size, "IDispatch error #%d", static_cast<int>(bits - kDispatchErrorBase));
    } else {
        snprintf(buffer, size, "Unknown error 0x%0lX", CodeBits(code));
    }
}

void TrimSystemMessage(char* text) {
    const size_t length = strlen(text);
    if (length <= 1 || text[length - 1] != '\n') return;
    text[length - 1] = '\0';
    if (text[length - 2] == '\r') text[length - 2] = '\0';
}

void WriteComErrorReport(int32_t code, const char* meaning, const char* source, const char* description) {
    LogMsg(LOG_ERROR, "Got COM error, details follow:");
    LogMsg(LOG_ERROR, "COMERR: Code = 0x%08lx", CodeBits(code));
    LogMsg(LOG_ERROR, "COMERR: Meaning = %s", meaning);
    LogMsg(LOG_ERROR, "COMERR: Source = %s", source);
    LogMsg(LOG_ERROR, "COMERR: Description = %s", description);
}
