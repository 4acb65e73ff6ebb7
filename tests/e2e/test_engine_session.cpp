// The update cycle and the pendant controller through the real DLL, connected to the simulated
// host's object model: faults with their exact alerts, recovery with RESET, and the pendant
// taking over and handing back the host's jog settings.
#include <gtest/gtest.h>

#include <algorithm>

#include "sim_host.h"

namespace {
const char kClosing[] = "\n\nSee the QUORVAN-9 Plug-In Release Notes\nfor more information.";
const std::string kAlert100 = std::string("Warning(100):\nQUORVAN-9 Plug-In is forcing MPG #1 configuration\n\n"
                                          "Please see the QUORVAN-9 Plug-In Release Notes for\ninformation on how to "
                                          "avoid this message in the future.") + kClosing;
const std::string kAlert101 = std::string("Warning(101):\nJogging is DISABLED in Mach3.\n\nTo enable jogging, type "
                                          "CNTL-ALT-J.\n\nIn the default Mach3 Mill screen set, you can also go to "
                                          "the\n\"Program Run\" tab, then click on the \"Jog ON/OFF\" button\nin the "
                                          "\"Tool Information\" section (jog is enabled when this\nbutton is outlined "
                                          "in green).") + kClosing;
const std::string kAlert200 = std::string("Error(200):\nQUORVAN-9 Plug-In could not connect to Mach3.\n\nThe "
                                          "QUORVAN-9 Plug-In has been DISABLED.") + kClosing;
const std::string kAlert201 = std::string("Error(201):\nQUORVAN-9 Plug-In cannot access parallel port #2.\nThe "
                                          "plug-in has been disabled.\n\nPlease contact QUORVAN for further "
                                          "assistance.") + kClosing;
const std::string kAlert202 =
    std::string("Error(202):\nParallel Port 2 is not configured correctly.\n\nThe QUORVAN-9 uses parallel Port 2 "
                "and requires Port #2\nto be enabled and to have the 'Pins 2-9 as inputs' box checked.\n\nPlease go "
                "back to Config->Ports and Pins and configure\nPort #2 as described above.\n\nThe plug-in has been "
                "disabled.  Fix the problem as described above\nthen click on the Mach3 'RESET' button to re-enable "
                "the plug-in.") + kClosing;
const char kReEnabled[] = "QUORVAN-9 Plug-In is re-enabled";

class EngineSessionTest : public ::testing::Test {
protected:
    void SetUp() override {
        host_.state.ConfigureForBoard(0x278);
        ASSERT_TRUE(host_.Load()) << host_.error();
        host_.InitControl();
        host_.SetProName(host_.MakeDemoProfile());
    }
    void TearDown() override {
        host_.StopPlug();
        host_.alerts.CloseOpenBoxes();
        host_.alerts.WaitForBoxThreadsToEnd();
        host_.Unload();
        host_.objectModel.Stop();
    }
    void Connect() {
        ASSERT_TRUE(host_.objectModel.Start()) << host_.objectModel.error();
        ASSERT_EQ(host_.PostInitControl(), 0);
    }
    // One tick; the texts of the alert boxes it raised, in code order.
    std::vector<std::string> Tick() {
        host_.Tick();
        host_.alerts.WaitForRaisedBoxes();
        std::vector<std::string> texts;
        for (const AlertBox& box : host_.alerts.Take()) texts.push_back(box.text);
        std::sort(texts.begin(), texts.end(), [](const std::string& a, const std::string& b) {
            return a.substr(a.find('(')) < b.substr(b.find('('));
        });
        return texts;
    }
    std::vector<std::string> Ticks(int count) {
        std::vector<std::string> texts;
        for (int i = 0; i < count; ++i) {
            for (std::string& text : Tick()) texts.push_back(std::move(text));
        }
        return texts;
    }
    void Reset() {
        host_.state.SetIo<HostIo::EStop>(1);
        Tick();
        host_.state.SetIo<HostIo::EStop>(0);
    }
    using Texts = std::vector<std::string>;
    SimHost host_;
};

TEST_F(EngineSessionTest, FaultsRaiseTheirAlertsAndRESETBringsThePlugInBack) {
    // No object model yet and a wrong MPG #1 wiring: the first tick says both, in two boxes.
    EXPECT_NE(host_.PostInitControl(), 0);
    host_.state.SetIo<HostIo::Mpg1BPin>(8);
    EXPECT_EQ(Tick(), (Texts{kAlert100, kAlert200}));
    EXPECT_EQ(host_.state.Io<HostIo::Mpg1BPin>(), 7);
    EXPECT_EQ(Ticks(3), Texts{});
    EXPECT_EQ(host_.state.portReads, 0) << "a disabled plug-in reads nothing";

    // The host's object model comes up and the plug-in connects, but stays off until RESET;
    // RESET with port 2 switched off is refused with alert 202.
    Connect();
    host_.state.SetIo<HostIo::Port2Enabled>(0);
    Reset();
    EXPECT_EQ(Tick(), Texts{kAlert202});
    EXPECT_EQ(host_.state.MessageLine(), "");
    EXPECT_EQ(host_.state.portReads, 0);

    // Port 2 fixed, RESET: re-enabled, and the board is read three times a tick.
    host_.state.SetIo<HostIo::Port2Enabled>(1);
    Reset();
    EXPECT_EQ(Tick(), Texts{});
    EXPECT_EQ(host_.state.MessageLine(), kReEnabled);
    EXPECT_EQ(host_.state.portReads, 3);

    // A port read fails: alert 201 once, then no more reads until the next RESET.
    host_.state.boardReads = {HostState::kReadFails};
    EXPECT_EQ(Tick(), Texts{kAlert201});
    const int readsAtFault = host_.state.portReads;
    EXPECT_EQ(Ticks(5), Texts{});
    EXPECT_EQ(host_.state.portReads, readsAtFault);

    host_.state.SetMessageLine("");
    Reset();
    EXPECT_EQ(Tick(), Texts{});
    EXPECT_EQ(host_.state.MessageLine(), kReEnabled);
    EXPECT_EQ(host_.state.portReads, readsAtFault + 3);
}

TEST_F(EngineSessionTest, PendantTakesOverTheJogSettingsAndHandsThemBack) {
    Connect();
    host_.state.led[HostCode::LedUnitsInches] = true;
    host_.state.dro[HostCode::DroJogIncrement] = 0.005;  // the operator's own increment
    host_.state.boardByte = 0x07;
    EXPECT_EQ(Ticks(3), Texts{});

    // Enable held, axis 3, increment x100 (inches: 0.1); a new byte acts from its second tick.
    host_.state.boardByte = 0x80 | 3 | (2 << 3);
    Ticks(2);
    EXPECT_EQ(host_.state.JogMode(), HostCode::LedJogMpg);
    EXPECT_EQ(host_.state.MpgAxis(), 3);
    EXPECT_EQ(host_.state.dro[HostCode::DroJogIncrement], 0.1);
    EXPECT_EQ(host_.state.MessageLine(), "") << "the press itself says nothing";

    // Changes by hand at the host are taken back, each with its note.
    host_.state.dro[HostCode::DroJogIncrement] = 0.25;
    Tick();
    EXPECT_EQ(host_.state.dro[HostCode::DroJogIncrement], 0.1);
    EXPECT_EQ(host_.state.MessageLine(), "Pendant or front panel MPG is enabled, disable to manually change jog increment");
    host_.state.SetMpgAxis(0);
    Tick();
    EXPECT_EQ(host_.state.MpgAxis(), 3);
    EXPECT_EQ(host_.state.MessageLine(), "Pendant or front panel MPG is enabled, disable to manually change jog axis");
    host_.state.SetJogMode(HostCode::LedJogIncremental);
    Tick();
    EXPECT_EQ(host_.state.JogMode(), HostCode::LedJogMpg);
    EXPECT_EQ(host_.state.MessageLine(), "Pendant or front panel MPG is enabled, disable to manually change jog mode");

    // Released: the mode and increment of before the press come back; the axis stays.
    host_.state.boardByte = 0x07;
    Ticks(2);
    EXPECT_EQ(host_.state.JogMode(), HostCode::LedJogContinuous);
    EXPECT_EQ(host_.state.dro[HostCode::DroJogIncrement], 0.005);
    EXPECT_EQ(host_.state.MpgAxis(), 3);

    // MPG mode chosen by hand while released goes to continuous, with its note.
    host_.state.SetJogMode(HostCode::LedJogMpg);
    Tick();
    EXPECT_EQ(host_.state.JogMode(), HostCode::LedJogContinuous);
    EXPECT_EQ(host_.state.MessageLine(), "Can only change jog mode to MPG by enabling pendant or front panel MPG");
}

TEST_F(EngineSessionTest, PressWithJoggingDisabledWarnsOnceAndTakesOverWhenEnabled) {
    Connect();
    host_.state.led[HostCode::LedJogEnabled] = false;
    host_.state.boardByte = 0x07;
    Ticks(2);
    host_.state.boardByte = 0x80 | 1 | (1 << 3);
    EXPECT_EQ(Ticks(6), Texts{kAlert101});
    EXPECT_EQ(host_.state.JogMode(), HostCode::LedJogContinuous) << "nothing is touched while jogging is disabled";

    host_.state.led[HostCode::LedJogEnabled] = true;
    Tick();
    EXPECT_EQ(host_.state.JogMode(), HostCode::LedJogMpg);
    EXPECT_EQ(host_.state.MpgAxis(), 1);
    EXPECT_EQ(host_.state.MessageLine(), "Pendant or front panel MPG is enabled, disable to manually change jog mode");
}
}  // namespace
