#pragma once

// telvane-convert --archive: the beacons it converts also go into the telemetry archive, in one
// transaction per run. The archive never stops a conversion: a failure is one warning.

#include <QDateTime>
#include <memory>
#include <optional>

#include "beacon_entry.h"
#include "beacon_recorder.h"
#include "options.h"

namespace telvane::cli {

class BeaconArchiving {
public:
    // Does nothing unless the options ask for the archive.
    BeaconArchiving(const Options& options, archive::BeaconSource source,
                    const LocalTime& conversionTime, const QDateTime& receivedUtc);
    ~BeaconArchiving();
    BeaconArchiving(const BeaconArchiving&) = delete;
    BeaconArchiving& operator=(const BeaconArchiving&) = delete;

    void Add(const std::array<std::string, kLineCount>& lines,
             const archive::SourcePosition& position = {}, const CopyMeasures* copy = nullptr);
    // Commits; a warning goes to standard error.
    void Finish();

private:
    std::unique_ptr<archive::BeaconRecorder> m_recorder;
};

// A log's source as the archive names it: its absolute path, or standard input.
archive::BeaconSource LogSource(const Options& options);

// When a log's beacons were heard: --time, else now.
QDateTime LogReceptionTime(const Options& options);

}  // namespace telvane::cli
