#include "profile_files.h"

#include <windows.h>

#include "plugin_module.h"

bool ReadFileBytes(const std::string& path, std::string* bytes) {
    HANDLE file = CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return false;
    bytes->clear();
    char chunk[65536];
    DWORD read = 0;
    bool ok = true;
    while ((ok = ReadFile(file, chunk, sizeof chunk, &read, nullptr) != 0) && read > 0) bytes->append(chunk, read);
    CloseHandle(file);
    return ok;
}

bool WriteFileBytes(const std::string& path, const std::string& bytes) {
    HANDLE file = CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return false;
    DWORD written = 0;
    const bool ok = bytes.empty() || (WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr) != 0 &&
                                      written == bytes.size());
    CloseHandle(file);
    return ok;
}

std::string HostProfilePath() { return ProgramDirectory() + "profiles\\Mach3Mill.xml"; }

TempFolder::TempFolder() {
    char base[MAX_PATH + 1] = {};
    char name[MAX_PATH + 1] = {};
    if (GetTempPathA(MAX_PATH, base) == 0 || GetTempFileNameA(base, "q9t", 0, name) == 0) return;
    // The unique name becomes a folder of that name.
    DeleteFileA(name);
    if (CreateDirectoryA(name, nullptr)) path_ = std::string(name) + "\\";
}

TempFolder::~TempFolder() {
    if (path_.empty()) return;
    WIN32_FIND_DATAA entry;
    HANDLE search = FindFirstFileA((path_ + "*").c_str(), &entry);
    if (search != INVALID_HANDLE_VALUE) {
        do {
            if ((entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0) continue;
            const std::string file = path_ + entry.cFileName;
            SetFileAttributesA(file.c_str(), FILE_ATTRIBUTE_NORMAL);
            DeleteFileA(file.c_str());
        } while (FindNextFileA(search, &entry));
        FindClose(search);
    }
    RemoveDirectoryA(path_.c_str());
}

std::string TempFolder::CopyHostProfile(const std::string& name) const {
    if (path_.empty()) return std::string();
    const std::string target = path_ + name;
    return CopyFileA(HostProfilePath().c_str(), target.c_str(), FALSE) ? target : std::string();
}
