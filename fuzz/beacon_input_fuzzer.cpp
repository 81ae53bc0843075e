// Fuzzes telvane-convert's input handling: line splitting, UTF-8 validation and the conversion
// to code page 932, checking the UTF-8 verdict against an independent validator.

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string_view>
#include <vector>

#include "batch_log.h"
#include "beacon_input.h"
#include "cp932.h"

namespace {

// Names the broken invariant's line, so a crash input explains itself.
void Require(bool condition, int line = __builtin_LINE()) {
    if (!condition) {
        std::fprintf(stderr, "invariant at line %d broken\n", line);
        std::abort();
    }
}

// Well-formed UTF-8 after the Unicode standard's table of byte ranges.
bool ReferenceUtf8(std::string_view text) {
    for (std::size_t i = 0; i < text.size();) {
        const auto byte = static_cast<unsigned char>(text[i]);
        int trail = 0;
        unsigned char low = 0x80;
        unsigned char high = 0xBF;
        if (byte < 0x80) {
            ++i;
            continue;
        } else if (byte >= 0xC2 && byte <= 0xDF) {
            trail = 1;
        } else if (byte >= 0xE0 && byte <= 0xEF) {
            trail = 2;
            low = byte == 0xE0 ? 0xA0 : 0x80;
            high = byte == 0xED ? 0x9F : 0xBF;
        } else if (byte >= 0xF0 && byte <= 0xF4) {
            trail = 3;
            low = byte == 0xF0 ? 0x90 : 0x80;
            high = byte == 0xF4 ? 0x8F : 0xBF;
        } else {
            return false;
        }
        for (int k = 1; k <= trail; ++k) {
            if (i + k >= text.size()) {
                return false;
            }
            const auto next = static_cast<unsigned char>(text[i + k]);
            if (next < (k == 1 ? low : 0x80) || next > (k == 1 ? high : 0xBF)) {
                return false;
            }
        }
        i += trail + 1;
    }
    return true;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view input(reinterpret_cast<const char*>(data), size);
    Require(telvane::IsValidUtf8(input) == ReferenceUtf8(input));

    using telvane::cli::Encoding;
    using telvane::cli::LineReader;
    using telvane::cli::ReadFromMemory;
    for (const Encoding encoding : {Encoding::kCp932, Encoding::kUtf8}) {
        std::size_t previousStart = 0;
        std::vector<telvane::cli::LogBeacon> beacons;
        telvane::cli::SplitLog(
            input, encoding,
            [&](const telvane::cli::LogBeacon& beacon) {
                Require(beacon.firstLine > previousStart);  // beacons come in log order
                previousStart = beacon.firstLine;
                for (const std::string& line : beacon.lines) {
                    Require(line.find_first_of(std::string_view("\r\n\0", 3)) == std::string::npos);
                }
                beacons.push_back(beacon);
            },
            [](std::size_t lineNumber, std::string_view problem) {
                Require(lineNumber > 0 && !problem.empty());
            });
        // Reading in tiny blocks splits lines, line ends and characters anywhere: same beacons.
        LineReader tiny(ReadFromMemory(input), 4);
        std::size_t index = 0;
        telvane::cli::SplitLog(
            tiny, encoding,
            [&](const telvane::cli::LogBeacon& beacon) {
                Require(index < beacons.size() && beacons[index].lines == beacon.lines);
                ++index;
            },
            [](std::size_t, std::string_view) {});
        Require(index == beacons.size());

        const telvane::cli::BeaconInput result = telvane::cli::ReadBeaconLines(input, encoding);
        LineReader tinyBeacon(ReadFromMemory(input), 4);
        const telvane::cli::BeaconInput inBlocks = telvane::cli::ReadBeacon(tinyBeacon, encoding);
        Require(inBlocks.error == result.error);
        if (!result.error.empty()) {
            Require(result.error.starts_with("line "));
            continue;
        }
        Require(inBlocks.lines == result.lines);
        for (const std::string& line : result.lines) {
            Require(line.find_first_of(std::string_view("\r\n\0", 3)) == std::string::npos);
        }
        if (encoding == Encoding::kCp932) {
            // Raw bytes pass through untouched: the lines put back together are the input
            // without its line ends and the blank lines after the sixth.
            std::string joined;
            for (const std::string& line : result.lines) {
                joined += line;
            }
            std::string rest(input);
            std::erase(rest, '\n');
            std::erase(rest, '\r');
            Require(rest.starts_with(joined));
            Require(rest.find_first_not_of(" \t", joined.size()) == std::string::npos);
        }
    }
    return 0;
}
