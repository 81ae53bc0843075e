#pragma once

// Bringing an archive's tables to this program's structure: the migration steps by schema
// version, then a column for each decoded field the archive does not have yet.

#include <sqlite3.h>

#include <QString>

namespace telvane::archive {

// Makes the tables of a new archive on an empty database: application id, WAL journal, schema.
bool CreateSchema(sqlite3* db, QString& error);

// Runs the migration steps above the archive's version and adds missing field columns, in one
// transaction. Refuses an archive made by a newer Telvane.
bool MigrateSchema(sqlite3* db, QString& error);

}  // namespace telvane::archive
