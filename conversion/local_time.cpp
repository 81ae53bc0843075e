#include "local_time.h"

#include <ctime>

namespace telvane {
namespace {

// Appends value as a zero-padded decimal of at least `width` digits.
void AppendPadded(std::string& out, int value, int width) {
    std::string digits = std::to_string(value < 0 ? -value : value);
    if (value < 0) {
        out += '-';
    }
    for (int pad = width - static_cast<int>(digits.size()); pad > 0; --pad) {
        out += '0';
    }
    out += digits;
}

}  // namespace

LocalTime CurrentLocalTime() {
    const std::time_t now = std::time(nullptr);
    std::tm parts{};
    localtime_r(&now, &parts);
    return LocalTime{parts.tm_year + 1900, parts.tm_mon + 1, parts.tm_mday,
                     parts.tm_hour,        parts.tm_min,     parts.tm_sec};
}

std::string FormatReportTime(const LocalTime& time) {
    std::string out;
    AppendPadded(out, time.year, 4);
    out += '/';
    AppendPadded(out, time.month, 2);
    out += '/';
    AppendPadded(out, time.day, 2);
    out += ' ';
    AppendPadded(out, time.hour, 2);
    out += ':';
    AppendPadded(out, time.minute, 2);
    out += ':';
    AppendPadded(out, time.second, 2);
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
