// The pendant engine against the simulated host's controls: jog mode switching, axis and
// increment selection, and the controller that hands the jog settings between pendant and
// operator.
#include <cmath>
#include <functional>
#include <iterator>
#include <limits>
#include <string>

#include "engine_fixture.h"
#include "pendant/axis_select.h"
#include "pendant/inc_select.h"
#include "pendant/jog_mode.h"
#include "pendant/pendant_controller.h"
#include "plugin/host_binding.h"

namespace engine_test {
namespace {

constexpr int16_t C = HostCode::LedJogContinuous;
constexpr int16_t I = HostCode::LedJogIncremental;
constexpr int16_t M = HostCode::LedJogMpg;
constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
constexpr double kInf = std::numeric_limits<double>::infinity();

class PendantTest : public EngineTest {
protected:
    // Lights exactly these LEDs among a group.
    void Light(const std::vector<int16_t>& group, const std::vector<int16_t>& lit) {
        for (int16_t code : group) host_->led[code] = false;
        for (int16_t code : lit) host_->led[code] = true;
    }
    void LightJogModes(const std::vector<int16_t>& lit) { Light({C, I, M}, lit); }
    void LightAxes(const std::vector<int16_t>& lit) { Light({59, 60, 61, 62, 63, 64}, lit); }
};

// ---- Jog mode ---------------------------------------------------------------------------

std::string Toggle(const char* name, int mode) {
    return "[DEBUG]: SetJogMode(): toggle jog mode, now '" + std::string(name) + "' (" + std::to_string(mode) + ")";
}
std::string Success(int presses) {
    return "[DEBUG]: SetJogMode(): Success, took " + std::to_string(presses) + " tries";
}

TEST_F(PendantTest, SetJogModePressesUntilTheTargetShowsAtMostFourTimes) {
    const struct {
        const char* name;
        std::vector<int16_t> cycle;
        int16_t start;  // -1: no jog-mode LED lit
        bool stuck;
        JogMode target;
        std::vector<std::string> lines;
        JogMode result;
    } cases[] = {
        {"continuous to MPG", {C, I, M}, C, false, JOG_MPG,
         {Toggle("Incremental", 15), Toggle("MPG", 57), Success(2)}, JOG_MPG},
        {"already in the target: pressed anyway, all the way round", {C, I, M}, C, false, JOG_CONTINUOUS,
         {Toggle("Incremental", 15), Toggle("MPG", 57), Toggle("Continuous", 14), Success(3)}, JOG_CONTINUOUS},
        {"MPG to continuous", {C, I, M}, M, false, JOG_CONTINUOUS, {Toggle("Continuous", 14), Success(1)},
         JOG_CONTINUOUS},
        {"another order", {C, M, I}, C, false, JOG_MPG, {Toggle("MPG", 57), Success(1)}, JOG_MPG},
        {"stuck host", {C, I, M}, C, true, JOG_MPG,
         {Toggle("Continuous", 14), Toggle("Continuous", 14), Toggle("Continuous", 14), Toggle("Continuous", 14),
          "[ERROR]: SetJogMode(): could not set jog mode, mode=14 (Continuous)"},
         JOG_CONTINUOUS},
        {"stuck with no LED lit", {C, I, M}, -1, true, JOG_MPG,
         {Toggle("UNKNOWN", -1), Toggle("UNKNOWN", -1), Toggle("UNKNOWN", -1), Toggle("UNKNOWN", -1),
          "[ERROR]: SetJogMode(): could not set jog mode, mode=-1 (UNKNOWN)"},
         JOG_UNKNOWN},
        {"target unknown is met by dark LEDs", {C, -1, M}, C, false, JOG_UNKNOWN,
         {Toggle("UNKNOWN", -1), Success(1)}, JOG_UNKNOWN},
        {"target 0 is never met", {C, I, M}, C, false, 0,
         {Toggle("Incremental", 15), Toggle("MPG", 57), Toggle("Continuous", 14), Toggle("Incremental", 15),
          "[ERROR]: SetJogMode(): could not set jog mode, mode=15 (Incremental)"},
         JOG_INCREMENTAL},
    };
    for (const auto& c : cases) {
        SetUp();
        host_->jogCycle = c.cycle;
        host_->jogModeStuck = c.stuck;
        host_->SetJogMode(c.start);
        EXPECT_EQ(SetJogMode(c.target), c.result) << c.name;
        EXPECT_EQ(Lines(), c.lines) << c.name;
        EXPECT_EQ(ButtonPresses(), std::vector<int>(c.lines.size() - 1, 245)) << c.name;
        EXPECT_EQ(host_->JogMode(), c.result) << c.name;
    }
}

TEST_F(PendantTest, GetJogModeTakesTheFirstLitOf14_15_57) {
    const struct {
        std::vector<int16_t> lit;
        JogMode mode;
        int ledsRead;
    } cases[] = {
        {{C}, JOG_CONTINUOUS, 1}, {{C, M}, JOG_CONTINUOUS, 1}, {{I, M}, JOG_INCREMENTAL, 2},
        {{M}, JOG_MPG, 3},        {{}, JOG_UNKNOWN, 3},
    };
    for (const auto& c : cases) {
        LightJogModes(c.lit);
        host_->calls.clear();
        EXPECT_EQ(GetJogMode(), c.mode);
        EXPECT_EQ(Count(HostCall::GetLED), c.ledsRead);
        EXPECT_TRUE(Lines().empty());
    }
}

// ---- Axis selection ---------------------------------------------------------------------

struct AxisStep {
    std::vector<int16_t> axesLit;  // the host's axis LEDs as this call finds them
    int32_t sel;
    bool justPressed;
    std::vector<std::string> lines;
    std::vector<int> presses;
    bool overrideMessage;
};

TEST_F(PendantTest, AxisSelection) {
    const std::string first = "[DEBUG]: UpdateAxisSelect(): first time, already set";
    const std::string overriding = "[INFO]: UpdateAxisSelect(): Overriding user axis select";
    const std::string noAxis = "[ERROR]: GetMPGJogAxis() unknown axis return -1";
    const std::string back61from59 = "[INFO]: UpdateAxisSelect(): new Axis Select = 61 (2), old = 59";
    const std::string back61from64 = "[INFO]: UpdateAxisSelect(): new Axis Select = 61 (2), old = 64";
    const std::string to64from59 = "[INFO]: UpdateAxisSelect(): new Axis Select = 64 (5), old = 59";
    const std::string cannot61 = "[ERROR]: UpdateAxisSelect(): cannot set axis, current = -1, new = 61 (2)";
    const struct {
        const char* name;
        std::vector<AxisStep> steps;
    } cases[] = {
        {"first time, already set; later calls are silent",
         {{{61}, 2, true, {first}, {}, false}, {{61}, 2, false, {}, {}, false}}},
        {"first time on another axis: no override, though the selector was the same before",
         {{{62}, 3, true, {first}, {}, false},
          {{59}, 3, true, {"[INFO]: UpdateAxisSelect(): new Axis Select = 62 (3), old = 59"}, {188}, false}}},
        {"selector moved",
         {{{60}, 1, true, {first}, {}, false},
          {{60}, 3, false, {"[INFO]: UpdateAxisSelect(): new Axis Select = 62 (3), old = 60"}, {188}, false}}},
        {"changed at the host while the selector stayed",
         {{{61}, 2, true, {first}, {}, false},
          {{59}, 2, false, {overriding, back61from59}, {187}, true}}},
        {"no axis LED: nothing pressed and the remembered selector kept",
         {{{61}, 2, true, {first}, {}, false},
          {{}, 2, false, {noAxis, cannot61}, {}, false},
          {{64}, 2, false, {overriding, back61from64}, {187}, true}}},
        {"selector outside 0..5",
         {{{59}, 6, false,
           {"[ERROR]: AxisSelToJogAxis() unknown axissel 6 return -1",
            "[ERROR]: UpdateAxisSelect(): cannot set axis, current = 59, new = -1 (6)"}, {}, false},
          {{}, -1, false,
           {noAxis, "[ERROR]: AxisSelToJogAxis() unknown axissel -1 return -1",
            "[ERROR]: UpdateAxisSelect(): cannot set axis, current = -1, new = -1 (-1)"}, {}, false}}},
        {"several axis LEDs: the first counts", {{{60, 62}, 1, true, {first}, {}, false}}},
        {"a host that ignores the press is corrected again with the override note",
         {{{59}, 5, true, {to64from59}, {190}, false},
          {{59}, 5, false, {overriding, to64from59}, {190}, true}}},
    };
    for (const auto& c : cases) {
        SetUp();
        host_->axisButtonsStuck = true;  // the steps set the host's axis themselves
        for (size_t n = 0; n < c.steps.size(); ++n) {
            const AxisStep& step = c.steps[n];
            Clear();
            host_->SetMessageLine("");
            LightAxes({});
            for (int16_t led : step.axesLit) host_->led[led] = true;
            UpdateAxisSelect(step.sel, step.justPressed);
            EXPECT_EQ(Lines(), step.lines) << c.name << ", call " << n;
            EXPECT_EQ(ButtonPresses(), step.presses) << c.name << ", call " << n;
            EXPECT_EQ(host_->MessageLine(), step.overrideMessage ? kMsgJogAxis : "") << c.name << ", call " << n;
            EXPECT_EQ(Count(HostCall::GetDRO) + Count(HostCall::SetDRO), 0) << c.name;
        }
    }
}

// ---- Increment selection ----------------------------------------------------------------

TEST_F(PendantTest, IncrementTableByUnit) {
    const struct {
        int32_t sel;
        bool inches;
        double wanted;
        const char* line;
    } cases[] = {
        {0, false, 0.01, "Increment Select set to 0.010 (x1) mm (i=0, m=0), old = 5.000"},
        {1, false, 0.1, "Increment Select set to 0.100 (x10) mm (i=0, m=0), old = 5.000"},
        {2, false, 1.0, "Increment Select set to 1.000 (x100) mm (i=0, m=0), old = 5.000"},
        {0, true, 0.001, "Increment Select set to 0.001 (x1) inches (i=1, m=0), old = 5.000"},
        {1, true, 0.01, "Increment Select set to 0.010 (x10) inches (i=1, m=0), old = 5.000"},
        {2, true, 0.1, "Increment Select set to 0.100 (x100) inches (i=1, m=0), old = 5.000"},
    };
    for (const auto& c : cases) {
        SetUp();
        host_->led[HostCode::LedUnitsInches] = c.inches;
        host_->dro[HostCode::DroJogIncrement] = 5.0;
        UpdateIncSelect(c.sel, true);
        EXPECT_EQ(Lines(), std::vector<std::string>{"[INFO]: UpdateIncSelect(): " + std::string(c.line)});
        EXPECT_EQ(DroWrites(), std::vector<double>{c.wanted});
        // The unit LED, LED 802 and the DRO are read in this order before anything is written.
        ASSERT_EQ(host_->calls.size(), 4u);
        EXPECT_EQ(host_->calls[0].code, HostCode::LedUnitsInches);
        EXPECT_EQ(host_->calls[1].code, HostCode::Led802);
        EXPECT_EQ(host_->calls[2].kind, HostCall::GetDRO);
        // The written value reads back equal, so the next call is silent.
        Clear();
        UpdateIncSelect(c.sel, false);
        EXPECT_TRUE(Lines().empty());
        EXPECT_TRUE(DroWrites().empty());
        EXPECT_EQ(host_->MessageLine(), "");
    }
}

uint8_t QV_CDECL LitAsFF(int16_t code) { return SimGetLED(code) != 0 ? 0xFF : 0; }

TEST_F(PendantTest, ALitLedMayReadAsAnyNonZeroByte) {
    host.callbacks.GetLED = LitAsFF;
    host_->led[HostCode::LedUnitsInches] = true;
    host_->led[HostCode::Led802] = true;
    UpdateIncSelect(0, true);
    EXPECT_EQ(Lines(), std::vector<std::string>{"[INFO]: UpdateIncSelect(): Increment Select set to 0.001 (x1) "
                                                "inches (i=1, m=1), old = 0.100"});
    EXPECT_EQ(DroWrites(), std::vector<double>{0.001});
    EXPECT_EQ(GetJogMode(), JOG_CONTINUOUS);
    EXPECT_EQ(GetMPGJogAxis(), 59);
}

struct IncStep {
    std::function<void(HostState&)> host;  // what the host shows this call
    int32_t sel;
    bool justPressed;
    std::vector<std::string> lines;
    std::vector<double> writes;
    bool overrideMessage;
};

TEST_F(PendantTest, IncrementSelection) {
    const std::string first = "[DEBUG]: UpdateIncSelect(): first time, already set";
    const std::string overriding = "[INFO]: UpdateIncSelect(): Overriding user inc select";
    auto dro = [](double value) { return [value](HostState& h) { h.dro[HostCode::DroJogIncrement] = value; }; };
    auto inches = [](HostState& h) { h.led[HostCode::LedUnitsInches] = true; };
    auto same = [](HostState&) {};
    const struct {
        const char* name;
        std::vector<IncStep> steps;
    } cases[] = {
        {"first time, already set; later calls are silent",
         {{dro(0.1), 1, true, {first}, {}, false}, {same, 1, false, {}, {}, false}}},
        {"first time with another value: no override",
         {{dro(0.1), 1, true, {first}, {}, false},
          {dro(0.5), 1, true,
           {"[INFO]: UpdateIncSelect(): Increment Select set to 0.100 (x10) mm (i=0, m=0), old = 0.500"}, {0.1},
           false}}},
        {"selector moved from x1 to x100",
         {{dro(0.01), 0, true, {first}, {}, false},
          {same, 2, false,
           {"[INFO]: UpdateIncSelect(): Increment Select set to 1.000 (x100) mm (i=0, m=0), old = 0.010"}, {1.0},
           false}}},
        {"changed at the host while the selector stayed",
         {{dro(0.1), 1, true, {first}, {}, false},
          {dro(0.5), 1, false,
           {overriding, "[INFO]: UpdateIncSelect(): Increment Select set to 0.100 (x10) mm (i=0, m=0), old = 0.500"},
           {0.1}, true}}},
        {"a unit switch at the host counts as a change made there",
         {{dro(0.01), 0, true, {first}, {}, false},
          {inches, 0, false,
           {overriding,
            "[INFO]: UpdateIncSelect(): Increment Select set to 0.001 (x1) inches (i=1, m=0), old = 0.010"},
           {0.001}, true}}},
        {"LED 802 is only reported",
         {{[](HostState& h) {
               h.led[HostCode::Led802] = true;
               h.dro[HostCode::DroJogIncrement] = 2.0;
           },
           2, true, {"[INFO]: UpdateIncSelect(): Increment Select set to 1.000 (x100) mm (i=0, m=1), old = 2.000"},
           {1.0}, false}}},
        {"a DRO that is no number is replaced",
         {{dro(1.0), 2, true, {first}, {}, false},
          {dro(kNaN), 2, false,
           {overriding, "[INFO]: UpdateIncSelect(): Increment Select set to 1.000 (x100) mm (i=0, m=0), old = nan"},
           {1.0}, true},
          {dro(-kInf), 2, false,
           {overriding, "[INFO]: UpdateIncSelect(): Increment Select set to 1.000 (x100) mm (i=0, m=0), old = -inf"},
           {1.0}, true}}},
        {"selector 3 reads nothing and forgets nothing it was not told to",
         {{dro(0.1), 1, true, {first}, {}, false},
          {same, 3, false, {"[ERROR]: UpdateIncSelect(): Invalid Increment Select value 3"}, {}, false},
          {dro(0.5), 1, false,
           {overriding, "[INFO]: UpdateIncSelect(): Increment Select set to 0.100 (x10) mm (i=0, m=0), old = 0.500"},
           {0.1}, true}}},
        {"selector 3 on the press tick still resets the remembered selector",
         {{dro(0.1), 1, true, {first}, {}, false},
          {same, 3, true, {"[ERROR]: UpdateIncSelect(): Invalid Increment Select value 3"}, {}, false},
          {dro(0.5), 1, false,
           {"[INFO]: UpdateIncSelect(): Increment Select set to 0.100 (x10) mm (i=0, m=0), old = 0.500"}, {0.1},
           false}}},
        {"negative selector",
         {{same, -1, false, {"[ERROR]: UpdateIncSelect(): Invalid Increment Select value -1"}, {}, false}}},
    };
    for (const auto& c : cases) {
        SetUp();
        for (size_t n = 0; n < c.steps.size(); ++n) {
            const IncStep& step = c.steps[n];
            Clear();
            host_->SetMessageLine("");
            step.host(*host_);
            UpdateIncSelect(step.sel, step.justPressed);
            EXPECT_EQ(Lines(), step.lines) << c.name << ", call " << n;
            EXPECT_EQ(DroWrites(), step.writes) << c.name << ", call " << n;
            EXPECT_EQ(host_->MessageLine(), step.overrideMessage ? kMsgJogIncrement : "") << c.name << ", call " << n;
            if (step.sel < 0 || step.sel > 2) {
                EXPECT_TRUE(host_->calls.empty()) << c.name << ": an invalid selector touches no host control";
            }
        }
    }
}

// ---- Pendant controller -----------------------------------------------------------------

class ControllerTest : public PendantTest {
protected:
    // One stable byte handed to the controller, as the update cycle does.
    void Step(int32_t raw) {
        Clear();
        UpdatePendant(raw & 0x9F, raw);
    }
    // The log without the jog-mode switching's own lines, which the press counts show.
    static std::vector<std::string> StepLines() {
        std::vector<std::string> out;
        for (const std::string& line : Lines()) {
            if (line.find("SetJogMode(): ") == std::string::npos) out.push_back(line);
        }
        return out;
    }
    PendantControlState State() const { return CurrentPendantControlState(); }
};

const char kPressed[] = "[INFO]: DoMyUpdate(): pendant enable JUST pressed";
const char kReleased[] = "[INFO]: DoMyUpdate(): pendant enable JUST UN-pressed";
const char kAxisFirst[] = "[DEBUG]: UpdateAxisSelect(): first time, already set";
const char kIncFirst[] = "[DEBUG]: UpdateIncSelect(): first time, already set";
const char kUnplugged65[] = "[ERROR]: Read invalid raw data 0x65, presume card unplugged";

using HostSetup = std::function<void(HostState&)>;
const HostSetup kAsIs = [](HostState&) {};
const HostSetup kHostInMpg = [](HostState& h) { h.SetJogMode(JOG_MPG); };
const HostSetup kHostInIncremental = [](HostState& h) { h.SetJogMode(JOG_INCREMENTAL); };
const HostSetup kStuck = [](HostState& h) { h.jogModeStuck = true; };
const HostSetup kJogDisabled = [](HostState& h) { h.led[HostCode::LedJogEnabled] = false; };
const HostSetup kStuckInMpg = [](HostState& h) {
    h.SetJogMode(JOG_MPG);
    h.jogModeStuck = true;
};

enum class From { Released, Engaged, EngagedSwitched };

TEST_F(ControllerTest, StateTable) {
    using S = PendantControlState;
    // The host starts in continuous mode, jogging enabled, axis 0, increment 0.25 mm. Engaged is
    // reached by a press with the host already in MPG mode, EngagedSwitched by a press with axis
    // selector 0 and increment selector 1 from continuous mode (the increment becomes 0.1).
    const struct {
        const char* name;
        From from;
        HostSetup host;  // the host as the step finds it
        int32_t raw;
        std::vector<std::string> lines;
        S to;
        std::vector<int> buttons;
        std::vector<double> droWrites;
        const char* message;
        std::vector<std::string> alerts;
        JogMode modeAfter;
    } rows[] = {
        {"released, invalid data", From::Released, kAsIs, 0x65, {kUnplugged65}, S::Released, {}, {}, "",
         {kAlert203}, JOG_CONTINUOUS},
        {"released, idle, operator not in MPG", From::Released, kHostInIncremental, kIdle, {}, S::Released, {}, {},
         "", {}, JOG_INCREMENTAL},
        {"released, operator picked MPG", From::Released, kHostInMpg, 0x1F,
         {"[INFO]: DoMyUpdate(): Overriding user MPG mode to CONTINOUS"}, S::Released, {245}, {},
         kMsgOnlyMpgByPendant, {}, JOG_CONTINUOUS},
        {"released, operator picked MPG, host stuck", From::Released, kStuckInMpg, kIdle,
         {"[INFO]: DoMyUpdate(): Overriding user MPG mode to CONTINOUS",
          "[ERROR]: DoMyUpdate(): could not set jog mode to CONTINUOUS"},
         S::Released, {245, 245, 245, 245}, {}, kMsgOnlyMpgByPendant, {}, JOG_MPG},
        {"press from continuous", From::Released, kAsIs, Enabled(0, 2),
         {kPressed, "[DEBUG]: DoMyUpdate(): JogMode LEDs cont=1, inc=0, mpg=0",
          "[INFO]: DoMyUpdate(): Changing to MPG Jog Mode (Enabled)", kAxisFirst,
          "[INFO]: UpdateIncSelect(): Increment Select set to 1.000 (x100) mm (i=0, m=0), old = 0.250"},
         S::EngagedSwitched, {245, 245}, {1.0}, "", {}, JOG_MPG},
        {"press in MPG", From::Released, kHostInMpg, Enabled(0, 1),
         {kPressed, "[DEBUG]: DoMyUpdate(): JogMode LEDs cont=0, inc=0, mpg=1", kAxisFirst,
          "[INFO]: UpdateIncSelect(): Increment Select set to 0.100 (x10) mm (i=0, m=0), old = 0.250"},
         S::Engaged, {}, {0.1}, "", {}, JOG_MPG},
        {"press with jogging disabled", From::Released, kJogDisabled, Enabled(0, 1),
         {kPressed, "[DEBUG]: DoMyUpdate(): JogMode LEDs cont=1, inc=0, mpg=0",
          "[WARNING]: DoMyUpdate(): got JogEnable DISABLED"},
         S::Engaged, {}, {}, "", {kAlert101}, JOG_CONTINUOUS},
        {"engaged, jogging disabled after the press", From::Engaged, kJogDisabled, Enabled(3, 2), {}, S::Engaged, {},
         {}, "", {}, JOG_MPG},
        {"engaged, external switch 1", From::Engaged, kAsIs, Enabled(6, 1),
         {"[WARNING]: DoMyUpdate(): Got ext swt #1 pressed, IGNORED"}, S::Engaged, {}, {}, "", {}, JOG_MPG},
        {"switched, external switch 2 with the operator out of MPG", From::EngagedSwitched, kHostInIncremental,
         Enabled(7, 1), {"[WARNING]: DoMyUpdate(): Got ext swt #2 pressed, IGNORED"}, S::EngagedSwitched, {}, {}, "",
         {}, JOG_INCREMENTAL},
        {"engaged, in MPG, selectors moved", From::Engaged, kAsIs, Enabled(2, 2),
         {"[INFO]: UpdateAxisSelect(): new Axis Select = 61 (2), old = 59",
          "[INFO]: UpdateIncSelect(): Increment Select set to 1.000 (x100) mm (i=0, m=0), old = 0.100"},
         S::Engaged, {187}, {1.0}, "", {}, JOG_MPG},
        {"engaged, operator left MPG", From::Engaged, kHostInIncremental, Enabled(0, 1),
         {"[INFO]: DoMyUpdate(): Changing to MPG Jog Mode (Override User)"}, S::EngagedSwitched, {245}, {},
         kMsgJogMode, {}, JOG_MPG},
        {"engaged, operator left MPG, host stuck: no selector update", From::Engaged,
         [](HostState& h) {
             h.SetJogMode(JOG_CONTINUOUS);
             h.jogModeStuck = true;
         },
         Enabled(3, 2),
         {"[INFO]: DoMyUpdate(): Changing to MPG Jog Mode (Override User)",
          "[ERROR]: DoMyUpdate(): could not set jog mode to MPG, exiting"},
         S::EngagedSwitched, {245, 245, 245, 245}, {}, kMsgJogMode, {}, JOG_CONTINUOUS},
        {"engaged, invalid data", From::Engaged, kAsIs, 0x65, {kUnplugged65}, S::Engaged, {}, {}, "", {kAlert203},
         JOG_MPG},
        {"switched, invalid data", From::EngagedSwitched, kAsIs, 0x65, {kUnplugged65}, S::EngagedSwitched, {}, {}, "",
         {kAlert203}, JOG_MPG},
        {"switched, release restores", From::EngagedSwitched, kAsIs, 0x1F,
         {kReleased, "[INFO]: DoMyUpdate(): Restoring previous mode 14 and inc 0.250"}, S::Released, {245}, {0.25},
         "", {}, JOG_CONTINUOUS},
        {"switched, release with the host stuck still restores the increment", From::EngagedSwitched, kStuck, kIdle,
         {kReleased, "[INFO]: DoMyUpdate(): Restoring previous mode 14 and inc 0.250",
          "[ERROR]: DoMyUpdate(): could not restore jog mode, try=14, result=57"},
         S::Released, {245, 245, 245, 245}, {0.25}, "", {}, JOG_MPG},
        {"engaged, release restores nothing, not even out of MPG", From::Engaged, kAsIs, kIdle,
         {kReleased, "[INFO]: DoMyUpdate(): NOT restoring previous mode, we didn't change it"}, S::Released, {}, {},
         "", {}, JOG_MPG},
    };
    for (const auto& row : rows) {
        SetUp();
        host_->dro[HostCode::DroJogIncrement] = 0.25;
        if (row.from == From::Engaged) {
            host_->SetJogMode(JOG_MPG);
            Step(Enabled(0, 1));
            ASSERT_EQ(State(), S::Engaged) << row.name;
        } else if (row.from == From::EngagedSwitched) {
            Step(Enabled(0, 1));
            ASSERT_EQ(State(), S::EngagedSwitched) << row.name;
        }
        row.host(*host_);
        host_->SetMessageLine("");
        Step(row.raw);
        EXPECT_EQ(StepLines(), row.lines) << row.name;
        EXPECT_EQ(State(), row.to) << row.name;
        EXPECT_EQ(ButtonPresses(), row.buttons) << row.name;
        EXPECT_EQ(DroWrites(), row.droWrites) << row.name;
        EXPECT_EQ(host_->MessageLine(), row.message) << row.name;
        EXPECT_EQ(fakePlatform.alerts, row.alerts) << row.name;
        EXPECT_EQ(host_->JogMode(), row.modeAfter) << row.name;
    }
}

TEST_F(ControllerTest, PressReadsModeAndIncrementBeforeTheJogEnableTest) {
    host_->led[HostCode::LedJogEnabled] = false;
    host_->dro[HostCode::DroJogIncrement] = 0.01;
    Step(Enabled(1, 2));
    const std::vector<std::pair<HostCall::Kind, int16_t>> expected = {
        {HostCall::GetLED, 14}, {HostCall::GetLED, 57}, {HostCall::GetLED, 15},
        {HostCall::GetLED, 14}, {HostCall::GetDRO, 828}, {HostCall::GetLED, 83}};
    std::vector<std::pair<HostCall::Kind, int16_t>> calls;
    for (const HostCall& call : host_->calls) calls.emplace_back(call.kind, call.code);
    EXPECT_EQ(calls, expected);
    EXPECT_EQ(pendantState.savedJogMode, JOG_CONTINUOUS);
    EXPECT_EQ(pendantState.savedJogInc, 0.01);
}

TEST_F(ControllerTest, PressWithJoggingDisabledAlertsOnceThenSwitchesAsOverrideWhenEnabled) {
    host_->led[HostCode::LedJogEnabled] = false;
    host_->dro[HostCode::DroJogIncrement] = 0.25;
    Step(Enabled(0, 1));
    EXPECT_EQ(fakePlatform.alerts, std::vector<std::string>{kAlert101});
    for (int i = 0; i < 3; ++i) {
        Step(Enabled(0, 1));
        EXPECT_TRUE(Lines().empty());
        EXPECT_EQ(host_->calls.size(), 2u);  // the jog mode and LED 83, nothing else
        EXPECT_TRUE(fakePlatform.alerts.empty());
    }
    host_->led[HostCode::LedJogEnabled] = true;
    Step(Enabled(0, 1));
    // Not the press tick any more: the override text, and the selectors are not told it is a
    // press (no "first time" lines; the increment differs since the press saved 0.25).
    EXPECT_EQ(StepLines(),
              (std::vector<std::string>{
                  "[INFO]: DoMyUpdate(): Changing to MPG Jog Mode (Override User)",
                  "[INFO]: UpdateIncSelect(): Increment Select set to 0.100 (x10) mm (i=0, m=0), old = 0.250"}));
    EXPECT_EQ(host_->MessageLine(), kMsgJogMode);
    EXPECT_EQ(host_->JogMode(), JOG_MPG);
    EXPECT_EQ(State(), PendantControlState::EngagedSwitched);

    Step(kIdle);
    EXPECT_EQ(host_->JogMode(), JOG_CONTINUOUS);
    EXPECT_EQ(host_->dro[HostCode::DroJogIncrement], 0.25);
}

TEST_F(ControllerTest, PressAndReleaseRoundTripRestoresModeAndIncrement) {
    host_->SetJogMode(JOG_INCREMENTAL);
    host_->dro[HostCode::DroJogIncrement] = 0.5;
    Step(Enabled(0, 1));
    EXPECT_EQ(host_->JogMode(), JOG_MPG);
    EXPECT_EQ(host_->dro[HostCode::DroJogIncrement], 0.1);
    EXPECT_EQ(host_->MessageLine(), "");
    for (int sel = 1; sel <= 5; ++sel) Step(Enabled(sel, sel % 3));
    EXPECT_EQ(host_->MpgAxis(), 5);
    Step(kIdle);
    EXPECT_EQ(StepLines(), (std::vector<std::string>{
                               kReleased, "[INFO]: DoMyUpdate(): Restoring previous mode 15 and inc 0.500"}));
    EXPECT_EQ(host_->JogMode(), JOG_INCREMENTAL);
    EXPECT_EQ(host_->dro[HostCode::DroJogIncrement], 0.5);
    EXPECT_EQ(host_->MpgAxis(), 5);  // the axis is not restored
    // Released and out of MPG: later idle steps leave the host alone.
    Step(kIdle);
    EXPECT_TRUE(ButtonPresses().empty());
    EXPECT_TRUE(DroWrites().empty());
}

TEST_F(ControllerTest, SavedMpgModeIsRestoredAndThenTakenBackToContinuous) {
    host_->SetJogMode(JOG_MPG);
    Step(Enabled(0, 1));
    host_->SetJogMode(JOG_INCREMENTAL);  // the operator, by hand
    Step(Enabled(0, 1));
    EXPECT_EQ(host_->JogMode(), JOG_MPG);
    EXPECT_EQ(State(), PendantControlState::EngagedSwitched);
    Step(kIdle);
    EXPECT_EQ(StepLines(), (std::vector<std::string>{
                               kReleased, "[INFO]: DoMyUpdate(): Restoring previous mode 57 and inc 0.100"}));
    EXPECT_EQ(host_->JogMode(), JOG_MPG);
    Step(kIdle);
    EXPECT_EQ(StepLines(), std::vector<std::string>{"[INFO]: DoMyUpdate(): Overriding user MPG mode to CONTINOUS"});
    EXPECT_EQ(host_->MessageLine(), kMsgOnlyMpgByPendant);
    EXPECT_EQ(host_->JogMode(), JOG_CONTINUOUS);
}

TEST_F(ControllerTest, NoJogModeLedAtThePressIsSavedAsUnknown) {
    host_->SetJogMode(JOG_UNKNOWN);
    Step(Enabled(0, 1));
    EXPECT_EQ(StepLines()[1], "[DEBUG]: DoMyUpdate(): JogMode LEDs cont=0, inc=0, mpg=0");
    EXPECT_EQ(host_->JogMode(), JOG_MPG);
    Step(kIdle);
    EXPECT_EQ(StepLines(), (std::vector<std::string>{
                               kReleased, "[INFO]: DoMyUpdate(): Restoring previous mode -1 and inc 0.100",
                               "[ERROR]: DoMyUpdate(): could not restore jog mode, try=-1, result=14"}));
    EXPECT_EQ(ButtonPresses(), std::vector<int>(4, 245));
    EXPECT_EQ(DroWrites(), std::vector<double>{0.1});
}

TEST_F(ControllerTest, ExternalSwitchMemorySurvivesReleases) {
    const std::string ext1 = "[WARNING]: DoMyUpdate(): Got ext swt #1 pressed, IGNORED";
    const std::string ext2 = "[WARNING]: DoMyUpdate(): Got ext swt #2 pressed, IGNORED";
    const std::string notRestoring = "[INFO]: DoMyUpdate(): NOT restoring previous mode, we didn't change it";
    const struct {
        int32_t raw;
        std::vector<std::string> lines;
    } steps[] = {
        {Enabled(6, 0), {kPressed, "[DEBUG]: DoMyUpdate(): JogMode LEDs cont=1, inc=0, mpg=0", ext1}},
        {Enabled(6, 1), {}},
        {Enabled(7, 1), {ext2}},
        {kIdle, {kReleased, notRestoring}},
        {Enabled(7, 2), {kPressed, "[DEBUG]: DoMyUpdate(): JogMode LEDs cont=1, inc=0, mpg=0"}},
        {kIdle, {kReleased, notRestoring}},
        {Enabled(7, 0), {kPressed, "[DEBUG]: DoMyUpdate(): JogMode LEDs cont=1, inc=0, mpg=0"}},
        {Enabled(0, 1), {"[INFO]: DoMyUpdate(): Changing to MPG Jog Mode (Override User)"}},
        {Enabled(7, 1), {ext2}},
    };
    for (size_t n = 0; n < std::size(steps); ++n) {
        Step(steps[n].raw);
        EXPECT_EQ(StepLines(), steps[n].lines) << "step " << n;
        if (n < 7) {
            EXPECT_TRUE(ButtonPresses().empty() && DroWrites().empty())
                << "step " << n << ": the switches touch nothing";
        }
    }
}

TEST_F(ControllerTest, FailedSwitchToMpgStillRestoresOnRelease) {
    host_->jogModeStuck = true;
    host_->dro[HostCode::DroJogIncrement] = 0.25;
    Step(Enabled(0, 1));
    EXPECT_EQ(StepLines(), (std::vector<std::string>{
                               kPressed, "[DEBUG]: DoMyUpdate(): JogMode LEDs cont=1, inc=0, mpg=0",
                               "[INFO]: DoMyUpdate(): Changing to MPG Jog Mode (Enabled)",
                               "[ERROR]: DoMyUpdate(): could not set jog mode to MPG, exiting"}));
    EXPECT_EQ(State(), PendantControlState::EngagedSwitched);
    Step(Enabled(0, 1));  // tried again on every stable tick
    EXPECT_EQ(ButtonPresses(), std::vector<int>(4, 245));
    host_->dro[HostCode::DroJogIncrement] = 0.5;
    Step(kIdle);
    EXPECT_EQ(StepLines(), (std::vector<std::string>{
                               kReleased, "[INFO]: DoMyUpdate(): Restoring previous mode 14 and inc 0.250"}));
    EXPECT_EQ(ButtonPresses(), std::vector<int>{245});
    EXPECT_EQ(host_->dro[HostCode::DroJogIncrement], 0.25);
}

TEST_F(ControllerTest, ASavedIncrementThatIsNoNumberIsNeverWrittenBack) {
    for (double saved : {kNaN, kInf, -kInf}) {
        SetUp();
        host_->dro[HostCode::DroJogIncrement] = saved;
        Step(Enabled(0, 1));
        EXPECT_EQ(host_->dro[HostCode::DroJogIncrement], 0.1);
        Step(kIdle);
        const std::vector<std::string> lines = StepLines();
        ASSERT_EQ(lines.size(), 3u);
        EXPECT_EQ(lines[2], "[ERROR]: DoMyUpdate(): not restoring inc, saved value is not a number");
        EXPECT_TRUE(DroWrites().empty());
        EXPECT_EQ(host_->dro[HostCode::DroJogIncrement], 0.1);
        EXPECT_EQ(host_->JogMode(), JOG_CONTINUOUS);
        EXPECT_EQ(State(), PendantControlState::Released);
    }
}

// Through whole ticks: invalid data while engaged leaves the engaged state, so the first idle
// byte after RESET performs the release and the restore.
TEST_F(ControllerTest, InvalidDataWhileEngagedIsReleasedAfterReset) {
    StartRunning();
    host_->dro[HostCode::DroJogIncrement] = 0.25;
    TickTwice(Enabled(0, 1));
    EXPECT_EQ(host_->JogMode(), JOG_MPG);
    TickTwice(0x65);
    EXPECT_EQ(fakePlatform.alerts, std::vector<std::string>{kAlert203});
    EXPECT_FALSE(pluginState.isRunning);
    EXPECT_EQ(State(), PendantControlState::EngagedSwitched);

    fakePlatform.steadyPortByte = kIdle;  // board plugged back in, enable off
    ResetEStop();
    EXPECT_EQ(host_->MessageLine(), kMsgReEnabled);
    EXPECT_EQ(host_->JogMode(), JOG_MPG);  // the idle byte is new to the change filter
    Clear();
    Tick(kIdle);
    EXPECT_EQ(LinesWith("DoMyUpdate(): "),
              (std::vector<std::string>{"[DEBUG]: DoMyUpdate(): Data stable = 0x07", kReleased,
                                        "[INFO]: DoMyUpdate(): Restoring previous mode 14 and inc 0.250"}));
    EXPECT_EQ(host_->JogMode(), JOG_CONTINUOUS);
    EXPECT_EQ(host_->dro[HostCode::DroJogIncrement], 0.25);
    EXPECT_EQ(State(), PendantControlState::Released);
}

}  // namespace
}  // namespace engine_test
