#include "report_output.h"

#include <fcntl.h>
#include <unistd.h>

#include <QFile>
#include <cerrno>
#include <cstring>

#include "atomic_file.h"

namespace telvane::cli {
namespace {

constexpr std::size_t kBlockSize = 1 << 20;

// Writes all of `bytes` to a file descriptor, retrying short writes.
bool WriteAll(int fd, std::string_view bytes) {
    while (!bytes.empty()) {
        const ssize_t written = ::write(fd, bytes.data(), bytes.size());
        if (written < 0 && errno == EINTR) {
            continue;
        }
        if (written <= 0) {
            return false;
        }
        bytes.remove_prefix(static_cast<std::size_t>(written));
    }
    return true;
}

std::string WithSuffix(const std::string& fileName, int number) {
    if (number == 1) {
        return fileName;
    }
    std::string name = fileName;
    const std::size_t dot = name.rfind('.');
    name.insert(dot == std::string::npos ? name.size() : dot, '_' + std::to_string(number));
    return name;
}

}  // namespace

OutputSink::OutputSink(std::string path) : m_path(std::move(path)) {}

OutputSink::~OutputSink() = default;

bool OutputSink::Open() {
    if (m_path.empty()) {
        return true;
    }
    m_file = std::make_unique<AtomicFile>(QFile::decodeName(m_path.c_str()));
    if (!m_file->Open()) {
        m_error = "cannot open '" + m_path + "' for writing: " + m_file->Reason().toStdString();
        return false;
    }
    return true;
}

bool OutputSink::Write(std::string_view bytes) {
    m_buffer += bytes;
    return m_buffer.size() < kBlockSize || Flush();
}

bool OutputSink::Flush() {
    const bool written = m_file ? m_file->Write(m_buffer) : WriteAll(STDOUT_FILENO, m_buffer);
    m_buffer.clear();
    if (!written && m_error.empty()) {
        m_error = m_file ? "cannot write '" + m_path + "': " + m_file->Reason().toStdString()
                         : std::string("cannot write to standard output: ") + std::strerror(errno);
    }
    return written;
}

bool OutputSink::Finish() {
    if (!Flush()) {
        return false;
    }
    if (m_file && !m_file->Commit()) {
        m_error = "cannot write '" + m_path + "': " + m_file->Reason().toStdString();
        return false;
    }
    return true;
}

std::string WriteNewFile(std::string_view bytes, const std::string& folder,
                         const std::string& fileName) {
    for (int number = 1;; ++number) {
        const std::string path = folder + "/" + WithSuffix(fileName, number);
        const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (fd < 0 && errno == EEXIST) {
            continue;
        }
        if (fd < 0) {
            return "cannot create '" + path + "': " + std::strerror(errno);
        }
        const bool written = WriteAll(fd, bytes);
        const int writeErrno = errno;
        if (::close(fd) != 0 || !written) {
            ::unlink(path.c_str());  // never leave half a report behind
            return "cannot write '" + path + "': " + std::strerror(written ? errno : writeErrno);
        }
        return "";
    }
}

}  // namespace telvane::cli
