#pragma once

// Storing converted beacons: one prepared statement and one transaction for a whole import.

#include <QString>
#include <memory>

#include "archive.h"
#include "beacon_entry.h"
#include "beacon_readings.h"
#include "local_time.h"

namespace telvane::archive {

// A beacon converted and keyed, ready to be stored: all the work that needs no database.
struct PreparedBeacon {
    QByteArray key;  // the same beacon from the same place of the same source has the same key
    qint64 receivedMs = 0;
    SourcePosition position;
    std::array<std::string, kLineCount> lines;  // as received, code page 932
    std::array<std::string, kLineCount> utf8;
    BeaconReadings readings;
    std::optional<CopyMeasures> copy;  // what the decoder measured, for a recording
};

// Prepares beacons; one preparer per thread.
class BeaconPreparer {
public:
    explicit BeaconPreparer(const LocalTime& conversionTime);
    ~BeaconPreparer();
    BeaconPreparer(const BeaconPreparer&) = delete;
    BeaconPreparer& operator=(const BeaconPreparer&) = delete;

    void Prepare(const BeaconSource& source, const ReceivedBeacon& beacon, PreparedBeacon& out);

private:
    struct Cache;
    std::unique_ptr<Cache> m_cache;
};

class BeaconWriter {
public:
    // Starts the import's transaction; check Error() before adding.
    BeaconWriter(Archive& archive, const LocalTime& conversionTime);
    ~BeaconWriter();  // rolls back what was not committed
    BeaconWriter(const BeaconWriter&) = delete;
    BeaconWriter& operator=(const BeaconWriter&) = delete;

    // Converts the beacon and stores it with every decoded field, unless the same beacon from
    // the same source is already there. False once anything failed.
    bool Add(const BeaconSource& source, const ReceivedBeacon& beacon);
    // The same for a beacon prepared elsewhere (on another thread) for the same conversion time.
    bool Store(const BeaconSource& source, const PreparedBeacon& beacon);
    // Makes every added beacon permanent at once.
    bool Commit();

    const QString& Error() const { return m_error; }
    std::size_t Added() const { return m_added; }
    std::size_t Duplicates() const { return m_duplicates; }

private:
    struct Prepared;
    bool Fail();

    sqlite3* m_db;
    std::unique_ptr<Prepared> m_prepared;
    bool m_open = false;
    QString m_error;
    std::size_t m_added = 0;
    std::size_t m_duplicates = 0;
};

}  // namespace telvane::archive
