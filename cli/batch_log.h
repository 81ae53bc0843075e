#pragma once

// Splitting a log of many beacons, each line carrying its header, into beacons.

#include <array>
#include <functional>
#include <string>
#include <string_view>

#include "conversion.h"
#include "options.h"

namespace telvane::cli {

struct LogBeacon {
    std::array<std::string, kLineCount> lines;  // code page 932 bytes; missing lines are empty
    std::size_t firstLine = 0;                  // 1-based line number in the log
};

using BeaconHandler = std::function<void(const LogBeacon&)>;
using SkipHandler = std::function<void(std::size_t lineNumber, std::string_view problem)>;

// A beacon is a run of lines headed ZK1 to ZK6; a new one starts at ZK1 or when a header repeats.
// Each line goes to its header's box with the spaces before the header removed. Blank lines are
// passed over; lines without a header, or that cannot be read, go to `skip` and are left out.
void SplitLog(std::string_view log, Encoding encoding, const BeaconHandler& beacon,
              const SkipHandler& skip);

}  // namespace telvane::cli
