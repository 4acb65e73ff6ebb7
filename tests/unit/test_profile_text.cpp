// The profile's text rules: the integer value of an entry and the host's line ends.
#include <gtest/gtest.h>

#include "settings/profile_text.h"

namespace {
TEST(ProfileTextToIntTest, ReadsTheLeadingNumberLikeTheCLibrary) {
    struct Case {
        const char* text;
        int32_t value;
    };
    const Case cases[] = {
        {"5", 5},
        {"  7 ", 7},
        {"\t\r\n\v\f6", 6},
        {"-1", -1},
        {"+4", 4},
        {"-3", -3},
        {"12abc", 12},
        {"0x3", 0},
        {"abc", 0},
        {"", 0},
        {"-", 0},
        {"+-2", 0},
        {"- 2", 0},
        {"007", 7},
        {"2147483647", 2147483647},
        {"2147483648", 2147483647},
        {"-2147483648", INT32_MIN},
        {"-2147483649", INT32_MIN},
        {"99999999999", 2147483647},
        {"-99999999999", INT32_MIN},
        {"99999999999999999999999999999999999999", 2147483647},
        {"000000000000000000000000000000000000004", 4},
    };
    for (const Case& c : cases) EXPECT_EQ(ProfileTextToInt(c.text), c.value) << "'" << c.text << "'";
    EXPECT_EQ(ProfileTextToInt(nullptr), 0);
}

TEST(ProfileLineEndsTest, CrLfFilesGetCrLfBack) {
    EXPECT_TRUE(UsesCrLf("<a>\r\n<b/>\n"));
    EXPECT_FALSE(UsesCrLf("<a>\n<b/>\r\n"));
    EXPECT_FALSE(UsesCrLf("<a/>"));
    EXPECT_FALSE(UsesCrLf("\n<a/>"));
    EXPECT_EQ(WithCrLf("<a>\n  <b/>\r\n</a>\n"), "<a>\r\n  <b/>\r\n</a>\r\n");
    EXPECT_EQ(WithCrLf("\n"), "\r\n");
    EXPECT_EQ(WithCrLf(""), "");
}
}  // namespace
