// The host framework's reference-counted string: one pointer to NUL-terminated characters,
// preceded in memory by a header of three 32-bit ints. A reference count of -1 marks a shared
// constant (the empty string) that is never written to or freed.
#pragma once
#include <cstdint>

struct HostStringHeader {
    int32_t refs;
    int32_t length;
    int32_t allocLength;
};

// Trivially copyable on purpose: this is exactly what the host puts on the stack when it
// passes a string by value.
struct HostString {
    char* chars;
};

// A new string with one reference holding a copy of text (nullptr reads as empty).
// Returns chars == nullptr only when memory runs out.
HostString HostStringCreate(const char* text);

// Drops one reference; frees the string when that was the last one. Shared constants
// (refs -1), a null pointer and counts that cannot be ours are left untouched.
void HostStringRelease(HostString string);

// The one pair that allocates and frees string blocks, matched to the host's runtime.
HostStringHeader* HostStringAllocate(int32_t allocLength);
void HostStringFree(HostStringHeader* header);

inline HostStringHeader* HostStringHeaderOf(char* chars) { return reinterpret_cast<HostStringHeader*>(chars) - 1; }
