#include "local_time.h"

#include <algorithm>
#include <charconv>
#include <ctime>

namespace telvane {
namespace {

// Appends value as a zero-padded decimal of at least `width` digits.
void AppendPadded(std::string& out, int value, int width) {
    char digits[16];
    const auto result = std::to_chars(digits, digits + sizeof digits, value);
    const auto length = static_cast<int>(result.ptr - digits);
    const bool negative = value < 0;
    if (negative) {
        out += '-';
    }
    out.append(static_cast<std::size_t>(std::max(0, width - length + (negative ? 1 : 0))), '0');
    out.append(digits + (negative ? 1 : 0), result.ptr);
}

// "%Y<sep>%m<sep>%d<middle>%H:%M:%S"
void AppendDateTime(std::string& out, const LocalTime& time, char dateSeparator, char middle) {
    AppendPadded(out, time.year, 4);
    out += dateSeparator;
    AppendPadded(out, time.month, 2);
    out += dateSeparator;
    AppendPadded(out, time.day, 2);
    out += middle;
    AppendPadded(out, time.hour, 2);
    out += ':';
    AppendPadded(out, time.minute, 2);
    out += ':';
    AppendPadded(out, time.second, 2);
}

}  // namespace

LocalTime CurrentLocalTime() {
    const std::time_t now = std::time(nullptr);
    std::tm parts{};
    localtime_r(&now, &parts);
    return LocalTime{parts.tm_year + 1900,
                     parts.tm_mon + 1,
                     parts.tm_mday,
                     parts.tm_hour,
                     parts.tm_min,
                     parts.tm_sec,
                     static_cast<int>(parts.tm_gmtoff / 60)};
}

std::string FormatReportTime(const LocalTime& time) {
    std::string out;
    AppendDateTime(out, time, '/', ' ');
    return out;
}

std::string FormatIso8601(const LocalTime& time) {
    std::string out;
    AppendDateTime(out, time, '-', 'T');
    out += time.utcOffsetMinutes < 0 ? '-' : '+';
    const int offset = time.utcOffsetMinutes < 0 ? -time.utcOffsetMinutes : time.utcOffsetMinutes;
    AppendPadded(out, offset / 60, 2);
    out += ':';
    AppendPadded(out, offset % 60, 2);
    return out;
}

std::string DefaultFileName(const LocalTime& time) {
    std::string out = "ORBEL_CW_";
    AppendPadded(out, ((time.year % 100) + 100) % 100, 2);
    AppendPadded(out, time.month, 2);
    AppendPadded(out, time.day, 2);
    out += '_';
    AppendPadded(out, time.hour, 2);
    AppendPadded(out, time.minute, 2);
    out += ".txt";
    return out;
}

}  // namespace telvane
