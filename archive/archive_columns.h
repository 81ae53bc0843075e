#pragma once

// The columns of the beacon table, as data: the entry's own columns and one column per decoded
// field, named and ordered as the JSON and CSV output name them.

#include <string>
#include <string_view>
#include <vector>

#include "record_fields.h"

namespace telvane::archive {

// How a decoded field is stored and read back: it decides the column's declared type and how
// an export renders the stored value.
enum class FieldKind { kFlag, kCount, kNumber, kText, kList };

struct FieldColumn {
    std::string name;  // the field's name in the JSON and CSV output
    FieldKind kind;
};

// Every decoded field in output order, derived from ForEachField.
const std::vector<FieldColumn>& FieldColumns();

// The kind of a field's value; nothing for an absent one.
bool KindOf(const FieldValue& value, FieldKind& kind);

std::string_view DeclaredType(FieldKind kind);

// The entry's own columns after the row id, in insert order: dedup key, reception time, source
// and the six received lines (code page 932 bytes, then UTF-8 text).
struct EntryColumn {
    std::string name;
    std::string_view declaration;
};
const std::vector<EntryColumn>& EntryColumns();

// Index in EntryColumns() of the first received line as code page 932 bytes, and as UTF-8.
inline constexpr int kFirstCp932LineColumn = 6;
inline constexpr int kFirstUtf8LineColumn = kFirstCp932LineColumn + 6;

inline constexpr std::string_view kBeaconTable = "beacons";
// The index on reception time, the order of an export.
inline constexpr std::string_view kTimeIndex = "beacons_by_time";

}  // namespace telvane::archive
