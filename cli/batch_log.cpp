#include "batch_log.h"

#include "beacon_input.h"
#include "line_header.h"

namespace telvane::cli {

void SplitLog(std::string_view log, Encoding encoding, const BeaconHandler& beacon,
              const SkipHandler& skip) {
    SkipByteOrderMark(log, encoding);
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

    for (std::size_t number = 1; !log.empty(); ++number) {
        std::string_view line = TakeLine(log);
        if (line.find_first_not_of(" \t") == std::string_view::npos) {
            continue;
        }
        const int box = BoxOfHeader(line);
        if (box < 0) {
            skip(number, "no ZK1 to ZK6 header");
            continue;
        }
        std::string bytes;
        line.remove_prefix(line.find_first_not_of(" \t"));
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
        seen[box] = true;
    }
    finish();
}

}  // namespace telvane::cli
