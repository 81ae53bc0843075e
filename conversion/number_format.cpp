#include "number_format.h"

#include <algorithm>
#include <bit>
#include <charconv>
#include <cmath>
#include <cstdint>

namespace telvane {
namespace {

constexpr double kTwoTo53 = 9007199254740992.0;

// Ten times `magnitude`, rounded to an integer with ties upwards, computed exactly from the
// binary representation: magnitude = mantissa / 2^shift with a 53-bit mantissa.
std::uint64_t TenthsRoundedUp(double magnitude) {
    const auto bits = std::bit_cast<std::uint64_t>(magnitude);
    const auto biasedExponent = static_cast<int>(bits >> 52);
    std::uint64_t mantissa = bits & ((std::uint64_t{1} << 52) - 1);
    int shift = 1074;  // subnormal numbers
    if (biasedExponent != 0) {
        mantissa |= std::uint64_t{1} << 52;
        shift = 1075 - biasedExponent;  // >= 0 because magnitude < 2^53
    }
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
    // Built in a buffer and appended once: reports hold some thirty of these.
    char buffer[400];
    char* end = buffer;
    if (std::signbit(value)) {
        *end++ = '-';
    }
    const double magnitude = std::fabs(value);
    if (std::isinf(magnitude)) {
        end = std::copy_n("inf", 3, end);
    } else if (magnitude >= kTwoTo53) {
        // An integer already: printing it needs no rounding at all.
        end = std::to_chars(end, std::end(buffer), magnitude, std::chars_format::fixed, 1).ptr;
    } else {
        const std::uint64_t tenths = TenthsRoundedUp(magnitude);
        end = std::to_chars(end, std::end(buffer), tenths / 10).ptr;
        *end++ = '.';
        *end++ = static_cast<char>('0' + tenths % 10);
    }
    out.append(buffer, end);
}

void AppendReading(std::string& out, const char* label, double value, const char* unit) {
    out += label;
    AppendOneDecimal(out, value);
    out += unit;
}

}  // namespace telvane
