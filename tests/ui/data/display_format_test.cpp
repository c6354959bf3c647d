// The display form of date-times, as the grid, its start-time popup and the
// log viewer show it and as a typed start is read back.
#include <gtest/gtest.h>

#include "ui/data/DisplayFormat.h"

using namespace qv;
using namespace qv::ui;

TEST(DisplayFormat, DateTimeTextRoundTripsAndBadTextIsRefused) {
    DateTime out{};
    for (DateTime dt : {MakeDateTime(2026, 2, 28, 23, 59, 59), MakeDateTime(2000, 1, 1), MakeDateTime(2030, 12, 31, 8, 5, 7)}) {
        ASSERT_TRUE(ParseDisplayDateTime(FormatDisplayDateTime(dt), out));
        EXPECT_EQ(out, dt);
    }
    ASSERT_TRUE(ParseDisplayDateTime("3.4.2027 8:05", out));
    EXPECT_EQ(out, MakeDateTime(2027, 4, 3, 8, 5));
    ASSERT_TRUE(ParseDisplayDateTime("2027-04-03 08:05:00.000", out));
    EXPECT_EQ(out, MakeDateTime(2027, 4, 3, 8, 5));
    for (const char* bad : {"", "31.02.2027 08:00:00", "01.01.2027 24:00:00", "01.01.2027", "morgen",
                            "01.01.2027 08:00:00x"})
        EXPECT_FALSE(ParseDisplayDateTime(bad, out)) << bad;
}
