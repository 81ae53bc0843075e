#pragma once

// Reading stored beacons back as their decoded fields, in reception order, without decoding
// them again: what an export writes. StoredRecordReader hands out batches that own their
// values; StoredParts and StoredPartReader let several threads, each on its own connection,
// read consecutive parts of one export side by side and straight from SQLite.

#include <QString>
#include <QtGlobal>
#include <limits>
#include <memory>
#include <mutex>
#include <optional>
#include <string_view>
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

// One stored value of a decoded field, as its field's kind reads it (FieldColumns()).
class StoredValue {
public:
    explicit StoredValue(sqlite3_value* value) : m_value(value) {}
    bool IsNull() const { return sqlite3_value_type(m_value) == SQLITE_NULL; }
    long long Count() const { return sqlite3_value_int64(m_value); }  // a count, or a flag
    // A number; SQLite stores no NaN, so a NaN is kept as text and read back as one.
    double Number() const {
        return sqlite3_value_type(m_value) == SQLITE_TEXT ? std::numeric_limits<double>::quiet_NaN()
                                                          : sqlite3_value_double(m_value);
    }
    // Text (code page 932 bytes), or the doubles of a list as they are in memory.
    std::string_view Bytes() const {
        const void* bytes = sqlite3_value_blob(m_value);
        return bytes == nullptr
                   ? std::string_view()
                   : std::string_view(static_cast<const char*>(bytes),
                                      static_cast<std::size_t>(sqlite3_value_bytes(m_value)));
    }

private:
    sqlite3_value* m_value;
};

// The beacon a StoredPartReader is on: its decoded fields in FieldColumns() order, valid
// until the reader moves on.
class StoredRow {
public:
    explicit StoredRow(sqlite3_stmt* statement) : m_statement(statement) {}
    StoredValue Field(std::size_t field) const {
        return StoredValue(sqlite3_column_value(m_statement, static_cast<int>(field)));
    }

private:
    sqlite3_stmt* m_statement;
};

// A place in export order: a beacon's reception time, and its row id among beacons received
// at the same millisecond.
struct StoredRowKey {
    qint64 receivedMs = 0;
    qint64 id = 0;
};

// A run of beacons in export order: from the beacon at `first` up to the next part's first.
struct StoredPart {
    std::size_t index = 0;            // 0, 1, 2 ... in export order
    StoredRowKey first;               // the part's first beacon
    std::optional<StoredRowKey> end;  // the next part's first beacon; none for the last part
};

// The beacons in a range, split into consecutive parts of about `rows` beacons each, as the
// archive was when the split began: beacons added while the export runs are left out of every
// part. Parts are made as they are asked for, by any thread.
class StoredParts {
public:
    StoredParts(const Archive& archive, const TimeRange& range, std::size_t rows);
    ~StoredParts();
    StoredParts(const StoredParts&) = delete;
    StoredParts& operator=(const StoredParts&) = delete;

    // The next part in export order; false when none are left or the split failed (Error()).
    bool Next(StoredPart& part);
    QString Error() const;

    const QString& ArchivePath() const { return m_path; }
    // The range's reception times, both inclusive, and the last row id of the split.
    qint64 FirstMs() const { return m_firstMs; }
    qint64 LastMs() const { return m_lastMs; }
    qint64 LastId() const { return m_lastId; }

private:
    bool StepSplit();  // the next beacon in export order into m_next; false at the end

    struct Query;
    std::unique_ptr<Query> m_query;
    QString m_path;
    qint64 m_firstMs = 0;
    qint64 m_lastMs = 0;
    qint64 m_lastId = 0;
    std::size_t m_rows;
    mutable std::mutex m_mutex;
    std::size_t m_index = 0;
    std::optional<StoredRowKey> m_next;  // the next part's first beacon
    QString m_error;
};

// Reads parts of a StoredParts on a connection of its own, beacon by beacon; it must be made,
// used and destroyed on one thread.
class StoredPartReader {
public:
    explicit StoredPartReader(const StoredParts& parts);
    ~StoredPartReader();
    StoredPartReader(const StoredPartReader&) = delete;
    StoredPartReader& operator=(const StoredPartReader&) = delete;

    // Starts reading `part`; false when the archive cannot be read (Error()).
    bool Start(const StoredPart& part);
    // Moves to the part's next beacon; false at its end, or on an error (Error() says which).
    bool Step();
    StoredRow Row() const;
    const QString& Error() const { return m_error; }

private:
    struct Query;
    void Begin(int piece);
    bool Fail();

    const StoredParts& m_parts;
    std::unique_ptr<Archive> m_archive;
    std::unique_ptr<Query> m_query;
    StoredPart m_part;
    int m_piece = 0;  // which of the part's pieces is being read (see Begin)
    sqlite3_stmt* m_statement = nullptr;
    QString m_error;
};

}  // namespace telvane::archive
