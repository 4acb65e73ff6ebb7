#include <gtest/gtest.h>

#include <string>

#include "diag/log.h"
#include "fake_platform.h"

namespace {
class LogTest : public ::testing::Test {
protected:
    void SetUp() override { ResetPluginState(); }
};

struct FilterCase {
    bool enabled;
    int32_t current;
    int32_t lineLevel;
    bool written;
};

TEST_F(LogTest, LineIsWrittenOnlyWhenEnabledAndNotAboveTheLevel) {
    const FilterCase cases[] = {
        {false, LOG_ALL, LOG_SYSTEM, false}, {true, LOG_OFF, LOG_SYSTEM, false},  {true, LOG_SYSTEM, LOG_SYSTEM, true},
        {true, LOG_SYSTEM, LOG_ERROR, false}, {true, LOG_ERROR, LOG_ERROR, true},   {true, LOG_WARNING, LOG_INFO, false},
        {true, LOG_INFO, LOG_INFO, true},     {true, LOG_INFO, LOG_DEBUG, false},   {true, LOG_DEBUG, LOG_DEBUG, true},
        {true, LOG_ALL, LOG_DEBUG, true},
    };
    for (const FilterCase& c : cases) {
        ResetPluginState();
        logState.logEnabled = c.enabled;
        logState.logLevel = c.current;
        LogMsg(c.lineLevel, "x");
        EXPECT_EQ(fakePlatform.lines.size(), c.written ? 1u : 0u)
            << "enabled=" << c.enabled << " level=" << c.current << " line=" << c.lineLevel;
        // A filtered call reads no clock and formats nothing.
        EXPECT_EQ(fakePlatform.clockReads, c.written ? 1 : 0);
    }
}

TEST_F(LogTest, HeaderCarriesZeroPaddedTimeTagAndTheLinesOwnLevel) {
    fakePlatform.clock = TimeOfDay{1, 2, 3, 4};
    logState.logEnabled = true;
    logState.logLevel = LOG_ALL;
    LogMsg(LOG_ERROR, "value %d", 7);
    ASSERT_EQ(fakePlatform.lines.size(), 1u);
    EXPECT_EQ(fakePlatform.lines[0], "01:02:03.004 [QUORVAN-9][ERROR]: value 7");

    fakePlatform.clock = TimeOfDay{23, 59, 59, 999};
    LogMsg(LOG_INFO, "late");
    EXPECT_EQ(fakePlatform.lines[1], "23:59:59.999 [QUORVAN-9][INFO]: late");
}

TEST_F(LogTest, LevelsOutsideTheNameTableNeverWriteALine) {
    logState.logEnabled = true;
    logState.logLevel = LOG_ALL;
    LogMsg(-1, "negative");
    LogMsg(7, "seven");
    LogMsg(INT32_MIN, "min");
    EXPECT_TRUE(fakePlatform.lines.empty());
}

TEST_F(LogTest, StartWithSystemWritesTheStartLineAndFiltersInfo) {
    LogMsg(LOG_SYSTEM, "before start");
    LogStart(LOG_SYSTEM);
    LogMsg(LOG_INFO, "info");
    LogMsg(LOG_ERROR, "error");
    LogMsg(LOG_SYSTEM, "system");
    EXPECT_EQ(LogLinesWithoutTime(), (std::vector<std::string>{
                                         "[QUORVAN-9][SYSTEM]: PlugIn log started, level 'SYSTEM', *RELEASE VERSION*",
                                         "[QUORVAN-9][SYSTEM]: system"}));
}

TEST_F(LogTest, StartWithOffWritesNothingUntilTheLevelIsRaised) {
    LogStart(LOG_OFF);
    LogMsg(LOG_SYSTEM, "hidden");
    EXPECT_TRUE(fakePlatform.lines.empty());
    LogSetLevel(LOG_SYSTEM);  // the change line is filtered by the old level
    EXPECT_TRUE(fakePlatform.lines.empty());
    LogMsg(LOG_SYSTEM, "shown");
    EXPECT_EQ(LogLinesWithoutTime(), std::vector<std::string>{"[QUORVAN-9][SYSTEM]: shown"});
}

TEST_F(LogTest, StartWithInvalidLevelKeepsTheLevelAndSaysSo) {
    logState.logLevel = LOG_WARNING;
    LogStart(7);
    EXPECT_EQ(LogGetLevel(), LOG_WARNING);
    EXPECT_EQ(LogLinesWithoutTime(), (std::vector<std::string>{
                                         "[QUORVAN-9][SYSTEM]: PlugIn log started, level 'WARNING', *RELEASE VERSION*",
                                         "[QUORVAN-9][SYSTEM]: ERROR: Initial debug level 7 is invalid, ignored"}));
}

TEST_F(LogTest, SetLevelWritesTheChangeBeforeMakingIt) {
    LogStart(LOG_SYSTEM);
    fakePlatform.lines.clear();
    LogSetLevel(LOG_DEBUG);
    LogMsg(LOG_DEBUG, "detail");
    LogSetLevel(-1);
    LogSetLevel(LOG_OFF);
    LogSetLevel(LOG_ALL);  // filtered: the level is OFF when it is written
    EXPECT_EQ(LogGetLevel(), LOG_ALL);
    EXPECT_EQ(LogLinesWithoutTime(), (std::vector<std::string>{
                                         "[QUORVAN-9][SYSTEM]: Debug level changed from 'SYSTEM' to 'DEBUG'",
                                         "[QUORVAN-9][DEBUG]: detail",
                                         "[QUORVAN-9][SYSTEM]: ERROR: New debug level of -1 is invalid, ignored",
                                         "[QUORVAN-9][SYSTEM]: Debug level changed from 'DEBUG' to 'OFF'"}));
}

TEST_F(LogTest, StopSilencesEveryLevelAndKeepsTheLevel) {
    LogStart(LOG_SYSTEM);
    LogSetLevel(LOG_ALL);
    LogStop();
    fakePlatform.lines.clear();
    for (int32_t level = LOG_SYSTEM; level <= LOG_DEBUG; ++level) LogMsg(level, "after stop");
    LogSetLevel(LOG_INFO);  // changes silently while disabled
    EXPECT_TRUE(fakePlatform.lines.empty());
    EXPECT_EQ(LogGetLevel(), LOG_INFO);
}

TEST_F(LogTest, LongLinesAreCutAt1022WithAMark) {
    logState.logEnabled = true;
    logState.logLevel = LOG_ALL;
    const size_t header = std::string("14:03:07.042 [QUORVAN-9][INFO]: ").size();
    struct {
        size_t total;  // header + message
        std::string expectedTail;
        size_t expectedLength;
    } cases[] = {
        {1021, "a", 1021},
        {1022, "a#", 1023},
        {1023, "a#", 1023},
        {header + 5000, "a#", 1023},
    };
    for (const auto& c : cases) {
        fakePlatform.lines.clear();
        const std::string message(c.total - header, 'a');
        LogMsg(LOG_INFO, "%s", message.c_str());
        ASSERT_EQ(fakePlatform.lines.size(), 1u);
        const std::string& line = fakePlatform.lines[0];
        EXPECT_EQ(line.size(), c.expectedLength) << "total " << c.total;
        EXPECT_EQ(line.substr(line.size() - c.expectedTail.size()), c.expectedTail) << "total " << c.total;
    }
}
}  // namespace
