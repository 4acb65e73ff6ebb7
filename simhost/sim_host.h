// The simulated host: loads the plug-in, hands it callbacks and records, calls its entry
// points in the host's order and reads back what the operator would see.
#pragma once
#include <string>
#include <vector>

#include "alert_recorder.h"
#include "automation_server.h"
#include "debug_capture.h"
#include "host_state.h"
#include "plugin_module.h"

class SimHost {
public:
    SimHost();
    ~SimHost();
    SimHost(const SimHost&) = delete;
    SimHost& operator=(const SimHost&) = delete;

    // Opens the debug channel, loads the DLL (default: beside this program) and hands it the
    // seven callbacks. False with error() on failure.
    bool Load(const std::string& dllPath = "");
    void Unload();

    // The host's start-up calls in its order: InitControl, SetProName, PostInitControl.
    bool InitControl();
    std::string SetProName(const std::string& profile);
    int PostInitControl();

    void Tick() { plugin.entry.Update(); }
    void StopPlug() { plugin.entry.StopPlug(); }

    // A fresh copy of the machine profile in the temporary folder (its DebugLevel lets the
    // controller's state changes, INFO, through); returns its path, or "" on failure.
    std::string MakeDemoProfile();

    // Log lines written since the last call, each without its time stamp.
    std::vector<std::string> TakeLog();

    const std::string& error() const { return error_; }

    HostState state;
    // The host's automation object model; started by whoever plays the host, on its thread.
    AutomationServer objectModel;
    PluginModule plugin;
    DebugCapture debugChannel;
    AlertRecorder alerts;

private:
    std::string error_;
    bool channelOpen_ = false;
};

// A log line without its "hh:mm:ss.mmm " time stamp; the line unchanged if it has none.
std::string WithoutTimeStamp(const std::string& line);
