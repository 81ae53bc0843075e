#pragma once

// Splitting a log of many beacons, each line carrying its header, into beacons, streamed: memory
// never depends on the log's size.

#include <array>
#include <functional>
#include <string>
#include <string_view>

#include "beacon_layout.h"
#include "line_reader.h"
#include "options.h"

namespace telvane::cli {

// Longer log lines are no beacon lines: they are skipped without being held in memory.
inline constexpr std::size_t kLongestLogLine = 1 << 20;

struct LogBeacon {
    std::array<std::string, kLineCount> lines;  // code page 932 bytes; missing lines are empty
    std::array<std::size_t, kLineCount> lineNumbers{};  // 1-based in the log; 0 when missing
    std::size_t firstLine = 0;                          // 1-based line number in the log
};

using BeaconHandler = std::function<void(const LogBeacon&)>;
using SkipHandler = std::function<void(std::size_t lineNumber, std::string_view problem)>;

// A beacon is a run of lines headed ZK1 to ZK6; a new one starts at ZK1 or when a header repeats.
// Each line goes to its header's box exactly as written, so that it converts as it would typed
// into the dialog. Blank lines are passed over; lines without a header, or that cannot be read,
// go to `skip` and are left out.
void SplitLog(LineReader& reader, Encoding encoding, const BeaconHandler& beacon,
              const SkipHandler& skip);

// The same over a log held in memory.
void SplitLog(std::string_view log, Encoding encoding, const BeaconHandler& beacon,
              const SkipHandler& skip);

}  // namespace telvane::cli
