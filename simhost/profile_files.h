// Profile files for the simulated host and the tests: the machine profile shipped beside the
// program, copied into a folder of its own for each run so the original is never touched.
#pragma once
#include <string>

// Every byte of a file; false when it cannot be read.
bool ReadFileBytes(const std::string& path, std::string* bytes);
bool WriteFileBytes(const std::string& path, const std::string& bytes);

// The simulated host's machine profile: profiles\Mach3Mill.xml beside this program.
std::string HostProfilePath();

// A new, empty folder in the temporary folder, removed with its files on destruction.
class TempFolder {
public:
    TempFolder();
    ~TempFolder();
    TempFolder(const TempFolder&) = delete;
    TempFolder& operator=(const TempFolder&) = delete;

    bool ok() const { return !path_.empty(); }
    // The folder, with a trailing backslash.
    const std::string& path() const { return path_; }
    // Copies the host's machine profile into this folder as name; the new path, or "" on failure.
    std::string CopyHostProfile(const std::string& name = "Mach3Mill.xml") const;

private:
    std::string path_;
};
