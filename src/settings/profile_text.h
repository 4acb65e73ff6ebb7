// Text rules of the profile file that need no XML library: the integer value of an entry and
// the line ends the host's file uses.
#pragma once
#include <cstdint>
#include <string>

// The integer at the start of text, read as the C library's text-to-long conversion reads it:
// optional leading white space, an optional sign, then decimal digits up to the first other
// character. No digits gives 0. A value beyond the 32-bit range is clamped to INT32_MAX or
// INT32_MIN, as that conversion does for a 32-bit long; it never overflows.
int32_t ProfileTextToInt(const char* text);

// True when the first line end of the file's bytes is CR LF.
bool UsesCrLf(const std::string& bytes);

// Every LF that is not already preceded by CR becomes CR LF.
std::string WithCrLf(const std::string& bytes);
