#include "core/ole_date.h"

#include <gtest/gtest.h>

using namespace std::chrono;
using stats::formatOleDate;
using stats::OleDateTime;

namespace {

OleDateTime valid(double dt) { return {dt, OleDateTime::kValid}; }

TEST(OleDate, FormatsThePatternsThePluginUses) {
    // 2026-03-01 14:05:00 is day 46082 plus 14h05m.
    const OleDateTime d = stats::oleDateFrom(sys_days{2026y / March / 1} + 14h + 5min);
    EXPECT_EQ(formatOleDate(d, "%Y-%m-%d %H%M"), "2026-03-01 1405");
    EXPECT_EQ(formatOleDate(d, "%d.%m"), "01.03");
    EXPECT_EQ(formatOleDate(d, "%d.%m.%Y"), "01.03.2026");
    EXPECT_EQ(formatOleDate(d, "%Y"), "2026");
    EXPECT_EQ(formatOleDate(d, "%H:%M"), "14:05");
    EXPECT_EQ(formatOleDate(d, "100%%"), "100%");
}

TEST(OleDate, KnownSerialNumbers) {
    EXPECT_EQ(formatOleDate(valid(0.0), "%Y-%m-%d %H:%M:%S"), "1899-12-30 00:00:00");
    EXPECT_EQ(formatOleDate(valid(2.0), "%Y-%m-%d"), "1900-01-01");
    EXPECT_EQ(formatOleDate(valid(36526.5), "%Y-%m-%d %H:%M"), "2000-01-01 12:00");
    EXPECT_EQ(formatOleDate(valid(2958465.0), "%Y-%m-%d"), "9999-12-31");
    EXPECT_EQ(formatOleDate(valid(-657434.0), "%Y-%m-%d"), "0100-01-01");
}

TEST(OleDate, DatesBeforeTheEpochCountTheTimeAwayFromZero) {
    EXPECT_EQ(formatOleDate(valid(-1.25), "%Y-%m-%d %H:%M"), "1899-12-29 06:00");
    EXPECT_EQ(formatOleDate(valid(-0.5), "%Y-%m-%d %H:%M"), "1899-12-30 12:00");
    EXPECT_EQ(formatOleDate(valid(-36522.75), "%Y-%m-%d %H:%M"), "1800-01-01 18:00");
    const OleDateTime back = stats::oleDateFrom(sys_days{1899y / December / 29} + 6h);
    EXPECT_DOUBLE_EQ(back.dt, -1.25);
}

TEST(OleDate, RoundsToTheNearestSecond) {
    const double second = 1.0 / 86400.0;
    EXPECT_EQ(formatOleDate(valid(1.0 + 59.6 * second), "%H:%M:%S"), "00:01:00");
    EXPECT_EQ(formatOleDate(valid(1.0 + 59.4 * second), "%H:%M:%S"), "00:00:59");
    // 23:59:59.7 rounds into the next day.
    EXPECT_EQ(formatOleDate(valid(2.0 - 0.3 * second), "%Y-%m-%d %H%M"), "1900-01-01 0000");
}

TEST(OleDate, InvalidAndNull) {
    EXPECT_EQ(formatOleDate({46082.0, OleDateTime::kInvalid}, "%Y"), "Invalid DateTime");
    EXPECT_EQ(formatOleDate({46082.0, OleDateTime::kNull}, "%Y"), "");
    EXPECT_EQ(formatOleDate(valid(3.0e6), "%Y"), "Invalid DateTime");
    EXPECT_EQ(formatOleDate(valid(-700000.0), "%Y"), "Invalid DateTime");
    EXPECT_EQ(formatOleDate(valid(std::numeric_limits<double>::quiet_NaN()), "%Y"), "Invalid DateTime");
    EXPECT_EQ(formatOleDate(valid(std::numeric_limits<double>::infinity()), "%Y"), "Invalid DateTime");
}

TEST(OleDate, RoundTripsThroughSeconds) {
    for (const sys_seconds t : {sys_seconds{sys_days{2026y / March / 1} + 23h + 59min + 59s},
                                sys_seconds{sys_days{1900y / February / 28}}, sys_seconds{sys_days{1066y / October / 14} + 9h}}) {
        sys_seconds back;
        ASSERT_TRUE(stats::oleDateToSeconds(stats::oleDateFrom(t), back));
        EXPECT_EQ(back, t);
    }
}

}  // namespace
