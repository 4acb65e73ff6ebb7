// A short-lived view of the host's XML profile file: loaded on construction, read by section
// and key, saved back on destruction.
//
// The host keeps its whole configuration in that file, so the view never harms it: a file that
// exists but cannot be read or parsed is left exactly as it is, a file that already holds the
// document is not written again, a read-only file is not replaced, and a save goes through a
// temporary file in the same folder that replaces the profile in one step only after it has
// been checked to read back as the same document. Every refusal is logged at ERROR.
#pragma once
#include <cstdint>
#include <string>

// The profile path last given to SetProName.
extern std::string ProfileName;

class ProfileDocument {
public:
    // Loads the file named by ProfileName. Never throws.
    ProfileDocument();
    // Saves the document back to its file, when that is safe. Never throws.
    virtual ~ProfileDocument();
    ProfileDocument(const ProfileDocument&) = delete;
    ProfileDocument& operator=(const ProfileDocument&) = delete;

    // The integer value of section/key, or defaultValue when the entry is missing or empty
    // (an empty entry is removed from the document). Never throws.
    int32_t ReadInt(const char* section, const char* key, int32_t defaultValue);

private:
    struct Store;
    Store* store_;
};
