// The text helpers every layer shares: trimming, ASCII case, digits.
#include <gtest/gtest.h>

#include <cstdint>

#include "core/text.h"

using namespace stats;

TEST(Text, TrimsCasesAndReadsDigitsOfAnyBytes) {
    EXPECT_EQ(trimmed(" \tLU1AA \t"), "LU1AA");
    EXPECT_EQ(trimmed("\r\n 7 \r\n", " \t\r\n"), "7");
    EXPECT_EQ(trimmed("\r7\r"), "\r7\r") << "only spaces and tabs unless told";
    EXPECT_EQ(trimmed(" \t "), "");
    EXPECT_EQ(asciiUpper("lu1aa/p \xC3\xA3"), "LU1AA/P \xC3\xA3") << "bytes above ASCII stay as they are";
    EXPECT_EQ(asciiLower("40M"), "40m");
    EXPECT_TRUE(equalsIgnoringCase("start-of-log:", "START-OF-LOG:"));
    EXPECT_FALSE(equalsIgnoringCase("EOR", "EOH"));
    EXPECT_FALSE(equalsIgnoringCase("EO", "EOR"));

    const struct {
        std::string_view text;
        bool ok;
        unsigned value;
    } cases[] = {
        {"0", true, 0},      {"007", true, 7},     {"4294967295", true, 4294967295u}, {"4294967296", false, 99},
        {"", false, 99},     {"-1", false, 99},    {"+1", false, 99},                 {" 1", false, 99},
        {"1 ", false, 99},   {"12a", false, 99},   {"\xEF\xBC\x91", false, 99},
    };
    for (const auto& c : cases) {
        unsigned value = 99;
        EXPECT_EQ(parseDigits(c.text, value), c.ok) << c.text;
        EXPECT_EQ(value, c.value) << c.text << ": unchanged unless read";
    }
    std::uint64_t big = 0;
    EXPECT_TRUE(parseDigits("18446744073709551615", big));
    EXPECT_EQ(big, 18446744073709551615u);
}
