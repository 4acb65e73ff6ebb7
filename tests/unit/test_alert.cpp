#include <gtest/gtest.h>

#include <string>

#include "diag/alert.h"
#include "fake_platform.h"
#include "host_state.h"

namespace {
const char kClosing[] = "\n\nSee the QUORVAN-9 Plug-In Release Notes\nfor more information.";

class AlertTest : public ::testing::Test {
protected:
    void SetUp() override {
        ResetPluginState();
        BindHost(host_);
    }
    HostState host_;
};

TEST_F(AlertTest, FirstLineFollowsTheCodeAndTheMessageIsFormattedFirst) {
    ShowAlert(199, "plain");
    ShowAlert(200, "value %d%%", 42);
    ShowAlert(-5, "no args, no percent");
    ASSERT_EQ(fakePlatform.alerts.size(), 3u);
    EXPECT_EQ(fakePlatform.alerts[0], std::string("Warning(199):\nplain") + kClosing);
    EXPECT_EQ(fakePlatform.alerts[1], std::string("Error(200):\nvalue 42%") + kClosing);
    EXPECT_EQ(fakePlatform.alerts[2], std::string("Warning(-5):\nno args, no percent") + kClosing);
}

TEST_F(AlertTest, HugeMessagesAreKeptWhole) {
    const std::string big(100000, 'x');
    ShowAlert(201, "%s", big.c_str());
    ASSERT_EQ(fakePlatform.alerts.size(), 1u);
    EXPECT_EQ(fakePlatform.alerts[0], "Error(201):\n" + big + kClosing);
}

TEST_F(AlertTest, HostMessageReplacesTheLineAndReleasesTheOldString) {
    // The host starts with its shared empty string (refs -1), which must stay untouched.
    EXPECT_EQ(host_.MessageLine(), "");
    SetHostMessage("first");
    EXPECT_EQ(host_.MessageLine(), "first");
    char* first = HostMotion::MessageLine::Read(host_.motionRecord.data());
    HostStringHeaderOf(first)->refs = 2;  // the host holds a copy of its own
    SetHostMessage("second");
    EXPECT_EQ(host_.MessageLine(), "second");
    EXPECT_EQ(HostStringHeaderOf(first)->refs, 1);
    EXPECT_STREQ(first, "first");
    HostStringRelease(HostString{first});
}
}  // namespace
