#pragma once

// An open telemetry archive: one SQLite connection through Qt SQL's QSQLITE driver, in WAL mode
// with a busy timeout so that the dialog and the command line can write at the same time.

#include <sqlite3.h>

#include <QString>
#include <memory>

namespace telvane::archive {

enum class Access { kRead, kWrite };

// The structure of the archive this program reads and writes (PRAGMA user_version). Field
// columns are added on open whenever the list of decoded fields has grown.
inline constexpr int kSchemaVersion = 1;

class Archive {
public:
    // Opens the archive at `path`. For kWrite a new archive is made where no file exists; a file
    // that is not a Telvane archive is never opened for writing. Nothing, with a one-line reason
    // in `error`, when the archive cannot be used.
    static std::unique_ptr<Archive> Open(const QString& path, Access access, QString& error);
    ~Archive();
    Archive(const Archive&) = delete;
    Archive& operator=(const Archive&) = delete;

    const QString& Path() const { return m_path; }
    sqlite3* Handle() const { return m_handle; }

private:
    Archive(QString path, QString connection, sqlite3* handle);

    QString m_path;
    QString m_connection;
    sqlite3* m_handle;
};

// ~/.local/share/Telvane/archive.sqlite on Linux: the application data folder of both programs.
QString DefaultArchivePath();

}  // namespace telvane::archive
