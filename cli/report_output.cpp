#include "report_output.h"

#include <QFile>
#include <QSaveFile>
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
    QSaveFile file(QFile::decodeName(path.c_str()));
    const auto size = static_cast<qint64>(bytes.size());
    if (!file.open(QIODevice::WriteOnly)) {
        return "cannot open '" + path + "' for writing: " + file.errorString().toStdString();
    }
    if (file.write(bytes.data(), size) != size || !file.commit()) {
        return "cannot write '" + path + "': " + file.errorString().toStdString();
    }
    return "";
}

}  // namespace telvane::cli
