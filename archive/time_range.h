#pragma once

// A span of reception times, in milliseconds since the epoch (UTC): from inclusive, to exclusive.

#include <QtGlobal>
#include <optional>
#include <string>

struct sqlite3_stmt;

namespace telvane::archive {

struct TimeRange {
    std::optional<qint64> fromMs;
    std::optional<qint64> toMs;
};

// "WHERE ..." over the reception time for `range`, or nothing for all time; values are bound
// by BindRange from parameter 1 on.
std::string RangeCondition(const TimeRange& range);
void BindRange(sqlite3_stmt* statement, const TimeRange& range);

}  // namespace telvane::archive
