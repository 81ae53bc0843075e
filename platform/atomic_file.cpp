#include "atomic_file.h"

#include <QSaveFile>

namespace telvane {

WriteResult WriteFileAtomically(const QString& path, std::string_view bytes) {
    QSaveFile file(path);
    // Unbuffered, so that a short write (a full disk, a size limit) shows in write()'s count:
    // a buffered flush may drop the rest and still let the commit succeed.
    if (!file.open(QIODevice::WriteOnly | QIODevice::Unbuffered)) {
        return {WriteOutcome::kOpenFailed, file.errorString()};
    }
    const auto size = static_cast<qint64>(bytes.size());
    if (file.write(bytes.data(), size) != size) {
        return {WriteOutcome::kWriteFailed, file.errorString()};  // the temporary file is dropped
    }
    if (!file.commit()) {
        return {WriteOutcome::kWriteFailed, file.errorString()};
    }
    return {WriteOutcome::kWritten, {}};
}

}  // namespace telvane
