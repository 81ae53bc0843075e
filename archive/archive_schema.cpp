#include "archive_schema.h"

#include <set>
#include <string>
#include <vector>

#include "archive.h"
#include "archive_columns.h"
#include "archive_file_check.h"
#include "sqlite_statement.h"

namespace telvane::archive {
namespace {

std::string EntryTableSql() {
    std::string sql = "CREATE TABLE " + std::string(kBeaconTable) + " (id INTEGER PRIMARY KEY";
    for (const EntryColumn& column : EntryColumns()) {
        sql += ", " + column.name + ' ' + std::string(column.declaration);
    }
    return sql + ");";
}

// Step k takes an archive from version k to version k + 1.
const std::vector<std::string>& MigrationSteps() {
    static const std::vector<std::string> steps = {
        EntryTableSql() + "CREATE INDEX beacons_by_time ON " + std::string(kBeaconTable) +
            " (received_utc_ms);"
            "CREATE TABLE archive_fields (name TEXT PRIMARY KEY, kind TEXT NOT NULL, "
            "added_by TEXT NOT NULL);",
    };
    return steps;
}

int UserVersion(sqlite3* db) {
    Statement query(db, "PRAGMA user_version");
    return query.Ok() && query.Step() == SQLITE_ROW ? static_cast<int>(query.Count(0)) : -1;
}

std::set<std::string, std::less<>> ExistingColumns(sqlite3* db) {
    std::set<std::string, std::less<>> names;
    Statement query(db, "SELECT name FROM pragma_table_info('" + std::string(kBeaconTable) + "')");
    while (query.Ok() && query.Step() == SQLITE_ROW) {
        names.emplace(query.Text(0));
    }
    return names;
}

std::string_view KindName(FieldKind kind) {
    constexpr std::string_view kNames[] = {"flag", "count", "number", "text", "list"};
    return kNames[static_cast<int>(kind)];
}

bool FieldColumnsMissing(sqlite3* db) {
    const auto existing = ExistingColumns(db);
    for (const FieldColumn& column : FieldColumns()) {
        if (existing.find(column.name) == existing.end()) {
            return true;
        }
    }
    return false;
}

bool AddMissingFieldColumns(sqlite3* db, QString& error) {
    const auto existing = ExistingColumns(db);
    std::string sql;
    for (const FieldColumn& column : FieldColumns()) {
        if (existing.find(column.name) == existing.end()) {
            sql += "ALTER TABLE " + std::string(kBeaconTable) + " ADD COLUMN " + column.name + ' ' +
                   std::string(DeclaredType(column.kind)) +
                   ";INSERT INTO archive_fields VALUES ('" + column.name + "','" +
                   std::string(KindName(column.kind)) + "','" TELVANE_VERSION "');";
        }
    }
    return sql.empty() || ExecuteSql(db, sql, error);
}

bool RunMigration(sqlite3* db, int from, QString& error) {
    const auto& steps = MigrationSteps();
    for (int version = from; version < kSchemaVersion; ++version) {
        if (!ExecuteSql(db, steps[static_cast<std::size_t>(version)], error)) {
            return false;
        }
    }
    return (from == kSchemaVersion ||
            ExecuteSql(db, "PRAGMA user_version = " + std::to_string(kSchemaVersion), error)) &&
           AddMissingFieldColumns(db, error);
}

}  // namespace

bool CreateSchema(sqlite3* db, QString& error) {
    return ExecuteSql(db,
                      "PRAGMA page_size = 65536; PRAGMA application_id = " +
                          std::to_string(kApplicationId) + "; PRAGMA journal_mode = WAL;",
                      error) &&
           MigrateSchema(db, error);
}

bool MigrateSchema(sqlite3* db, QString& error) {
    // Most opens find nothing to do and take no write lock.
    if (UserVersion(db) == kSchemaVersion && !FieldColumnsMissing(db)) {
        return true;
    }
    if (!ExecuteSql(db, "BEGIN IMMEDIATE", error)) {
        return false;
    }
    const int version = UserVersion(db);
    if (version > kSchemaVersion) {
        error = QStringLiteral("it was made by a newer version of Telvane");
    } else if (version >= 0 && RunMigration(db, version, error)) {
        return ExecuteSql(db, "COMMIT", error);
    } else if (error.isEmpty()) {
        error = SqliteError(db);
    }
    QString ignored;
    ExecuteSql(db, "ROLLBACK", ignored);
    return false;
}

}  // namespace telvane::archive
