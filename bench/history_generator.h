#pragma once

// A made-up but plausible beacon history for benchmarks and screenshots: passes a few times a
// day, panel temperatures that swing between sun and eclipse, a battery that sags and recovers
// over the weeks, and now and then a trickle charge that recalibrates the reference.

#include <QtGlobal>
#include <array>
#include <functional>
#include <string>

#include "beacon_layout.h"

namespace telvane::bench {

struct GeneratedBeacon {
    std::array<std::string, kLineCount> lines;  // as typed: headers, hex digits, spaces
    qint64 receivedMs;                          // UTC
    int pass;                                   // 0-based
};

// Calls `beacon` for `count` beacons, in passes of about twenty, from `startMs` on.
void GenerateHistory(qint64 startMs, std::size_t count,
                     const std::function<void(const GeneratedBeacon&)>& beacon);

// The same beacons as a batch log, one line per beacon line (LF line ends).
std::string HistoryLog(std::size_t count);

}  // namespace telvane::bench
