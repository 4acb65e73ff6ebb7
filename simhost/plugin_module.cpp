#include "plugin_module.h"

namespace {
template <typename Fn>
bool Resolve(HMODULE module, const char* name, Fn* slot, std::string* missing) {
    *slot = reinterpret_cast<Fn>(reinterpret_cast<void*>(GetProcAddress(module, name)));
    if (*slot == nullptr) *missing += std::string(missing->empty() ? "" : ", ") + name;
    return *slot != nullptr;
}
}  // namespace

bool PluginModule::Load(const std::string& path) {
    Unload();
    module_ = LoadLibraryA(path.c_str());
    if (module_ == nullptr) {
        error_ = "LoadLibrary(" + path + ") failed with error " + std::to_string(GetLastError());
        return false;
    }
    std::string missing;
    PluginEntryPoints& e = entry;
    Resolve(module_, "SetGetLED", &e.SetGetLED, &missing);
    Resolve(module_, "SetSetLED", &e.SetSetLED, &missing);
    Resolve(module_, "SetDoButton", &e.SetDoButton, &missing);
    Resolve(module_, "SetGetDRO", &e.SetGetDRO, &missing);
    Resolve(module_, "SetSetDRO", &e.SetSetDRO, &missing);
    Resolve(module_, "SetCode", &e.SetCode, &missing);
    Resolve(module_, "SetGetMenuRange", &e.SetGetMenuRange, &missing);
    Resolve(module_, "InitControl", &e.InitControl, &missing);
    Resolve(module_, "PostInitControl", &e.PostInitControl, &missing);
    Resolve(module_, "SetProName", &e.SetProName, &missing);
    Resolve(module_, "Update", &e.Update, &missing);
    Resolve(module_, "Notify", &e.Notify, &missing);
    Resolve(module_, "Config", &e.Config, &missing);
    Resolve(module_, "StopPlug", &e.StopPlug, &missing);
    Resolve(module_, "Probe", &e.Probe, &missing);
    Resolve(module_, "Purge", &e.Purge, &missing);
    Resolve(module_, "Home", &e.Home, &missing);
    Resolve(module_, "Reset", &e.Reset, &missing);
    Resolve(module_, "JogOn", &e.JogOn, &missing);
    Resolve(module_, "JogOff", &e.JogOff, &missing);
    Resolve(module_, "DoDwell", &e.DoDwell, &missing);
    if (!missing.empty()) {
        error_ = "entry points missing from " + path + ": " + missing;
        Unload();
        return false;
    }
    return true;
}

void PluginModule::Unload() {
    if (module_ != nullptr) FreeLibrary(module_);
    module_ = nullptr;
    entry = PluginEntryPoints{};
}

std::string ProgramDirectory() {
    char path[MAX_PATH + 1] = {};
    GetModuleFileNameA(nullptr, path, MAX_PATH);
    std::string directory(path);
    directory.erase(directory.find_last_of("\\/") + 1);
    return directory;
}
