#pragma once

// A prepared statement on the archive's connection. The bulk paths (import, export, series)
// step through SQLite's own interface: Qt SQL's per-value QVariant costs more than the whole
// row is allowed to.

#include <sqlite3.h>

#include <QString>
#include <string_view>

namespace telvane::archive {

class Statement {
public:
    Statement(sqlite3* db, std::string_view sql);
    ~Statement();
    Statement(const Statement&) = delete;
    Statement& operator=(const Statement&) = delete;

    bool Ok() const { return m_statement != nullptr; }
    sqlite3_stmt* Get() const { return m_statement; }
    // SQLITE_ROW, SQLITE_DONE or an error code.
    int Step() { return sqlite3_step(m_statement); }
    void Reset() {
        sqlite3_reset(m_statement);
        sqlite3_clear_bindings(m_statement);
    }

    std::string_view Text(int column) const;
    double Number(int column) const { return sqlite3_column_double(m_statement, column); }
    long long Count(int column) const { return sqlite3_column_int64(m_statement, column); }
    bool IsNull(int column) const {
        return sqlite3_column_type(m_statement, column) == SQLITE_NULL;
    }

private:
    sqlite3_stmt* m_statement = nullptr;
};

// The connection's last error, for messages.
QString SqliteError(sqlite3* db);

// Runs statements without results; false (the reason in `error`) on the first failure.
bool ExecuteSql(sqlite3* db, const std::string& sql, QString& error);

}  // namespace telvane::archive
