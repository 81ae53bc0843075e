// Where telvane-convert writes: files, devices, FIFOs and standard output, and what it says
// when it cannot.

#include <sys/stat.h>

#include <thread>

#include "process_fixture.h"
#include "report_output.h"

namespace telvane {
namespace {

using namespace telvane::testing;

TEST_F(ConvertProcess, DevicesFifosAndStandardOutputAreWrittenNeverReplaced) {
    const std::string report = ConvertBeacon(kBoxes, kTime);
    const fs::path fifo = dir_ / "fifo";
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    std::string received;
    std::thread reader([&] { received = ReadFile(fifo); });
    Outcome run = Convert(std::string(kTimeOption) + "-o " + Quote(fifo));
    reader.join();
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(received, report);
    struct stat status {};
    ASSERT_EQ(::stat(fifo.c_str(), &status), 0);
    EXPECT_TRUE(S_ISFIFO(status.st_mode));

    run = Convert(std::string(kTimeOption) + "-o /dev/zero");
    EXPECT_EQ(run.status, 0) << run.err;
    ASSERT_EQ(::stat("/dev/zero", &status), 0);
    EXPECT_TRUE(S_ISCHR(status.st_mode));

    run = Convert(std::string(kTimeOption) + "-o -");
    EXPECT_EQ(run.out, report);

    // /dev/stdout appended to a log keeps what the log held.
    const fs::path log = dir_ / "log.txt";
    WriteFile(log, "earlier\n");
    run = Convert(std::string(kTimeOption) + "-o /dev/stdout", kBeacon, ">> " + Quote(log));
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(ReadFile(log), "earlier\n" + report);
}

TEST_F(ConvertProcess, WriteFailuresSayTheSystemsReason) {
    const fs::path existing = dir_ / "earlier.txt";
    const fs::path readOnly = dir_ / "read-only.txt";
    WriteFile(readOnly, "kept");
    ::chmod(readOnly.c_str(), 0444);
    const struct {
        std::string args;
        std::string prefix;
        std::string message;
    } cases[] = {
        {"-o " + Quote(existing), "ulimit -f 1; ", "File too large"},
        {"-o " + Quote(readOnly), "",
         "cannot open '" + readOnly.string() + "' for writing: Permission denied"},
        {"", "", "No space left on device"},  // standard output is /dev/full
    };
    for (const auto& c : cases) {
        WriteFile(existing, "earlier report");
        const Outcome run = Convert(c.args, kBeacon, c.args.empty() ? "> /dev/full" : "", c.prefix);
        EXPECT_EQ(run.status, 1) << c.args;
        EXPECT_NE(run.err.find(c.message), std::string::npos) << run.err;
        EXPECT_EQ(run.err.find("Unknown error"), std::string::npos) << run.err;
        EXPECT_EQ(ReadFile(existing), "earlier report");
    }
    EXPECT_EQ(ReadFile(readOnly), "kept");
}

// Numbers are carried forward: reports of one run are numbered in order, and a freed number is
// not searched for again from the start.
TEST_F(ConvertProcess, NewReportFilesAreNumberedOnwardNeverReplacingOne) {
    cli::NewFiles files(dir_.string());
    const std::string name = "ORBEL_CW_240305_0907.txt";
    WriteFile(dir_ / "ORBEL_CW_240305_0907_3.txt", "taken");
    for (const char* report : {"a", "b", "c"}) {
        EXPECT_EQ(files.Write(report, name), "");
    }
    fs::remove(dir_ / "ORBEL_CW_240305_0907_2.txt");
    EXPECT_EQ(files.Write("d", name), "");
    EXPECT_EQ(ReadFile(dir_ / name), "a");
    EXPECT_EQ(ReadFile(dir_ / "ORBEL_CW_240305_0907_3.txt"), "taken");
    EXPECT_EQ(ReadFile(dir_ / "ORBEL_CW_240305_0907_4.txt"), "c");
    EXPECT_EQ(ReadFile(dir_ / "ORBEL_CW_240305_0907_5.txt"), "d");
    EXPECT_FALSE(fs::exists(dir_ / "ORBEL_CW_240305_0907_2.txt"));
}

}  // namespace
}  // namespace telvane
