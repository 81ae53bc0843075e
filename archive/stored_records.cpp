#include "stored_records.h"

#include <algorithm>
#include <cstring>
#include <limits>

#include "archive_columns.h"
#include "sqlite_statement.h"

namespace telvane::archive {
namespace {

std::string FieldList() {
    std::string columns;
    for (const FieldColumn& column : FieldColumns()) {
        columns += (columns.empty() ? "" : ",") + column.name;
    }
    return columns;
}

std::string SelectSql(const TimeRange& range) {
    return "SELECT " + FieldList() + " FROM " + std::string(kBeaconTable) + RangeCondition(range) +
           " ORDER BY received_utc_ms, id";
}

// The pieces of a part (StoredPartReader::Begin) and the split into parts go through the index
// on reception time, which holds the row id too: beacons received at the same millisecond are
// found by their id, however many there are. (Left to itself, the planner could scan the whole
// table by row id for an id range.) The "+" keeps the id bound from being used as an index.
std::string FromIndex() {
    return " FROM " + std::string(kBeaconTable) + " INDEXED BY " + std::string(kTimeIndex);
}

std::string SameTimeSql() {
    return "SELECT " + FieldList() + FromIndex() +
           " WHERE received_utc_ms = ?1 AND id BETWEEN ?2 AND ?3 ORDER BY id";
}

std::string TimeSpanSql() {
    return "SELECT " + FieldList() + FromIndex() +
           " WHERE received_utc_ms BETWEEN ?1 AND ?2 AND +id <= ?3 ORDER BY received_utc_ms, id";
}

std::string SplitSql() {
    return "SELECT received_utc_ms, id" + FromIndex() +
           " WHERE received_utc_ms BETWEEN ?1 AND ?2 AND +id <= ?3 ORDER BY received_utc_ms, id";
}

constexpr qint64 kMinKey = std::numeric_limits<qint64>::min();
constexpr qint64 kMaxKey = std::numeric_limits<qint64>::max();

// The stored value as its field's kind; text is placed by the caller.
FieldValue FieldValueOf(sqlite3_value* stored, FieldKind kind) {
    const StoredValue value(stored);
    if (value.IsNull()) {
        return {};
    }
    switch (kind) {
        case FieldKind::kFlag:
            return value.Count() != 0;
        case FieldKind::kCount:
            return value.Count();
        case FieldKind::kNumber:
            return value.Number();
        case FieldKind::kText:
            break;
        case FieldKind::kList:
            return std::span<const double>();
    }
    return std::string_view();
}

// A list's doubles back from the bytes they were stored as.
std::vector<double> ListOf(std::string_view bytes) {
    std::vector<double> numbers(bytes.size() / sizeof(double));
    std::memcpy(numbers.data(), bytes.data(), numbers.size() * sizeof(double));
    return numbers;
}

}  // namespace

void StoredBatch::Visit(std::size_t row, const FieldVisitor& visit) const {
    const auto& columns = FieldColumns();
    const std::size_t first = row * columns.size();
    for (std::size_t k = 0; k < columns.size(); ++k) {
        const FieldValue& value = m_values[first + k];
        const std::uint32_t start = m_textStart[first + k];
        const std::string_view bytes =
            std::string_view(m_text).substr(start, m_textStart[first + k + 1] - start);
        if (value.index() == 4) {
            visit(columns[k].name, bytes);
        } else if (value.index() == 5) {
            const std::vector<double> numbers = ListOf(bytes);
            visit(columns[k].name, std::span<const double>(numbers));
        } else {
            visit(columns[k].name, value);
        }
    }
}

struct StoredRecordReader::Query {
    Query(sqlite3* db, const TimeRange& range) : statement(db, SelectSql(range)) {}
    Statement statement;
};

StoredRecordReader::StoredRecordReader(const Archive& archive, const TimeRange& range)
    : m_query(std::make_unique<Query>(archive.Handle(), range)) {
    if (!m_query->statement.Ok()) {
        m_error = SqliteError(archive.Handle());
        m_query.reset();
    } else {
        BindRange(m_query->statement.Get(), range);
    }
}

StoredRecordReader::~StoredRecordReader() = default;

bool StoredRecordReader::Next(StoredBatch& batch, std::size_t rows) {
    batch.m_values.clear();
    batch.m_textStart.clear();
    batch.m_text.clear();
    batch.m_rows = 0;
    if (!m_query) {
        return false;
    }
    const auto& columns = FieldColumns();
    sqlite3_stmt* statement = m_query->statement.Get();
    int status = SQLITE_ROW;
    while (batch.m_rows < rows && (status = sqlite3_step(statement)) == SQLITE_ROW) {
        for (std::size_t k = 0; k < columns.size(); ++k) {
            sqlite3_value* value = sqlite3_column_value(statement, static_cast<int>(k));
            batch.m_textStart.push_back(static_cast<std::uint32_t>(batch.m_text.size()));
            batch.m_values.push_back(FieldValueOf(value, columns[k].kind));
            if (batch.m_values.back().index() >= 4) {  // text, or a list's bytes
                const void* bytes = sqlite3_value_blob(value);
                batch.m_text.append(static_cast<const char*>(bytes),
                                    static_cast<std::size_t>(sqlite3_value_bytes(value)));
            }
        }
        ++batch.m_rows;
    }
    batch.m_textStart.push_back(static_cast<std::uint32_t>(batch.m_text.size()));
    if (status != SQLITE_ROW && status != SQLITE_DONE) {
        m_error = SqliteError(sqlite3_db_handle(statement));
        m_query.reset();
        return false;
    }
    if (status == SQLITE_DONE) {
        m_query.reset();  // the statement is finished: release it before the archive closes
    }
    return batch.m_rows > 0;
}

struct StoredParts::Query {
    explicit Query(sqlite3* db) : split(db, SplitSql()) {}
    Statement split;
};

StoredParts::StoredParts(const Archive& archive, const TimeRange& range, std::size_t rows)
    : m_path(archive.Path()),
      m_firstMs(range.fromMs.value_or(kMinKey)),
      m_lastMs(range.toMs ? *range.toMs - (*range.toMs > kMinKey ? 1 : 0) : kMaxKey),
      m_rows(std::max<std::size_t>(rows, 1)) {
    sqlite3* db = archive.Handle();
    // Beacons are only ever added, each with a row id above every one before it: the beacons
    // as they are now are those up to the highest id, whichever connection reads them later.
    Statement last(db, "SELECT max(id) FROM " + std::string(kBeaconTable));
    const int status = last.Ok() ? last.Step() : SQLITE_ERROR;
    if (status != SQLITE_ROW) {
        m_error = SqliteError(db);
        return;
    }
    if (last.IsNull(0) || (range.toMs && *range.toMs == kMinKey)) {
        return;  // nothing to export
    }
    m_lastId = last.Count(0);
    m_query = std::make_unique<Query>(db);
    sqlite3_stmt* split = m_query->split.Get();
    if (split == nullptr) {
        m_error = SqliteError(db);
        m_query.reset();
        return;
    }
    sqlite3_bind_int64(split, 1, m_firstMs);
    sqlite3_bind_int64(split, 2, m_lastMs);
    sqlite3_bind_int64(split, 3, m_lastId);
    StepSplit();
}

StoredParts::~StoredParts() = default;

bool StoredParts::StepSplit() {
    m_next.reset();
    if (!m_query) {
        return false;
    }
    sqlite3_stmt* split = m_query->split.Get();
    const int status = sqlite3_step(split);
    if (status == SQLITE_ROW) {
        m_next = StoredRowKey{sqlite3_column_int64(split, 0), sqlite3_column_int64(split, 1)};
        return true;
    }
    if (status != SQLITE_DONE) {
        m_error = SqliteError(sqlite3_db_handle(split));
    }
    m_query.reset();  // finished: release it before the archive closes
    return false;
}

bool StoredParts::Next(StoredPart& part) {
    const std::lock_guard lock(m_mutex);
    if (!m_next) {
        return false;
    }
    part.index = m_index++;
    part.first = *m_next;
    for (std::size_t n = 0; n < m_rows && StepSplit(); ++n) {
    }
    part.end = m_next;
    return m_error.isEmpty();
}

QString StoredParts::Error() const {
    const std::lock_guard lock(m_mutex);
    return m_error;
}

struct StoredPartReader::Query {
    explicit Query(sqlite3* db) : sameTime(db, SameTimeSql()), timeSpan(db, TimeSpanSql()) {}
    Statement sameTime;
    Statement timeSpan;
};

StoredPartReader::StoredPartReader(const StoredParts& parts) : m_parts(parts) {}

StoredPartReader::~StoredPartReader() {
    m_query.reset();  // before the connection closes
}

bool StoredPartReader::Fail() {
    if (m_error.isEmpty()) {
        m_error = SqliteError(m_archive->Handle());
    }
    m_statement = nullptr;
    m_piece = 3;
    return false;
}

bool StoredPartReader::Start(const StoredPart& part) {
    if (!m_archive) {
        m_archive = Archive::Open(m_parts.ArchivePath(), Access::kRead, m_error);
        if (!m_archive) {
            return false;
        }
        m_query = std::make_unique<Query>(m_archive->Handle());
        if (!m_query->sameTime.Ok() || !m_query->timeSpan.Ok()) {
            return Fail();
        }
    }
    if (!m_error.isEmpty()) {
        return false;
    }
    m_part = part;
    m_piece = -1;
    m_statement = nullptr;
    return true;
}

// A part from the beacon at `first` (time t, id i) up to the one at `end` (time u, id j) is read
// in up to three pieces: the beacons at t from id i on, those after t and before u, and those at
// u before id j. Each piece is one search of the index, so a part costs the same wherever it
// starts, even inside a million beacons of one millisecond.
void StoredPartReader::Begin(int piece) {
    const StoredRowKey& first = m_part.first;
    const std::optional<StoredRowKey>& end = m_part.end;
    const qint64 lastId = m_parts.LastId();
    sqlite3_stmt* statement = nullptr;
    if (piece == 0) {
        qint64 lastOfTime = lastId;
        if (end && end->receivedMs == first.receivedMs) {
            lastOfTime = std::min(lastId, end->id - 1);  // an end lies after a first: id > i
        }
        statement = m_query->sameTime.Get();
        sqlite3_bind_int64(statement, 1, first.receivedMs);
        sqlite3_bind_int64(statement, 2, first.id);
        sqlite3_bind_int64(statement, 3, lastOfTime);
    } else if (piece == 1) {
        const qint64 last = end ? end->receivedMs - 1 : m_parts.LastMs();
        if (first.receivedMs >= last) {
            return;  // nothing between
        }
        statement = m_query->timeSpan.Get();
        sqlite3_bind_int64(statement, 1, first.receivedMs + 1);
        sqlite3_bind_int64(statement, 2, last);
        sqlite3_bind_int64(statement, 3, lastId);
    } else {
        if (!end || end->receivedMs == first.receivedMs || end->id == kMinKey) {
            return;
        }
        statement = m_query->sameTime.Get();
        sqlite3_bind_int64(statement, 1, end->receivedMs);
        sqlite3_bind_int64(statement, 2, kMinKey);
        sqlite3_bind_int64(statement, 3, std::min(lastId, end->id - 1));
    }
    m_statement = statement;
}

bool StoredPartReader::Step() {
    while (m_piece < 3) {
        if (m_statement != nullptr) {
            const int status = sqlite3_step(m_statement);
            if (status == SQLITE_ROW) {
                return true;
            }
            if (status != SQLITE_DONE) {
                return Fail();
            }
            sqlite3_reset(m_statement);
            m_statement = nullptr;
        }
        if (++m_piece < 3) {
            Begin(m_piece);
        }
    }
    return false;
}

StoredRow StoredPartReader::Row() const {
    return StoredRow(m_statement);
}

}  // namespace telvane::archive
