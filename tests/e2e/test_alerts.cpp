// Alert boxes of the real DLL: complete texts on threads of their own, never holding up the
// host, and safe to leave open across an unload.
#include <gtest/gtest.h>

#include <algorithm>

#include "sim_host.h"

namespace {
const char kClosing[] = "\n\nSee the QUORVAN-9 Plug-In Release Notes\nfor more information.";
const std::string kAlert200 = std::string("Error(200):\nQUORVAN-9 Plug-In could not connect to Mach3.\n\nThe QUORVAN-9 "
                                          "Plug-In has been DISABLED.") + kClosing;
const std::string kAlert100 = std::string("Warning(100):\nQUORVAN-9 Plug-In is forcing MPG #1 configuration\n\n"
                                          "Please see the QUORVAN-9 Plug-In Release Notes for\ninformation on how to "
                                          "avoid this message in the future.") + kClosing;

class AlertTest : public ::testing::Test {
protected:
    void SetUp() override {
        host_.state.ConfigureForBoard(0x278);
        ASSERT_TRUE(host_.Load()) << host_.error();
        ASSERT_TRUE(host_.InitControl());
    }
    void TearDown() override {
        host_.alerts.CloseOpenBoxes();
        host_.Unload();
    }
    std::vector<std::string> SortedTexts(const std::vector<AlertBox>& boxes) {
        std::vector<std::string> texts;
        for (const AlertBox& box : boxes) texts.push_back(box.text);
        std::sort(texts.begin(), texts.end());
        return texts;
    }
    SimHost host_;
};

TEST_F(AlertTest, TwoAlertsInOneTickAreTwoCompleteBoxes) {
    host_.state.SetIo<HostIo::Mpg1APin>(7);  // wrong MPG #1 wiring and no object-model connection
    host_.alerts.HoldBoxesOpen(true);
    host_.Tick();
    ASSERT_TRUE(host_.alerts.WaitForBoxes(2));
    std::vector<AlertBox> boxes = host_.alerts.Take();
    EXPECT_EQ(SortedTexts(boxes), (std::vector<std::string>{kAlert200, kAlert100}));
    for (const AlertBox& box : boxes) {
        EXPECT_EQ(box.style, 0x30u);
        EXPECT_EQ(box.caption, "QUORVAN-9");
        EXPECT_NE(box.threadId, GetCurrentThreadId());
    }
    EXPECT_EQ(host_.state.Io<HostIo::Mpg1APin>(), 8);
}

TEST_F(AlertTest, OpenBoxesDoNotHoldUpTicksOrFurtherAlerts) {
    host_.alerts.HoldBoxesOpen(true);
    host_.Tick();  // alert 200
    ASSERT_TRUE(host_.alerts.WaitForBoxes(1));
    for (int i = 0; i < 50; ++i) host_.Tick();
    host_.PostInitControl();
    host_.state.SetIo<HostIo::Mpg1BPin>(8);
    host_.plugin.entry.Notify(11);  // a configuration change forces MPG #1 again: alert 100
    ASSERT_TRUE(host_.alerts.WaitForBoxes(2));
    EXPECT_EQ(host_.alerts.OpenBoxes(), 2);
    EXPECT_EQ(SortedTexts(host_.alerts.Take()), (std::vector<std::string>{kAlert200, kAlert100}));
}

TEST_F(AlertTest, UnloadWithABoxOpenKeepsTheModuleUntilTheBoxCloses) {
    host_.alerts.HoldBoxesOpen(true);
    host_.Tick();
    ASSERT_TRUE(host_.alerts.WaitForBoxes(1));
    const DWORD boxThread = host_.alerts.Take()[0].threadId;
    HANDLE thread = OpenThread(SYNCHRONIZE, FALSE, boxThread);
    ASSERT_NE(thread, nullptr);

    host_.Unload();
    EXPECT_NE(GetModuleHandleA("QUORVAN-9.dll"), nullptr) << "the open box still holds the module";

    host_.alerts.CloseOpenBoxes();
    ASSERT_EQ(WaitForSingleObject(thread, 10000), WAIT_OBJECT_0);
    CloseHandle(thread);
    EXPECT_EQ(GetModuleHandleA("QUORVAN-9.dll"), nullptr) << "the box's thread released the module";

    // The host goes on: the plug-in loads again and ticks.
    ASSERT_TRUE(host_.Load()) << host_.error();
    ASSERT_TRUE(host_.InitControl());
    host_.Tick();
    ASSERT_TRUE(host_.alerts.WaitForBoxes(1));
    EXPECT_EQ(host_.alerts.Take()[0].text, kAlert200);
}
}  // namespace
