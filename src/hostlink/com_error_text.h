// The text rules of a COM error report, free of any Windows call so they are the same in every
// build: the fall-back meaning of a code without a system message, the trimming of a system
// message, and the five report lines.
#pragma once
#include <cstddef>
#include <cstdint>

// Enough for the longer fall-back, "Unknown error 0x80040200" and its NUL.
constexpr size_t kComErrorFallbackSize = 32;

// Fills buffer with "IDispatch error #n" for codes 0x80040201..0x8004FFFF (n counted from
// 0x80040200), otherwise "Unknown error 0x..." in upper-case hexadecimal without leading zeros.
void FormatComErrorFallback(int32_t code, char* buffer, size_t size);

// Removes one trailing line feed from a text longer than one character, and then the carriage
// return before it, if any. Nothing else is trimmed.
void TrimSystemMessage(char* text);

// Writes the five ERROR lines of a report; a null text shows as "(null)".
void WriteComErrorReport(int32_t code, const char* meaning, const char* source, const char* description);
