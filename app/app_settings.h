#pragma once

// What the dialog program keeps across sessions with QSettings: whether converted beacons are
// recorded in the archive (on unless the operator turned it off), and how the history window
// was left (its time range and ticked quantities).

#include <optional>
#include <string>
#include <vector>

#include "history_query.h"

namespace telvane {

bool RecordingEnabled();
void SetRecordingEnabled(bool enabled);

std::optional<RangeChoice> SavedHistoryRange();
void SaveHistoryRange(RangeChoice choice);
// Nothing until the window was used; then the ticked fields, possibly none.
std::optional<std::vector<std::string>> SavedHistoryQuantities();
void SaveHistoryQuantities(const std::vector<std::string>& fields);

}  // namespace telvane
