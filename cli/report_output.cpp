#include "report_output.h"

#include "atomic_file.h"

#include <QFile>
#include <cerrno>
#include <cstdio>
#include <cstring>

namespace telvane::cli {

std::string WriteToStandardOutput(std::string_view bytes) {
    errno = 0;
    const std::size_t written = std::fwrite(bytes.data(), 1, bytes.size(), stdout);
    if (std::fflush(stdout) != 0 || written != bytes.size()) {
        return std::string("cannot write to standard output: ") + std::strerror(errno);
    }
    return "";
}

std::string WriteToFile(std::string_view bytes, const std::string& path) {
    const WriteResult result = WriteFileAtomically(QFile::decodeName(path.c_str()), bytes);
    switch (result.outcome) {
        case WriteOutcome::kWritten:
            return "";
        case WriteOutcome::kOpenFailed:
            return "cannot open '" + path + "' for writing: " + result.reason.toStdString();
        case WriteOutcome::kWriteFailed:
            break;
    }
    return "cannot write '" + path + "': " + result.reason.toStdString();
}

}  // namespace telvane::cli
