// The update tick: the three-read vote, the encoder mask, the two-tick change filter, the run
// state with its faults and EStop recovery, and the re-entrancy guard.
#include <cstdio>

#include "engine_fixture.h"

namespace engine_test {
namespace {

class UpdateCycleTest : public EngineTest {};

TEST_F(UpdateCycleTest, ThreeReadVote) {
    const struct {
        std::vector<int32_t> reads;
        int32_t result;
        int readsMade;
        bool failure;  // alert 201 and its ERROR line
    } cases[] = {
        {{0x85, 0x85, 0x10}, 0x85, 3, false},  // the third read is made and not looked at
        {{0x85, 0x10, 0x10}, 0x10, 3, false},
        {{0x85, 0x10, 0x85}, -1, 3, false},
        {{0x01, 0x02, 0x03}, -1, 3, false},
        {{0x00, 0x00, 0xFF}, 0x00, 3, false},
        {{-1}, -1, 1, true},
        {{0x85, -1}, -1, 2, true},  // a failed second read ends the sampling
        {{0x85, 0x10, -1}, -1, 3, true},
        {{0x85, 0x85, -1}, -1, 3, true},  // any failed read fails the sample
    };
    for (const auto& c : cases) {
        SetUp();
        fakePlatform.portBytes.assign(c.reads.begin(), c.reads.end());
        fakePlatform.portBytes.push_back(0x55);  // never to be read
        EXPECT_EQ(ReadStablePortByte(0x3BC), c.result);
        EXPECT_EQ(fakePlatform.portReads, c.readsMade);
        EXPECT_EQ(fakePlatform.portAddresses, std::vector<uint16_t>(c.readsMade, 0x3BC));
        EXPECT_EQ(Lines(), c.failure ? std::vector<std::string>{"[ERROR]: Error reading Port 2 data"}
                                     : std::vector<std::string>{});
        EXPECT_EQ(fakePlatform.alerts, c.failure ? std::vector<std::string>{kAlert201} : std::vector<std::string>{});
        EXPECT_EQ(pluginState.err, c.failure);
    }
}

// One tick of a byte trace: either a steady byte, or three reads of the port.
struct TraceTick {
    std::vector<int32_t> reads;
    std::vector<std::string> lines;  // what the update cycle logs
    bool reachesController;
};
TraceTick Steady(int32_t byte, std::vector<std::string> lines, bool reaches) {
    return {{byte, byte, byte}, std::move(lines), reaches};
}
const char kChanging[] = "[DEBUG]: DoMyUpdate(): Data changing, ignored. ";

TEST_F(UpdateCycleTest, MaskAndChangeFilterOverByteTraces) {
    const struct {
        const char* name;
        std::vector<TraceTick> ticks;
    } traces[] = {
        {"the first sample changes from none and a steady byte reaches the controller on every later tick",
         {Steady(0x07, {std::string(kChanging) + "New=0x07, Old=0xffffffff"}, false),
          Steady(0x07, {"[DEBUG]: DoMyUpdate(): Data stable = 0x07"}, true),
          Steady(0x07, {}, true),
          Steady(0x07, {}, true)}},
        {"bits 5 and 6 are no change",
         {Steady(0x67, {std::string(kChanging) + "New=0x07, Old=0xffffffff"}, false),
          Steady(0x27, {"[DEBUG]: DoMyUpdate(): Data stable = 0x07"}, true),
          Steady(0x47, {}, true),
          Steady(0x07, {}, true)}},
        {"a disagreeing tick neither confirms nor resets",
         {Steady(0x0F, {std::string(kChanging) + "New=0x0f, Old=0xffffffff"}, false),
          {{0x0F, 0x17, 0x0F}, {}, false},
          Steady(0x0F, {"[DEBUG]: DoMyUpdate(): Data stable = 0x0f"}, true)}},
        {"alternating bytes are never acted on",
         {Steady(0x07, {std::string(kChanging) + "New=0x07, Old=0xffffffff"}, false),
          Steady(0x0F, {std::string(kChanging) + "New=0x0f, Old=0x07"}, false),
          Steady(0x07, {std::string(kChanging) + "New=0x07, Old=0x0f"}, false),
          Steady(0x0F, {std::string(kChanging) + "New=0x0f, Old=0x07"}, false),
          Steady(0x07, {std::string(kChanging) + "New=0x07, Old=0x0f"}, false)}},
        {"the vote's second pair is the sample",
         {{{0x17, 0x1F, 0x1F}, {std::string(kChanging) + "New=0x1f, Old=0xffffffff"}, false},
          {{0x1F, 0x1F, 0x17}, {"[DEBUG]: DoMyUpdate(): Data stable = 0x1f"}, true}}},
        {"a change after a stable byte needs its own second sample",
         {Steady(0x07, {std::string(kChanging) + "New=0x07, Old=0xffffffff"}, false),
          Steady(0x07, {"[DEBUG]: DoMyUpdate(): Data stable = 0x07"}, true),
          Steady(0x17, {std::string(kChanging) + "New=0x17, Old=0x07"}, false),
          Steady(0x37, {"[DEBUG]: DoMyUpdate(): Data stable = 0x17"}, true)}},
    };
    for (const auto& trace : traces) {
        SetUp();
        myPostInitControl();
        Clear();
        for (size_t t = 0; t < trace.ticks.size(); ++t) {
            const TraceTick& tick = trace.ticks[t];
            const bool first = pluginState.firstUpdate;
            host_->calls.clear();
            fakePlatform.portReads = 0;
            TickWithReads({tick.reads[0], tick.reads[1], tick.reads[2]});
            std::vector<std::string> lines = TakeLines();
            if (first) lines.erase(lines.begin(), lines.begin() + 4);  // the first tick's own lines
            EXPECT_EQ(lines, tick.lines) << trace.name << ", tick " << t;
            EXPECT_EQ(ReachedController(), tick.reachesController) << trace.name << ", tick " << t;
            EXPECT_EQ(fakePlatform.portReads, 3) << trace.name << ", tick " << t;
        }
        EXPECT_TRUE(fakePlatform.alerts.empty()) << trace.name;
    }
}

TEST_F(UpdateCycleTest, FirstTickConnectedStartsRunningAndSamples) {
    myPostInitControl();
    Clear();
    myUpdate();
    EXPECT_EQ(Lines(), (std::vector<std::string>{
                           "[INFO]: myUpdate() first time",
                           "[INFO]: isRunning flag ASSERTED",
                           "[INFO]: DoMyUpdate(): Forcing MPG config",
                           "[DEBUG]: ForceMPGConfig(): Nothing to do",
                           "[DEBUG]: DoMyUpdate(): Data changing, ignored. New=0x07, Old=0xffffffff",
                       }));
    EXPECT_EQ(fakePlatform.portAddresses, std::vector<uint16_t>(3, kPortAddress));
    EXPECT_TRUE(fakePlatform.alerts.empty());
    EXPECT_TRUE(pluginState.called);
}

TEST_F(UpdateCycleTest, FirstTickWithoutConnectionRaisesTwoCompleteAlertsAndStaysDisabled) {
    fakePlatform.startupStatus = -1;
    myPostInitControl();
    host_->SetIo<HostIo::Mpg1Active>(0);
    Clear();
    myUpdate();
    EXPECT_EQ(fakePlatform.alerts, (std::vector<std::string>{kAlert200, kAlert100}));
    const std::vector<std::string> lines = Lines();
    ASSERT_EQ(lines.size(), 6u);
    EXPECT_EQ(lines[0], "[INFO]: myUpdate() first time");
    EXPECT_EQ(lines[1], "[ERROR]: DoMyUpdate(): No Mach3 Object connection");
    EXPECT_EQ(lines[2], "[INFO]: DoMyUpdate(): Forcing MPG config");
    EXPECT_EQ(lines[3], "[DEBUG]: ForceMPGConfig(): Forcing configuration");
    EXPECT_EQ(host_->Io<HostIo::Mpg1Active>(), 1);
    EXPECT_FALSE(pluginState.isRunning);
    EXPECT_EQ(fakePlatform.portReads, 0);

    // Later ticks do nothing, and an EStop exit cannot bring back a missing connection.
    Clear();
    myUpdate();
    ResetEStop();
    myUpdate();
    EXPECT_EQ(Lines(), (std::vector<std::string>{"[DEBUG]: DoMyUpdate(): Entering EStop",
                                                 "[DEBUG]: DoMyUpdate(): Exiting EStop"}));
    EXPECT_EQ(fakePlatform.portReads, 0);
    EXPECT_TRUE(host_->calls.empty());
    EXPECT_TRUE(fakePlatform.alerts.empty());
    EXPECT_EQ(host_->MessageLine(), "");
}

TEST_F(UpdateCycleTest, ReadFailureDisablesOnceAndAgainAfterReset) {
    StartRunning();
    TickWithReads({0x07, -1, 0x07});
    EXPECT_EQ(fakePlatform.portReads, 2);
    EXPECT_EQ(Lines(), (std::vector<std::string>{
                           "[ERROR]: Error reading Port 2 data",
                           "[INFO]: isRunning flag DE-ASSERTED, on=1, in=1, called=1 init=1 unplug=0, err=1",
                       }));
    EXPECT_EQ(fakePlatform.alerts, std::vector<std::string>{kAlert201});

    // Disabled: no further reads, no repeat of the alert, EStop alone changes nothing.
    Clear();
    for (int i = 0; i < 3; ++i) myUpdate();
    host_->SetIo<HostIo::EStop>(1);
    myUpdate();
    myUpdate();
    EXPECT_EQ(fakePlatform.portReads, 0);
    EXPECT_EQ(Lines(), std::vector<std::string>{"[DEBUG]: DoMyUpdate(): Entering EStop"});

    // RESET brings it back; sampling resumes in the same tick.
    Clear();
    host_->SetIo<HostIo::EStop>(0);
    myUpdate();
    EXPECT_EQ(Lines(), (std::vector<std::string>{"[DEBUG]: DoMyUpdate(): Exiting EStop",
                                                 "[INFO]: isRunning flag ASSERTED"}));
    EXPECT_EQ(host_->MessageLine(), kMsgReEnabled);
    EXPECT_EQ(fakePlatform.portReads, 3);
    EXPECT_TRUE(fakePlatform.alerts.empty());

    // A new fault after the RESET is a new alert.
    TickWithReads({-1});
    EXPECT_EQ(fakePlatform.alerts, std::vector<std::string>{kAlert201});
}

TEST_F(UpdateCycleTest, InvalidDataDisablesAndAStillUnpluggedBoardDisablesAgainRightAfterReset) {
    StartRunning();
    Tick(0x07);
    Tick(0x65);  // enable off, axis selector 5, both encoder bits set
    EXPECT_TRUE(pluginState.isRunning);
    Clear();
    Tick(0x65);
    EXPECT_EQ(Lines(), (std::vector<std::string>{
                           "[DEBUG]: DoMyUpdate(): Data stable = 0x05",
                           "[INFO]: isRunning flag DE-ASSERTED, on=1, in=1, called=1 init=1 unplug=1, err=0",
                           "[ERROR]: Read invalid raw data 0x65, presume card unplugged",
                       }));
    EXPECT_EQ(fakePlatform.alerts, std::vector<std::string>{kAlert203});
    Clear();
    Tick(0x65);
    EXPECT_EQ(fakePlatform.portReads, 0);

    // RESET with the board still unplugged: lastData still holds the invalid byte, so the first
    // sample counts as stable at once and disables the plug-in again in the same tick.
    Clear();
    ResetEStop();
    EXPECT_EQ(Lines(), (std::vector<std::string>{
                           "[DEBUG]: DoMyUpdate(): Entering EStop",
                           "[DEBUG]: DoMyUpdate(): Exiting EStop",
                           "[INFO]: isRunning flag ASSERTED",
                           "[INFO]: isRunning flag DE-ASSERTED, on=1, in=1, called=1 init=1 unplug=1, err=0",
                           "[ERROR]: Read invalid raw data 0x65, presume card unplugged",
                       }));
    EXPECT_EQ(host_->MessageLine(), kMsgReEnabled);
    EXPECT_EQ(fakePlatform.alerts, std::vector<std::string>{kAlert203});
    EXPECT_FALSE(pluginState.isRunning);
}

TEST_F(UpdateCycleTest, EStopExitWithBadPortConfigurationStaysDisabledUntilFixed) {
    const struct {
        uint8_t on, in;
        uint16_t address;
        const char* line;
    } cases[] = {
        {0, 1, 0x278, "[ERROR]: DoMyUpdate(): Port 2 not configured, on=0, in=1, add=0x0278"},
        {1, 0, 0x3BC, "[ERROR]: DoMyUpdate(): Port 2 not configured, on=1, in=0, add=0x03bc"},
        {0, 0, 0xE010, "[ERROR]: DoMyUpdate(): Port 2 not configured, on=0, in=0, add=0xe010"},
    };
    for (const auto& c : cases) {
        SetUp();
        StartRunning();
        host_->SetIo<HostIo::Port2Enabled>(c.on);
        host_->SetIo<HostIo::Port2PinsAsInputs>(c.in);
        host_->SetIo<HostIo::Port2Address>(c.address);
        myUpdate();  // the live gate stops sampling at once, though isRunning still holds
        EXPECT_EQ(fakePlatform.portReads, 0);
        EXPECT_TRUE(pluginState.isRunning);

        ResetEStop();
        char deasserted[128];
        snprintf(deasserted, sizeof deasserted,
                 "[INFO]: isRunning flag DE-ASSERTED, on=%d, in=%d, called=1 init=1 unplug=0, err=0", c.on, c.in);
        EXPECT_EQ(Lines(), (std::vector<std::string>{"[DEBUG]: DoMyUpdate(): Entering EStop",
                                                     "[DEBUG]: DoMyUpdate(): Exiting EStop", c.line, deasserted}));
        EXPECT_EQ(fakePlatform.alerts, std::vector<std::string>{kAlert202});
        EXPECT_FALSE(pluginState.isRunning);

        // Fixing the ports is not enough: the plug-in waits for the next RESET.
        Clear();
        host_->SetIo<HostIo::Port2Enabled>(1);
        host_->SetIo<HostIo::Port2PinsAsInputs>(1);
        myUpdate();
        EXPECT_EQ(fakePlatform.portReads, 0);
        ResetEStop();
        EXPECT_TRUE(pluginState.isRunning);
        EXPECT_EQ(host_->MessageLine(), kMsgReEnabled);
        EXPECT_EQ(fakePlatform.portReads, 3);  // from the tick that leaves EStop
        EXPECT_TRUE(fakePlatform.alerts.empty());
    }
}

TEST_F(UpdateCycleTest, EStopWhileRunningKeepsSamplingAndWritesNoMessage) {
    StartRunning();
    host_->SetIo<HostIo::EStop>(1);
    for (int i = 0; i < 3; ++i) myUpdate();
    EXPECT_EQ(Lines(), std::vector<std::string>{"[DEBUG]: DoMyUpdate(): Entering EStop"});
    EXPECT_EQ(fakePlatform.portReads, 9);
    Clear();
    host_->SetIo<HostIo::EStop>(0);
    myUpdate();
    EXPECT_EQ(Lines(), std::vector<std::string>{"[DEBUG]: DoMyUpdate(): Exiting EStop"});
    EXPECT_EQ(host_->MessageLine(), "");
    EXPECT_TRUE(pluginState.isRunning);
    EXPECT_FALSE(pluginState.unplug);
    EXPECT_FALSE(pluginState.err);
    EXPECT_FALSE(pluginState.inEStop);
}

TEST_F(UpdateCycleTest, PortDisabledBeforeFirstTickIsSilentUntilTheFirstEStopExit) {
    host_->SetIo<HostIo::Port2Enabled>(0);
    myPostInitControl();
    Clear();
    for (int i = 0; i < 3; ++i) myUpdate();
    EXPECT_EQ(Lines(), (std::vector<std::string>{"[INFO]: myUpdate() first time",
                                                 "[INFO]: DoMyUpdate(): Forcing MPG config",
                                                 "[DEBUG]: ForceMPGConfig(): Nothing to do"}));
    EXPECT_TRUE(fakePlatform.alerts.empty());
    EXPECT_EQ(fakePlatform.portReads, 0);

    Clear();
    ResetEStop();
    EXPECT_EQ(fakePlatform.alerts, std::vector<std::string>{kAlert202});
    EXPECT_EQ(fakePlatform.portReads, 0);
    EXPECT_EQ(host_->MessageLine(), "");

    Clear();
    host_->SetIo<HostIo::Port2Enabled>(1);
    ResetEStop();
    EXPECT_EQ(host_->MessageLine(), kMsgReEnabled);
    EXPECT_EQ(fakePlatform.portReads, 3);
}

TEST_F(UpdateCycleTest, TickCostsThreeReadsWhenRunningAndNoHostCallWhenNot) {
    StartRunning();
    TickTwice(kIdle);
    Clear();
    myUpdate();
    EXPECT_EQ(fakePlatform.portReads, 3);
    EXPECT_EQ(host_->calls.size(), 1u);  // the idle controller reads only the jog-mode LED it finds lit

    TickWithReads({-1});
    Clear();
    myUpdate();
    EXPECT_EQ(fakePlatform.portReads, 0);
    EXPECT_TRUE(host_->calls.empty());
}

// Compares the run-state and update-cycle fields of two records.
bool SameState(const PluginState& a, const PluginState& b) {
    return a.called == b.called && a.init == b.init && a.unplug == b.unplug && a.err == b.err &&
           a.isRunning == b.isRunning && a.inEStop == b.inEStop && a.postInitCalled == b.postInitCalled &&
           a.updateActive == b.updateActive && a.firstUpdate == b.firstUpdate && a.lastData == b.lastData &&
           a.dataChanging == b.dataChanging;
}

int recursiveCalls = 0;
bool recursionChangedState = false;
int portReadsInsideRecursion = 0;

void UpdateFromInsideHost(int16_t) {
    ++recursiveCalls;
    const PluginState before = pluginState;
    const int reads = fakePlatform.portReads;
    myUpdate();
    recursionChangedState |= !SameState(before, pluginState);
    portReadsInsideRecursion += fakePlatform.portReads - reads;
}

TEST_F(UpdateCycleTest, RecursiveUpdateFromAHostCallbackIsRefusedAndTheOuterTickGoesOn) {
    recursiveCalls = 0;
    recursionChangedState = false;
    portReadsInsideRecursion = 0;
    StartRunning();
    Tick(Enabled(0, 1));
    host_->onGetLED = UpdateFromInsideHost;
    Tick(Enabled(0, 1));  // the press: every LED read re-enters
    host_->onGetLED = nullptr;

    ASSERT_GT(recursiveCalls, 1);
    EXPECT_FALSE(recursionChangedState);
    EXPECT_EQ(portReadsInsideRecursion, 0);
    const std::vector<std::string> warnings = LinesWith("myUpdate()");
    EXPECT_EQ(warnings, std::vector<std::string>(recursiveCalls, "[WARNING]: myUpdate() ** RECURSIVE CALL **"));
    // The outer tick went through the press and the switch to MPG.
    EXPECT_EQ(host_->JogMode(), HostCode::LedJogMpg);
    EXPECT_EQ(host_->dro[HostCode::DroJogIncrement], 0.1);
    EXPECT_FALSE(pluginState.updateActive);

    // The next tick runs normally.
    Clear();
    myUpdate();
    EXPECT_EQ(fakePlatform.portReads, 3);
    EXPECT_TRUE(LinesWith("myUpdate()").empty());
}

}  // namespace
}  // namespace engine_test
