// The COM error report's own text rules: the fall-back meaning of a code the system has no text
// for, the trimming of a system text, and the five report lines.
#include <gtest/gtest.h>

#include <cstring>

#include "diag/log.h"
#include "fake_platform.h"
#include "hostlink/com_error_text.h"

namespace {
std::string Fallback(uint32_t code) {
    char buffer[kComErrorFallbackSize];
    memset(buffer, '?', sizeof buffer);
    FormatComErrorFallback(static_cast<int32_t>(code), buffer, sizeof buffer);
    return buffer;
}

std::string Trimmed(const char* text) {
    std::string copy(text);
    TrimSystemMessage(&copy[0]);
    return copy.c_str();
}

TEST(ComErrorTextTest, FallbackNumbersDispatchErrorsAndPrintsOtherCodesInHex) {
    const struct {
        uint32_t code;
        const char* meaning;
    } cases[] = {
        {0x80040200u, "Unknown error 0x80040200"},  // the base itself is not a numbered error
        {0x80040201u, "IDispatch error #1"},
        {0x80040202u, "IDispatch error #2"},
        {0x8004FFFFu, "IDispatch error #65023"},
        {0x80050000u, "Unknown error 0x80050000"},
        {0x800401FFu, "Unknown error 0x800401FF"},
        {0x80020009u, "Unknown error 0x80020009"},
        {0x0000000Au, "Unknown error 0xA"},  // no leading zeros
        {0u, "Unknown error 0x0"},
        {0xFFFFFFFFu, "Unknown error 0xFFFFFFFF"},  // 32 bits, also where long is wider
    };
    for (const auto& c : cases) EXPECT_EQ(Fallback(c.code), c.meaning) << std::hex << c.code;
}

TEST(ComErrorTextTest, TrimmingTakesOneLineFeedAndTheCarriageReturnBeforeIt) {
    EXPECT_EQ(Trimmed("Unspecified error\r\n"), "Unspecified error");
    EXPECT_EQ(Trimmed("Call failed.\n"), "Call failed.");   // a line feed alone goes alone
    EXPECT_EQ(Trimmed("two lines\r\n\r\n"), "two lines\r\n");  // only the last line end
    EXPECT_EQ(Trimmed("ends in\r"), "ends in\r");             // no line feed: nothing trimmed
    EXPECT_EQ(Trimmed("text \n"), "text ");                   // blanks stay
    EXPECT_EQ(Trimmed("\r\n"), "");
    EXPECT_EQ(Trimmed("\n"), "\n");  // a single character is never trimmed
    EXPECT_EQ(Trimmed(""), "");
}

TEST(ComErrorTextTest, ReportIsFiveErrorLinesWithNullTextsShownAsNull) {
    ResetPluginState();
    logState.logEnabled = true;
    logState.logLevel = LOG_ERROR;
    WriteComErrorReport(static_cast<int32_t>(0x80020009u), "Exception occurred.", "Mach3.Doc", nullptr);
    WriteComErrorReport(static_cast<int32_t>(0x8004FFFFu), nullptr, nullptr, "busy");
    const std::vector<std::string> expected = {
        "[QUORVAN-9][ERROR]: Got COM error, details follow:",
        "[QUORVAN-9][ERROR]: COMERR: Code = 0x80020009",
        "[QUORVAN-9][ERROR]: COMERR: Meaning = Exception occurred.",
        "[QUORVAN-9][ERROR]: COMERR: Source = Mach3.Doc",
        "[QUORVAN-9][ERROR]: COMERR: Description = (null)",
        "[QUORVAN-9][ERROR]: Got COM error, details follow:",
        "[QUORVAN-9][ERROR]: COMERR: Code = 0x8004ffff",
        "[QUORVAN-9][ERROR]: COMERR: Meaning = (null)",
        "[QUORVAN-9][ERROR]: COMERR: Source = (null)",
        "[QUORVAN-9][ERROR]: COMERR: Description = busy",
    };
    EXPECT_EQ(LogLinesWithoutTime(), expected);
}

TEST(ComErrorTextTest, ReportWritesNothingAtTheStartLevel) {
    ResetPluginState();
    LogStart(LOG_SYSTEM);
    fakePlatform.lines.clear();
    WriteComErrorReport(static_cast<int32_t>(0x80004005u), "Unspecified error", nullptr, nullptr);
    EXPECT_TRUE(fakePlatform.lines.empty());
}

TEST(ComErrorTextTest, SmallCodesPrintWithLeadingZerosInTheCodeLine) {
    ResetPluginState();
    logState.logEnabled = true;
    logState.logLevel = LOG_ERROR;
    WriteComErrorReport(0x1F, "x", "y", "z");
    ASSERT_EQ(fakePlatform.lines.size(), 5u);
    EXPECT_EQ(LogLinesWithoutTime()[1], "[QUORVAN-9][ERROR]: COMERR: Code = 0x0000001f");
}
}  // namespace
