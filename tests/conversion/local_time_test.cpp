#include <gtest/gtest.h>

#include "local_time.h"

namespace telvane {
namespace {

TEST(LocalTime, FormatsReportTimeAndDefaultFileName) {
    const struct {
        LocalTime time;
        const char* report;
        const char* fileName;
    } cases[] = {
        {{2024, 3, 5, 9, 7, 0}, "2024/03/05 09:07:00", "ORBEL_CW_240305_0907.txt"},
        {{2026, 12, 31, 23, 59, 59}, "2026/12/31 23:59:59", "ORBEL_CW_261231_2359.txt"},
        {{2000, 1, 1, 0, 0, 0}, "2000/01/01 00:00:00", "ORBEL_CW_000101_0000.txt"},
        {{999, 1, 2, 3, 4, 5}, "0999/01/02 03:04:05", "ORBEL_CW_990102_0304.txt"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(FormatReportTime(c.time), c.report);
        EXPECT_EQ(DefaultFileName(c.time), c.fileName);
    }
}

TEST(LocalTime, CurrentTimeIsAPlausibleCalendarReading) {
    const LocalTime now = CurrentLocalTime();
    EXPECT_GE(now.year, 2024);
    EXPECT_GE(now.month, 1);
    EXPECT_LE(now.month, 12);
    EXPECT_GE(now.day, 1);
    EXPECT_LE(now.day, 31);
    EXPECT_LE(now.hour, 23);
    EXPECT_LE(now.minute, 59);
    EXPECT_LE(now.second, 60);
}

}  // namespace
}  // namespace telvane
