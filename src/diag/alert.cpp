#include "diag/alert.h"

#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "diag/host_string.h"
#include "platform/platform.h"
#include "plugin/host_binding.h"

namespace {
const char kClosingText[] = "\n\nSee the QUORVAN-9 Plug-In Release Notes\nfor more information.";
}

char* BuildAlertText(int32_t code, const char* format, va_list args) {
    char levelLine[32];
    snprintf(levelLine, sizeof levelLine, code < kFirstErrorAlert ? "Warning(%d):\n" : "Error(%d):\n", code);

    // The message is measured first so the alert's text is exactly as long as it needs to be.
    va_list measure;
    va_copy(measure, args);
    const int messageLength = vsnprintf(nullptr, 0, format, measure);
    va_end(measure);
    if (messageLength < 0) return nullptr;

    const size_t total = strlen(levelLine) + static_cast<size_t>(messageLength) + sizeof kClosingText;
    char* text = static_cast<char*>(malloc(total));
    if (text == nullptr) return nullptr;
    size_t used = static_cast<size_t>(snprintf(text, total, "%s", levelLine));
    used += static_cast<size_t>(vsnprintf(text + used, total - used, format, args));
    snprintf(text + used, total - used, "%s", kClosingText);
    return text;
}

void ShowAlert(int32_t code, const char* format, ...) {
    va_list args;
    va_start(args, format);
    char* text = BuildAlertText(code, format, args);
    va_end(args);
    if (text != nullptr) PlatformPresentAlert(text);
}

void SetHostMessage(const char* text) {
    HostString fresh = HostStringCreate(text);
    if (fresh.chars == nullptr) return;  // out of memory: the host keeps its old line
    HostString old{HostMotion::MessageLine::Read(host.motionRecord)};
    HostMotion::MessageLine::Write(host.motionRecord, fresh.chars);
    HostStringRelease(old);
}
