#pragma once

// The values of chosen fields against reception time, for plots and the history table.

#include <QString>
#include <atomic>
#include <string>
#include <vector>

#include "archive.h"
#include "time_range.h"

namespace telvane::archive {

struct SeriesData {
    std::vector<double> times;                // seconds since the epoch (UTC), oldest first
    std::vector<std::vector<double>> values;  // one per field; NaN where a beacon has no value
    std::vector<bool> recalibrated;           // the reference was recalibrated in that beacon
    std::vector<qint64> rowIds;               // the beacons, for looking up their source
};

// True when `name` is a decoded field with numbers (a count or a value) that can be plotted.
bool IsPlottableField(const std::string& name);

// Loads `fields` over `range`; false with the reason in `error` (an unknown field included).
// Setting `*cancel` from another thread stops a long load soon, with `error` kLoadCancelled.
bool LoadSeries(const Archive& archive, const TimeRange& range,
                const std::vector<std::string>& fields, SeriesData& out, QString& error,
                const std::atomic<bool>* cancel = nullptr);
inline constexpr const char* kLoadCancelled = "cancelled";

// Where each of `rowIds` came from, as the history table shows it ("dialog", "log.txt:12").
std::vector<QString> SourceLabels(const Archive& archive, const std::vector<qint64>& rowIds);

// The start of the last pass: the reception time after the last gap of more than `gapSeconds`
// before the newest beacon. Nothing for an empty archive.
std::optional<qint64> LastPassStartMs(const Archive& archive, qint64 gapSeconds);

}  // namespace telvane::archive
