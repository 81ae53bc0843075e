#pragma once

#include <string>

namespace telvane {

// Appends `value` with one decimal, correctly rounded with exact ties away from zero
// (10.25 -> "10.3", -0.04 -> "-0.0"); infinities as "inf"/"-inf", not-a-number as "nan".
void AppendOneDecimal(std::string& out, double value);

// Appends one report line: the label (with its tabs), the value with one decimal, the unit
// (with its line end).
void AppendReading(std::string& out, const char* label, double value, const char* unit);

// Appends `value` in plain decimal.
void AppendInteger(std::string& out, long long value);

}  // namespace telvane
