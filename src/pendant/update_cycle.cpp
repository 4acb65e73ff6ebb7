// One host tick of the pendant engine. The board's byte is read three times and taken only
// when two successive reads agree; the encoder bits are masked off, and a byte is acted on
// only once the same value has been seen on two sampled ticks. Faults (failed read, invalid
// data, wrong port set-up) disable the plug-in until the operator leaves EStop with RESET.
#include "pendant/update_cycle.h"

#include "diag/alert.h"
#include "diag/log.h"
#include "hostlink/object_model.h"
#include "pendant/mpg_config.h"
#include "pendant/pendant_controller.h"
#include "pendant/plugin_state.h"
#include "plugin/host_binding.h"

PluginState pluginState;

namespace {
const char kPrefix[] = "DoMyUpdate(): ";
constexpr int32_t kEncoderMask = 0x9F;  // clears bits 5 and 6, the MPG #1 encoder channels
constexpr int kReadsPerSample = 3;

bool Port2Enabled() { return HostIo::Port2Enabled::Read(host.ioRecord) != 0; }
bool Port2PinsAsInputs() { return HostIo::Port2PinsAsInputs::Read(host.ioRecord) != 0; }

void LeaveEStop() {
    PluginState& s = pluginState;
    LogMsg(LOG_DEBUG, "%sExiting EStop", kPrefix);
    const bool on = Port2Enabled();
    const bool in = Port2PinsAsInputs();
    if (!on || !in) {
        LogMsg(LOG_ERROR, "%sPort 2 not configured, on=%d, in=%d, add=0x%04.4x", kPrefix, on, in,
               HostIo::Port2Address::Read(host.ioRecord));
        ShowAlert(202,
                  "Parallel Port 2 is not configured correctly.\n\nThe QUORVAN-9 uses parallel Port 2 and requires "
                  "Port #2\nto be enabled and to have the 'Pins 2-9 as inputs' box checked.\n\nPlease go back to "
                  "Config->Ports and Pins and configure\nPort #2 as described above.\n\nThe plug-in has been "
                  "disabled.  Fix the problem as described above\nthen click on the Mach3 'RESET' button to "
                  "re-enable the plug-in.");
    }
    const bool wasRunning = s.isRunning;
    s.unplug = false;
    s.err = false;
    UpdateIsRunning();
    if (!wasRunning && s.isRunning) SetHostMessage("QUORVAN-9 Plug-In is re-enabled");
    s.inEStop = false;
}
}  // namespace

void myUpdate() {
    PluginState& s = pluginState;
    if (s.updateActive) {
        LogMsg(LOG_WARNING, "myUpdate() ** RECURSIVE CALL **");
        return;
    }
    s.updateActive = true;
    const bool first = s.firstUpdate;
    if (first) {
        LogMsg(LOG_INFO, "myUpdate() first time");
        s.firstUpdate = false;
    }
    DoMyUpdate(first);
    s.updateActive = false;
}

void DoMyUpdate(bool first) {
    PluginState& s = pluginState;
    if (first) {
        s.called = true;
        if (!s.init) {
            LogMsg(LOG_ERROR, "%sNo Mach3 Object connection", kPrefix);
            ShowAlert(200, "QUORVAN-9 Plug-In could not connect to Mach3.\n\nThe QUORVAN-9 Plug-In has been DISABLED.");
        }
        UpdateIsRunning();
        LogMsg(LOG_INFO, "%sForcing MPG config", kPrefix);
        ForceMPGConfig();
    }

    if (HostIo::EStop::Read(host.ioRecord) != 0) {
        if (!s.inEStop) LogMsg(LOG_DEBUG, "%sEntering EStop", kPrefix);
        s.inEStop = true;
    } else if (s.inEStop) {
        LeaveEStop();
    }

    // The host flags are tested live: isRunning only follows them at the moments it is recomputed.
    if (!s.isRunning || !Port2Enabled() || !Port2PinsAsInputs()) return;

    const int32_t raw = ReadStablePortByte(HostIo::Port2Address::Read(host.ioRecord));
    if (raw == -1) return;
    const int32_t data = raw & kEncoderMask;

    if (data != s.lastData) {
        LogMsg(LOG_DEBUG, "%sData changing, ignored. New=0x%02.2x, Old=0x%02.2x", kPrefix, data, s.lastData);
        s.lastData = data;
        s.dataChanging = true;
        return;
    }
    if (s.dataChanging) {
        s.dataChanging = false;
        LogMsg(LOG_DEBUG, "%sData stable = 0x%02.2x", kPrefix, data);
    }
    UpdatePendant(data, raw);
}

void UpdateIsRunning() {
    PluginState& s = pluginState;
    const bool on = Port2Enabled();
    const bool in = Port2PinsAsInputs();
    if (on && in && s.called && s.init && !s.unplug && !s.err) {
        if (!s.isRunning) LogMsg(LOG_INFO, "isRunning flag ASSERTED");
        s.isRunning = true;
    } else {
        if (s.isRunning) {
            LogMsg(LOG_INFO, "isRunning flag DE-ASSERTED, on=%d, in=%d, called=%d init=%d unplug=%d, err=%d", on, in,
                   s.called, s.init, s.unplug, s.err);
        }
        s.isRunning = false;
    }
}

int32_t ReadStablePortByte(uint16_t address) {
    PluginState& s = pluginState;
    int32_t reads[kReadsPerSample];
    for (int32_t& read : reads) {
        read = ReadPortByte(address);
        if (read != -1) continue;
        if (!s.err) {
            LogMsg(LOG_ERROR, "Error reading Port 2 data");
            ShowAlert(201,
                      "QUORVAN-9 Plug-In cannot access parallel port #2.\nThe plug-in has been disabled.\n\nPlease "
                      "contact QUORVAN for further assistance.");
            s.err = true;
            UpdateIsRunning();
        }
        return -1;
    }
    // Two successive reads must agree.
    if (reads[0] == reads[1]) return reads[0];
    if (reads[1] == reads[2]) return reads[1];
    return -1;
}

void ReportUnplugged(int32_t raw) {
    pluginState.unplug = true;
    UpdateIsRunning();
    LogMsg(LOG_ERROR, "Read invalid raw data 0x%02.2x, presume card unplugged", raw);
    ShowAlert(203,
              "QUORVAN-9 Plug-In got invalid data from the QUORVAN-9 board.\nPossible causes are that the board is "
              "not plugged into the parallel port,\nthe QUORVAN-9 board is not powered on,\nor that the port address "
              "is mis-configured in Mach.\n\nThe QUORVAN-9 Plug-In has been disabled.\nPlease correct the problem "
              "and click on the Mach3 'RESET' button\nto re-enable the plug-in.");
}
