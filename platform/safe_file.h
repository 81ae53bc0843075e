#pragma once

// The one writer of reports and exports. A regular file (or a new name) is written to a temporary
// file beside it that replaces it only when every byte is on disk, keeping the old file's owner,
// group and mode; until then, and on any failure, an existing file is left untouched. What the
// temporary file cannot stand in for is written in place: a file with other hard links (so that
// every name sees the new report), one whose owner could not be kept, or one in a folder that
// cannot take a temporary file; its space is reserved before the first old byte is overwritten.
// Character devices, FIFOs and sockets are written directly, never replaced.

#include <string>
#include <string_view>

namespace telvane {

enum class WriteOutcome { kWritten, kOpenFailed, kWriteFailed };

struct WriteResult {
    WriteOutcome outcome;
    std::string reason;  // the system's words for a failure, e.g. "No space left on device"
};

class SafeFile {
public:
    explicit SafeFile(std::string path);  // a file name in the system's encoding
    ~SafeFile();                          // an uncommitted file leaves no trace
    SafeFile(const SafeFile&) = delete;
    SafeFile& operator=(const SafeFile&) = delete;

    bool Open();
    bool Write(std::string_view bytes);  // false on a short or failed write
    bool Commit();
    const std::string& Reason() const { return m_reason; }

private:
    enum class Mode { kReplace, kInPlace, kDirect };

    bool OpenExisting();
    bool OpenReplacement(bool keepOwnerAndMode);
    bool OpenInPlace();
    bool CommitInPlace();
    bool Fail(int error);
    bool Fail(std::string reason);

    std::string m_path;
    std::string m_target;     // m_path with symbolic links resolved
    std::string m_temporary;  // kReplace: the file that becomes m_target
    std::string m_staged;     // kInPlace: the new contents, written at Commit
    unsigned m_uid = 0;       // kReplace over an existing file: what the replacement keeps
    unsigned m_gid = 0;
    unsigned m_permissions = 0;
    Mode m_mode = Mode::kReplace;
    int m_fd = -1;
    std::string m_reason;
};

// Writes all of `bytes` to a file descriptor, retrying short and interrupted writes; false with
// errno set on failure.
bool WriteAll(int fd, std::string_view bytes);

// Writes `bytes` to `path` exactly, as one SafeFile.
WriteResult WriteFileSafely(const std::string& path, std::string_view bytes);

}  // namespace telvane
