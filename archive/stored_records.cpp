#include "stored_records.h"

#include <cstring>
#include <limits>

#include "archive_columns.h"
#include "sqlite_statement.h"

namespace telvane::archive {
namespace {

std::string SelectSql(const TimeRange& range) {
    std::string columns;
    for (const FieldColumn& column : FieldColumns()) {
        columns += (columns.empty() ? "" : ",") + column.name;
    }
    return "SELECT " + columns + " FROM " + std::string(kBeaconTable) + RangeCondition(range) +
           " ORDER BY received_utc_ms, id";
}

// The stored value as its field's kind; text is placed by the caller.
FieldValue StoredValue(sqlite3_value* value, FieldKind kind) {
    const int type = sqlite3_value_type(value);
    if (type == SQLITE_NULL) {
        return {};
    }
    switch (kind) {
        case FieldKind::kFlag:
            return sqlite3_value_int64(value) != 0;
        case FieldKind::kCount:
            return static_cast<long long>(sqlite3_value_int64(value));
        case FieldKind::kNumber:
            // A NaN is kept as text: SQLite stores no NaN.
            return type == SQLITE_TEXT ? std::numeric_limits<double>::quiet_NaN()
                                       : sqlite3_value_double(value);
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
            batch.m_values.push_back(StoredValue(value, columns[k].kind));
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

}  // namespace telvane::archive
