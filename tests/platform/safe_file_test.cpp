// The shared writer against real files, devices, FIFOs and sockets.

#include <gtest/gtest.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <thread>

#include "safe_file.h"

namespace telvane {
namespace {

namespace fs = std::filesystem;

std::string ReadFile(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream bytes;
    bytes << in.rdbuf();
    return bytes.str();
}

void WriteFile(const fs::path& path, std::string_view bytes) {
    std::ofstream(path, std::ios::binary).write(bytes.data(), std::streamsize(bytes.size()));
}

struct stat StatOf(const fs::path& path) {
    struct stat status {};
    EXPECT_EQ(::lstat(path.c_str(), &status), 0) << path;
    return status;
}

std::size_t EntriesIn(const fs::path& dir) {
    return static_cast<std::size_t>(
        std::distance(fs::directory_iterator(dir), fs::directory_iterator()));
}

// Files may grow to `bytes` at most while it lives.
class SizeLimit {
public:
    explicit SizeLimit(rlim_t bytes) {
        signal(SIGXFSZ, SIG_IGN);
        getrlimit(RLIMIT_FSIZE, &m_saved);
        rlimit tiny = m_saved;
        tiny.rlim_cur = bytes;
        setrlimit(RLIMIT_FSIZE, &tiny);
    }
    ~SizeLimit() { setrlimit(RLIMIT_FSIZE, &m_saved); }

private:
    rlimit m_saved{};
};

class SafeFileTest : public ::testing::Test {
protected:
    void SetUp() override {
        std::string pattern = (fs::temp_directory_path() / "telvane-write-XXXXXX").string();
        ASSERT_NE(mkdtemp(pattern.data()), nullptr);
        dir_ = pattern;
    }
    void TearDown() override { fs::remove_all(dir_); }

    fs::path dir_;
};

TEST_F(SafeFileTest, NewAndExistingFilesGetExactlyTheBytesAndNoTemporaryIsLeft) {
    const std::string report(70000, 'r');
    for (const bool existing : {false, true}) {
        const fs::path target = dir_ / "report.txt";
        if (existing) {
            WriteFile(target, std::string(200000, 'x'));
        }
        const WriteResult result = WriteFileSafely(target, report);
        EXPECT_EQ(result.outcome, WriteOutcome::kWritten) << result.reason;
        EXPECT_EQ(ReadFile(target), report);
        EXPECT_EQ(EntriesIn(dir_), 1u);
    }
}

TEST_F(SafeFileTest, DevicesAndFifosAreWrittenDirectlyNeverReplaced) {
    EXPECT_EQ(WriteFileSafely("/dev/zero", "report").outcome, WriteOutcome::kWritten);
    EXPECT_TRUE(S_ISCHR(StatOf("/dev/zero").st_mode));

    const fs::path fifo = dir_ / "fifo";
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    std::string received;
    std::thread reader([&] { received = ReadFile(fifo); });
    const WriteResult result = WriteFileSafely(fifo, "through the FIFO");
    reader.join();
    EXPECT_EQ(result.outcome, WriteOutcome::kWritten) << result.reason;
    EXPECT_EQ(received, "through the FIFO");
    EXPECT_TRUE(S_ISFIFO(StatOf(fifo).st_mode));

    const fs::path socket = dir_ / "socket";
    const int fd = ::socket(AF_UNIX, SOCK_STREAM, 0);
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    std::snprintf(address.sun_path, sizeof address.sun_path, "%s", socket.c_str());
    ASSERT_EQ(::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
    EXPECT_EQ(WriteFileSafely(socket, "report").outcome, WriteOutcome::kOpenFailed);
    EXPECT_TRUE(S_ISSOCK(StatOf(socket).st_mode));
    ::close(fd);
}

TEST_F(SafeFileTest, FailuresSayWhyAndLeaveTheOldFile) {
    const struct {
        const char* what;
        fs::path path;
        rlim_t sizeLimit;  // 0: none
        WriteOutcome outcome;
        std::string reason;
    } cases[] = {
        {"full device", "/dev/full", 0, WriteOutcome::kWriteFailed, "No space left on device"},
        {"size limit", dir_ / "old.txt", 100, WriteOutcome::kWriteFailed, "File too large"},
        {"folder", dir_, 0, WriteOutcome::kOpenFailed, "Is a directory"},
        {"missing folder", dir_ / "no" / "r.txt", 0, WriteOutcome::kOpenFailed,
         "No such file or directory"},
    };
    for (const auto& c : cases) {
        WriteFile(dir_ / "old.txt", "an earlier report");
        WriteResult result{};
        {
            const SizeLimit limit(c.sizeLimit == 0 ? RLIM_INFINITY : c.sizeLimit);
            result = WriteFileSafely(c.path, std::string(5000, 'n'));
        }
        EXPECT_EQ(result.outcome, c.outcome) << c.what;
        EXPECT_EQ(result.reason, c.reason) << c.what;
        EXPECT_EQ(ReadFile(dir_ / "old.txt"), "an earlier report") << c.what;
        EXPECT_EQ(EntriesIn(dir_), 1u) << c.what;
    }
}

TEST_F(SafeFileTest, AFileNobodyMayWriteIsNotReplacedEvenByRoot) {
    const fs::path target = dir_ / "kept.txt";
    WriteFile(target, "kept");
    ::chmod(target.c_str(), 0444);
    const WriteResult result = WriteFileSafely(target, "new report");
    EXPECT_EQ(result.outcome, WriteOutcome::kOpenFailed);
    EXPECT_EQ(result.reason, "Permission denied");
    EXPECT_EQ(ReadFile(target), "kept");
    EXPECT_EQ(StatOf(target).st_mode & 07777, 0444u);
}

TEST_F(SafeFileTest, TheReplacementKeepsOwnerGroupAndMode) {
    const fs::path target = dir_ / "shared.txt";
    WriteFile(target, "old");
    const bool root = ::geteuid() == 0;
    if (root) {
        ASSERT_EQ(::chown(target.c_str(), 1234, 5678), 0);
    }
    ASSERT_EQ(::chmod(target.c_str(), 02664), 0);  // set-group-ID included
    const struct stat before = StatOf(target);
    ASSERT_EQ(WriteFileSafely(target, "new report").outcome, WriteOutcome::kWritten);
    const struct stat after = StatOf(target);
    EXPECT_EQ(ReadFile(target), "new report");
    EXPECT_EQ(after.st_uid, before.st_uid);
    EXPECT_EQ(after.st_gid, before.st_gid);
    EXPECT_EQ(after.st_mode & 07777, 02664u);
}

TEST_F(SafeFileTest, HardLinkedFilesAreRewrittenInPlaceSoEveryNameSeesTheReport) {
    const fs::path first = dir_ / "report.txt";
    const fs::path second = dir_ / "latest.txt";
    WriteFile(first, std::string(10000, 'o'));
    fs::create_hard_link(first, second);
    const ino_t inode = StatOf(first).st_ino;
    ASSERT_EQ(WriteFileSafely(first, "new report").outcome, WriteOutcome::kWritten);
    EXPECT_EQ(ReadFile(second), "new report");
    EXPECT_EQ(StatOf(first).st_ino, inode);

    // In place too, a failure leaves the old bytes: the space is reserved before writing.
    const SizeLimit limit(20000);
    const WriteResult failed = WriteFileSafely(first, std::string(30000, 'n'));
    EXPECT_EQ(failed.outcome, WriteOutcome::kWriteFailed);
    EXPECT_EQ(failed.reason, "File too large");
    EXPECT_EQ(ReadFile(second), "new report");
}

TEST_F(SafeFileTest, ASymbolicLinkKeepsPointingAtTheReplacedFile) {
    const fs::path target = dir_ / "target.txt";
    const fs::path link = dir_ / "link.txt";
    WriteFile(target, "old");
    fs::create_symlink(target, link);
    ASSERT_EQ(WriteFileSafely(link, "new report").outcome, WriteOutcome::kWritten);
    EXPECT_TRUE(fs::is_symlink(link));
    EXPECT_EQ(ReadFile(target), "new report");

    fs::remove(target);
    EXPECT_EQ(WriteFileSafely(link, "report").outcome, WriteOutcome::kOpenFailed);
    EXPECT_TRUE(fs::is_symlink(link));
}

}  // namespace
}  // namespace telvane
