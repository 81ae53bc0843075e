#include "number_format.h"

#include <charconv>
#include <cmath>
#include <cstdint>

namespace telvane {
namespace {

constexpr double kTwoTo53 = 9007199254740992.0;

// Ten times `magnitude`, rounded to an integer with ties upwards, computed exactly from the
// binary representation: magnitude = mantissa / 2^shift with a 53-bit mantissa.
std::uint64_t TenthsRoundedUp(double magnitude) {
    int exponent = 0;
    const double fraction = std::frexp(magnitude, &exponent);
    const auto mantissa = static_cast<std::uint64_t>(std::ldexp(fraction, 53));
    const int shift = 53 - exponent;  // >= 0 because magnitude < 2^53
    if (shift == 0) {
        return mantissa * 10;
    }
    if (shift > 57) {
        return 0;  // magnitude < 2^-5, so ten times it stays below one half
    }
    const std::uint64_t half = std::uint64_t{1} << (shift - 1);
    return (mantissa * 10 + half) >> shift;
}

}  // namespace

void AppendInteger(std::string& out, long long value) {
    char buffer[24];
    const auto result = std::to_chars(buffer, buffer + sizeof buffer, value);
    out.append(buffer, result.ptr);
}

void AppendOneDecimal(std::string& out, double value) {
    if (std::isnan(value)) {
        out += "nan";
        return;
    }
    if (std::signbit(value)) {
        out += '-';
    }
    const double magnitude = std::fabs(value);
    if (std::isinf(magnitude)) {
        out += "inf";
        return;
    }
    if (magnitude >= kTwoTo53) {
        // An integer already: printing it needs no rounding at all.
        char buffer[400];
        const auto result =
            std::to_chars(buffer, buffer + sizeof buffer, magnitude, std::chars_format::fixed, 1);
        out.append(buffer, result.ptr);
        return;
    }
    const std::uint64_t tenths = TenthsRoundedUp(magnitude);
    char buffer[24];
    const auto result = std::to_chars(buffer, buffer + sizeof buffer, tenths / 10);
    out.append(buffer, result.ptr);
    out += '.';
    out += static_cast<char>('0' + tenths % 10);
}

void AppendReading(std::string& out, const char* label, double value, const char* unit) {
    out += label;
    AppendOneDecimal(out, value);
    out += unit;
}

}  // namespace telvane
