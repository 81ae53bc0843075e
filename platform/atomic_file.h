#pragma once

#include <QString>
#include <string_view>

namespace telvane {

enum class WriteOutcome { kWritten, kOpenFailed, kWriteFailed };

struct WriteResult {
    WriteOutcome outcome;
    QString reason;  // the system's words for a failure
};

// Writes `bytes` to `path` exactly, through a temporary file beside it that is renamed into
// place only when every byte is on disk; on any failure an existing file is left untouched.
WriteResult WriteFileAtomically(const QString& path, std::string_view bytes);

}  // namespace telvane
