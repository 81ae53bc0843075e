#include "archive_test_support.h"

#include <QFile>

namespace telvane::archive::testing {

QByteArray ReadBytes(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<missing>");
}

void WriteBytes(const QString& path, const QByteArray& bytes) {
    QFile file(path);
    if (file.open(QIODevice::WriteOnly)) {
        file.write(bytes);
    }
}

std::string QueryText(const QString& path, const std::string& sql) {
    sqlite3* db = nullptr;
    std::string out = "<error: no row>";
    if (sqlite3_open_v2(path.toUtf8().constData(), &db, SQLITE_OPEN_READONLY, nullptr) !=
        SQLITE_OK) {
        out = "<error: cannot open>";
    } else {
        sqlite3_stmt* statement = nullptr;
        if (sqlite3_prepare_v2(db, sql.c_str(), -1, &statement, nullptr) != SQLITE_OK) {
            out = std::string("<error: ") + sqlite3_errmsg(db) + ">";
        } else if (sqlite3_step(statement) == SQLITE_ROW) {
            const auto* text = sqlite3_column_text(statement, 0);
            out = text != nullptr ? reinterpret_cast<const char*>(text) : "<null>";
        }
        sqlite3_finalize(statement);
    }
    sqlite3_close(db);
    return out;
}

long long QueryCount(const QString& path, const std::string& sql) {
    const std::string text = QueryText(path, sql);
    return text.starts_with("<") ? -1 : std::stoll(text);
}

}  // namespace telvane::archive::testing
