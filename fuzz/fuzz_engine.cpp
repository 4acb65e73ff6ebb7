// libFuzzer over byte traces of the pendant engine. Each input sets up a fresh plug-in over a
// simulated host, then plays records of board bytes, host replies, failed port reads and
// notifications, one or more ticks of myUpdate each, and after every tick and notification
// checks what must hold whatever the board and the host do: which host calls are made and
// with what, which record bytes may change, which alerts may be raised and when, and that a
// fault leaves the plug-in disabled. A broken rule aborts with a message, which libFuzzer
// reports as a crash and keeps the input.
//
// Trace format (read from the front; a byte past the end reads as 0):
//   header   setup flags (see Setup), log level, board byte at rest
//   records  until the input ends: an op byte, then the bytes its bits ask for
//     bits 0-1  the tick's port reads: 0 the board at rest, 1 one byte read three times,
//               2 three bytes, 3 a failed read (position byte, then the byte read before it)
//     bit 2     a host event (event byte and its arguments, see ApplyHostEvent)
//     bit 3     a notification (see NextNotifyCode)
//     bit 4     the host's EStop flag toggles
//     bits 5-7  the record is played for 1 to 8 ticks, the reads and EStop state repeated
#include <cmath>
#include <cstdarg>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <memory>
#include <string>
#include <vector>

#include "diag/host_string.h"
#include "diag/log.h"
#include "fake_platform.h"
#include "fuzz_check.h"
#include "host_state.h"
#include "pendant/pendant_controller.h"
#include "pendant/plugin_state.h"
#include "pendant/update_cycle.h"
#include "plugin/host_binding.h"
#include "plugin/lifecycle.h"
#include "plugin/notify.h"
#include "trace_reader.h"

const char kFuzzSubject[] = "ENGINE";

namespace {

constexpr int kMaxTicks = 2000;

// ---------------------------------------------------------------------------------------------
// What the plug-in may say and do.

std::string AlertText(const char* levelLine, const char* message) {
    return std::string(levelLine) + message + "\n\nSee the QUORVAN-9 Plug-In Release Notes\nfor more information.";
}

struct KnownAlert {
    int32_t code;
    std::string text;
};

const std::vector<KnownAlert>& KnownAlerts() {
    static const std::vector<KnownAlert> alerts = {
        {100, AlertText("Warning(100):\n",
                        "QUORVAN-9 Plug-In is forcing MPG #1 configuration\n\nPlease see the QUORVAN-9 Plug-In Release "
                        "Notes for\ninformation on how to avoid this message in the future.")},
        {101, AlertText("Warning(101):\n",
                        "Jogging is DISABLED in Mach3.\n\nTo enable jogging, type CNTL-ALT-J.\n\nIn the default Mach3 "
                        "Mill screen set, you can also go to the\n\"Program Run\" tab, then click on the \"Jog "
                        "ON/OFF\" button\nin the \"Tool Information\" section (jog is enabled when this\nbutton is "
                        "outlined in green).")},
        {200, AlertText("Error(200):\n",
                        "QUORVAN-9 Plug-In could not connect to Mach3.\n\nThe QUORVAN-9 Plug-In has been DISABLED.")},
        {201, AlertText("Error(201):\n",
                        "QUORVAN-9 Plug-In cannot access parallel port #2.\nThe plug-in has been disabled.\n\nPlease "
                        "contact QUORVAN for further assistance.")},
        {202, AlertText("Error(202):\n",
                        "Parallel Port 2 is not configured correctly.\n\nThe QUORVAN-9 uses parallel Port 2 and "
                        "requires Port #2\nto be enabled and to have the 'Pins 2-9 as inputs' box checked.\n\nPlease "
                        "go back to Config->Ports and Pins and configure\nPort #2 as described above.\n\nThe plug-in "
                        "has been disabled.  Fix the problem as described above\nthen click on the Mach3 'RESET' "
                        "button to re-enable the plug-in.")},
        {203, AlertText("Error(203):\n",
                        "QUORVAN-9 Plug-In got invalid data from the QUORVAN-9 board.\nPossible causes are that the "
                        "board is not plugged into the parallel port,\nthe QUORVAN-9 board is not powered on,\nor that "
                        "the port address is mis-configured in Mach.\n\nThe QUORVAN-9 Plug-In has been disabled.\n"
                        "Please correct the problem and click on the Mach3 'RESET' button\nto re-enable the plug-in.")},
    };
    return alerts;
}

const char* const kHostMessages[] = {
    "QUORVAN-9 Plug-In is re-enabled",
    "Pendant or front panel MPG is enabled, disable to manually change jog mode",
    "Can only change jog mode to MPG by enabling pendant or front panel MPG",
    "Pendant or front panel MPG is enabled, disable to manually change jog axis",
    "Pendant or front panel MPG is enabled, disable to manually change jog increment",
};

const double kIncrements[] = {0.01, 0.1, 1.0, 0.001};

bool IsReadLed(int16_t code) {
    return code == HostCode::LedJogContinuous || code == HostCode::LedJogIncremental || code == HostCode::LedJogMpg ||
           (code >= HostCode::LedMpgAxisFirst && code < HostCode::LedMpgAxisFirst + HostCode::kAxisCount) ||
           code == HostCode::LedJogEnabled || code == HostCode::LedUnitsInches || code == HostCode::Led802;
}

bool IsAxisButton(int16_t code) {
    return code >= HostCode::ButtonMpgAxisFirst && code < HostCode::ButtonMpgAxisFirst + HostCode::kAxisCount;
}

// The board's MPG #1 wiring, as the plug-in must leave the host's configuration.
constexpr int32_t kMpgPort = 2;
constexpr int32_t kMpgAPin = 8;
constexpr int32_t kMpgBPin = 7;
constexpr double kMpgSteps = 4.0;

// QV_FUZZ_VERBOSE=1 prints what the plug-in logs, to read a seed or a finding.
const bool kVerbose = getenv("QV_FUZZ_VERBOSE") != nullptr;

// Callbacks the plug-in stores and must never call.
void QV_CDECL TrapSetLED(int16_t code, uint8_t) { Violation("SetLED(%d) called", code); }
void QV_CDECL TrapCode(const char*) { Violation("Code() called"); }
void QV_CDECL TrapGetMenuRange(int16_t count) { Violation("GetMenuRange(%d) called", count); }

// ---------------------------------------------------------------------------------------------
// The input.


// A double the host might show: the increments, zeros, non-numbers, extremes, or raw bits.
double NextHostDouble(Trace& trace) {
    static const double kValues[] = {
        0.01, 0.1, 1.0, 0.001, 4.0, 0.0, -0.0,
        std::numeric_limits<double>::quiet_NaN(), -std::numeric_limits<double>::quiet_NaN(),
        std::numeric_limits<double>::infinity(), -std::numeric_limits<double>::infinity(),
        std::numeric_limits<double>::denorm_min(), std::numeric_limits<double>::max(), -0.1,
        std::nextafter(0.1, 1.0), 0.1f,
    };
    const uint8_t pick = trace.Byte();
    if (pick < sizeof kValues / sizeof kValues[0]) return kValues[pick];
    return trace.F64();
}

int32_t NextNotifyCode(Trace& trace) {
    static const int32_t kCodes[] = {65535, 65536, 0x12000E, INT32_MIN, INT32_MAX, -2, 0x1000F, EX_CONFIG};
    const uint8_t pick = trace.Byte();
    if (pick < 20) return pick - 1;  // -1 .. 18: every labelled code and its neighbours
    if (pick - 20 < static_cast<int>(sizeof kCodes / sizeof kCodes[0])) return kCodes[pick - 20];
    return static_cast<int32_t>(trace.U32());
}

// ---------------------------------------------------------------------------------------------
// The host, and a copy of its records as they must be.

// The span of the records that holds every field the plug-in reads or writes, checked after
// every step; the whole records are checked at the end of each input.
constexpr size_t kMargin = 4096;
constexpr size_t kIoCheckBegin = HostIo::Port2Enabled::offset - kMargin;
constexpr size_t kIoCheckEnd = HostIo::kMinimumSize;
constexpr size_t kMotionCheckBegin = HostMotion::MessageLine::offset - kMargin;
constexpr size_t kMotionCheckEnd = HostMotion::kMinimumSize;

// One simulated host serves every input: a fresh one per input would cost more than the
// ticks, so each input puts back what it or the plug-in changed (see BeginInput).
struct World {
    std::unique_ptr<HostState> host;
    char* emptyMessageLine = nullptr;         // the host's shared empty string
    std::vector<unsigned char> ioPattern;      // the records' contents at the start of an input
    std::vector<unsigned char> motionPattern;
    std::vector<unsigned char> io;      // the io record as it must be
    std::vector<unsigned char> motion;  // the motion record as it must be
    std::vector<double> droValues;      // every value the host's DRO 828 has shown
    bool reenterArmed = false;          // the next GetLED re-enters the plug-in
};
World world;

template <typename Field>
void SetIo(typename Field::Type value) {
    world.host->SetIo<Field>(value);
    Field::Write(world.io.data(), value);
}

template <typename Field>
void SetMotion(typename Field::Type value) {
    world.host->SetMotion<Field>(value);
    Field::Write(world.motion.data(), value);
}

void SetIncrementDro(double value) {
    world.host->dro[HostCode::DroJogIncrement] = value;
    world.droValues.push_back(value);
}

void ReenterOnGetLED(int16_t) {
    if (!world.reenterArmed) return;
    world.reenterArmed = false;
    myUpdate();  // must be refused by the re-entrancy guard
}

bool InOrder(const void* io, const void* motion) {
    return HostIo::Mpg1Active::Read(io) != 0 && HostIo::Mpg1APort::Read(io) == kMpgPort &&
           HostIo::Mpg1APin::Read(io) == kMpgAPin && HostIo::Mpg1BPort::Read(io) == kMpgPort &&
           HostIo::Mpg1BPin::Read(io) == kMpgBPin && HostMotion::Mpg1Steps::Read(motion) == kMpgSteps;
}

bool MpgFieldsChanged() {
    const unsigned char* io = world.host->ioRecord.data();
    const unsigned char* motion = world.host->motionRecord.data();
    return memcmp(io + HostIo::Mpg1Active::offset, world.io.data() + HostIo::Mpg1Active::offset, 1) != 0 ||
           memcmp(io + HostIo::Mpg1APin::offset, world.io.data() + HostIo::Mpg1APin::offset,
                  HostIo::Mpg1BPort::end - HostIo::Mpg1APin::offset) != 0 ||
           memcmp(motion + HostMotion::Mpg1Steps::offset, world.motion.data() + HostMotion::Mpg1Steps::offset,
                  sizeof(double)) != 0;
}

// The first byte in [begin, end) that differs from the copy, or end.
size_t FirstStrayByte(const std::vector<unsigned char>& actual, const std::vector<unsigned char>& expected,
                      size_t begin, size_t end) {
    if (memcmp(actual.data() + begin, expected.data() + begin, end - begin) == 0) return end;
    for (size_t at = begin; at < end; ++at) {
        if (actual[at] != expected[at]) return at;
    }
    return end;
}

void CheckMessageLine() {
    char* const now = world.host->Motion<HostMotion::MessageLine>();
    char* const before = HostMotion::MessageLine::Read(world.motion.data());
    if (now == before) return;
    REQUIRE(now != nullptr, "message line set to a null string");
    const HostStringHeader* header = HostStringHeaderOf(now);
    const size_t length = strlen(now);
    REQUIRE(header->refs == 1 && header->length == static_cast<int32_t>(length) && header->allocLength >= header->length,
            "message line string header refs=%d length=%d alloc=%d for %zu characters", header->refs, header->length,
            header->allocLength, length);
    bool known = false;
    for (const char* text : kHostMessages) known = known || strcmp(now, text) == 0;
    REQUIRE(known, "unknown host message \"%s\"", now);
    HostMotion::MessageLine::Write(world.motion.data(), now);
}

// The records outside the MPG #1 fields and the message line are the host's alone; the
// MPG #1 fields change only to the board's wiring, and only together with alert 100.
void CheckRecords(bool whole, bool alert100) {
    if (MpgFieldsChanged()) {
        REQUIRE(alert100, "MPG #1 fields written without alert 100");
    }
    if (alert100) {
        REQUIRE(InOrder(world.host->ioRecord.data(), world.host->motionRecord.data()) &&
                    HostIo::Mpg1Active::Read(world.host->ioRecord.data()) == 1,
                "alert 100 raised but MPG #1 not left as the board needs");
    }
    // Take the allowed writes into the copy, then every byte must match.
    for (size_t at = HostIo::Mpg1Active::offset; at < HostIo::Mpg1Active::end; ++at) world.io[at] = world.host->ioRecord[at];
    for (size_t at = HostIo::Mpg1APin::offset; at < HostIo::Mpg1BPort::end; ++at) world.io[at] = world.host->ioRecord[at];
    for (size_t at = HostMotion::Mpg1Steps::offset; at < HostMotion::Mpg1Steps::end; ++at) {
        world.motion[at] = world.host->motionRecord[at];
    }
    CheckMessageLine();

    const size_t ioBegin = whole ? 0 : kIoCheckBegin;
    const size_t motionBegin = whole ? 0 : kMotionCheckBegin;
    const size_t ioStray = FirstStrayByte(world.host->ioRecord, world.io, ioBegin, kIoCheckEnd);
    REQUIRE(ioStray == kIoCheckEnd, "io record byte %zu changed", ioStray);
    const size_t motionStray = FirstStrayByte(world.host->motionRecord, world.motion, motionBegin, kMotionCheckEnd);
    REQUIRE(motionStray == kMotionCheckEnd, "motion record byte %zu changed", motionStray);
    if (whole) {
        REQUIRE(memcmp(world.host->ioRecord.data() + kIoCheckEnd, world.io.data() + kIoCheckEnd,
                       world.io.size() - kIoCheckEnd) == 0,
                "io record changed past its last field");
        REQUIRE(memcmp(world.host->motionRecord.data() + kMotionCheckEnd, world.motion.data() + kMotionCheckEnd,
                       world.motion.size() - kMotionCheckEnd) == 0,
                "motion record changed past its last field");
    }
}

// ---------------------------------------------------------------------------------------------
// One step (a tick or a notification) and what it may have done.

struct StepOutcome {
    bool alert[6] = {};  // 100, 101, 200, 201, 202, 203 in KnownAlerts order
    int alertCount = 0;
    bool Raised(int32_t code) const {
        for (size_t i = 0; i < KnownAlerts().size(); ++i) {
            if (KnownAlerts()[i].code == code) return alert[i];
        }
        return false;
    }
    bool AnyError() const { return Raised(200) || Raised(201) || Raised(202) || Raised(203); }
};

StepOutcome CollectAlerts() {
    StepOutcome out;
    for (const std::string& text : fakePlatform.alerts) {
        if (kVerbose) fprintf(stderr, "ALERT %.16s\n", text.c_str());
        size_t which = KnownAlerts().size();
        for (size_t i = 0; i < KnownAlerts().size(); ++i) {
            if (text == KnownAlerts()[i].text) which = i;
        }
        REQUIRE(which < KnownAlerts().size(), "unknown alert text:\n%s", text.c_str());
        REQUIRE(!out.alert[which], "alert %d raised twice in one step", KnownAlerts()[which].code);
        out.alert[which] = true;
        ++out.alertCount;
    }
    fakePlatform.alerts.clear();
    return out;
}

void CheckLogLines() {
    for (const std::string& line : fakePlatform.lines) {
        if (kVerbose) fprintf(stderr, "%s\n", line.c_str());
        REQUIRE(line.size() <= kLogLineSize - 1, "log line of %zu characters", line.size());
    }
    fakePlatform.lines.clear();
}

void CheckState() {
    const PluginState& s = pluginState;
    REQUIRE(!s.updateActive, "updateActive left set after a tick");
    if (s.isRunning) {
        REQUIRE(s.called && s.init && !s.unplug && !s.err,
                "running with called=%d init=%d unplug=%d err=%d", s.called, s.init, s.unplug, s.err);
    }
    REQUIRE(!pendantState.weChangedMode || pendantState.enableActive, "weChangedMode without enableActive");
}

// The host calls of one tick: only the named callbacks and codes, at most four jog-mode
// presses, at most one axis press and one increment write, never a non-number.
void CheckHostCalls(bool sampled) {
    int modePresses = 0;
    int axisPresses = 0;
    int droWrites = 0;
    for (const HostCall& call : world.host->calls) {
        REQUIRE(sampled, "host call %d(%d) on a tick without a stable byte", call.kind, call.code);
        switch (call.kind) {
            case HostCall::GetLED:
                REQUIRE(IsReadLed(call.code), "GetLED(%d)", call.code);
                break;
            case HostCall::DoButton:
                REQUIRE(call.code == HostCode::ButtonJogModeToggle || IsAxisButton(call.code), "DoButton(%d)",
                        call.code);
                if (call.code == HostCode::ButtonJogModeToggle) ++modePresses;
                if (IsAxisButton(call.code)) ++axisPresses;
                break;
            case HostCall::GetDRO:
                REQUIRE(call.code == HostCode::DroJogIncrement, "GetDRO(%d)", call.code);
                break;
            case HostCall::SetDRO: {
                REQUIRE(call.code == HostCode::DroJogIncrement, "SetDRO(%d)", call.code);
                REQUIRE(std::isfinite(call.value), "SetDRO(828, %g)", call.value);
                bool known = false;
                for (double value : kIncrements) known = known || call.value == value;
                for (double value : world.droValues) known = known || call.value == value;
                REQUIRE(known, "SetDRO(828, %.17g): neither an increment nor a value the host showed", call.value);
                ++droWrites;
                break;
            }
        }
    }
    REQUIRE(modePresses <= 4, "%d presses of the jog-mode button in one tick", modePresses);
    REQUIRE(axisPresses <= 1, "%d axis presses in one tick", axisPresses);
    REQUIRE(droWrites <= 1, "%d increment writes in one tick", droWrites);
    for (const HostCall& call : world.host->calls) {
        if (call.kind == HostCall::SetDRO) world.droValues.push_back(call.value);
    }
    world.host->calls.clear();
}

// The three reads a tick may make, scripted; -1 is a failed read.
struct PortScript {
    bool scripted = false;
    int32_t reads[3] = {};
};

PortScript NextPortScript(Trace& trace, uint8_t op) {
    PortScript script;
    switch (op & 3) {
        case 0:
            break;
        case 1: {
            const int32_t value = trace.Byte();
            script = {true, {value, value, value}};
            break;
        }
        case 2:
            script.scripted = true;
            for (int32_t& read : script.reads) read = trace.Byte();
            break;
        case 3: {
            const int failAt = trace.Byte() % 3;
            const int32_t value = trace.Byte();
            script = {true, {value, value, value}};
            script.reads[failAt] = -1;
            break;
        }
    }
    return script;
}

// The byte the plug-in agrees on from the reads it made, or -1.
int32_t AgreedByte(const int32_t* reads) {
    if (reads[0] == reads[1]) return reads[0];
    if (reads[1] == reads[2]) return reads[1];
    return -1;
}

void RunTick(const PortScript& script) {
    PluginState& s = pluginState;
    const bool first = s.firstUpdate;
    const bool wasInEStop = s.inEStop;
    const bool enableActiveBefore = pendantState.enableActive;
    const bool configInOrderBefore = InOrder(world.host->ioRecord.data(), world.host->motionRecord.data());
    const bool eStop = world.host->Io<HostIo::EStop>() != 0;
    const bool port2On = world.host->Io<HostIo::Port2Enabled>() != 0;
    const bool port2In = world.host->Io<HostIo::Port2PinsAsInputs>() != 0;
    const uint16_t address = world.host->Io<HostIo::Port2Address>();

    if (kVerbose) {
        fprintf(stderr, "--- tick: reads %d %d %d\n", script.scripted ? script.reads[0] : fakePlatform.steadyPortByte,
                script.scripted ? script.reads[1] : fakePlatform.steadyPortByte,
                script.scripted ? script.reads[2] : fakePlatform.steadyPortByte);
    }
    fakePlatform.portBytes.clear();
    if (script.scripted) fakePlatform.portBytes.assign(script.reads, script.reads + 3);
    fakePlatform.portAddresses.clear();
    const int readsBefore = fakePlatform.portReads;

    myUpdate();

    const int reads = fakePlatform.portReads - readsBefore;
    int32_t got[3];
    for (int i = 0; i < 3; ++i) got[i] = script.scripted ? script.reads[i] : fakePlatform.steadyPortByte;
    const bool failedRead = reads > 0 && got[reads - 1] == -1;
    const int32_t agreed = reads == 3 && !failedRead ? AgreedByte(got) : -1;

    // Sampling: three reads at the port 2 address, fewer only when one fails, never while disabled.
    REQUIRE(reads == 0 || reads == 3 || failedRead, "%d port reads without a failure", reads);
    REQUIRE(reads == 0 || (port2On && port2In), "port read with port 2 disabled or not inputs");
    for (uint16_t each : fakePlatform.portAddresses) {
        REQUIRE(each == address, "port read at 0x%x, port 2 is at 0x%x", each, address);
    }
    for (int i = 0; i + 1 < reads; ++i) REQUIRE(got[i] != -1, "read after a failed read");

    const StepOutcome alerts = CollectAlerts();
    REQUIRE(!alerts.Raised(200) || (first && !s.init), "alert 200 outside a first tick without connection");
    REQUIRE(!alerts.Raised(202) || (wasInEStop && !eStop && !(port2On && port2In)),
            "alert 202 without leaving EStop with port 2 misconfigured");
    // Reads are made only while running, and running means no earlier failure is pending.
    REQUIRE(alerts.Raised(201) == failedRead, "alert 201 raised=%d, failed read=%d", alerts.Raised(201), failedRead);
    REQUIRE(!alerts.Raised(203) || (agreed >= 0 && (agreed & 0x80) == 0 && (agreed & 7) != 7),
            "alert 203 without an agreed byte with the enable off and the selector not at 7");
    REQUIRE(!alerts.Raised(101) ||
                (!enableActiveBefore && agreed >= 0 && (agreed & 0x80) != 0 && !world.host->led[HostCode::LedJogEnabled]),
            "alert 101 outside the press tick with jogging disabled");
    REQUIRE(!alerts.Raised(100) || (first && !configInOrderBefore), "alert 100 outside the first tick");
    REQUIRE(!alerts.AnyError() || !s.isRunning, "still running after an error alert");
    if (failedRead) REQUIRE(s.err && !s.isRunning, "running on after a failed read");
    // Only a running plug-in samples, and only a fault found in the sample stops it.
    REQUIRE(reads == 0 || s.isRunning || alerts.Raised(201) || alerts.Raised(203), "port read while disabled");

    CheckHostCalls(agreed >= 0);
    CheckRecords(false, alerts.Raised(100));
    CheckLogLines();
    CheckState();
}

void RunNotify(int32_t code) {
    const bool configInOrderBefore = InOrder(world.host->ioRecord.data(), world.host->motionRecord.data());
    myNotify(code);
    const StepOutcome alerts = CollectAlerts();
    REQUIRE(alerts.alertCount == (alerts.Raised(100) ? 1 : 0), "a notification raised an alert other than 100");
    REQUIRE(!alerts.Raised(100) || (code == EX_CONFIG && pluginState.postInitCalled && !configInOrderBefore),
            "alert 100 from notification %d", code);
    REQUIRE(world.host->calls.empty(), "a notification called the host");
    CheckRecords(false, alerts.Raised(100));
    CheckLogLines();
    CheckState();
}

// ---------------------------------------------------------------------------------------------
// Setting up and changing the host.

// Every record byte gets a value of its own, so a stray write of any value shows.
std::vector<unsigned char> Pattern(size_t size, uint32_t seed) {
    std::vector<unsigned char> record(size);
    for (size_t at = 0; at < size; ++at) record[at] = static_cast<unsigned char>((at * 2654435761u + seed) >> 13);
    return record;
}

// The host as a fresh one is, with pattern-filled records and the shared empty message line.
void BeginInput() {
    if (!world.host) {
        world.host = std::make_unique<HostState>();
        world.emptyMessageLine = world.host->Motion<HostMotion::MessageLine>();
        world.ioPattern = Pattern(world.host->ioRecord.size(), 0x51);
        world.motionPattern = Pattern(world.host->motionRecord.size(), 0xA7);
        HostMotion::MessageLine::Write(world.motionPattern.data(), world.emptyMessageLine);
    }
    HostState& h = *world.host;
    h.ioRecord = world.ioPattern;
    h.motionRecord = world.motionPattern;
    world.io = world.ioPattern;
    world.motion = world.motionPattern;
    for (bool& lit : h.led) lit = false;
    for (double& value : h.dro) value = 0.0;
    h.SetJogMode(HostCode::LedJogContinuous);
    h.SetMpgAxis(0);
    h.dro[HostCode::DroJogIncrement] = 0.1;
    h.jogCycle = {HostCode::LedJogContinuous, HostCode::LedJogIncremental, HostCode::LedJogMpg};
    h.jogModeStuck = false;
    h.axisButtonsStuck = false;
    h.calls.clear();
    h.onGetLED = ReenterOnGetLED;
    world.droValues.clear();
    world.reenterArmed = false;
}

// The message line goes back to the shared empty string, so nothing of one input outlives it.
void EndInput() {
    HostState& h = *world.host;
    HostStringRelease(HostString{h.Motion<HostMotion::MessageLine>()});
    h.SetMotion<HostMotion::MessageLine>(world.emptyMessageLine);
    h.calls.clear();
}

// Setup flags: bit 0 port 2 enabled, 1 its pins are inputs, 2 MPG #1 already as the board
// needs (else whatever the record holds), 3 the object model connects, 4 PostInitControl is
// called, 5 the host starts in EStop, 6 jogging is enabled, 7 units are inches.
void Setup(Trace& trace) {
    ResetPluginState();
    BeginInput();
    HostState& h = *world.host;

    const uint8_t flags = trace.Byte();
    SetIo<HostIo::Port2Enabled>(flags & 1 ? 1 : 0);
    SetIo<HostIo::Port2PinsAsInputs>(flags & 2 ? 1 : 0);
    SetIo<HostIo::Port2Address>(0x278);
    if (flags & 4) {
        SetIo<HostIo::Mpg1Active>(1);
        SetIo<HostIo::Mpg1APort>(kMpgPort);
        SetIo<HostIo::Mpg1APin>(kMpgAPin);
        SetIo<HostIo::Mpg1BPort>(kMpgPort);
        SetIo<HostIo::Mpg1BPin>(kMpgBPin);
        SetMotion<HostMotion::Mpg1Steps>(kMpgSteps);
    }
    SetIo<HostIo::EStop>(flags & 32 ? 1 : 0);
    h.led[HostCode::LedJogEnabled] = (flags & 64) != 0;
    h.led[HostCode::LedUnitsInches] = (flags & 128) != 0;
    world.droValues.push_back(h.dro[HostCode::DroJogIncrement]);
    fakePlatform.startupStatus = flags & 8 ? 0 : 2;

    BindHost(h);
    host.callbacks.SetLED = TrapSetLED;
    host.callbacks.Code = TrapCode;
    host.callbacks.GetMenuRange = TrapGetMenuRange;

    myInitControl();
    LogSetLevel(trace.Byte() % 8);  // 7 is refused
    fakePlatform.steadyPortByte = trace.Byte();
    if (flags & 16) myPostInitControl();
    CollectAlerts();
    CheckLogLines();
}

void SetLeds(const int16_t* codes, int count, uint8_t bits) {
    for (int i = 0; i < count; ++i) world.host->led[codes[i]] = (bits >> i) & 1;
}

// Event byte, low four bits: what the host or its operator does before the record's ticks.
void ApplyHostEvent(Trace& trace) {
    static const int16_t kModeLeds[] = {HostCode::LedJogContinuous, HostCode::LedJogIncremental, HostCode::LedJogMpg};
    static const int16_t kAxisLeds[] = {HostCode::LedMpgAxisFirst,     HostCode::LedMpgAxisFirst + 1,
                                        HostCode::LedMpgAxisFirst + 2, HostCode::LedMpgAxisFirst + 3,
                                        HostCode::LedMpgAxisFirst + 4, HostCode::LedMpgAxisFirst + 5};
    static const int16_t kOtherLeds[] = {HostCode::LedJogEnabled, HostCode::LedUnitsInches, HostCode::Led802};
    static const std::vector<int16_t> kJogCycles[] = {
        {14, 15, 57}, {57, 15, 14}, {14, 57}, {15}, {}, {14, 15, 57, -1}, {-1}, {57},
    };
    HostState& h = *world.host;
    switch (trace.Byte() & 15) {
        case 0:  // jog-mode LEDs as given: none, one or several lit
            SetLeds(kModeLeds, 3, trace.Byte());
            break;
        case 1:  // MPG axis LEDs as given
            SetLeds(kAxisLeds, 6, trace.Byte());
            break;
        case 2:  // jogging enabled, inches, LED 802
            SetLeds(kOtherLeds, 3, trace.Byte());
            break;
        case 3:
            SetIncrementDro(NextHostDouble(trace));
            break;
        case 4: {
            const uint8_t bits = trace.Byte();
            SetIo<HostIo::Port2Enabled>(bits & 1 ? 1 : 0);
            SetIo<HostIo::Port2PinsAsInputs>(bits & 2 ? 1 : 0);
            break;
        }
        case 5:
            SetIo<HostIo::Port2Address>(trace.U16());
            break;
        case 6: {
            const uint8_t bits = trace.Byte();
            h.jogModeStuck = bits & 1;
            h.axisButtonsStuck = bits & 2;
            break;
        }
        case 7:
            h.jogCycle = kJogCycles[trace.Byte() % 8];
            break;
        case 8: {  // the operator edits the MPG #1 configuration
            const uint8_t field = trace.Byte() % 6;
            switch (field) {
                case 0: SetIo<HostIo::Mpg1Active>(trace.Byte()); break;
                case 1: SetIo<HostIo::Mpg1APin>(static_cast<int32_t>(trace.U32())); break;
                case 2: SetIo<HostIo::Mpg1BPin>(static_cast<int32_t>(trace.U32())); break;
                case 3: SetIo<HostIo::Mpg1APort>(static_cast<int32_t>(trace.U32())); break;
                case 4: SetIo<HostIo::Mpg1BPort>(static_cast<int32_t>(trace.U32())); break;
                default: SetMotion<HostMotion::Mpg1Steps>(NextHostDouble(trace)); break;
            }
            break;
        }
        case 9:
            world.reenterArmed = true;
            break;
        case 10:
            LogSetLevel(static_cast<int8_t>(trace.Byte()));
            break;
        case 11:
            myInitControl();
            break;
        case 12:
            fakePlatform.startupStatus = trace.Byte() & 1 ? 0 : 1;
            myPostInitControl();
            break;
        case 13:  // the host writes its own message line
            h.SetMessageLine("Operator's note");
            HostMotion::MessageLine::Write(world.motion.data(), h.Motion<HostMotion::MessageLine>());
            break;
        default:
            break;
    }
    CollectAlerts();
    REQUIRE(h.calls.empty(), "a host event made the plug-in call the host");
    CheckLogLines();
}

void TearDown() {
    const bool init = pluginState.init;
    const int shutdownsBefore = fakePlatform.shutdownCalls;
    myCleanUp();
    REQUIRE(fakePlatform.shutdownCalls - shutdownsBefore == (init ? 1 : 0), "shutdown without a connection");
    CheckRecords(true, false);
    EndInput();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    Trace trace(data, size);
    Setup(trace);
    int ticks = 0;
    while (!trace.AtEnd() && ticks < kMaxTicks) {
        const uint8_t op = trace.Byte();
        const PortScript script = NextPortScript(trace, op);
        if (op & 4) ApplyHostEvent(trace);
        if (op & 8) RunNotify(NextNotifyCode(trace));
        if (op & 16) SetIo<HostIo::EStop>(world.host->Io<HostIo::EStop>() ? 0 : 1);
        const int repeats = 1 + (op >> 5);
        for (int i = 0; i < repeats && ticks < kMaxTicks; ++i, ++ticks) RunTick(script);
    }
    TearDown();
    return 0;
}
