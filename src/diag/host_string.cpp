#include "diag/host_string.h"

#include <cstdlib>
#include <cstring>

HostStringHeader* HostStringAllocate(int32_t allocLength) {
    return static_cast<HostStringHeader*>(malloc(sizeof(HostStringHeader) + static_cast<size_t>(allocLength) + 1));
}

void HostStringFree(HostStringHeader* header) { free(header); }

HostString HostStringCreate(const char* text) {
    const size_t length = text != nullptr ? strlen(text) : 0;
    if (length > INT32_MAX - 64) return HostString{nullptr};
    HostStringHeader* header = HostStringAllocate(static_cast<int32_t>(length));
    if (header == nullptr) return HostString{nullptr};
    header->refs = 1;
    header->length = static_cast<int32_t>(length);
    header->allocLength = static_cast<int32_t>(length);
    char* chars = reinterpret_cast<char*>(header + 1);
    if (length != 0) memcpy(chars, text, length);
    chars[length] = '\0';
    return HostString{chars};
}

void HostStringRelease(HostString string) {
    if (string.chars == nullptr) return;
    HostStringHeader* header = HostStringHeaderOf(string.chars);
    // Only a positive count is a live, owned string; -1 is the host's shared constant.
    if (__atomic_load_n(&header->refs, __ATOMIC_ACQUIRE) <= 0) return;
    if (__atomic_sub_fetch(&header->refs, 1, __ATOMIC_ACQ_REL) == 0) HostStringFree(header);
}
