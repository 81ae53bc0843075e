#pragma once

// Wall-clock times typed by the user, read in the machine's local time zone.

#include <QDate>
#include <QDateTime>
#include <QTime>
#include <optional>
#include <string_view>

#include "local_time.h"

namespace telvane {

enum class TimeProblem { kNone, kMalformed, kNonexistent };

struct TypedTime {
    std::optional<LocalTime> time;  // with the zone's offset at that time
    TimeProblem problem = TimeProblem::kNone;
};

// Reads "YYYY-MM-DD HH:MM:SS" as a local time. A time skipped by a change to summer time does
// not exist; a time that occurs twice (the repeated hour) is taken at its first occurrence.
TypedTime ParseLocalTime(std::string_view text);

// The UTC instant of a local wall-clock time, by the same rules: nothing for a time the clocks
// skip, the first occurrence of a time they repeat.
std::optional<QDateTime> LocalToUtc(const QDate& date, const QTime& time);
std::optional<QDateTime> LocalToUtc(const LocalTime& time);

}  // namespace telvane
