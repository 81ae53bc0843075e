#include "archive_stats.h"

#include "archive_columns.h"
#include "sqlite_statement.h"

namespace telvane::archive {
namespace {

const std::string kTable(kBeaconTable);

std::vector<std::string> NumericFields() {
    std::vector<std::string> names;
    for (const FieldColumn& column : FieldColumns()) {
        if (column.kind == FieldKind::kCount || column.kind == FieldKind::kNumber) {
            names.push_back(column.name);
        }
    }
    return names;
}

std::optional<double> NumberOrNothing(const Statement& row, int column) {
    return row.IsNull(column) ? std::nullopt : std::optional<double>(row.Number(column));
}

bool Counts(sqlite3* db, ArchiveSummary& out) {
    Statement totals(db,
                     "SELECT count(*), min(received_utc_ms), max(received_utc_ms) FROM " + kTable);
    if (!totals.Ok() || totals.Step() != SQLITE_ROW) {
        return false;
    }
    out.beacons = totals.Count(0);
    if (!totals.IsNull(1)) {
        out.firstMs = totals.Count(1);
        out.lastMs = totals.Count(2);
    }
    Statement sources(db, "SELECT source_kind, count(*) FROM " + kTable +
                              " GROUP BY source_kind ORDER BY source_kind");
    while (sources.Ok() && sources.Step() == SQLITE_ROW) {
        out.bySource.emplace_back(sources.Text(0), sources.Count(1));
    }
    return sources.Ok();
}

// One pass over the table for every field's count, minimum and maximum of finite numbers.
bool Ranges(sqlite3* db, const std::vector<std::string>& names, ArchiveSummary& out) {
    std::string sql;
    for (const std::string& name : names) {
        const std::string finite = " FILTER (WHERE typeof(" + name +
                                   ") IN ('integer','real') AND abs(" + name + ") < 9e999)";
        sql += (sql.empty() ? "SELECT " : ", ") + ("count(" + name + ")" + finite) + ", min(" +
               name + ")" + finite + ", max(" + name + ")" + finite;
    }
    Statement query(db, sql + " FROM " + kTable);
    if (!query.Ok() || query.Step() != SQLITE_ROW) {
        return false;
    }
    for (std::size_t k = 0; k < names.size(); ++k) {
        const int column = static_cast<int>(k) * 3;
        out.fields.push_back({names[k], query.Count(column), NumberOrNothing(query, column + 1),
                              NumberOrNothing(query, column + 2), std::nullopt});
    }
    return true;
}

bool Latest(sqlite3* db, FieldSummary& field) {
    Statement query(db, "SELECT " + field.name + " FROM " + kTable + " WHERE typeof(" + field.name +
                            ") IN ('integer','real') AND abs(" + field.name +
                            ") < 9e999 ORDER BY received_utc_ms DESC, id DESC LIMIT 1");
    if (!query.Ok()) {
        return false;
    }
    if (query.Step() == SQLITE_ROW) {
        field.latest = query.Number(0);
    }
    return true;
}

}  // namespace

bool SummarizeArchive(const Archive& archive, ArchiveSummary& out, QString& error) {
    sqlite3* db = archive.Handle();
    out = ArchiveSummary{};
    bool ok = Counts(db, out) && Ranges(db, NumericFields(), out);
    for (FieldSummary& field : out.fields) {
        ok = ok && Latest(db, field);
    }
    if (!ok) {
        error = SqliteError(db);
    }
    return ok;
}

}  // namespace telvane::archive
