#include "batch_log.h"

#include "beacon_input.h"
#include "line_header.h"

namespace telvane::cli {

void SplitLog(LineReader& reader, Encoding encoding, const BeaconHandler& beacon,
              const SkipHandler& skip) {
    SkipByteOrderMark(reader, encoding);
    LogBeacon current;
    std::array<bool, kLineCount> seen{};
    bool started = false;
    const auto finish = [&] {
        if (started) {
            beacon(current);
        }
        current = LogBeacon{};
        seen = {};
        started = false;
    };

    std::string line;
    bool tooLong = false;
    while (NextLine(reader, kLongestLogLine, line, tooLong)) {
        const std::size_t number = reader.LineNumber();
        if (tooLong) {
            skip(number, "longer than 1 MiB");
            continue;
        }
        if (line.find_first_not_of(" \t") == std::string::npos) {
            continue;
        }
        const int box = BoxOfHeader(line);
        if (box < 0) {
            skip(number, "no ZK1 to ZK6 header");
            continue;
        }
        std::string bytes;
        if (const std::string_view problem = DecodeInputLine(line, encoding, bytes);
            !problem.empty()) {
            skip(number, problem);
            continue;
        }
        if (box == 0 || seen[box]) {
            finish();
        }
        if (!started) {
            current.firstLine = number;
            started = true;
        }
        current.lines[box] = std::move(bytes);
        current.lineNumbers[box] = number;
        seen[box] = true;
    }
    finish();
}

void SplitLog(std::string_view log, Encoding encoding, const BeaconHandler& beacon,
              const SkipHandler& skip) {
    LineReader reader(ReadFromMemory(log));
    SplitLog(reader, encoding, beacon, skip);
}

}  // namespace telvane::cli
