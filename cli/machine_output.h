#pragma once

// JSON and CSV renderings of a beacon's readings, UTF-8, with the field names of record_fields.h.

#include <functional>
#include <string>
#include <string_view>

#include "beacon_readings.h"
#include "record_fields.h"

namespace telvane::cli {

// One JSON object on one line, ended by a line feed (JSON Lines). Values that are not finite
// (a zero battery count during trickle charge) are null; lists of numbers are arrays.
std::string JsonRecord(const BeaconReadings& readings, std::string_view conversionTime,
                       const BeaconOrigin& origin);

// The header row and one data row, each ended by CR LF (RFC 4180). Absent values are empty;
// values that are not finite are written inf, -inf or nan; lists are space-separated numbers.
std::string CsvHeader();
std::string CsvRow(const BeaconReadings& readings, std::string_view conversionTime,
                   const BeaconOrigin& origin);

// The same renderings of fields from elsewhere (a beacon stored in the archive), visited in
// ForEachField's order, appended to `out`.
using FieldSource = std::function<void(const FieldVisitor&)>;
void AppendJsonRecord(std::string& out, const FieldSource& fields);
void AppendCsvRow(std::string& out, const FieldSource& fields);

}  // namespace telvane::cli
