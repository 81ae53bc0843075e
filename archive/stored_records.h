#pragma once

// Reading stored beacons back as their decoded fields, in reception order, without decoding
// them again: what an export writes. Rows come in batches that own their values, so that one
// thread can read the next batch while another writes this one out.

#include <QString>
#include <memory>
#include <vector>

#include "archive.h"
#include "record_fields.h"
#include "time_range.h"

namespace telvane::archive {

class StoredBatch {
public:
    std::size_t Rows() const { return m_rows; }
    // Visits row `row`'s fields in ForEachField's order and with its names.
    void Visit(std::size_t row, const FieldVisitor& visit) const;

private:
    friend class StoredRecordReader;
    std::vector<FieldValue> m_values;        // Rows() x the field columns
    std::vector<std::uint32_t> m_textStart;  // where each text value starts in m_text
    std::string m_text;
    std::size_t m_rows = 0;
};

class StoredRecordReader {
public:
    // Reads the beacons in `range`, oldest first; check Error() when Next gives no rows.
    StoredRecordReader(const Archive& archive, const TimeRange& range);
    ~StoredRecordReader();
    StoredRecordReader(const StoredRecordReader&) = delete;
    StoredRecordReader& operator=(const StoredRecordReader&) = delete;

    // Fills `batch` with up to `rows` beacons; false when none are left or reading failed.
    bool Next(StoredBatch& batch, std::size_t rows);
    const QString& Error() const { return m_error; }

private:
    struct Query;
    std::unique_ptr<Query> m_query;
    QString m_error;
};

}  // namespace telvane::archive
