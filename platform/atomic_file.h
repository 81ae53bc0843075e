#pragma once

#include <QSaveFile>
#include <QString>
#include <string_view>

namespace telvane {

enum class WriteOutcome { kWritten, kOpenFailed, kWriteFailed };

struct WriteResult {
    WriteOutcome outcome;
    QString reason;  // the system's words for a failure
};

// A file written through a temporary file beside it that is renamed into place only when every
// byte is on disk; until then, and on any failure, an existing file is left untouched.
class AtomicFile {
public:
    explicit AtomicFile(const QString& path);

    bool Open();
    bool Write(std::string_view bytes);  // false on a short or failed write
    bool Commit();
    QString Reason() const { return m_file.errorString(); }

private:
    QSaveFile m_file;
};

// Writes `bytes` to `path` exactly, as one AtomicFile.
WriteResult WriteFileAtomically(const QString& path, std::string_view bytes);

}  // namespace telvane
