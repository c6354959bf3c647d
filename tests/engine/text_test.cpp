#include <gtest/gtest.h>

#include "engine/Text.h"
#include "engine/Utf8.h"

namespace qv {
namespace {

TEST(Text, ParseIntTakesWholeDecimalNumbersOnly) {
    const struct {
        const char* text;
        bool ok;
        int64_t value;
    } cases[] = {
        {"0", true, 0},
        {"-42", true, -42},
        {"+7", true, 7},
        {" 12", true, 12},
        {"9223372036854775807", true, INT64_MAX},
        {"-9223372036854775808", true, INT64_MIN},
        {"9223372036854775808", false, 0},
        {"", false, 0},
        {"12 ", false, 0},
        {"1x", false, 0},
        {"0x10", false, 0},
        {"-", false, 0},
    };
    for (const auto& c : cases) {
        int64_t out = 99;
        EXPECT_EQ(ParseInt(c.text, &out), c.ok) << '"' << c.text << '"';
        EXPECT_EQ(out, c.ok ? c.value : 99) << '"' << c.text << '"';
    }
}

TEST(Text, NamesCompareWithoutAsciiCaseAndTrimDropsBlanksAndTabs) {
    EXPECT_TRUE(SameName("WindowState", "windowstate"));
    EXPECT_FALSE(SameName("Pfad", "Pfad "));
    EXPECT_FALSE(SameName("\xc4nderung", "\xe4nderung"));  // only ASCII letters fold
    EXPECT_EQ(Lower("Timer.DAT \xc4"), "timer.dat \xc4");
    EXPECT_EQ(Trim(" \t Wert = 1\t "), "Wert = 1");
    EXPECT_EQ(Trim(" \t "), "");
    EXPECT_EQ(Trim("\r\nx\r\n"), "\r\nx\r\n");
}

TEST(Text, Utf8AndUtf16ConvertWithoutTheSystem) {
    const std::string utf8 = "A\xc3\xa4\xe2\x82\xac\xf0\x9f\x98\x80";
    const std::u16string utf16 = u"A\u00e4\u20ac\U0001F600";
    EXPECT_EQ(Utf8ToUtf16(utf8), utf16);
    EXPECT_EQ(Utf16ToUtf8(utf16), utf8);
    // Bytes that are no UTF-8 read as their own values; a lone surrogate
    // survives the round trip.
    EXPECT_EQ(Utf8ToUtf16("M\xfcller \xc3"), u"M\u00fcller \u00c3");
    const std::u16string lone = u"x\xd800y\xdc00";
    EXPECT_EQ(Utf8ToUtf16(Utf16ToUtf8(lone)), lone);
}

}  // namespace
}  // namespace qv
