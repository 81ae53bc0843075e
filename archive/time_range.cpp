#include "time_range.h"

#include <sqlite3.h>

namespace telvane::archive {

std::string RangeCondition(const TimeRange& range) {
    if (range.fromMs && range.toMs) {
        return " WHERE received_utc_ms >= ?1 AND received_utc_ms < ?2";
    }
    if (range.fromMs) {
        return " WHERE received_utc_ms >= ?1";
    }
    return range.toMs ? " WHERE received_utc_ms < ?1" : "";
}

void BindRange(sqlite3_stmt* statement, const TimeRange& range) {
    int index = 0;
    for (const auto& bound : {range.fromMs, range.toMs}) {
        if (bound) {
            sqlite3_bind_int64(statement, ++index, *bound);
        }
    }
}

}  // namespace telvane::archive
