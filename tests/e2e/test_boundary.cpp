// The plug-in's entry points, called through the real DLL by the simulated host.
#include <gtest/gtest.h>

#include <regex>

#include "profile_files.h"
#include "sim_host.h"

namespace {
class BoundaryTest : public ::testing::Test {
protected:
    void SetUp() override {
        host_.state.ConfigureForBoard(0x278);
        ASSERT_TRUE(host_.Load()) << host_.error();
    }
    void TearDown() override {
        host_.Unload();
        host_.TakeLog();
    }
    SimHost host_;
};

TEST_F(BoundaryTest, InitControlAloneWritesExactlyTheStartLine) {
    EXPECT_TRUE(host_.InitControl());
    std::vector<std::string> lines = host_.debugChannel.TakeLines();
    ASSERT_EQ(lines.size(), 1u);
    EXPECT_TRUE(std::regex_match(
        lines[0], std::regex(R"(\d\d:\d\d:\d\d\.\d\d\d \[QUORVAN-9\]\[SYSTEM\]: PlugIn log started, level 'SYSTEM', \*RELEASE VERSION\*)")))
        << lines[0];
}

TEST_F(BoundaryTest, IgnoredEntryPointsLeaveNoTraceAtTheStartLevel) {
    host_.InitControl();
    host_.SetProName("Z:\\nonexistent\\profile.xml");  // no profile: level stays SYSTEM
    host_.TakeLog();
    PluginEntryPoints& e = host_.plugin.entry;
    e.Home();
    e.Reset();
    e.JogOn();
    e.JogOff();
    e.DoDwell();
    e.Probe();
    e.Purge(5);
    EXPECT_TRUE(host_.TakeLog().empty()) << "INFO lines are filtered at SYSTEM";
}

TEST_F(BoundaryTest, StopPlugSilencesTheLog) {
    host_.InitControl();
    host_.TakeLog();
    host_.StopPlug();
    host_.plugin.entry.Probe();
    host_.plugin.entry.Notify(0);
    host_.Tick();
    EXPECT_TRUE(host_.TakeLog().empty());
}

TEST_F(BoundaryTest, SetProNameReleasesTheHostsCopyAndReturnsTheTitle) {
    host_.InitControl();
    HostString name = HostStringCreate("Z:\\nonexistent\\profile.xml");
    HostStringHeaderOf(name.chars)->refs = 2;  // the host keeps its own reference
    const char* title = host_.plugin.entry.SetProName(name);
    ASSERT_NE(title, nullptr);
    EXPECT_STREQ(title, "QUORVAN-9 Quorvan Devices Inc.");
    EXPECT_EQ(HostStringHeaderOf(name.chars)->refs, 1);
    HostStringRelease(name);
}

// The host's machine profile asks for INFO: the requests the plug-in ignores are logged.
TEST_F(BoundaryTest, ProbeAndPurgeAreLoggedAtInfo) {
    TempFolder folder;
    host_.InitControl();
    host_.TakeLog();
    host_.SetProName(folder.CopyHostProfile());
    EXPECT_EQ(host_.TakeLog(), (std::vector<std::string>{"[QUORVAN-9][SYSTEM]: Debug level changed from 'SYSTEM' to 'INFO'"}));
    host_.plugin.entry.Probe();
    host_.plugin.entry.Purge(5);
    host_.plugin.entry.Purge(0xFFFF);
    EXPECT_EQ(host_.TakeLog(), (std::vector<std::string>{"[QUORVAN-9][INFO]: myProbe(), ignored",
                                                         "[QUORVAN-9][INFO]: myPurge(5), ignored",
                                                         "[QUORVAN-9][INFO]: myPurge(-1), ignored"}));
}
}  // namespace
