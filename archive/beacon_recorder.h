#pragma once

// Recording what a program converts, in one call for the converters: open the archive (the
// default one when no path is given), add the beacons of one source in one transaction, and
// hand back at most one warning. Recording never stops a conversion.
//
// A log, as telvane-convert --batch reads one:
//     BeaconRecorder recorder(archivePath, {SourceKind::kLog, QFileInfo(log).absoluteFilePath()},
//                             conversionTime, ReceptionTime(givenTime));
//     for (each beacon) recorder.Add(lines, {lineNumberOfItsFirstLine, std::nullopt});
//     const RecordResult result = recorder.Finish();  // print result.warning if not empty
// One beacon (the dialog's Convert; telvane-convert's single beacon, whose input file is a
// one-beacon log):
//     RecordBeacon(archivePath, {SourceKind::kLog, absoluteInputPath}, lines, conversionTime,
//                  ReceptionTime(givenTime));
// A recording: SourceKind::kRecording with its start time as `receivedUtc` and each beacon's
// offset in SourcePosition::offsetSeconds.

#include <QDateTime>
#include <QString>
#include <future>
#include <memory>
#include <vector>

#include "beacon_entry.h"
#include "local_time.h"

namespace telvane::archive {

class Archive;
class BeaconPreparer;
class BeaconWriter;
struct PreparedBeacon;

struct RecordResult {
    std::size_t added = 0;
    std::size_t duplicates = 0;  // already in the archive from the same source
    QString warning;             // one line; empty when every beacon is in the archive
};

class BeaconRecorder {
public:
    // `conversionTime` is the time the converter used; `receivedUtc` when the beacons were
    // heard (for a recording, its start: each beacon adds its offset).
    BeaconRecorder(const QString& archivePath, BeaconSource source, const LocalTime& conversionTime,
                   const QDateTime& receivedUtc);
    ~BeaconRecorder();
    BeaconRecorder(const BeaconRecorder&) = delete;
    BeaconRecorder& operator=(const BeaconRecorder&) = delete;

    // Lines as received, code page 932 bytes, and what the decoder measured of a beacon copied
    // from a recording; does nothing once the archive has failed. Beacons are
    // converted in batches on a worker thread while the batch before is being stored.
    void Add(const std::array<std::string, kLineCount>& lines, SourcePosition position = {},
             const CopyMeasures* copy = nullptr);
    // Why nothing will be recorded; empty while recording works.
    const QString& Warning() const { return m_warning; }
    // Commits the import.
    RecordResult Finish();

private:
    using Batch = std::vector<ReceivedBeacon>;
    using PreparedBatch = std::vector<PreparedBeacon>;
    // Starts preparing the added beacons and stores the batch prepared before.
    void Flush();
    void Store(const PreparedBatch& batch);

    std::unique_ptr<Archive> m_archive;
    std::unique_ptr<BeaconWriter> m_writer;
    std::unique_ptr<BeaconPreparer> m_preparer;
    BeaconSource m_source;
    QDateTime m_receivedUtc;
    Batch m_pending;
    std::future<PreparedBatch> m_preparing;
    QString m_warning;
};

// One beacon from one source: the dialog's Convert and the converter's single beacon.
RecordResult RecordBeacon(const QString& archivePath, const BeaconSource& source,
                          const std::array<std::string, kLineCount>& lines,
                          const LocalTime& conversionTime, const QDateTime& receivedUtc);

// When a log's beacons were heard: the --time given (local time), else now.
QDateTime ReceptionTime(const std::optional<LocalTime>& given);

}  // namespace telvane::archive
