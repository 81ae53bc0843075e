#include "stored_records.h"

#include <cmath>
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

FieldValue StoredValue(const Statement& row, int index, FieldKind kind) {
    if (row.IsNull(index)) {
        return {};
    }
    switch (kind) {
        case FieldKind::kFlag:
            return row.Count(index) != 0;
        case FieldKind::kCount:
            return row.Count(index);
        case FieldKind::kNumber:
            // A NaN is kept as text: SQLite stores no NaN.
            return sqlite3_column_type(row.Get(), index) == SQLITE_TEXT
                       ? std::numeric_limits<double>::quiet_NaN()
                       : row.Number(index);
        case FieldKind::kText:
            break;
    }
    return row.Text(index);
}

}  // namespace

bool ForEachStoredRecord(const Archive& archive, const TimeRange& range,
                         const std::function<bool(const StoredFields&)>& record, QString& error) {
    Statement query(archive.Handle(), SelectSql(range));
    if (!query.Ok()) {
        error = SqliteError(archive.Handle());
        return false;
    }
    BindRange(query.Get(), range);
    const auto& columns = FieldColumns();
    const StoredFields fields = [&](const FieldVisitor& visit) {
        for (std::size_t k = 0; k < columns.size(); ++k) {
            visit(columns[k].name, StoredValue(query, static_cast<int>(k), columns[k].kind));
        }
    };
    int status = SQLITE_ROW;
    while ((status = query.Step()) == SQLITE_ROW) {
        if (!record(fields)) {
            return true;
        }
    }
    if (status != SQLITE_DONE) {
        error = SqliteError(archive.Handle());
        return false;
    }
    return true;
}

}  // namespace telvane::archive
