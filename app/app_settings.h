#pragma once

// What the dialog program keeps across sessions with QSettings: whether converted beacons are
// recorded in the archive (on unless the operator turned it off), and how the history window
// was left (its time range and ticked quantities).

#include <QByteArray>
#include <optional>
#include <string>
#include <vector>

#include "history_query.h"

namespace telvane {

bool RecordingEnabled();

// The input listened to (its id; empty: the system's default), and whether listening sessions
// keep their audio as FLAC.
QByteArray SavedInputDevice();
void SaveInputDevice(const QByteArray& id);
bool ListenRecordingEnabled();
void SetListenRecordingEnabled(bool enabled);
void SetRecordingEnabled(bool enabled);

std::optional<RangeChoice> SavedHistoryRange();
void SaveHistoryRange(RangeChoice choice);
// Nothing until the window was used; then the ticked fields, possibly none.
std::optional<std::vector<std::string>> SavedHistoryQuantities();
void SaveHistoryQuantities(const std::vector<std::string>& fields);

}  // namespace telvane
