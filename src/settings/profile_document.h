// A short-lived view of the host's XML profile file: loaded on construction, read by section
// and key, saved back on destruction.
#pragma once
#include <cstdint>
#include <string>

// The profile path last given to SetProName.
extern std::string ProfileName;

class ProfileDocument {
public:
    ProfileDocument();
    virtual ~ProfileDocument();
    ProfileDocument(const ProfileDocument&) = delete;
    ProfileDocument& operator=(const ProfileDocument&) = delete;

    // The integer value of section/key, or defaultValue when the entry is missing or empty
    // (an empty entry is removed from the document).
    int32_t ReadInt(const char* section, const char* key, int32_t defaultValue);

private:
    struct Store;
    Store* store_;
};
