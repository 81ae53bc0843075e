#include "atomic_file.h"

namespace telvane {

AtomicFile::AtomicFile(const QString& path) : m_file(path) {}

bool AtomicFile::Open() {
    // Unbuffered, so that a short write (a full disk, a size limit) shows in write()'s count:
    // a buffered flush may drop the rest and still let the commit succeed.
    return m_file.open(QIODevice::WriteOnly | QIODevice::Unbuffered);
}

bool AtomicFile::Write(std::string_view bytes) {
    const auto size = static_cast<qint64>(bytes.size());
    return m_file.write(bytes.data(), size) == size;
}

bool AtomicFile::Commit() {
    return m_file.commit();
}

WriteResult WriteFileAtomically(const QString& path, std::string_view bytes) {
    AtomicFile file(path);
    if (!file.Open()) {
        return {WriteOutcome::kOpenFailed, file.Reason()};
    }
    if (!file.Write(bytes) || !file.Commit()) {
        return {WriteOutcome::kWriteFailed, file.Reason()};  // the temporary file is dropped
    }
    return {WriteOutcome::kWritten, {}};
}

}  // namespace telvane
