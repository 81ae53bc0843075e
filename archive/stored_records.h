#pragma once

// Reading stored beacons back as their decoded fields, in reception order, without decoding
// them again: what an export writes.

#include <QString>
#include <functional>

#include "archive.h"
#include "record_fields.h"
#include "time_range.h"

namespace telvane::archive {

// Visits one stored beacon's fields in ForEachField's order and with its names.
using StoredFields = std::function<void(const FieldVisitor&)>;

// Calls `record` for each beacon in `range`, oldest first, until it returns false. False with
// the reason in `error` when the archive cannot be read.
bool ForEachStoredRecord(const Archive& archive, const TimeRange& range,
                         const std::function<bool(const StoredFields&)>& record, QString& error);

}  // namespace telvane::archive
