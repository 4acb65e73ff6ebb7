#include "sim_host.h"

#include "profile_files.h"

#include <cctype>
#include <cstdio>

SimHost::SimHost() {
    simHost = &state;
    // The object model's port reads see this host's board.
    objectModel.byteSource = [this](uint16_t address) { return state.NextPortRead(address); };
}

SimHost::~SimHost() {
    Unload();
    if (simHost == &state) simHost = nullptr;
}

bool SimHost::Load(const std::string& dllPath) {
    if (!channelOpen_) channelOpen_ = debugChannel.Start();
    if (!channelOpen_) {
        error_ = "the debug-output channel is held by another viewer";
        return false;
    }
    if (!plugin.Load(dllPath.empty() ? ProgramDirectory() + "QUORVAN-9.dll" : dllPath)) {
        error_ = plugin.error();
        return false;
    }
    if (!alerts.Install(plugin.handle())) {
        error_ = "the plug-in does not import MessageBoxA";
        return false;
    }
    PluginEntryPoints& e = plugin.entry;
    e.SetGetLED(SimGetLED);
    e.SetSetLED(SimSetLED);
    e.SetDoButton(SimDoButton);
    e.SetGetDRO(SimGetDRO);
    e.SetSetDRO(SimSetDRO);
    e.SetCode(SimCode);
    e.SetGetMenuRange(SimGetMenuRange);
    return true;
}

void SimHost::Unload() { plugin.Unload(); }

bool SimHost::InitControl() {
    // The second and fourth pointers are the host's other records, which the plug-in ignores.
    static unsigned char unusedRecord[16];
    return plugin.entry.InitControl(state.ioRecord.data(), unusedRecord, state.motionRecord.data(), unusedRecord);
}

std::string SimHost::SetProName(const std::string& profile) {
    // Passed by value: the plug-in releases this copy.
    HostString name = HostStringCreate(profile.c_str());
    const char* title = plugin.entry.SetProName(name);
    return title != nullptr ? title : "";
}

int SimHost::PostInitControl() { return plugin.entry.PostInitControl(); }

std::string SimHost::MakeDemoProfile() {
    // A copy of the machine profile, so a run never touches the original.
    char folder[MAX_PATH + 1] = {};
    GetTempPathA(MAX_PATH, folder);
    const std::string path = std::string(folder) + "QUORVAN-9-demo-profile.xml";
    std::string bytes;
    if (!ReadFileBytes(HostProfilePath(), &bytes) || !WriteFileBytes(path, bytes)) return "";
    return path;
}

std::vector<std::string> SimHost::TakeLog() {
    std::vector<std::string> lines = debugChannel.TakeLines();
    for (std::string& line : lines) line = WithoutTimeStamp(line);
    return lines;
}

std::string WithoutTimeStamp(const std::string& line) {
    static const char kShape[] = "dd:dd:dd.ddd ";
    if (line.size() < sizeof kShape - 1) return line;
    for (size_t i = 0; i + 1 < sizeof kShape; ++i) {
        const bool digit = isdigit(static_cast<unsigned char>(line[i])) != 0;
        if (kShape[i] == 'd' ? !digit : line[i] != kShape[i]) return line;
    }
    return line.substr(sizeof kShape - 1);
}
