#include "report_output.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "safe_file.h"

namespace telvane::cli {
namespace {

constexpr std::size_t kBlockSize = 1 << 20;

std::string WithSuffix(const std::string& fileName, int number) {
    if (number == 1) {
        return fileName;
    }
    std::string name = fileName;
    const std::size_t dot = name.rfind('.');
    name.insert(dot == std::string::npos ? name.size() : dot, '_' + std::to_string(number));
    return name;
}

// Whether `path` names the file that standard output already writes to (/dev/stdout, or the
// file the shell redirected to): writing there must go through the open descriptor, keeping the
// shell's position and append mode, never replacing the file.
bool IsStandardOutput(const std::string& path) {
    struct stat target {};
    struct stat out {};
    return ::stat(path.c_str(), &target) == 0 && ::fstat(STDOUT_FILENO, &out) == 0 &&
           target.st_dev == out.st_dev && target.st_ino == out.st_ino;
}

// A pipe on standard output is made to hold a block (1 MB, what Linux grants anyone by default
// instead of 64 KB): a large output then crosses it with a sixteenth of the wake-ups of writer
// and reader. Nothing changes where the pipe is larger already or cannot be changed.
void WidenPipe(int fd) {
#ifdef F_SETPIPE_SZ
    struct stat status {};
    if (::fstat(fd, &status) == 0 && S_ISFIFO(status.st_mode) &&
        ::fcntl(fd, F_GETPIPE_SZ) < static_cast<int>(kBlockSize)) {
        ::fcntl(fd, F_SETPIPE_SZ, static_cast<int>(kBlockSize));
    }
#else
    (void)fd;
#endif
}

}  // namespace

OutputSink::OutputSink(std::string path) : m_path(std::move(path)) {}

OutputSink::~OutputSink() = default;

bool OutputSink::Open() {
    if (m_path.empty() || m_path == "-" || IsStandardOutput(m_path)) {
        WidenPipe(STDOUT_FILENO);
        return true;
    }
    m_file = std::make_unique<SafeFile>(m_path);
    if (!m_file->Open()) {
        m_error = "cannot open '" + m_path + "' for writing: " + m_file->Reason();
        return false;
    }
    return true;
}

bool OutputSink::Write(std::string_view bytes) {
    if (bytes.size() >= kBlockSize) {  // large enough on its own: no copy
        return Flush() && WriteOut(bytes);
    }
    m_buffer += bytes;
    return m_buffer.size() < kBlockSize || Flush();
}

bool OutputSink::WriteOut(std::string_view bytes) {
    const bool written = m_file ? m_file->Write(bytes) : WriteAll(STDOUT_FILENO, bytes);
    if (!written && m_error.empty()) {
        m_error = m_file ? "cannot write '" + m_path + "': " + m_file->Reason()
                         : std::string("cannot write to standard output: ") + std::strerror(errno);
    }
    return written;
}

bool OutputSink::Flush() {
    const bool written = WriteOut(m_buffer);
    m_buffer.clear();
    return written;
}

bool OutputSink::Finish() {
    if (!Flush()) {
        return false;
    }
    if (m_file && !m_file->Commit()) {
        m_error = "cannot write '" + m_path + "': " + m_file->Reason();
        return false;
    }
    return true;
}

NewFiles::NewFiles(std::string folder) : m_folder(std::move(folder)) {}

std::string NewFiles::Write(std::string_view bytes, const std::string& fileName) {
    for (int& number = m_nextNumber.try_emplace(fileName, 1).first->second;; ++number) {
        const std::string path = m_folder + "/" + WithSuffix(fileName, number);
        const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (fd < 0 && errno == EEXIST) {
            continue;
        }
        if (fd < 0) {
            return "cannot create '" + path + "': " + std::strerror(errno);
        }
        ++number;
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
