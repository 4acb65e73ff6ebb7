// A fresh plug-in bound to a simulated host with the board on port 2, logging at DEBUG, and
// the few helpers the engine tests share: log lines as "[LEVEL]: text", host-call counts and
// ticks fed with board bytes.
#pragma once
#include <gtest/gtest.h>

#include <initializer_list>
#include <memory>
#include <string>
#include <vector>

#include "diag/log.h"
#include "fake_platform.h"
#include "host_state.h"
#include "pendant/plugin_state.h"
#include "pendant/update_cycle.h"
#include "plugin/lifecycle.h"

namespace engine_test {

constexpr uint16_t kPortAddress = 0x278;

// The complete alert boxes the engine raises.
inline std::string AlertText(const char* levelLine, const char* message) {
    return std::string(levelLine) + message + "\n\nSee the QUORVAN-9 Plug-In Release Notes\nfor more information.";
}
const std::string kAlert100 = AlertText(
    "Warning(100):\n",
    "QUORVAN-9 Plug-In is forcing MPG #1 configuration\n\nPlease see the QUORVAN-9 Plug-In Release Notes for\n"
    "information on how to avoid this message in the future.");
const std::string kAlert101 = AlertText(
    "Warning(101):\n",
    "Jogging is DISABLED in Mach3.\n\nTo enable jogging, type CNTL-ALT-J.\n\nIn the default Mach3 Mill screen set, "
    "you can also go to the\n\"Program Run\" tab, then click on the \"Jog ON/OFF\" button\nin the \"Tool "
    "Information\" section (jog is enabled when this\nbutton is outlined in green).");
const std::string kAlert200 = AlertText(
    "Error(200):\n", "QUORVAN-9 Plug-In could not connect to Mach3.\n\nThe QUORVAN-9 Plug-In has been DISABLED.");
const std::string kAlert201 = AlertText(
    "Error(201):\n",
    "QUORVAN-9 Plug-In cannot access parallel port #2.\nThe plug-in has been disabled.\n\nPlease contact QUORVAN "
    "for further assistance.");
const std::string kAlert202 = AlertText(
    "Error(202):\n",
    "Parallel Port 2 is not configured correctly.\n\nThe QUORVAN-9 uses parallel Port 2 and requires Port #2\nto be "
    "enabled and to have the 'Pins 2-9 as inputs' box checked.\n\nPlease go back to Config->Ports and Pins and "
    "configure\nPort #2 as described above.\n\nThe plug-in has been disabled.  Fix the problem as described "
    "above\nthen click on the Mach3 'RESET' button to re-enable the plug-in.");
const std::string kAlert203 = AlertText(
    "Error(203):\n",
    "QUORVAN-9 Plug-In got invalid data from the QUORVAN-9 board.\nPossible causes are that the board is not plugged "
    "into the parallel port,\nthe QUORVAN-9 board is not powered on,\nor that the port address is mis-configured in "
    "Mach.\n\nThe QUORVAN-9 Plug-In has been disabled.\nPlease correct the problem and click on the Mach3 'RESET' "
    "button\nto re-enable the plug-in.");

const char kMsgReEnabled[] = "QUORVAN-9 Plug-In is re-enabled";
const char kMsgJogMode[] = "Pendant or front panel MPG is enabled, disable to manually change jog mode";
const char kMsgOnlyMpgByPendant[] = "Can only change jog mode to MPG by enabling pendant or front panel MPG";
const char kMsgJogAxis[] = "Pendant or front panel MPG is enabled, disable to manually change jog axis";
const char kMsgJogIncrement[] = "Pendant or front panel MPG is enabled, disable to manually change jog increment";

// Board bytes: enable off shows axis selector 7.
constexpr int32_t kIdle = 0x07;
constexpr int32_t kEnable = 0x80;
constexpr int32_t Enabled(int axisSel, int incSel) { return kEnable | (incSel << 3) | axisSel; }

class EngineTest : public ::testing::Test {
protected:
    // Also called by table-driven tests before each case: every case gets a fresh host.
    void SetUp() override {
        ResetPluginState();
        host_ = std::make_unique<HostState>();
        host_->ConfigureForBoard(kPortAddress);
        BindHost(*host_);
        LogStart(LOG_DEBUG);
        fakePlatform.steadyPortByte = kIdle;
        Clear();
    }

    // Connects the object model and runs the first two ticks; the plug-in is then running and
    // has acted on kIdle once.
    void StartRunning() {
        myPostInitControl();
        myUpdate();
        myUpdate();
        ASSERT_TRUE(pluginState.isRunning);
        Clear();
    }

    void Clear() {
        fakePlatform.lines.clear();
        fakePlatform.alerts.clear();
        fakePlatform.portReads = 0;
        host_->calls.clear();
    }

    // One tick whose three port reads return these values (-1 = failed read).
    void TickWithReads(std::initializer_list<int32_t> reads) {
        fakePlatform.portBytes.assign(reads.begin(), reads.end());
        myUpdate();
        fakePlatform.portBytes.clear();
    }
    // One tick on which the board shows this byte steadily.
    void Tick(int32_t byte) {
        fakePlatform.steadyPortByte = byte;
        myUpdate();
    }
    // The byte reaches the pendant controller only from its second sample.
    void TickTwice(int32_t byte) {
        Tick(byte);
        Tick(byte);
    }
    // The operator presses RESET: one tick in EStop, then the tick that leaves it.
    void ResetEStop() {
        host_->SetIo<HostIo::EStop>(1);
        myUpdate();
        host_->SetIo<HostIo::EStop>(0);
        myUpdate();
    }

    // Log lines as "[LEVEL]: text", without time stamp and tag.
    static std::vector<std::string> Lines() {
        std::vector<std::string> out;
        const std::string tag = "[QUORVAN-9]";
        for (const std::string& line : fakePlatform.lines) {
            const size_t at = line.find(tag);
            out.push_back(at == std::string::npos ? line : line.substr(at + tag.size()));
        }
        return out;
    }
    static std::vector<std::string> TakeLines() {
        std::vector<std::string> out = Lines();
        fakePlatform.lines.clear();
        return out;
    }
    // Only the lines whose text starts with prefix (after the level).
    static std::vector<std::string> LinesWith(const std::string& prefix) {
        std::vector<std::string> out;
        for (const std::string& line : Lines()) {
            const size_t text = line.find("]: ");
            if (text != std::string::npos && line.compare(text + 3, prefix.size(), prefix) == 0) out.push_back(line);
        }
        return out;
    }

    int Count(HostCall::Kind kind) const {
        int n = 0;
        for (const HostCall& call : host_->calls) n += call.kind == kind ? 1 : 0;
        return n;
    }
    std::vector<double> DroWrites() const {
        std::vector<double> out;
        for (const HostCall& call : host_->calls) {
            if (call.kind == HostCall::SetDRO) out.push_back(call.value);
        }
        return out;
    }
    std::vector<int> ButtonPresses() const {
        std::vector<int> out;
        for (const HostCall& call : host_->calls) {
            if (call.kind == HostCall::DoButton) out.push_back(call.code);
        }
        return out;
    }
    // A tick reached the pendant controller when it read the host's jog mode.
    bool ReachedController() const {
        return !host_->calls.empty() && host_->calls.front().kind == HostCall::GetLED &&
               host_->calls.front().code == HostCode::LedJogContinuous;
    }

    std::unique_ptr<HostState> host_;
};

}  // namespace engine_test
