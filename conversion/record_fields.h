#pragma once

// The flat, stable field list of the machine-readable output, shared by JSON and CSV.

#include <functional>
#include <string_view>
#include <variant>

#include "beacon_readings.h"

namespace telvane {

// Absent (an empty line's fields), a flag, a count, a value in full precision, or text (code
// page 932 bytes).
using FieldValue = std::variant<std::monostate, bool, long long, double, std::string_view>;

using FieldVisitor = std::function<void(std::string_view name, const FieldValue& value)>;

// Calls `visit` for every field in the documented order; `conversionTime` is ISO 8601.
void ForEachField(const BeaconReadings& readings, std::string_view conversionTime,
                  const FieldVisitor& visit);

}  // namespace telvane
