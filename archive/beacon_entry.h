#pragma once

// One beacon as the archive receives it: the lines as heard, when and where they came from.

#include <QDateTime>
#include <QString>
#include <array>
#include <optional>
#include <string>

#include "beacon_layout.h"
#include "record_fields.h"

namespace telvane::archive {

enum class SourceKind { kDialog, kLog, kRecording, kLive };

// The source's name as stored: "dialog", "log", "recording" or "live".
std::string_view SourceKindName(SourceKind kind);

// A log's or recording's name as the archive keeps it, so that one file keeps one name however
// it was named on the command line or in the dialog: its canonical path; "standard input" for
// "-" or no path.
QString SourceNameOf(const QString& path);

// A listening session's name as the archive keeps it: the input and when the session began, so
// that beacons of two sessions are never taken for duplicates of each other.
QString LiveSourceName(const QString& inputDescription, const QDateTime& startUtc);

struct BeaconSource {
    SourceKind kind = SourceKind::kDialog;
    QString name;  // the log's or recording's absolute path; empty for the dialog
};

// Where in its source a beacon was found.
struct SourcePosition {
    std::optional<long long> line;        // a log's 1-based line number
    std::optional<double> offsetSeconds;  // a recording's offset from its start
};

struct ReceivedBeacon {
    std::array<std::string, kLineCount> lines;  // as received, code page 932 bytes
    QDateTime receivedUtc;
    SourcePosition position;
    std::optional<CopyMeasures> copy;  // what the decoder measured, for a recording
};

}  // namespace telvane::archive
