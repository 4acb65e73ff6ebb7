#include <gtest/gtest.h>

#include <cmath>
#include <functional>

#include "diag/log.h"
#include "fake_platform.h"
#include "host_state.h"
#include "pendant/mpg_config.h"

namespace {
const char kAlert100[] =
    "Warning(100):\nQUORVAN-9 Plug-In is forcing MPG #1 configuration\n\nPlease see the QUORVAN-9 Plug-In Release "
    "Notes for\ninformation on how to avoid this message in the future.\n\nSee the QUORVAN-9 Plug-In Release "
    "Notes\nfor more information.";

class MpgConfigTest : public ::testing::Test {
protected:
    void SetUp() override {
        ResetPluginState();
        host_.ConfigureForBoard(0x278);
        BindHost(host_);
        LogStart(LOG_DEBUG);
        fakePlatform.lines.clear();
    }
    void ExpectBoardConfiguration() {
        EXPECT_EQ(host_.Io<HostIo::Mpg1Active>(), 1);
        EXPECT_EQ(host_.Io<HostIo::Mpg1APort>(), 2);
        EXPECT_EQ(host_.Io<HostIo::Mpg1APin>(), 8);
        EXPECT_EQ(host_.Io<HostIo::Mpg1BPort>(), 2);
        EXPECT_EQ(host_.Io<HostIo::Mpg1BPin>(), 7);
        EXPECT_EQ(host_.Motion<HostMotion::Mpg1Steps>(), 4.0);
    }
    HostState host_;
};

TEST_F(MpgConfigTest, InOrderConfigurationIsLeftAlone) {
    host_.SetIo<HostIo::Mpg1Active>(255);  // any non-zero value counts as active
    ForceMPGConfig();
    EXPECT_EQ(LogLinesWithoutTime(), std::vector<std::string>{"[QUORVAN-9][DEBUG]: ForceMPGConfig(): Nothing to do"});
    EXPECT_TRUE(fakePlatform.alerts.empty());
    EXPECT_EQ(host_.Io<HostIo::Mpg1Active>(), 255);
}

TEST_F(MpgConfigTest, AnyDifferenceForcesAllSixFieldsWithOneAlert) {
    const struct {
        const char* name;
        std::function<void(HostState&)> change;
    } cases[] = {
        {"inactive", [](HostState& h) { h.SetIo<HostIo::Mpg1Active>(0); }},
        {"A port", [](HostState& h) { h.SetIo<HostIo::Mpg1APort>(1); }},
        {"A pin", [](HostState& h) { h.SetIo<HostIo::Mpg1APin>(9); }},
        {"B port", [](HostState& h) { h.SetIo<HostIo::Mpg1BPort>(3); }},
        {"B pin", [](HostState& h) { h.SetIo<HostIo::Mpg1BPin>(0); }},
        {"steps", [](HostState& h) { h.SetMotion<HostMotion::Mpg1Steps>(4.0000001); }},
        {"steps NaN", [](HostState& h) { h.SetMotion<HostMotion::Mpg1Steps>(std::nan("")); }},
        {"A and B swapped",
         [](HostState& h) {
             h.SetIo<HostIo::Mpg1APin>(7);
             h.SetIo<HostIo::Mpg1BPin>(8);
         }},
    };
    for (const auto& c : cases) {
        SetUp();
        c.change(host_);
        ForceMPGConfig();
        ExpectBoardConfiguration();
        EXPECT_EQ(fakePlatform.alerts, std::vector<std::string>{kAlert100}) << c.name;
        EXPECT_EQ(fakePlatform.lines.size(), 3u) << c.name;
    }
}

TEST_F(MpgConfigTest, OldAndNewLinesShowTheFieldsPortFirst) {
    host_.SetIo<HostIo::Mpg1Active>(0);
    host_.SetIo<HostIo::Mpg1APin>(7);
    host_.SetIo<HostIo::Mpg1BPin>(8);
    ForceMPGConfig();
    EXPECT_EQ(LogLinesWithoutTime(),
              (std::vector<std::string>{
                  "[QUORVAN-9][DEBUG]: ForceMPGConfig(): Forcing configuration",
                  "[QUORVAN-9][DEBUG]: ForceMPGConfig(): Old: act=0, A port=2 pin=7, B port=2 pin=8, steps=4.000000",
                  "[QUORVAN-9][DEBUG]: ForceMPGConfig(): New: act=1, A port=2 pin=8, B port=2 pin=7, steps=4.000000"}));
    // A second call finds everything in order.
    fakePlatform.lines.clear();
    ForceMPGConfig();
    EXPECT_EQ(LogLinesWithoutTime(), std::vector<std::string>{"[QUORVAN-9][DEBUG]: ForceMPGConfig(): Nothing to do"});
    EXPECT_EQ(fakePlatform.alerts.size(), 1u);
}
}  // namespace
