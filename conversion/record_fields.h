#pragma once

// The flat, stable field list of the machine-readable output, shared by JSON and CSV.

#include <array>
#include <functional>
#include <span>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

#include "beacon_layout.h"
#include "beacon_readings.h"

namespace telvane {

// Absent (an empty line's fields), a flag, a count, a value in full precision, text (code page
// 932 bytes), or a list of numbers.
using FieldValue = std::variant<std::monostate, bool, long long, double, std::string_view,
                                std::span<const double>>;

using FieldVisitor = std::function<void(std::string_view name, const FieldValue& value)>;

// What the CW decoder measured of a beacon copied from a recording.
struct CopyMeasures {
    double startSeconds = 0;  // the beacon's start and end in the recording
    double endSeconds = 0;
    double toneHz = 0;
    double speedWpm = 0;
    double snrDb = 0;
    std::array<std::vector<double>, kLineCount> confidence;  // one per character of each line
};

// How the beacon came in: its six lines as typed, pasted or copied (code page 932 bytes), and
// the decoder's measures when it was copied from a recording.
struct BeaconOrigin {
    std::array<std::string_view, kLineCount> lines;
    const CopyMeasures* copy = nullptr;
};

// The origin of a beacon's lines (which must outlive it).
BeaconOrigin OriginOf(const std::array<std::string, kLineCount>& lines,
                      const CopyMeasures* copy = nullptr);

// Calls `visit` for every field in the documented order; `conversionTime` is ISO 8601. The
// fields of a recording are absent for typed and logged beacons.
void ForEachField(const BeaconReadings& readings, std::string_view conversionTime,
                  const BeaconOrigin& origin, const FieldVisitor& visit);

}  // namespace telvane
