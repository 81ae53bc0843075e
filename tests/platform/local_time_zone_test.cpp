#include <gtest/gtest.h>

#include <cstdlib>
#include <ctime>

#include "local_time_zone.h"

namespace telvane {
namespace {

// Sets the process's time zone for one test.
class InZone {
public:
    explicit InZone(const char* zone) {
        if (const char* saved = std::getenv("TZ")) {
            m_saved = saved;
        }
        setenv("TZ", zone, 1);
        tzset();
    }
    ~InZone() {
        m_saved ? setenv("TZ", m_saved->c_str(), 1) : unsetenv("TZ");
        tzset();
    }

private:
    std::optional<std::string> m_saved;
};

TEST(ParseLocalTime, AcceptsOnlyRealCalendarTimesInTheirShape) {
    const struct {
        std::string_view text;
        bool valid;
    } cases[] = {
        {"2024-03-05 09:07:00", true},
        {"2024-02-29 23:59:59", true},
        {"2000-02-29 00:00:00", true},
        {"1900-02-29 00:00:00", false},
        {"2023-02-29 00:00:00", false},
        {"2024-04-31 00:00:00", false},
        {"2024-13-01 00:00:00", false},
        {"2024-00-10 00:00:00", false},
        {"2024-01-00 00:00:00", false},
        {"2024-01-01 24:00:00", false},
        {"2024-01-01 00:60:00", false},
        {"2024-01-01 00:00:60", false},
        {"2024-01-01T00:00:00", false},
        {"2024-1-01 00:00:00", false},
        {"2024-01-01 00:00:0x", false},
        {"2024-01-01 00:00:00 ", false},
        {"", false},
        {"+024-01-01 00:00:00", false},
        {"２０２４-01-01 00:00:00", false},
    };
    const InZone zone("UTC");
    for (const auto& c : cases) {
        const TypedTime typed = ParseLocalTime(c.text);
        EXPECT_EQ(typed.time.has_value(), c.valid) << c.text;
        EXPECT_EQ(typed.problem, c.valid ? TimeProblem::kNone : TimeProblem::kMalformed) << c.text;
    }
    const TypedTime typed = ParseLocalTime("2026-12-07 04:08:58");
    ASSERT_TRUE(typed.time.has_value());
    EXPECT_EQ(FormatIso8601(*typed.time), "2026-12-07T04:08:58+00:00");
}

// Summer-time changes: a skipped time does not exist, a repeated one is its first occurrence,
// whatever the zone.
TEST(ParseLocalTime, KnowsTheZonesOffsetsGapsAndRepeatedHours) {
    const struct {
        const char* zone;
        std::string_view text;
        const char* iso;  // nullptr: the time does not exist
    } cases[] = {
        {"Asia/Tokyo", "2024-03-05 09:07:00", "2024-03-05T09:07:00+09:00"},
        {"America/St_Johns", "2024-03-05 09:07:00", "2024-03-05T09:07:00-03:30"},
        {"America/St_Johns", "2024-07-01 12:00:00", "2024-07-01T12:00:00-02:30"},
        {"America/New_York", "2024-03-10 02:30:00", nullptr},
        {"America/New_York", "2024-03-10 03:00:00", "2024-03-10T03:00:00-04:00"},
        {"America/New_York", "2024-11-03 01:30:00", "2024-11-03T01:30:00-04:00"},
        {"Europe/London", "2024-03-31 01:30:00", nullptr},
        {"Europe/London", "2024-10-27 01:30:00", "2024-10-27T01:30:00+01:00"},
        {"Australia/Lord_Howe", "2024-04-07 01:45:00", "2024-04-07T01:45:00+11:00"},
    };
    for (const auto& c : cases) {
        const InZone zone(c.zone);
        const TypedTime typed = ParseLocalTime(c.text);
        if (c.iso == nullptr) {
            EXPECT_EQ(typed.problem, TimeProblem::kNonexistent) << c.zone << ' ' << c.text;
            EXPECT_FALSE(typed.time.has_value());
        } else {
            ASSERT_TRUE(typed.time.has_value()) << c.zone << ' ' << c.text;
            EXPECT_EQ(FormatIso8601(*typed.time), c.iso) << c.zone;
        }
    }
}

}  // namespace
}  // namespace telvane
