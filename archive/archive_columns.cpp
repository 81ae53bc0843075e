#include "archive_columns.h"

#include "beacon_layout.h"
#include "beacon_readings.h"

namespace telvane::archive {
namespace {

// A conversion result with every reading present, so that each field shows its kind.
BeaconReadings EveryReadingPresent() {
    BeaconReadings readings;
    readings.url.emplace();
    readings.time.emplace();
    readings.status.emplace();
    readings.power.emplace();
    readings.currents.emplace();
    readings.temperatures.emplace();
    return readings;
}

std::string LineColumn(int line, std::string_view encoding) {
    return "received_line" + std::to_string(line + 1) + "_" + std::string(encoding);
}

}  // namespace

bool KindOf(const FieldValue& value, FieldKind& kind) {
    switch (value.index()) {
        case 1:
            kind = FieldKind::kFlag;
            return true;
        case 2:
            kind = FieldKind::kCount;
            return true;
        case 3:
            kind = FieldKind::kNumber;
            return true;
        case 4:
            kind = FieldKind::kText;
            return true;
        case 5:
            kind = FieldKind::kList;
            return true;
        default:
            return false;
    }
}

std::string_view DeclaredType(FieldKind kind) {
    switch (kind) {
        case FieldKind::kFlag:
            return "BOOLEAN";
        case FieldKind::kCount:
            return "INTEGER";
        case FieldKind::kNumber:
            return "REAL";
        case FieldKind::kText:
        case FieldKind::kList:
            break;
    }
    return "BLOB";  // code page 932 bytes or the doubles of a list, kept exactly
}

const std::vector<FieldColumn>& FieldColumns() {
    static const std::vector<FieldColumn> columns = [] {
        std::vector<FieldColumn> out;
        const CopyMeasures copy;  // present, so that a recording's fields show their kind too
        BeaconOrigin origin;
        origin.copy = &copy;
        ForEachField(EveryReadingPresent(), "", origin,
                     [&](std::string_view name, const FieldValue& value) {
                         FieldKind kind = FieldKind::kText;
                         KindOf(value, kind);
                         out.push_back({std::string(name), kind});
                     });
        return out;
    }();
    return columns;
}

const std::vector<EntryColumn>& EntryColumns() {
    static const std::vector<EntryColumn> columns = [] {
        std::vector<EntryColumn> out = {
            {"dedup_key", "BLOB NOT NULL UNIQUE"},
            {"received_utc_ms", "INTEGER NOT NULL"},
            {"source_kind", "TEXT NOT NULL"},
            {"source_name", "TEXT NOT NULL"},
            {"source_line", "INTEGER"},
            {"source_offset_s", "REAL"},
        };
        for (const std::string_view encoding : {"cp932", "utf8"}) {
            for (int k = 0; k < kLineCount; ++k) {
                out.push_back({LineColumn(k, encoding), encoding == "cp932" ? "BLOB" : "TEXT"});
            }
        }
        return out;
    }();
    return columns;
}

}  // namespace telvane::archive
