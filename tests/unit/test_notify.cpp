#include <gtest/gtest.h>

#include "diag/log.h"
#include "fake_platform.h"
#include "host_state.h"
#include "pendant/plugin_state.h"
#include "plugin/notify.h"

namespace {
class NotifyTest : public ::testing::Test {
protected:
    void SetUp() override {
        ResetPluginState();
        host_.ConfigureForBoard(0x278);
        BindHost(host_);
        LogStart(LOG_INFO);
        fakePlatform.lines.clear();
    }
    std::string OnlyLine() {
        std::vector<std::string> lines = LogLinesWithoutTime();
        EXPECT_EQ(lines.size(), 1u);
        return lines.empty() ? "" : lines[0];
    }
    HostState host_;
};

TEST_F(NotifyTest, EveryCodeIsLoggedUnderItsLabel) {
    const struct {
        int32_t code;
        const char* line;
    } cases[] = {
        {-1, "[INFO]: myNotify( -1 ) ** SYSTEM SHUTDOWN ** Ignored"},
        {0, "[WARNING]: myNotify( EX_DDA [should not get this] ) Ignored"},
        {1, "[WARNING]: myNotify( EX_VMS [should not get this] ) Ignored"},
        {2, "[WARNING]: myNotify( EX_COMMAND [should not get this] ) Ignored"},
        {3, "[INFO]: myNotify( EX_SPINON ) Ignored"},
        {7, "[INFO]: myNotify( EX_SETUP ) Ignored"},
        {10, "[INFO]: myNotify( EX_ESTOP ) Ignored"},
        {11, "[INFO]: myNotify( EX_CONFIG ) Ignored"},
        {12, "[WARNING]: myNotify( 0xC ) Unknown Message"},
        {13, "[WARNING]: myNotify( 0xD ) Unknown Message"},
        {14, "[INFO]: myNotify( UNDOC_MSG_SHUTDOWN_0x0E ) ignored, not shutdown? Can be sent after Home/Limits dialog"},
        {15, "[INFO]: myNotify( UNDOC_0x0F ) could be 'zero axis' or change axis position', ignored"},
        {16, "[WARNING]: myNotify( 0x10 ) Unknown Message"},
        {65534, "[WARNING]: myNotify( 0xFFFE ) Unknown Message"},
        {65535, "[INFO]: myNotify( UNDOC_MSG_GENERALSTOP ) Ignored"},
        {65536, "[WARNING]: myNotify( 0x10000 ) Unknown Message"},
        {0x12000E, "[INFO]: myNotify( UNDOC SHUTDOWN 0x12000E ), MAYBE SHOULD BE calling myCleanUp()"},
        {-2, "[WARNING]: myNotify( 0xFFFFFFFE ) Unknown Message"},
        {INT32_MIN, "[WARNING]: myNotify( 0x80000000 ) Unknown Message"},
    };
    for (const auto& c : cases) {
        fakePlatform.lines.clear();
        myNotify(c.code);
        EXPECT_EQ(OnlyLine(), std::string("[QUORVAN-9]") + c.line) << "code " << c.code;
    }
    EXPECT_TRUE(fakePlatform.alerts.empty());
}

TEST_F(NotifyTest, AtWarningOnlyTheDoubtfulCodesShow) {
    LogSetLevel(LOG_WARNING);
    fakePlatform.lines.clear();
    for (int32_t code : {-2, -1, 0, 1, 2, 3, 11, 12, 14, 15, 65535, 65536, 0x12000E}) myNotify(code);
    EXPECT_EQ(fakePlatform.lines.size(), 6u);  // -2, 0, 1, 2, 12, 65536
}

TEST_F(NotifyTest, ConfigChangeBeforePostInitTouchesNothing) {
    host_.SetIo<HostIo::Mpg1APin>(7);
    myNotify(EX_CONFIG);
    EXPECT_EQ(OnlyLine(), "[QUORVAN-9][INFO]: myNotify( EX_CONFIG ) Ignored");
    EXPECT_EQ(host_.Io<HostIo::Mpg1APin>(), 7);
    EXPECT_TRUE(fakePlatform.alerts.empty());
}

TEST_F(NotifyTest, ConfigChangeAfterPostInitForcesTheMpgConfigEvenWithoutConnection) {
    pluginState.postInitCalled = true;  // connection failed: init stays false
    LogSetLevel(LOG_DEBUG);
    fakePlatform.lines.clear();
    host_.SetIo<HostIo::Mpg1APin>(7);
    myNotify(EX_CONFIG);
    std::vector<std::string> lines = LogLinesWithoutTime();
    ASSERT_GE(lines.size(), 2u);
    EXPECT_EQ(lines[0], "[QUORVAN-9][INFO]: myNotify( EX_CONFIG ) forcing MPG1 config");
    EXPECT_EQ(lines[1], "[QUORVAN-9][DEBUG]: ForceMPGConfig(): Forcing configuration");
    EXPECT_EQ(host_.Io<HostIo::Mpg1APin>(), 8);
    EXPECT_EQ(fakePlatform.alerts.size(), 1u);
}
}  // namespace
