#pragma once

#include <string>

namespace telvane {

// A wall-clock reading in local time, broken down the way the report prints it.
struct LocalTime {
    int year = 1970;
    int month = 1;  // 1-12
    int day = 1;    // 1-31
    int hour = 0;   // 0-23
    int minute = 0;
    int second = 0;
    int utcOffsetMinutes = 0;  // of the local time zone at this reading
};

// Reads the system clock once, in the machine's local time zone, with that zone's offset.
LocalTime CurrentLocalTime();

// "%Y/%m/%d %H:%M:%S", as the report's conversion time line shows it.
std::string FormatReportTime(const LocalTime& time);

// ISO 8601 with the reading's offset, such as "2024-03-05T09:07:00+09:00".
std::string FormatIso8601(const LocalTime& time);

// "ORBEL_CW_%y%m%d_%H%M.txt": the name proposed when a report is saved.
std::string DefaultFileName(const LocalTime& time);

}  // namespace telvane
