// The plug-in DLL as the host sees it: a module and its 21 entry points, resolved by name.
#pragma once
#include <windows.h>

#include <string>

#include "plugin/exports.h"

struct PluginEntryPoints {
    decltype(&::SetGetLED) SetGetLED;
    decltype(&::SetSetLED) SetSetLED;
    decltype(&::SetDoButton) SetDoButton;
    decltype(&::SetGetDRO) SetGetDRO;
    decltype(&::SetSetDRO) SetSetDRO;
    decltype(&::SetCode) SetCode;
    decltype(&::SetGetMenuRange) SetGetMenuRange;
    decltype(&::InitControl) InitControl;
    decltype(&::PostInitControl) PostInitControl;
    decltype(&::SetProName) SetProName;
    decltype(&::Update) Update;
    decltype(&::Notify) Notify;
    decltype(&::Config) Config;
    decltype(&::StopPlug) StopPlug;
    decltype(&::Probe) Probe;
    decltype(&::Purge) Purge;
    decltype(&::Home) Home;
    decltype(&::IgnoredEntry) Reset;
    decltype(&::IgnoredEntry) JogOn;
    decltype(&::IgnoredEntry) JogOff;
    decltype(&::IgnoredEntry) DoDwell;
};

class PluginModule {
public:
    PluginModule() = default;
    ~PluginModule() { Unload(); }
    PluginModule(const PluginModule&) = delete;
    PluginModule& operator=(const PluginModule&) = delete;

    // Loads the DLL and resolves every entry point; on failure says why in error().
    bool Load(const std::string& path);
    void Unload();
    bool loaded() const { return module_ != nullptr; }
    HMODULE handle() const { return module_; }
    const std::string& error() const { return error_; }

    PluginEntryPoints entry{};

private:
    HMODULE module_ = nullptr;
    std::string error_;
};

// The directory of the running program, with a trailing backslash.
std::string ProgramDirectory();
