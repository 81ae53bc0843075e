#include "safe_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <random>

namespace telvane {
namespace {

std::string Folder(const std::string& path) {
    const std::size_t slash = path.rfind('/');
    if (slash == std::string::npos) {
        return ".";
    }
    return slash == 0 ? "/" : path.substr(0, slash);
}

std::string FileName(const std::string& path) {
    const std::size_t slash = path.rfind('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

// Whether this process may write the file. Root may write anything, so for root a file that
// grants nobody write permission counts as read-only: it was made so on purpose.
bool MayWrite(const std::string& path, const struct stat& status) {
    if (::geteuid() == 0) {
        return (status.st_mode & (S_IWUSR | S_IWGRP | S_IWOTH)) != 0;
    }
    return ::faccessat(AT_FDCWD, path.c_str(), W_OK, AT_EACCESS) == 0;
}

// A new, empty file with an unused name beside `target`; its mode follows the umask like any
// new file's. Returns the descriptor, or -1 with errno set.
int CreateTemporaryBeside(const std::string& target, std::string& name) {
    static std::minstd_rand random(std::random_device{}());
    const std::string stem = Folder(target) + "/." + FileName(target) + ".";
    for (int attempt = 0; attempt < 100; ++attempt) {
        name = stem + std::to_string(random()) + ".tmp";
        const int fd = ::open(name.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (fd >= 0 || errno != EEXIST) {
            return fd;
        }
    }
    return -1;
}

bool CannotCreateHere(int error) {
    return error == EACCES || error == EPERM || error == EROFS;
}

}  // namespace

bool WriteAll(int fd, std::string_view bytes) {
    while (!bytes.empty()) {
        const ssize_t written = ::write(fd, bytes.data(), bytes.size());
        if (written < 0 && errno == EINTR) {
            continue;
        }
        if (written <= 0) {
            if (written == 0) {
                errno = EIO;
            }
            return false;
        }
        bytes.remove_prefix(static_cast<std::size_t>(written));
    }
    return true;
}

SafeFile::SafeFile(std::string path) : m_path(std::move(path)) {}

SafeFile::~SafeFile() {
    if (m_fd >= 0) {
        ::close(m_fd);
    }
    if (!m_temporary.empty()) {
        ::unlink(m_temporary.c_str());
    }
}

bool SafeFile::Fail(int error) {
    return Fail(std::string(std::strerror(error)));
}

bool SafeFile::Fail(std::string reason) {
    if (m_reason.empty()) {
        m_reason = std::move(reason);
    }
    return false;
}

bool SafeFile::Open() {
    struct stat link {};
    if (::lstat(m_path.c_str(), &link) == 0) {
        return OpenExisting();
    }
    if (errno != ENOENT) {
        return Fail(errno);
    }
    m_target = m_path;
    return OpenReplacement(false);
}

bool SafeFile::OpenExisting() {
    struct stat status {};
    if (::stat(m_path.c_str(), &status) != 0) {
        return errno == ENOENT ? Fail("it is a symbolic link to a file that does not exist")
                               : Fail(errno);
    }
    if (S_ISDIR(status.st_mode)) {
        return Fail(EISDIR);
    }
    if (S_ISCHR(status.st_mode) || S_ISFIFO(status.st_mode) || S_ISSOCK(status.st_mode)) {
        m_mode = Mode::kDirect;
        m_fd = ::open(m_path.c_str(), O_WRONLY | O_CLOEXEC);
        return m_fd >= 0 || Fail(errno);
    }
    if (!S_ISREG(status.st_mode)) {
        return Fail("it is not a regular file, a character device, a FIFO or a socket");
    }
    if (!MayWrite(m_path, status)) {
        return Fail(EACCES);
    }
    char resolved[PATH_MAX];
    if (::realpath(m_path.c_str(), resolved) == nullptr) {
        return Fail(errno);
    }
    m_target = resolved;
    if (status.st_nlink > 1) {
        return OpenInPlace();  // every name of the file must see the new report
    }
    m_uid = status.st_uid;
    m_gid = status.st_gid;
    m_permissions = status.st_mode & 07777;
    return OpenReplacement(true);
}

bool SafeFile::OpenReplacement(bool keepOwnerAndMode) {
    m_mode = Mode::kReplace;
    m_fd = CreateTemporaryBeside(m_target, m_temporary);
    if (m_fd < 0) {
        const int error = errno;
        m_temporary.clear();
        // A writable file in a folder that takes no new files can still be rewritten.
        return keepOwnerAndMode && CannotCreateHere(error) ? OpenInPlace() : Fail(error);
    }
    if (!keepOwnerAndMode) {
        return true;
    }
    // The owner first: changing it clears the set-user-ID and set-group-ID bits.
    if (::fchown(m_fd, m_uid, m_gid) != 0) {
        ::close(m_fd);
        m_fd = -1;
        ::unlink(m_temporary.c_str());
        m_temporary.clear();
        return OpenInPlace();  // the replacement would belong to someone else
    }
    return ::fchmod(m_fd, m_permissions) == 0 || Fail(errno);
}

bool SafeFile::OpenInPlace() {
    m_mode = Mode::kInPlace;
    m_fd = ::open(m_target.c_str(), O_WRONLY | O_CLOEXEC);
    return m_fd >= 0 || Fail(errno);
}

bool SafeFile::Write(std::string_view bytes) {
    if (m_fd < 0) {
        return Fail(EBADF);
    }
    if (m_mode == Mode::kInPlace) {
        m_staged += bytes;  // written at Commit, once its space is known to be there
        return true;
    }
    return WriteAll(m_fd, bytes) || Fail(errno);
}

bool SafeFile::CommitInPlace() {
    const auto size = static_cast<off_t>(m_staged.size());
    // Reserve the space first: a full disk or a size limit then fails before any old byte is
    // overwritten. Only a file system that cannot reserve space is written without it.
    if (const int error = size > 0 ? ::posix_fallocate(m_fd, 0, size) : 0;
        error != 0 && error != EOPNOTSUPP && error != EINVAL) {
        return Fail(error);
    }
    return (WriteAll(m_fd, m_staged) && ::ftruncate(m_fd, size) == 0 && ::fsync(m_fd) == 0) ||
           Fail(errno);
}

bool SafeFile::Commit() {
    if (m_fd < 0) {
        return Fail(EBADF);
    }
    bool written = true;
    if (m_mode == Mode::kInPlace) {
        written = CommitInPlace();
    } else if (m_mode == Mode::kReplace) {
        written = ::fsync(m_fd) == 0 || Fail(errno);
    }
    const int fd = m_fd;
    m_fd = -1;
    if (::close(fd) != 0 && written) {
        written = Fail(errno);
    }
    if (!written || m_mode != Mode::kReplace) {
        return written;
    }
    if (::rename(m_temporary.c_str(), m_target.c_str()) != 0) {
        return Fail(errno);  // the destructor removes the temporary file
    }
    m_temporary.clear();
    return true;
}

WriteResult WriteFileSafely(const std::string& path, std::string_view bytes) {
    SafeFile file(path);
    if (!file.Open()) {
        return {WriteOutcome::kOpenFailed, file.Reason()};
    }
    if (!file.Write(bytes) || !file.Commit()) {
        return {WriteOutcome::kWriteFailed, file.Reason()};
    }
    return {WriteOutcome::kWritten, {}};
}

}  // namespace telvane
