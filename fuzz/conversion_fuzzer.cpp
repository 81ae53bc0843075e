// Fuzzes the whole conversion: the input, split at line feeds, fills the six boxes.
// Besides "no crash", every report must keep its shape.

#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "conversion.h"

namespace {

constexpr telvane::LocalTime kTime{2024, 3, 5, 9, 7, 0};

// The first line of each line's section, as the program writes it; typed text never holds a line
// feed, so only the program can put one in front of these.
constexpr std::array<std::string_view, telvane::kLineCount> kSectionStarts = {
    "\nVORTA URL\t",       "\nORBEL-K internal time\t", "\nUplink count\t",
    "\nBattery voltage\t", "\nSolar array current\r\n", "\nTemperature\r\n",
};
constexpr std::array<int, telvane::kLineCount> kSectionLines = {1, 1, 9, 3, 7, 10};

std::size_t Count(std::string_view text, std::string_view what) {
    std::size_t count = 0;
    for (std::size_t at = text.find(what); at != std::string_view::npos;
         at = text.find(what, at + 1)) {
        ++count;
    }
    return count;
}

void Require(bool condition) {
    if (!condition) {
        std::abort();
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    std::string_view input(reinterpret_cast<const char*>(data), size);
    std::array<std::string, telvane::kLineCount> lines;
    for (auto& line : lines) {
        const std::size_t end = input.find('\n');
        line = input.substr(0, end);
        input.remove_prefix(end == std::string_view::npos ? input.size() : end + 1);
    }

    static const std::string empty = telvane::ConvertBeacon({}, kTime);
    static const std::size_t emptyLineCount = Count(empty, "\r\n");
    static const std::string head = empty.substr(0, empty.find("<INPUT DATA>"));
    static const std::string footer = empty.substr(empty.find("\r\n* Results"));

    const std::string report = telvane::ConvertBeacon(lines, kTime);
    Require(report.starts_with(head));
    Require(report.ends_with(footer));
    Require(Count(report, "\n") == Count(report, "\r\n"));  // every line ends with CR LF
    std::size_t expectedLines = emptyLineCount;
    for (int k = 0; k < telvane::kLineCount; ++k) {
        const bool present = !lines[k].empty();
        Require(Count(report, kSectionStarts[k]) == (present ? 1 : 0));
        expectedLines += present ? kSectionLines[k] : 0;
    }
    Require(Count(report, "\r\n") == expectedLines);
    Require(telvane::ConvertBeacon(lines, kTime) == report);
    return 0;
}
