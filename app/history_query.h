#pragma once

// What the history window asks of the archive: the time range the operator chose and the
// series it shows, loaded on a worker thread.

#include <QString>
#include <QtGlobal>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "series_loader.h"
#include "time_range.h"

namespace telvane {

enum class RangeChoice { kLastPass, kDay, kWeek, kAll, kDates };

struct RangeChoiceName {
    RangeChoice choice;
    const char* label;
    const char* key;  // as the settings keep it
};

inline constexpr RangeChoiceName kRangeChoices[] = {
    {RangeChoice::kLastPass, "Last pass", "pass"}, {RangeChoice::kDay, "Last day", "day"},
    {RangeChoice::kWeek, "Last week", "week"},     {RangeChoice::kAll, "All", "all"},
    {RangeChoice::kDates, "Dates\u2026", "dates"},
};

// The values the table always shows, whatever is ticked for the plot.
inline constexpr const char* kTableFields[] = {"battery_voltage_v", "solar_array_voltage_v",
                                               "battery_temperature_c", "rssi_dbu"};

// Beacons further apart than this are in different passes.
inline constexpr qint64 kPassGapSeconds = qint64{20} * 60;

// The reception times `choice` covers at `nowMs`: the last pass starts at `lastPassStartMs`;
// picked dates run from `fromMs` to `toMs`.
archive::TimeRange RangeFor(RangeChoice choice, qint64 nowMs, std::optional<qint64> lastPassStartMs,
                            qint64 fromMs, qint64 toMs);

// The fields to load: the ticked ones first, in their order (the plot draws those), then the
// table's own that are not ticked.
std::vector<std::string> FieldsToLoad(const std::vector<std::string>& ticked);

struct HistoryRequest {
    QString archivePath;
    RangeChoice choice = RangeChoice::kAll;
    qint64 nowMs = 0;
    qint64 fromMs = 0;
    qint64 toMs = 0;
    std::vector<std::string> ticked;
    std::shared_ptr<const std::atomic<bool>> cancel;  // set when the load is no longer wanted
};

struct History {
    std::shared_ptr<const archive::SeriesData> data;  // never null
    std::vector<std::string> fields;                  // what `data` holds, as FieldsToLoad
    std::size_t tickedCount = 0;                      // the first fields, the plotted ones
    QString problem;  // why nothing could be read; empty when the archive was read
};

// Opens the archive read-only and loads what `request` asks for; safe on any thread.
History LoadHistory(const HistoryRequest& request);

}  // namespace telvane
