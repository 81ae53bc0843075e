#include "front_end.h"

#include <algorithm>

namespace telvane {

void RemoveSpaces(std::string& line) {
    std::erase(line, ' ');
}

void CompactField(std::string& line, std::size_t width) {
    RemoveSpaces(line);
    if (line.size() < width) {
        line.resize(width, '0');
    }
}

std::int32_t HexToInt(std::string_view text) {
    // Unsigned so that an over-long text wraps instead of overflowing.
    std::uint32_t value = 0;
    for (const char byte : text) {
        std::uint32_t digit = 0;
        if (byte >= '0' && byte <= '9') {
            digit = static_cast<std::uint32_t>(byte - '0');
        } else if (byte >= 'a' && byte <= 'f') {
            digit = static_cast<std::uint32_t>(byte - 'a' + 10);
        } else if (byte >= 'A' && byte <= 'F') {
            digit = static_cast<std::uint32_t>(byte - 'A' + 10);
        } else {
            return 0;
        }
        value = value * 16 + digit;
    }
    return static_cast<std::int32_t>(value);
}

}  // namespace telvane
