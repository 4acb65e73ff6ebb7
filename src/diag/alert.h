// Numbered alert boxes and the host's message line.
#pragma once
#include <cstdarg>
#include <cstdint>

#include "diag/log.h"

// Alert codes below this are warnings, the rest errors.
constexpr int32_t kFirstErrorAlert = 200;

// Builds the alert's complete text and has it shown on a thread of its own; returns at once.
void ShowAlert(int32_t code, const char* format, ...) QV_PRINTF(2, 3);

// The complete text of an alert box, in storage of its own (malloc), or nullptr when out of
// memory.
char* BuildAlertText(int32_t code, const char* format, va_list args);

// Replaces the host's message line with a copy of text.
void SetHostMessage(const char* text);
