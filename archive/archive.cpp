#include "archive.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>

#include <QAtomicInt>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSqlDatabase>
#include <QSqlDriver>
#include <QSqlError>
#include <QStandardPaths>

#include "archive_file_check.h"
#include "archive_schema.h"
#include "sqlite_statement.h"

namespace telvane::archive {
namespace {

constexpr int kBusyTimeoutMs = 30000;

QString NewConnectionName() {
    static QAtomicInt counter;
    return QStringLiteral("telvane-archive-%1").arg(counter.fetchAndAddRelaxed(1));
}

sqlite3* HandleOf(const QSqlDatabase& db) {
    const QVariant handle = db.driver()->handle();
    if (!handle.isValid() || qstrcmp(handle.typeName(), "sqlite3*") != 0) {
        return nullptr;
    }
    return *static_cast<sqlite3* const*>(handle.constData());
}

// Opens a QSQLITE connection named `name`; the raw handle, or nothing with the reason.
sqlite3* Connect(const QString& name, const QString& path, Access access, QString& error) {
    QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), name);
    if (!db.isValid()) {
        error = QStringLiteral("Qt's SQLite driver (QSQLITE) is not installed");
        return nullptr;
    }
    db.setDatabaseName(path);
    db.setConnectOptions(QStringLiteral("QSQLITE_BUSY_TIMEOUT=%1%2")
                             .arg(kBusyTimeoutMs)
                             .arg(access == Access::kRead ? ";QSQLITE_OPEN_READONLY" : ""));
    if (!db.open()) {
        error = db.lastError().text();
        return nullptr;
    }
    return HandleOf(db);
}

void Disconnect(const QString& name) {
    QSqlDatabase::database(name, false).close();
    QSqlDatabase::removeDatabase(name);
}

// A database file with the journal files SQLite keeps beside it.
void RemoveDatabaseFiles(const QString& path) {
    for (const char* suffix : {"", "-wal", "-shm", "-journal"}) {
        QFile::remove(path + QLatin1String(suffix));
    }
}

// Moves the new archive into place unless a file has appeared there meanwhile. (QFile::rename
// falls back to copying over the destination when it exists, which would truncate an archive
// another program has just created and is writing to.)
bool PlaceWithoutReplacing(const QString& from, const QString& to) {
    const QByteArray source = QFile::encodeName(from);
    const QByteArray target = QFile::encodeName(to);
    if (::renameat2(AT_FDCWD, source.constData(), AT_FDCWD, target.constData(), RENAME_NOREPLACE) ==
        0) {
        return true;
    }
    // A file system without the flag still refuses to link over an existing name.
    return (errno == EINVAL || errno == ENOSYS) &&
           ::link(source.constData(), target.constData()) == 0;
}

// Builds a new archive beside `path` and moves it into place only if nothing has appeared
// there meanwhile, so that a half-made archive is never found and another file never replaced.
bool CreateArchiveFile(const QString& path, QString& error) {
    if (!QDir().mkpath(QFileInfo(path).absolutePath())) {
        error = QStringLiteral("cannot create the folder of '%1'").arg(path);
        return false;
    }
    const QString staging = path + QStringLiteral(".new-%1").arg(::getpid());
    RemoveDatabaseFiles(staging);
    const QString name = NewConnectionName();
    bool made = false;
    if (sqlite3* db = Connect(name, staging, Access::kWrite, error)) {
        made = CreateSchema(db, error);
    }
    Disconnect(name);
    // Losing the race to another program creating the archive is fine: its archive is used.
    const bool placed = made && (PlaceWithoutReplacing(staging, path) || QFileInfo::exists(path));
    RemoveDatabaseFiles(staging);
    if (made && !placed) {
        error = QStringLiteral("cannot create '%1'").arg(path);
    }
    return placed;
}

}  // namespace

Archive::Archive(QString path, QString connection, sqlite3* handle)
    : m_path(std::move(path)), m_connection(std::move(connection)), m_handle(handle) {}

Archive::~Archive() {
    Disconnect(m_connection);
}

std::unique_ptr<Archive> Archive::Open(const QString& path, Access access, QString& error) {
    FileCheck check = CheckArchiveFile(path);
    if (check.state == FileState::kMissing && access == Access::kWrite) {
        if (!CreateArchiveFile(path, error)) {
            return nullptr;
        }
        check = CheckArchiveFile(path);
    }
    switch (check.state) {
        case FileState::kMissing:
            error = QStringLiteral("there is no archive at '%1'").arg(path);
            return nullptr;
        case FileState::kForeign:
            error = QStringLiteral("'%1' is not a Telvane archive (%2); it was left untouched")
                        .arg(path, check.detail);
            return nullptr;
        case FileState::kUnreadable:
            error = QStringLiteral("cannot read '%1': %2").arg(path, check.detail);
            return nullptr;
        case FileState::kArchive:
            break;
    }
    const QString name = NewConnectionName();
    sqlite3* handle = Connect(name, path, access, error);
    if (handle == nullptr ||
        (access == Access::kWrite &&
         !(ExecuteSql(handle, "PRAGMA synchronous = FULL; PRAGMA cache_size = -262144", error) &&
           MigrateSchema(handle, error)))) {
        Disconnect(name);
        error = QStringLiteral("cannot use the archive '%1': %2").arg(path, error);
        return nullptr;
    }
    return std::unique_ptr<Archive>(new Archive(path, name, handle));
}

QString DefaultArchivePath() {
    return QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation) +
           QStringLiteral("/Telvane/archive.sqlite");
}

}  // namespace telvane::archive
