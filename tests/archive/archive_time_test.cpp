// Times as operators type them, in a zone whose clocks change (the tests run with
// TZ=Europe/Berlin: summer time starts 2024-03-31 02:00 and ends 2024-10-27 03:00).

#include <gtest/gtest.h>

#include <QTimeZone>

#include "archive_time.h"

namespace telvane::archive {
namespace {

struct TimeCase {
    const char* text;
    bool endOfDay;
    const char* expectedUtc;  // ISO 8601, or nullptr when the text must be refused
};

TEST(ArchiveTime, ReadsLocalAndIsoTimesAndRefusesTimesThatDoNotExist) {
    ASSERT_EQ(QTimeZone::systemTimeZoneId(), QByteArray("Europe/Berlin"));
    const TimeCase cases[] = {
        {"2024-03-05 09:07:00", false, "2024-03-05T08:07:00Z"},
        {"2024-07-05 09:07:00", false, "2024-07-05T07:07:00Z"},
        {"2024-03-31 02:30:00", false, nullptr},                 // skipped by the clocks
        {"2024-10-27 02:30:00", false, "2024-10-27T00:30:00Z"},  // repeated: the first one
        {"2024-03-05", false, "2024-03-04T23:00:00Z"},
        {"2024-03-05", true, "2024-03-05T23:00:00Z"},            // the whole day
        {"2024-03-05T09:07:00", false, "2024-03-05T08:07:00Z"},  // ISO, local
        {"2024-03-05T09:07:00Z", false, "2024-03-05T09:07:00Z"},
        {"2024-03-05T09:07:00+09:00", false, "2024-03-05T00:07:00Z"},
        {"2024-02-30 09:07:00", false, nullptr},
        {"2024-03-05 24:00:00", false, nullptr},
        {"2024-03-05 9:07:00", false, nullptr},
        {"yesterday", false, nullptr},
        {"", false, nullptr},
    };
    for (const TimeCase& c : cases) {
        const std::optional<QDateTime> time =
            ParseTimeArgument(QString::fromLatin1(c.text), c.endOfDay);
        if (c.expectedUtc == nullptr) {
            EXPECT_FALSE(time) << c.text;
        } else {
            ASSERT_TRUE(time) << c.text;
            EXPECT_EQ(time->toUTC().toString(Qt::ISODate).toStdString(), c.expectedUtc) << c.text;
        }
    }
}

}  // namespace
}  // namespace telvane::archive
