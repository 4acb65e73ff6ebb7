#include <gtest/gtest.h>

#include "diag/log.h"
#include "fake_platform.h"
#include "pendant/plugin_state.h"
#include "plugin/lifecycle.h"

namespace {
class LifecycleTest : public ::testing::Test {
protected:
    void SetUp() override { ResetPluginState(); }
};

TEST_F(LifecycleTest, InitControlLeavesOnlyTheStartLine) {
    myInitControl();
    EXPECT_EQ(LogLinesWithoutTime(), std::vector<std::string>{
                                         "[QUORVAN-9][SYSTEM]: PlugIn log started, level 'SYSTEM', *RELEASE VERSION*"});
}

TEST_F(LifecycleTest, PostInitSetsInitOnlyWhenConnected) {
    struct {
        int32_t status;
        bool init;
    } cases[] = {{0, true}, {1, false}, {2, false}, {3, false}, {-2147352567, false}};
    for (const auto& c : cases) {
        ResetPluginState();
        fakePlatform.startupStatus = c.status;
        EXPECT_EQ(myPostInitControl(), c.status);
        EXPECT_TRUE(pluginState.postInitCalled);
        EXPECT_EQ(pluginState.init, c.init) << "status " << c.status;
    }
}

TEST_F(LifecycleTest, CleanUpShutsDownOnlyAfterAConnectionAndSilencesTheLog) {
    for (int32_t status : {0, 2}) {
        ResetPluginState();
        myInitControl();
        LogSetLevel(LOG_DEBUG);
        fakePlatform.startupStatus = status;
        myPostInitControl();
        fakePlatform.lines.clear();
        myCleanUp();
        EXPECT_EQ(fakePlatform.shutdownCalls, status == 0 ? 1 : 0);
        EXPECT_EQ(LogLinesWithoutTime(), std::vector<std::string>{"[QUORVAN-9][DEBUG]: myCleanUp()"});
        LogMsg(LOG_SYSTEM, "after stop");
        EXPECT_EQ(fakePlatform.lines.size(), 1u);
        EXPECT_TRUE(pluginState.postInitCalled);
    }
}

TEST_F(LifecycleTest, ProbeAndPurgeOnlySayTheyIgnoreTheRequest) {
    myInitControl();
    LogSetLevel(LOG_INFO);
    fakePlatform.lines.clear();
    myProbe();
    myPurge(5);
    myPurge(static_cast<int16_t>(0xFFFF));
    EXPECT_EQ(LogLinesWithoutTime(), (std::vector<std::string>{"[QUORVAN-9][INFO]: myProbe(), ignored",
                                                               "[QUORVAN-9][INFO]: myPurge(5), ignored",
                                                               "[QUORVAN-9][INFO]: myPurge(-1), ignored"}));
}
}  // namespace
