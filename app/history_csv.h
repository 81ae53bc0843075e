#pragma once

// The history window's data as CSV: reception time (UTC, ISO 8601), whether the reference was
// recalibrated, then one column per field under its output name; empty where there is no value.

#include <string>
#include <vector>

#include "series_loader.h"

namespace telvane {

std::string HistoryCsv(const archive::SeriesData& data, const std::vector<std::string>& fields);

}  // namespace telvane
