#include "sqlite_statement.h"

namespace telvane::archive {

Statement::Statement(sqlite3* db, std::string_view sql) {
    if (sqlite3_prepare_v2(db, sql.data(), static_cast<int>(sql.size()), &m_statement, nullptr) !=
        SQLITE_OK) {
        sqlite3_finalize(m_statement);
        m_statement = nullptr;
    }
}

Statement::~Statement() {
    sqlite3_finalize(m_statement);
}

std::string_view Statement::Text(int column) const {
    const void* bytes = sqlite3_column_blob(m_statement, column);
    const int size = sqlite3_column_bytes(m_statement, column);
    return bytes == nullptr
               ? std::string_view()
               : std::string_view(static_cast<const char*>(bytes), static_cast<std::size_t>(size));
}

QString SqliteError(sqlite3* db) {
    return QString::fromUtf8(sqlite3_errmsg(db));
}

bool ExecuteSql(sqlite3* db, const std::string& sql, QString& error) {
    char* message = nullptr;
    if (sqlite3_exec(db, sql.c_str(), nullptr, nullptr, &message) == SQLITE_OK) {
        return true;
    }
    error = QString::fromUtf8(message != nullptr ? message : sqlite3_errmsg(db));
    sqlite3_free(message);
    return false;
}

}  // namespace telvane::archive
